# The Qt-free core as layers that look only down: one static library per folder under src/,
# each linking only the layer(s) on the level right below it.
#
#   mizuto_layer(<folder> LEVEL <n> [LIBS <libraries>...] [DEFINITIONS <defines>...]
#                [EXCLUDE <regex>...])
#
# makes mizuto_<folder> from every .cpp below src/<folder>/ (app keeps its files in folders by
# feature), less the files an EXCLUDE pattern matches
# (a layer with two ways of doing one thing, chosen by the build). A layer links every layer one level below
# it and nothing else, so layers on one level are siblings that never see each other.
# Declare them from the bottom up. scripts/check_layers.sh reads its ranks from the
# mizuto_layer lines in CMakeLists.txt, so the build and the include check cannot disagree.
#
# A file that uses a layer above its own (or a sibling) leaves an undefined symbol in its
# layer's library. The program would often still link, because the layer above is on its
# link line anyway; so every layer is also linked whole, with only what it links, into a
# small closure check (mizuto_layer_closures), and that link fails.

set_property(GLOBAL PROPERTY MIZUTO_LAYERS)
set_property(GLOBAL PROPERTY MIZUTO_LAYER_TOP -1)

function(mizuto_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "LEVEL" "LIBS;DEFINITIONS;EXCLUDE")
  if(arg_UNPARSED_ARGUMENTS OR NOT arg_LEVEL MATCHES "^[0-9]+$")
    message(FATAL_ERROR "mizuto_layer(${name} LEVEL <n> [LIBS ...] [DEFINITIONS ...])")
  endif()
  get_property(top GLOBAL PROPERTY MIZUTO_LAYER_TOP)
  if(arg_LEVEL LESS top)
    message(FATAL_ERROR "mizuto_layer(${name}): declare layers from the bottom up "
                        "(level ${arg_LEVEL} after level ${top})")
  endif()
  set(below)
  if(arg_LEVEL GREATER 0)
    math(EXPR level_below "${arg_LEVEL} - 1")
    get_property(below GLOBAL PROPERTY MIZUTO_LAYERS_AT_${level_below})
    if(NOT below)
      message(FATAL_ERROR "mizuto_layer(${name}): no layer on level ${level_below} to stand on")
    endif()
  endif()

  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${name}/*.cpp)
  foreach(pattern ${arg_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "${pattern}")
  endforeach()
  if(NOT sources)
    message(FATAL_ERROR "mizuto_layer(${name}): no sources in src/${name}/")
  endif()
  add_library(mizuto_${name} STATIC ${sources})
  # Headers are named from src/ ("battle/tables.h"), whichever layer includes them.
  target_include_directories(mizuto_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(mizuto_${name} PUBLIC ${below} ${arg_LIBS})
  if(arg_DEFINITIONS)
    target_compile_definitions(mizuto_${name} PUBLIC ${arg_DEFINITIONS})
  endif()

  set_property(GLOBAL APPEND PROPERTY MIZUTO_LAYERS_AT_${arg_LEVEL} mizuto_${name})
  set_property(GLOBAL APPEND PROPERTY MIZUTO_LAYERS mizuto_${name})
  set_property(GLOBAL PROPERTY MIZUTO_LAYER_TOP ${arg_LEVEL})
endfunction()

# The libraries of the highest level: what links the whole core.
function(mizuto_top_layers out)
  get_property(top GLOBAL PROPERTY MIZUTO_LAYER_TOP)
  get_property(layers GLOBAL PROPERTY MIZUTO_LAYERS_AT_${top})
  set(${out} ${layers} PARENT_SCOPE)
endfunction()

# One executable per library named (<library>_closure), holding all of that
# library's objects and linking only what the library links; target mizuto_layer_closures
# builds them all, in the Windows cross build too, which alone compiles the Windows files of
# the platform and text layers. Where the linker cannot take a whole archive there is
# nothing to build.
function(mizuto_layer_closures)
  add_custom_target(mizuto_layer_closures ALL)
  if(NOT CMAKE_LINK_LIBRARY_USING_WHOLE_ARCHIVE_SUPPORTED)
    return()
  endif()
  set(main ${CMAKE_BINARY_DIR}/layer_closure_main.cpp)
  file(CONFIGURE OUTPUT ${main} CONTENT "int main() { return 0; }\n")
  foreach(library ${ARGN})
    set(check ${library}_closure)
    add_executable(${check} ${main})
    target_link_libraries(${check} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${library}>")
    # Kept out of the way of the programs and tests in the build folder.
    set_target_properties(${check} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/layer_closures)
    add_dependencies(mizuto_layer_closures ${check})
  endforeach()
endfunction()
