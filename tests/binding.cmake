# The Python runtime binding without an interpreter: the API loader and
# module creation against fake hosts, in process and in child processes,
# and the link shape of pyvaskor.so.
set(BINDING_TEST_DIR ${CMAKE_CURRENT_SOURCE_DIR}/binding)
include(${BINDING_TEST_DIR}/fake_host.cmake)

set(_py3_version "3.11.1 (main, Jan  1 2024, 00:00:00) [GCC 12.2.0]")
set(_py2_version "2.7.18 (default, Jan  1 2024, 00:00:00) [GCC 12.2.0]")

# Fake host libraries, opened by handle in the in-process tests.
set(_fake_host_lib_targets)
function(fake_host_library name)
  fake_host_source(src NAME ${name} ${ARGN})
  add_library(${name} SHARED ${src})
  target_include_directories(${name} PRIVATE ${BINDING_TEST_DIR})
  set_target_properties(${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/fake_hosts)
  set(_fake_host_lib_targets ${_fake_host_lib_targets} ${name} PARENT_SCOPE)
endfunction()
fake_host_library(fakehost_py3 VERSION "${_py3_version}" NAMES ${FAKE_HOST_PY3_NAMES})
fake_host_library(fakehost_py2 VERSION "${_py2_version}"
  NAMES ${FAKE_HOST_PY2_NAMES} Py_InitModule4 PyUnicodeUCS2_AsUTF8String)
fake_host_library(fakehost_all_creation VERSION "${_py3_version}"
  NAMES ${FAKE_HOST_PY3_NAMES} Py_InitModule4 Py_InitModule4_64 PyModule_Create2TraceRefs)
fake_host_library(fakehost_py314 VERSION "3.14.0 (main) [GCC 14.2.0]" NAMES ${FAKE_HOST_PY3_NAMES})
fake_host_library(fakehost_freethreaded VERSION "3.14.0 experimental free-threading build"
  NAMES ${FAKE_HOST_PY3_NAMES} PyExc_ImportError _Py_MergeZeroLocalRefcount)
fake_host_library(fakehost_v312 VERSION "3.12")
fake_host_library(fakehost_letter VERSION "Python 3.12.1")
fake_host_library(fakehost_empty_version EMPTY_VERSION)

add_executable(binding_tests
  ${BINDING_TEST_DIR}/lookup_recorder.cpp
  ${BINDING_TEST_DIR}/fake_hosts.cpp
  ${BINDING_TEST_DIR}/module_test_support.cpp
  ${BINDING_TEST_DIR}/loader_version_test.cpp
  ${BINDING_TEST_DIR}/loader_table_test.cpp
  ${BINDING_TEST_DIR}/loader_failure_test.cpp
  ${BINDING_TEST_DIR}/refcount_test.cpp
  ${BINDING_TEST_DIR}/host_profile_test.cpp
  ${BINDING_TEST_DIR}/module_create_test.cpp
  ${BINDING_TEST_DIR}/module_reinit_test.cpp)
target_include_directories(binding_tests PRIVATE ${PROJECT_SOURCE_DIR} ${BINDING_TEST_DIR})
target_compile_definitions(binding_tests PRIVATE FAKE_HOST_DIR="${CMAKE_CURRENT_BINARY_DIR}/fake_hosts"
  VASKOR_VERSION="${PROJECT_VERSION}")
# Every dlsym of the binding passes through the test's recorder.
target_link_options(binding_tests PRIVATE -Wl,--wrap=dlsym)
target_link_libraries(binding_tests PRIVATE pybinding GTest::gtest_main ${CMAKE_DL_LIBS})
add_dependencies(binding_tests ${_fake_host_lib_targets})
gtest_discover_tests(binding_tests DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "binding;cpp")

# Fake host processes that export their names to the module they load, as
# an interpreter does; the real module takes `log` from them, so libm too.
set(_fake_host_exe_targets)
function(fake_host_executable name)
  fake_host_source(src NAME ${name} ${ARGN})
  add_executable(${name} ${src} ${BINDING_TEST_DIR}/fake_host_main.c)
  target_include_directories(${name} PRIVATE ${BINDING_TEST_DIR})
  target_link_options(${name} PRIVATE -rdynamic -Wl,--no-as-needed -lm)
  target_link_libraries(${name} PRIVATE ${CMAKE_DL_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/fake_hosts)
  set(_fake_host_exe_targets ${_fake_host_exe_targets} ${name} PARENT_SCOPE)
endfunction()
set(_py3_without_super ${FAKE_HOST_PY3_NAMES})
list(REMOVE_ITEM _py3_without_super PySuper_Type)
set(_py2_without_utf8 ${FAKE_HOST_PY2_NAMES})
list(REMOVE_ITEM _py2_without_utf8 PyUnicodeUCS4_AsUTF8String)
fake_host_executable(fakehost_exe_py3 VERSION "${_py3_version}" NAMES ${FAKE_HOST_PY3_NAMES})
fake_host_executable(fakehost_exe_py2 VERSION "${_py2_version}" NAMES ${FAKE_HOST_PY2_NAMES})
fake_host_executable(fakehost_exe_noversion NAMES ${FAKE_HOST_PY3_NAMES})
fake_host_executable(fakehost_exe_letter VERSION "Python 3.12.1" NAMES ${FAKE_HOST_PY3_NAMES})
fake_host_executable(fakehost_exe_nosuper VERSION "${_py3_version}" NAMES ${_py3_without_super})
fake_host_executable(fakehost_exe_noutf8 VERSION "${_py2_version}" NAMES ${_py2_without_utf8})

add_executable(binding_process_tests
  ${BINDING_TEST_DIR}/child_process.cpp
  ${BINDING_TEST_DIR}/process_test.cpp)
target_compile_definitions(binding_process_tests PRIVATE
  VASKOR_VERSION="${PROJECT_VERSION}"
  FAKE_HOST_BIN_DIR="${CMAKE_CURRENT_BINARY_DIR}/fake_hosts"
  PYVASKOR_MODULE="$<TARGET_FILE:pyvaskor>")
target_link_libraries(binding_process_tests PRIVATE GTest::gtest_main)
if(CMAKE_CROSSCOMPILING_EMULATOR)
  list(JOIN CMAKE_CROSSCOMPILING_EMULATOR [[","]] _emulator)
  target_compile_definitions(binding_process_tests PRIVATE CHILD_EMULATOR="${_emulator}")
endif()
add_dependencies(binding_process_tests pyvaskor ${_fake_host_exe_targets})
gtest_discover_tests(binding_process_tests DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "binding;cpp")

# pyvaskor.so needs nothing beyond the C library and the dynamic loader,
# and exports the two init entries only (not so under the sanitizers, whose
# runtime it then needs).
if(NOT VASKOR_SANITIZE)
  add_test(NAME binding_library_shape
    COMMAND sh ${BINDING_TEST_DIR}/check_library.sh $<TARGET_FILE:pyvaskor> ${VASKOR_MIN_GLIBC})
  set_tests_properties(binding_library_shape PROPERTIES LABELS "binding")
endif()

# The glibc baseline shims of the module, built without redirection. The
# sanitizer builds use no shims (their runtimes intercept memcpy and sscanf,
# and a program binding the base memcpy beside them does not even load).
if(NOT VASKOR_SANITIZE)
  add_executable(libc_baseline_tests ${BINDING_TEST_DIR}/libc_baseline_test.cpp ${VASKOR_LIBC_BASELINE_SOURCE})
  target_link_libraries(libc_baseline_tests PRIVATE GTest::gtest_main ${CMAKE_DL_LIBS})
  gtest_discover_tests(libc_baseline_tests DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "binding;cpp")
endif()
