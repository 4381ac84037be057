# Packaging tests: the C++ package installed into a fresh prefix and used by
# an outside project and by the README's example; the wheel built, checked,
# tagged, installed with the own pip of Python 2.7, 3.6, Debian's python3,
# PyPy 3 and the newest Python 3, and
# type-checked by mypy from a venv; `pip install .` and the sdist into fresh
# venvs.
#
# Not registered in sanitizer or fuzzing builds: those objects need the
# sanitizer runtime in every consumer and interpreter, and are not what is
# shipped.
if(VASKOR_SANITIZE OR VASKOR_FUZZ)
  return()
endif()

set(VASKOR_PKG_WORK ${PROJECT_BINARY_DIR}/package-tests)
string(REPLACE ";" "|" _pkg_emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")

add_test(NAME package.cpp_consumer
  COMMAND ${CMAKE_COMMAND}
    -DBUILD_DIR=${PROJECT_BINARY_DIR}
    -DCONSUMER_DIR=${CMAKE_CURRENT_SOURCE_DIR}/package/consumer
    -DWORK_DIR=${VASKOR_PKG_WORK}/consumer
    -DCXX=${CMAKE_CXX_COMPILER}
    -DAR=${CMAKE_AR}
    -DREADME=${PROJECT_SOURCE_DIR}/README.md
    "-DEMULATOR=${_pkg_emulator}"
    -P ${CMAKE_CURRENT_SOURCE_DIR}/package/consumer_test.cmake)
set_tests_properties(package.cpp_consumer PROPERTIES TIMEOUT 600)

# The wheel tests install into the build machine's interpreters.
if(NOT VASKOR_BUILD_PYTHON OR CMAKE_CROSSCOMPILING)
  return()
endif()

# Interpreters: every candidate is asked for its version, since a pyenv shim
# on PATH may exist for a version that is not selected and then fails.
function(vaskor_find_pythons out_py27 out_py3)
  set(root $ENV{PYENV_ROOT})
  if(NOT root)
    set(root $ENV{HOME}/.pyenv)
  endif()
  file(GLOB candidates ${root}/versions/*/bin/python)
  foreach(name python2.7 python3 python3.6 python3.7 python3.8 python3.9 python3.10
               python3.11 python3.12 python3.13 python3.14)
    find_program(VASKOR_PKG_FOUND_${name} ${name})
    mark_as_advanced(VASKOR_PKG_FOUND_${name})
    if(VASKOR_PKG_FOUND_${name})
      list(APPEND candidates ${VASKOR_PKG_FOUND_${name}})
    endif()
  endforeach()
  list(APPEND candidates /usr/bin/python2.7 /usr/bin/python3)
  set(py27 "")
  set(py3 "")
  set(py3_version "0")
  foreach(exe IN LISTS candidates)
    if(NOT EXISTS ${exe})
      continue()
    endif()
    execute_process(
      COMMAND ${exe} -c "import sys; print('%d.%d.%d' % tuple(sys.version_info[:3]))"
      OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE rc ERROR_QUIET)
    if(NOT rc EQUAL 0)
      continue()
    endif()
    if(version MATCHES "^2\\.7\\." AND NOT py27)
      set(py27 ${exe})
    elseif(version MATCHES "^3\\." AND version VERSION_GREATER py3_version)
      set(py3 ${exe})
      set(py3_version ${version})
    endif()
  endforeach()
  set(${out_py27} "${py27}" PARENT_SCOPE)
  set(${out_py3} "${py3}" PARENT_SCOPE)
endfunction()

vaskor_find_pythons(VASKOR_PKG_PY27 VASKOR_PKG_PY3)
message(STATUS "Package tests: Python 2.7 at '${VASKOR_PKG_PY27}', newest Python 3 at '${VASKOR_PKG_PY3}'")

if(NOT VASKOR_PKG_PY3)
  # Without any Python 3 there is nothing to build or check the wheel with.
  add_test(NAME package.wheel_build COMMAND ${CMAKE_COMMAND} -E false)
  set_tests_properties(package.wheel_build PROPERTIES DISABLED TRUE)
  return()
endif()

set(wheel_test ${CMAKE_CURRENT_SOURCE_DIR}/package/wheel_test.py)
set(module $<TARGET_FILE:pyvaskor>)

add_test(NAME package.wheel_build
  COMMAND ${VASKOR_PKG_PY3} ${wheel_test} build
    --module ${module} --work ${VASKOR_PKG_WORK}/wheel_build --min-glibc ${VASKOR_MIN_GLIBC})

add_test(NAME package.wheel_tags
  COMMAND ${VASKOR_PKG_PY3} ${wheel_test} tags
    --module ${module} --work ${VASKOR_PKG_WORK}/wheel_tags)

# The wheel installed as users install it, each with the pip its interpreter
# brings: pip's platform check decides, as for them. pyenv's 2.7 (pip 19.2.3,
# --user) and 3.6 (venv, pip 18.1) know only the legacy manylinux names;
# Debian's python3 and PyPy 3 in venvs. One that is not here is skipped,
# saying so.
set(_pyenv_root $ENV{PYENV_ROOT})
if(NOT _pyenv_root)
  set(_pyenv_root $ENV{HOME}/.pyenv)
endif()
file(GLOB _py36 ${_pyenv_root}/versions/3.6.*/bin/python)
list(APPEND _py36 ${_pyenv_root}/versions/3.6/bin/python)
list(GET _py36 0 _py36)
if(NOT VASKOR_PKG_PY27)
  set(VASKOR_PKG_PY27 ${_pyenv_root}/versions/2.7/bin/python)
endif()
foreach(host py27:${VASKOR_PKG_PY27} py36:${_py36} debian_py3:/usr/bin/python3
             pypy3:/usr/bin/pypy3 newest_py3:${VASKOR_PKG_PY3})
  string(REPLACE ":" ";" host ${host})
  list(GET host 0 name)
  list(GET host 1 exe)
  add_test(NAME package.wheel_install_${name}
    COMMAND ${VASKOR_PKG_PY3} ${wheel_test} install
      --module ${module} --work ${VASKOR_PKG_WORK}/wheel_${name} --python ${exe})
  set_tests_properties(package.wheel_install_${name} PROPERTIES
    TIMEOUT 600 SKIP_RETURN_CODE 77)
endforeach()

# Debian's mypy finds the stubs of the installed wheel.
add_test(NAME package.wheel_types
  COMMAND ${VASKOR_PKG_PY3} ${CMAKE_CURRENT_SOURCE_DIR}/package/typing_test.py
    --module ${module} --work ${VASKOR_PKG_WORK}/wheel_types)
set_tests_properties(package.wheel_types PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)

# Debian's own interpreter with Debian's setuptools and wheel, as documented.
# `pip install .` reuses this build tree, where the module is already built;
# the sdist is built from scratch, as a user without a build gets it, and so
# also proves the archive holds every source the build needs.
add_test(NAME package.pip_install_venv
  COMMAND ${VASKOR_PKG_PY3} ${CMAKE_CURRENT_SOURCE_DIR}/package/venv_test.py
    --python /usr/bin/python3 --work ${VASKOR_PKG_WORK}/venv
    --build-dir ${PROJECT_BINARY_DIR})
set_tests_properties(package.pip_install_venv PROPERTIES
  TIMEOUT 600
  SKIP_RETURN_CODE 77)

add_test(NAME package.sdist_install
  COMMAND ${VASKOR_PKG_PY3} ${CMAKE_CURRENT_SOURCE_DIR}/package/venv_test.py
    --python /usr/bin/python3 --work ${VASKOR_PKG_WORK}/sdist --sdist)
# The longest test: started first, so that it does not run alone at the end
# of a parallel ctest on a machine without earlier timings.
set_tests_properties(package.sdist_install PROPERTIES
  TIMEOUT 1200
  COST 10000
  SKIP_RETURN_CODE 77)

# The README's interactive examples, as a reader would type them.
add_test(NAME package.readme_examples
  COMMAND ${VASKOR_PKG_PY3} ${CMAKE_CURRENT_SOURCE_DIR}/package/readme_examples.py
    ${PROJECT_SOURCE_DIR}/README.md $<TARGET_FILE_DIR:pyvaskor> ${VASKOR_MIN_GLIBC})
