# The Python suite on every interpreter of the machine: Python 2.7 and each
# Python 3. The driver finds them itself; VASKOR_PYTHONS overrides the list.
# A sanitizer build of the module cannot load into an ordinary interpreter.
if(VASKOR_SANITIZE)
  return()
endif()
if(CMAKE_CROSSCOMPILING)
  # The build machine's interpreters cannot load the module; the target's
  # own, under the emulator, where the target has them.
  include(${CMAKE_CURRENT_SOURCE_DIR}/${CMAKE_SYSTEM_PROCESSOR}/python.cmake OPTIONAL)
  return()
endif()
set(VASKOR_PYTHONS "" CACHE STRING
  "Interpreters to run the Python tests on (semicolon list); empty: every one found")
find_package(Python3 COMPONENTS Interpreter REQUIRED)

string(REPLACE ";" "," _pythons "${VASKOR_PYTHONS}")
add_test(NAME python_suite
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/python/run_suite.py
    --build-dir ${PROJECT_BINARY_DIR}
    --source-dir ${PROJECT_SOURCE_DIR}
    --pythons "${_pythons}")
# A hung interpreter must not hold CI until its own limit.
set_tests_properties(python_suite PROPERTIES LABELS "python" TIMEOUT 3000)
