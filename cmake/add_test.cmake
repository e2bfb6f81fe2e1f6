# Declares a test with everything it depends on, in one place:
#
#   mizuto_add_test(NAME <name> LIBS <libraries>... [SOURCES <files>...] [RUNS <programs>...]
#                   [DEFINITIONS <defines>...] [GUI] [ONLY_IF <option>])
#
# LIBS         what the test links: the lowest layer it needs and its support library
#              (mizuto_test_basics below the command layer, mizuto_test_support with it).
# SOURCES      default tests/<name>.cpp (tests/gui/<name>.cpp for a GUI test).
# RUNS         the programs it starts as processes, built before it: mizuto (the test gets
#              MIZUTO_EXE, and MIZUTO_WINDOW when the program has its window) and
#              mizuto_loggen (MIZUTO_LOGGEN). A test that names a program it did not declare
#              does not compile.
# DEFINITIONS  further compile definitions.
# GUI          a window test: the real widgets on Qt's offscreen platform, with the window
#              tests' own main; left out of a build without the window.
# WEB          a test of the browser view (tests/web/<name>.cpp); left out of a build without it.
# LABEL        a CTest label for its cases (the browser's: run alone with ctest -L browser).
# ONLY_IF      a build option (MIZUTO_HISTORY) without which the test is left out, as what it
#              tests is.
#
# Every tests/*_test.cpp and tests/gui/*_test.cpp must be declared, so a new test file
# cannot go unbuilt (mizuto_check_tests_declared).
#
# Target mizuto_tests builds every test with the programs it runs and nothing else (not the
# layer closures, the tools or the demo): what a build made only to run the tests needs,
# such as the test command's sanitizer build.

set_property(GLOBAL PROPERTY MIZUTO_DECLARED_TESTS)

function(mizuto_add_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "GUI;WEB" "NAME;ONLY_IF;LABEL" "LIBS;SOURCES;RUNS;DEFINITIONS")
  if(arg_UNPARSED_ARGUMENTS OR NOT arg_NAME OR NOT arg_LIBS)
    message(FATAL_ERROR "mizuto_add_test(NAME <name> LIBS ... [SOURCES ...] [RUNS ...] "
                        "[DEFINITIONS ...] [GUI] [ONLY_IF <option>]): ${ARGV}")
  endif()
  set(name ${arg_NAME})
  set(folder tests)
  if(arg_GUI)
    set(folder tests/gui)
  elseif(arg_WEB)
    set(folder tests/web)
  endif()
  if(NOT arg_SOURCES)
    set(arg_SOURCES ${folder}/${name}.cpp)
  endif()
  list(TRANSFORM arg_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/)
  set_property(GLOBAL APPEND PROPERTY MIZUTO_DECLARED_TESTS ${arg_SOURCES})
  if(arg_GUI AND NOT MIZUTO_WINDOW)
    return()
  endif()
  if(arg_WEB AND NOT MIZUTO_WEB)
    return()
  endif()
  if(arg_ONLY_IF AND NOT ${arg_ONLY_IF})
    return()
  endif()

  set_property(GLOBAL APPEND PROPERTY MIZUTO_TEST_TARGETS ${name})
  if(arg_GUI)
    # The window tests' main, compiled once for all of them (a library, as gtest_main is).
    if(NOT TARGET mizuto_gui_test_main)
      add_library(mizuto_gui_test_main STATIC ${PROJECT_SOURCE_DIR}/tests/gui/gui_test_main.cpp)
      target_link_libraries(mizuto_gui_test_main PUBLIC Qt6::Widgets GTest::gtest)
    endif()
    add_executable(${name} ${arg_SOURCES})
    target_link_libraries(${name} PRIVATE ${arg_LIBS} Qt6::Test mizuto_gui_test_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/gui)
  else()
    add_executable(${name} ${arg_SOURCES})
    target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest_main)
  endif()
  if(arg_DEFINITIONS)
    target_compile_definitions(${name} PRIVATE ${arg_DEFINITIONS})
  endif()

  foreach(program ${arg_RUNS})
    if(program STREQUAL "mizuto")
      set(define MIZUTO_EXE)
      if(MIZUTO_WINDOW)
        target_compile_definitions(${name} PRIVATE MIZUTO_WINDOW)
      endif()
    elseif(program STREQUAL "mizuto_loggen")
      set(define MIZUTO_LOGGEN)
    else()
      message(FATAL_ERROR "mizuto_add_test(${name}): RUNS knows mizuto and mizuto_loggen, not ${program}")
    endif()
    if(WIN32)
      # Found beside the test executable: a path of the build machine may mean nothing to
      # the system that runs the tests.
      target_compile_definitions(${name} PRIVATE ${define}="$<TARGET_FILE_NAME:${program}>")
    else()
      target_compile_definitions(${name} PRIVATE ${define}="$<TARGET_FILE:${program}>")
    endif()
    add_dependencies(${name} ${program})
  endforeach()

  if(CMAKE_CROSSCOMPILING)
    # Listing the cases would run the executable at build time; ctest runs each whole,
    # through CMAKE_CROSSCOMPILING_EMULATOR.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  elseif(arg_GUI)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT 300 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  elseif(arg_LABEL)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 LABELS ${arg_LABEL})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
endfunction()

function(mizuto_check_tests_declared)
  get_property(declared GLOBAL PROPERTY MIZUTO_DECLARED_TESTS)
  file(GLOB found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/*_test.cpp
       ${PROJECT_SOURCE_DIR}/tests/gui/*_test.cpp ${PROJECT_SOURCE_DIR}/tests/web/*_test.cpp)
  foreach(source ${found})
    if(NOT source IN_LIST declared)
      message(FATAL_ERROR "${source} is not declared: add its mizuto_add_test to tests/tests.cmake")
    endif()
  endforeach()
endfunction()

function(mizuto_tests_target)
  get_property(tests GLOBAL PROPERTY MIZUTO_TEST_TARGETS)
  add_custom_target(mizuto_tests)
  add_dependencies(mizuto_tests ${tests})
endfunction()
