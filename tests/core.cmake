# Core tests: native failures, the bit-length rule and both codecs, checked
# against worked vectors and against the slow reference model.

# The reference model, shared with benchmarks and fuzzers.
add_library(vaskor_reference STATIC ${CMAKE_CURRENT_SOURCE_DIR}/reference/reference_model.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/reference/frame_model.cpp ${CMAKE_CURRENT_SOURCE_DIR}/reference/blocked_model.cpp)
target_link_libraries(vaskor_reference PUBLIC vaskor)
target_include_directories(vaskor_reference PUBLIC ${PROJECT_SOURCE_DIR})

file(GLOB CORE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/core/*.cpp)
add_executable(core_tests ${CORE_TEST_SOURCES})
target_link_libraries(core_tests PRIVATE vaskor_internals vaskor_reference GTest::gtest_main)
gtest_discover_tests(core_tests TEST_PREFIX "core." DISCOVERY_TIMEOUT 60)
