# The C interface from an install prefix, as a C user takes it: installs the
# build tree into a fresh prefix, checks libvaskor.so (its name, that it
# exports the C entries alone and needs no C++ runtime), then builds
# capi_test.c with gcc -std=c99 -pedantic -Werror through pkg-config, and
# again through find_package(vaskor), and runs both.
#
# cmake -DBUILD_DIR=<build> -DSOURCE=<capi_test.c> -DCONSUMER_DIR=<src>
#       -DWORK_DIR=<tmp> -DCC=<gcc> [-DPLUGIN=<libh5vaskor.so name>] [-DREADME=<README.md>]
#       -P package_test.cmake
# With README, the C API section's program is also saved as app.c and its
# shell block run as written, with HOME holding the prefix at opt/vaskor and
# no LD_LIBRARY_PATH; it must print the text block shown after the program.
foreach(var BUILD_DIR SOURCE CONSUMER_DIR WORK_DIR CC)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "package_test.cmake: ${var} is not set")
  endif()
endforeach()

function(run out_var)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " shown "${ARGN}")
    message(FATAL_ERROR "command failed (${rc}): ${shown}\n${out}\n${err}")
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
run(_ ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

include(GNUInstallDirs)
set(lib ${prefix}/${CMAKE_INSTALL_LIBDIR})
set(wanted ${prefix}/include/vaskor/vaskor.h ${lib}/libvaskor.so ${lib}/libvaskor.a ${lib}/pkgconfig/vaskor.pc)
if(PLUGIN)
  list(APPEND wanted ${lib}/hdf5/plugin/${PLUGIN})
endif()
foreach(f IN LISTS wanted)
  if(NOT EXISTS ${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

run(dynamic readelf -d --wide ${lib}/libvaskor.so)
if(NOT dynamic MATCHES "Library soname: \\[libvaskor\\.so\\.0\\]" OR dynamic MATCHES "libstdc\\+\\+|libgcc_s")
  message(FATAL_ERROR "libvaskor.so: want SONAME libvaskor.so.0 and no C++ runtime needed:\n${dynamic}")
endif()
run(exported nm -D --defined-only --format=posix ${lib}/libvaskor.so)
string(REGEX MATCHALL "(^|\n)[^ \n]+" names "${exported}")
foreach(name IN LISTS names)
  string(STRIP "${name}" name)
  string(REGEX REPLACE "@.*" "" name "${name}")
  if(NOT name MATCHES "^vaskor_" AND NOT name STREQUAL "VASKOR_0")
    message(FATAL_ERROR "libvaskor.so exports ${name}, outside the C interface")
  endif()
endforeach()

# pkg-config, finding the prefix from the .pc file's own place.
set(ENV{PKG_CONFIG_PATH} ${lib}/pkgconfig)
set(ENV{PKG_CONFIG_LIBDIR} ${lib}/pkgconfig)
run(flags pkg-config --cflags --libs vaskor)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(_ ${CC} -std=c99 -Wall -Wextra -pedantic -Werror ${SOURCE} ${flags} -o ${WORK_DIR}/capi_test)
set(ENV{LD_LIBRARY_PATH} ${lib})
run(printed ${WORK_DIR}/capi_test)
message(STATUS "pkg-config build: ${printed}")

run(_ ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/cmake-build
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=${CC} -DCAPI_TEST_SOURCE=${SOURCE}
    "-DCMAKE_C_FLAGS=-std=c99 -Wall -Wextra -pedantic -Werror"
    -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF)
run(_ ${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
unset(ENV{LD_LIBRARY_PATH})
run(printed ${WORK_DIR}/cmake-build/c_consumer)
message(STATUS "find_package build: ${printed}")

if(DEFINED README)
  include(${CMAKE_CURRENT_LIST_DIR}/../package/readme_block.cmake)
  file(READ ${README} readme)
  string(FIND "${readme}" "\n## C API\n" section)
  string(SUBSTRING "${readme}" ${section} -1 readme)
  # The blocks that follow one another: the program, what it prints, the build.
  readme_block("${readme}" "```c" program)
  readme_block("${program_after}" "```text" expected)
  readme_block("${expected_after}" "```sh" shell)
  set(home ${WORK_DIR}/home)
  file(MAKE_DIRECTORY ${home}/opt ${home}/app)
  file(CREATE_LINK ${prefix} ${home}/opt/vaskor SYMBOLIC)
  file(WRITE ${home}/app/app.c "${program}")
  set(ENV{HOME} ${home})
  execute_process(COMMAND sh -ec "${shell}" WORKING_DIRECTORY ${home}/app
                  RESULT_VARIABLE rc OUTPUT_VARIABLE printed ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT printed STREQUAL expected)
    message(FATAL_ERROR "README C example: status ${rc}, printed\n${printed}${err}\nexpected\n${expected}")
  endif()
  message(STATUS "README C example built and ran as written: ${printed}")
endif()
