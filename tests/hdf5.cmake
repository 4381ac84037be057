# The HDF5 filter as HDF5's users reach it. With Debian's libhdf5-dev: the
# filter's own HDF5 declarations against the real headers, and its binding
# against the real library (decl_test.c); a C program writing through
# H5Pset_filter. On Debian's python3 with h5py: the filter registered by
# `import pyvaskor_hdf5` from this build's wheel layout (tests/hdf5/test_*.py,
# which the host matrix also runs on Debian 11, 12 and sid), then h5dump and
# h5repack through HDF5_PLUGIN_PATH at an installed prefix, and the wheel
# installed by pip into a fresh venv (filter_test.py). Skipped, saying why,
# without h5py or hdf5-tools.
if(VASKOR_SANITIZE OR VASKOR_FUZZ OR CMAKE_CROSSCOMPILING)
  return()
endif()
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(VASKOR_HDF5 QUIET IMPORTED_TARGET hdf5-serial)
endif()
set(_writer "")
if(VASKOR_HDF5_FOUND)
  add_executable(h5_decl_test ${CMAKE_CURRENT_SOURCE_DIR}/hdf5/decl_test.c ${PROJECT_SOURCE_DIR}/h5filter/hdf5_bind.c)
  target_include_directories(h5_decl_test PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_features(h5_decl_test PRIVATE c_std_11)
  target_compile_options(h5_decl_test PRIVATE -Werror=incompatible-pointer-types)
  target_link_libraries(h5_decl_test PRIVATE PkgConfig::VASKOR_HDF5)
  add_test(NAME hdf5.declarations COMMAND h5_decl_test)

  add_executable(h5_write_dataset ${CMAKE_CURRENT_SOURCE_DIR}/hdf5/write_dataset.c)
  target_include_directories(h5_write_dataset PRIVATE ${PROJECT_SOURCE_DIR}/include)
  target_link_libraries(h5_write_dataset PRIVATE PkgConfig::VASKOR_HDF5)
  add_dependencies(h5_write_dataset h5vaskor)
  set(_writer --writer $<TARGET_FILE:h5_write_dataset>)
else()
  message(STATUS "HDF5 C tests left out: pkg-config finds no hdf5-serial (Debian libhdf5-dev)")
endif()

if(NOT EXISTS /usr/bin/python3)
  return()
endif()
add_test(NAME hdf5.h5py
  COMMAND /usr/bin/python3 -m unittest discover -v -s ${CMAKE_CURRENT_SOURCE_DIR}/hdf5 -p test_*.py)
set_tests_properties(hdf5.h5py PROPERTIES TIMEOUT 300
  ENVIRONMENT "PYTHONPATH=${PROJECT_BINARY_DIR}")
add_test(NAME hdf5.tools
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/hdf5/filter_test.py
    --build-dir ${PROJECT_BINARY_DIR} ${_writer} --work ${PROJECT_BINARY_DIR}/hdf5-tests)
set_tests_properties(hdf5.tools PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
