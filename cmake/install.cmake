# The installed layout (cmake --install, the Debian package):
#   bin/mizuto                          the program
#   LIBDIR/mizuto/mizuto_window.so      the window module (LIBDIR: lib/x86_64-linux-gnu
#                                       under /usr on Debian, else lib)
#   share/mizuto/*.txt, share/mizuto/demo/   the shipped lists (Shift-JIS) and the demo
#   share/applications/mizuto.desktop, share/metainfo/example.mizuto.mizuto.metainfo.xml
#   share/icons/hicolor/NxN/apps/mizuto.png, share/icons/hicolor/scalable/apps/mizuto.svg
#   share/man/man1/mizuto.1.gz, share/doc/mizuto/copyright, changelog.gz
# Only a build configured with MIZUTO_INSTALLED_LAYOUT finds its parts there (and keeps each
# user's settings in their own folder): the build tree and the Windows zip are portable and
# keep everything beside the program.
include(GNUInstallDirs)
# The module is the program's own, loaded by its path (never linked against), so it lies in
# a private folder that the dynamic linker's cache never needs to know: the package needs
# no ldconfig. (CPack adds ldconfig to the maintainer scripts for a shared object right
# under /usr/lib, which the multiarch folder is not.)
set(MIZUTO_MODULE_DIR ${CMAKE_INSTALL_LIBDIR}/mizuto)
set(MIZUTO_DATA_DIR ${CMAKE_INSTALL_DATADIR}/mizuto)

if(NOT MIZUTO_INSTALLED_LAYOUT)
  install(CODE "message(FATAL_ERROR \"This build is portable (it keeps its files beside the \
program). To install, configure with -DMIZUTO_INSTALLED_LAYOUT=ON, or use scripts/package.sh.\")")
  return()
endif()

# Relative to bin/, so an unpacked package runs from wherever it lies.
file(RELATIVE_PATH module_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${MIZUTO_MODULE_DIR})
file(RELATIVE_PATH data_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/mizuto)
target_compile_definitions(mizuto PRIVATE MIZUTO_INSTALLED_LAYOUT
  MIZUTO_MODULE_FROM_BIN="${module_from_bin}/" MIZUTO_DATA_FROM_BIN="${data_from_bin}/")

install(TARGETS mizuto RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(installed_binaries ${CMAKE_INSTALL_BINDIR}/mizuto)
if(MIZUTO_WINDOW)
  install(TARGETS mizuto_window LIBRARY DESTINATION ${MIZUTO_MODULE_DIR})
  list(APPEND installed_binaries ${MIZUTO_MODULE_DIR}/mizuto_window.so)
endif()
# The compilers' version notes (.comment) say nothing a player needs and strip keeps them.
if(CMAKE_OBJCOPY)
  install(CODE "
    foreach(binary ${installed_binaries})
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${binary}\"
                      RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR \"cannot remove .comment from \${binary}\")
      endif()
    endforeach()")
endif()

# The lists the build converted to Shift-JIS beside the program, and the demo.
file(GLOB shipped_lists RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/data/defaults
     ${CMAKE_CURRENT_SOURCE_DIR}/data/defaults/*.txt)
list(TRANSFORM shipped_lists PREPEND ${CMAKE_CURRENT_BINARY_DIR}/)
install(FILES ${shipped_lists} DESTINATION ${MIZUTO_DATA_DIR})
install(DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/demo/ DESTINATION ${MIZUTO_DATA_DIR}/demo)

install(FILES packaging/mizuto.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/mizuto.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME example.mizuto.mizuto.metainfo.xml)
install(FILES packaging/mizuto.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The icon at the sizes a desktop asks for, drawn by the window's own icon code.
if(MIZUTO_WINDOW)
  set(icon_sizes 16 24 32 48 64 128 256)
  set(icon_dir ${CMAKE_CURRENT_BINARY_DIR}/icons)
  add_executable(mizuto_icon tools/render_icon.cpp)
  target_link_libraries(mizuto_icon PRIVATE mizuto_gui)
  add_custom_command(OUTPUT ${icon_dir}/256x256/apps/mizuto.png
    COMMAND mizuto_icon ${icon_dir} ${icon_sizes}
    DEPENDS mizuto_icon
    COMMENT "Drawing the program's icon")
  add_custom_target(program_icons ALL DEPENDS ${icon_dir}/256x256/apps/mizuto.png)
  install(DIRECTORY ${icon_dir}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
endif()

# The manual page, from the usage text. Its date is SOURCE_DATE_EPOCH's day: the package
# script writes the epoch into this stamp whenever it changes, so that a new commit's date
# reaches a page the tree made before.
set(manpage ${CMAKE_CURRENT_BINARY_DIR}/mizuto.1.gz)
set(source_date_stamp ${CMAKE_CURRENT_BINARY_DIR}/source-date-epoch)
if(NOT EXISTS ${source_date_stamp})
  file(WRITE ${source_date_stamp} "")
endif()
add_custom_command(OUTPUT ${manpage}
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:mizuto> -DVERSION=${PROJECT_VERSION} -DOUT=${manpage}
          -DDEMO=${CMAKE_INSTALL_FULL_DATADIR}/mizuto/demo/demo.html
          -P ${CMAKE_CURRENT_SOURCE_DIR}/scripts/manpage.cmake
  DEPENDS mizuto ${CMAKE_CURRENT_SOURCE_DIR}/scripts/manpage.cmake ${source_date_stamp}
  COMMENT "Writing the manual page")
add_custom_target(manual_page ALL DEPENDS ${manpage})
install(FILES ${manpage} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The licence, in the form Debian reads, and the package's change log, whose newest entry
# must be this version's: a version raised without saying what changed stops here.
file(STRINGS packaging/changelog newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^mizuto \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog has no entry for ${PROJECT_VERSION} at its top: add one")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS packaging/changelog)
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
execute_process(COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog OUTPUT_FILE ${changelog})
install(FILES packaging/copyright ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mizuto)
# The lists are Shift-JIS because the game's files are: lintian is told that this is meant.
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME mizuto)

# The Debian package: scripts/package.sh runs CPack on this build.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mizuto)
set(CPACK_PACKAGE_VENDOR "The Mizuto developers")
set(CPACK_PACKAGE_CONTACT "The Mizuto developers <mizuto@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "battle analyser for the chat logs of a naval game")
set(CPACK_PACKAGE_DESCRIPTION "Mizuto reads the chat logs that the client of a Japanese online naval game
writes. It splits a log into battles, recognises every battle message (sinks,
captures, ships put out of action, criticals, skills, items, results), and
shows a battle list, a per-player tally table with CSV export, a head-to-head
grid and a coloured transcript of each battle. It can follow a log while the
game writes it, for a window or a streaming overlay, and print a report of a
log without a display.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A companion of a game, not a game: lintian keeps section games for what lives in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://mizuto.example/")
# The libraries the program and the window module link (ICU, SQLite for the season
# history, the toolkit and its charts) are found by dpkg-shlibdeps; what the toolkit loads
# at run time (its platform plug-ins) is named by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-ipafont-gothic | fonts-japanese-gothic")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
