# The C interface: the C entries against the C++ forms (GoogleTest), the C
# frame decoder's fuzz target replayed over its seeds, and, outside sanitizer
# and fuzzing builds, the installed header and libvaskor.so used from C99
# through pkg-config and find_package.
add_executable(capi_tests ${CMAKE_CURRENT_SOURCE_DIR}/capi/capi_table_test.cpp)
target_link_libraries(capi_tests PRIVATE vaskor GTest::gtest_main)
gtest_discover_tests(capi_tests TEST_PREFIX "capi." DISCOVERY_TIMEOUT 60)

add_executable(fuzz_replay_capi_frame_decode
  ${PROJECT_SOURCE_DIR}/fuzz/capi_frame_decode_fuzzer.cpp ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
target_include_directories(fuzz_replay_capi_frame_decode PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(fuzz_replay_capi_frame_decode PRIVATE vaskor)
add_test(NAME capi.fuzz_replay_frame_decode
  COMMAND fuzz_replay_capi_frame_decode
    ${PROJECT_SOURCE_DIR}/fuzz/seeds/capi_frame_decode ${PROJECT_SOURCE_DIR}/fuzz/regressions/capi_frame_decode)

if(VASKOR_SANITIZE OR VASKOR_FUZZ OR CMAKE_CROSSCOMPILING)
  return()
endif()
find_program(VASKOR_GCC gcc)
find_program(VASKOR_PKG_CONFIG pkg-config)
if(NOT VASKOR_GCC OR NOT VASKOR_PKG_CONFIG)
  message(STATUS "C interface package test left out: gcc or pkg-config not found")
  return()
endif()
set(_plugin "")
if(TARGET h5vaskor)
  set(_plugin -DPLUGIN=$<TARGET_FILE_NAME:h5vaskor>)
endif()
add_test(NAME capi.package_c99
  COMMAND ${CMAKE_COMMAND}
    -DBUILD_DIR=${PROJECT_BINARY_DIR}
    -DSOURCE=${CMAKE_CURRENT_SOURCE_DIR}/capi/capi_test.c
    -DCONSUMER_DIR=${CMAKE_CURRENT_SOURCE_DIR}/capi/consumer
    -DWORK_DIR=${PROJECT_BINARY_DIR}/package-tests/capi
    -DCC=${VASKOR_GCC}
    -DREADME=${PROJECT_SOURCE_DIR}/README.md
    ${_plugin}
    -P ${CMAKE_CURRENT_SOURCE_DIR}/capi/package_test.cmake)
set_tests_properties(capi.package_c99 PROPERTIES TIMEOUT 300)
