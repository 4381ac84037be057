# Installs the build tree into a fresh prefix, then configures, builds and
# runs tests/package/consumer against that prefix only; with README given,
# the same for the README's C++ example.
#
# cmake -DBUILD_DIR=<build> -DCONSUMER_DIR=<src> -DWORK_DIR=<tmp>
#       -DCXX=<compiler> -DAR=<ar> [-DREADME=<README.md>] [-DEMULATOR=<command|args...>]
#       -P consumer_test.cmake
# EMULATOR runs the consumer when CXX builds for another machine.
foreach(var BUILD_DIR CONSUMER_DIR WORK_DIR CXX AR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "consumer_test.cmake: ${var} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " shown "${ARGN}")
    message(FATAL_ERROR "command failed (${rc}): ${shown}")
  endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
set(build ${WORK_DIR}/build)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(f
    include/vaskor/utils.hpp
    include/vaskor/bpe.hpp
    include/vaskor/ne.hpp
    include/vaskor/failure.hpp
    lib/libvaskor.a
    lib/cmake/vaskor/vaskorConfig.cmake
    lib/cmake/vaskor/vaskorConfigVersion.cmake
    lib/cmake/vaskor/vaskorTargets.cmake)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

# Only the public API is installed, all of it under include/vaskor.
file(GLOB_RECURSE installed RELATIVE ${prefix}/include ${prefix}/include/*)
list(SORT installed)
set(public vaskor/bpe.hpp vaskor/codec.hpp vaskor/codec_functions.inc vaskor/failure.hpp vaskor/frame.hpp
           vaskor/frame_names.h vaskor/ne.hpp
           vaskor/utils.hpp vaskor/value_sink.hpp vaskor/vaskor.h)
if(NOT installed STREQUAL public)
  message(FATAL_ERROR "installed headers: ${installed}; want only: ${public}")
endif()

# The runtime's objects travel inside the one archive.
execute_process(COMMAND ${AR} t ${prefix}/lib/libvaskor.a
                OUTPUT_VARIABLE members RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT members MATCHES "failure\\.cpp\\.o")
  message(FATAL_ERROR "libvaskor.a lacks the runtime objects; members:\n${members}")
endif()

run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${build}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_CXX_COMPILER=${CXX}
    -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
    -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF)

# The package must have come from the fresh prefix, not from anywhere else.
file(STRINGS ${build}/CMakeCache.txt found REGEX "^vaskor_DIR:")
if(NOT found STREQUAL "vaskor_DIR:PATH=${prefix}/lib/cmake/vaskor")
  message(FATAL_ERROR "vaskor found elsewhere: ${found}")
endif()

run(${CMAKE_COMMAND} --build ${build})
string(REPLACE "|" ";" emulator "${EMULATOR}")
run(${emulator} ${build}/consumer)

# The README's C++ example, compiled as written against the same prefix;
# it must print the README's ```text block that follows it.
include(${CMAKE_CURRENT_LIST_DIR}/readme_block.cmake)

if(DEFINED README)
  file(READ ${README} readme)
  # The complete program of the C++ API section (other sections show fragments).
  string(FIND "${readme}" "\n## C++ API\n" section)
  string(SUBSTRING "${readme}" ${section} -1 readme)
  readme_block("${readme}" "```cpp" snippet)
  readme_block("${snippet_after}" "```text" expected)
  set(example ${WORK_DIR}/readme)
  file(MAKE_DIRECTORY ${example})
  file(WRITE ${example}/main.cpp "${snippet}")
  file(COPY ${CONSUMER_DIR}/CMakeLists.txt DESTINATION ${example})
  run(${CMAKE_COMMAND} -S ${example} -B ${example}/build
      -DCMAKE_BUILD_TYPE=Release
      -DCMAKE_CXX_COMPILER=${CXX}
      -DCMAKE_PREFIX_PATH=${prefix}
      -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
      -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF)
  run(${CMAKE_COMMAND} --build ${example}/build)
  execute_process(COMMAND ${emulator} ${example}/build/consumer OUTPUT_VARIABLE printed RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT printed STREQUAL expected)
    message(FATAL_ERROR "README example: status ${rc}, printed\n${printed}\nexpected\n${expected}")
  endif()
  message(STATUS "README example compiled, ran and printed what the README shows")
endif()
