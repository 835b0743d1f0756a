# The program is built in layers, lowest first: io, audio, d3d9, pixels,
# image_io, archive, render, edit, shell, then the window program (app) and
# the command line (cli). A layer links only to layers below it, and it sees only their
# headers: each layer's include root holds a link to its own folder and
# nothing else, so an #include of a higher layer fails the build.

# vantoro_add_layer(<target> <folder> SOURCES <files...> LINKS <targets...>)
function(vantoro_add_layer target folder)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  set(root ${PROJECT_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${root})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC ${ARG_LINKS})
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()

# Tests, benchmarks and tools sit above every layer and see the whole tree.
function(vantoro_add_top target)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()

# The programs a user starts (vantoro, vantoro-cli, vantoro-bench) sit at the
# top of the build folder, where the README and scripts/run.sh name them.
function(vantoro_place_in_build_root target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
endfunction()
