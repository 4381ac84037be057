# The Python suite on every interpreter of the machine: Python 2.7 and each
# Python 3. The driver finds them; VASKOR_PYTHONS overrides the list.
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

# One test per interpreter, so that ctest runs them side by side; the
# driver's own search picks them, at configure time.
set(_pythons ${VASKOR_PYTHONS})
if(NOT _pythons)
  execute_process(
    COMMAND ${Python3_EXECUTABLE} -c
      "import sys; sys.path.insert(0, sys.argv[1]); import run_suite; print(';'.join(run_suite.find_interpreters()))"
      ${CMAKE_CURRENT_SOURCE_DIR}/python
    OUTPUT_VARIABLE _pythons OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
set(_majors "")
foreach(python IN LISTS _pythons)
  execute_process(COMMAND ${python} -c "import sys; print(sys.version_info[0])"
    OUTPUT_VARIABLE major OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT major MATCHES "^[23]$")
    set(major 3)  # not runnable: its test fails saying so
  endif()
  list(APPEND _majors ${major})
  # pyenv's .../versions/3.12.1/bin/python -> 3.12.1, /usr/bin/python3 -> python3
  string(REGEX REPLACE "^.*/versions/([^/]+)/bin/python$" "\\1" name ${python})
  get_filename_component(name ${name} NAME)
  add_test(NAME python_suite.${name}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/python/run_suite.py
      --build-dir ${PROJECT_BINARY_DIR}
      --source-dir ${PROJECT_SOURCE_DIR}
      --pythons ${python}
      --majors ${major})
  # A hung interpreter must not hold CI until its own limit. The longest
  # tests: started first, beside the many short native ones.
  set_tests_properties(python_suite.${name} PROPERTIES
    LABELS "python" TIMEOUT 1200 COST 1000)
endforeach()
if(NOT "3" IN_LIST _majors)
  # The driver over all of them fails, saying no Python 3 ran.
  string(REPLACE ";" "," _pythons "${_pythons}")
  add_test(NAME python_suite
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/python/run_suite.py
      --build-dir ${PROJECT_BINARY_DIR}
      --source-dir ${PROJECT_SOURCE_DIR}
      --pythons "${_pythons}")
  set_tests_properties(python_suite PROPERTIES LABELS "python" TIMEOUT 3000)
endif()
