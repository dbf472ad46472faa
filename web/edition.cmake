# The web edition as a target of the native build: emscripten builds it from
# the same sources, in a CMake tree of its own (the top-level CMakeLists.txt
# under emcmake), into build/web, so that the native tests always compare
# and drive the web edition of the sources they were built from.
find_program(NYAJKOR_EMCMAKE emcmake REQUIRED)
set(NYAJKOR_WEB_DIR ${PROJECT_SOURCE_DIR}/build/web)
set(web_tree ${CMAKE_BINARY_DIR}/web-edition)
# emscripten's JavaScript optimiser needs acorn, which Debian keeps there
set(web_env ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
add_custom_command(OUTPUT ${web_tree}/CMakeCache.txt
  COMMAND ${web_env} ${NYAJKOR_EMCMAKE} ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${web_tree}
          -DCMAKE_BUILD_TYPE=Release -DCMAKE_RUNTIME_OUTPUT_DIRECTORY=${NYAJKOR_WEB_DIR}
  VERBATIM)
# two jobs of its own, outside the calling make's job server
add_custom_target(web ALL
  COMMAND ${web_env} --unset=MAKEFLAGS ${CMAKE_COMMAND} --build ${web_tree} --parallel 2
  DEPENDS ${web_tree}/CMakeCache.txt
  COMMENT "Building the web edition into ${NYAJKOR_WEB_DIR}"
  VERBATIM)
