# The Python suite on Debian's arm64 Python 3.11 and 2.7 under qemu, one
# test each so that they run side by side: their packages are unpacked
# once into a sysroot in the build folder (sysroot.sh), and the build
# machine's python3 drives them.
set(VASKOR_AARCH64_SYSROOT ${PROJECT_BINARY_DIR}/sysroot)
add_test(NAME aarch64.python_sysroot
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/sysroot.sh ${VASKOR_AARCH64_SYSROOT})
set_tests_properties(aarch64.python_sysroot PROPERTIES
  FIXTURES_SETUP aarch64_pythons LABELS "python" TIMEOUT 600 COST 10000)

find_package(Python3 COMPONENTS Interpreter REQUIRED)
foreach(python python3.11 python2.7)
  string(REGEX MATCH "[23]" major ${python})
  add_test(NAME python_suite.${python}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/python/run_suite.py
      --build-dir ${PROJECT_BINARY_DIR}
      --source-dir ${PROJECT_SOURCE_DIR}
      --pythons ${VASKOR_AARCH64_SYSROOT}/bin/${python}
      --majors ${major})
  # The longest tests: started first, beside the many short native ones.
  set_tests_properties(python_suite.${python} PROPERTIES
    FIXTURES_REQUIRED aarch64_pythons LABELS "python" TIMEOUT 3000 COST 1000)
endforeach()
