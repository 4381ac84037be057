# Hardening: the fuzz targets replayed over their seeds and every input that
# ever failed, built with the ordinary compiler (and so also under the
# sanitizers); the load tests at full size on two interpreters; and, in
# sanitizer builds, the leak canary that `make test-sanitize` loads.
if(TARGET vaskor_reference)
  include(${PROJECT_SOURCE_DIR}/fuzz/targets.cmake)
  # The C frame decoder's target is replayed with the C interface's tests,
  # which run without the Python module too.
  list(REMOVE_ITEM VASKOR_FUZZ_TARGETS capi_frame_decode)
  foreach(t IN LISTS VASKOR_FUZZ_TARGETS)
    add_executable(fuzz_replay_${t}
      ${PROJECT_SOURCE_DIR}/fuzz/${t}_fuzzer.cpp
      ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
    target_include_directories(fuzz_replay_${t} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(fuzz_replay_${t} PRIVATE vaskor vaskor_reference)
    add_test(NAME hardening.fuzz_replay_${t}
      COMMAND fuzz_replay_${t}
        ${PROJECT_SOURCE_DIR}/fuzz/seeds/${t}
        ${PROJECT_SOURCE_DIR}/fuzz/regressions/${t})
    set_tests_properties(hardening.fuzz_replay_${t} PROPERTIES LABELS "hardening;cpp")
  endforeach()
endif()

if(VASKOR_SANITIZE)
  # Built like the module: static C++ runtime, one exported symbol.
  add_library(hardening_leak_canary MODULE ${CMAKE_CURRENT_SOURCE_DIR}/hardening/leak_canary.cpp)
  target_compile_options(hardening_leak_canary PRIVATE -fvisibility=hidden)
  target_link_options(hardening_leak_canary PRIVATE -static-libstdc++ -static-libgcc)
  set_target_properties(hardening_leak_canary PROPERTIES
    PREFIX "" SUFFIX ".so" LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
elseif(NOT CMAKE_CROSSCOMPILING)
  # The full-size load tests (10^6 calls, 8 threads x 10^5 calls, 10^7
  # values) on the newest Python 3 and Python 2.7; every other interpreter
  # runs them at a tenth of the size inside the Python suite.
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  add_test(NAME hardening.python_load_full
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/hardening/python_pair.py
      --heavy --pattern test_hardening_load.py
      --build-dir ${PROJECT_BINARY_DIR} --source-dir ${PROJECT_SOURCE_DIR})
  # Long: started early, beside other tests (what it checks is its own
  # process; its timings are figures only).
  set_tests_properties(hardening.python_load_full PROPERTIES
    LABELS "hardening;python" TIMEOUT 1200 COST 2000)
endif()
