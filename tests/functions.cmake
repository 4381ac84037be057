# The module functions. A test-only extension module, _vaskor_argcheck,
# built from the same binding code and with the same link rules as pyvaskor
# and placed beside it for the Python suite; it is never installed.
add_library(_vaskor_argcheck MODULE ${CMAKE_CURRENT_SOURCE_DIR}/functions/argcheck_module.cpp)
target_link_libraries(_vaskor_argcheck PRIVATE pybinding)
target_compile_options(_vaskor_argcheck PRIVATE -fvisibility=hidden -fvisibility-inlines-hidden)
set(_argcheck_map ${CMAKE_CURRENT_SOURCE_DIR}/functions/argcheck_exports.map)
target_link_options(_vaskor_argcheck PRIVATE
  -static-libstdc++ -static-libgcc
  -Wl,--version-script=${_argcheck_map}
  -Wl,--as-needed -Wl,-z,now)
set_target_properties(_vaskor_argcheck PROPERTIES
  PREFIX "" SUFFIX ".so"
  LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}
  LINK_DEPENDS ${_argcheck_map})
vaskor_libc_baseline(_vaskor_argcheck)

# The per-call thread attach, natively.
find_package(Threads REQUIRED)
add_executable(thread_attach_test
  ${CMAKE_CURRENT_SOURCE_DIR}/functions/thread_attach_test.cpp
  ${PROJECT_SOURCE_DIR}/pybinding/process_hooks.cpp)
target_include_directories(thread_attach_test PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(thread_attach_test PRIVATE GTest::gtest_main Threads::Threads)
gtest_discover_tests(thread_attach_test PROPERTIES LABELS "functions;cpp")
