# The Python suite on Debian's arm64 Python 3.11 and 2.7 under qemu: their
# packages unpacked once into a sysroot in the build folder (sysroot.sh),
# driven by the build machine's python3.
set(VASKOR_AARCH64_SYSROOT ${PROJECT_BINARY_DIR}/sysroot)
add_test(NAME aarch64.python_sysroot
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/sysroot.sh ${VASKOR_AARCH64_SYSROOT})
set_tests_properties(aarch64.python_sysroot PROPERTIES
  FIXTURES_SETUP aarch64_pythons LABELS "python" TIMEOUT 600)

find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME python_suite
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/python/run_suite.py
    --build-dir ${PROJECT_BINARY_DIR}
    --source-dir ${PROJECT_SOURCE_DIR}
    --pythons ${VASKOR_AARCH64_SYSROOT}/bin/python3.11,${VASKOR_AARCH64_SYSROOT}/bin/python2.7)
set_tests_properties(python_suite PROPERTIES
  FIXTURES_REQUIRED aarch64_pythons LABELS "python" TIMEOUT 3000)
