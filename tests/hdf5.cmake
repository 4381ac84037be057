# The HDF5 filter plugin as HDF5's own readers load it: h5py (Debian's, in
# fresh /usr/bin/python3 processes), h5dump and a C program writing through
# HDF5's C API, all with HDF5_PLUGIN_PATH naming the built plugin's folder.
# Skipped, saying why, without h5py or h5dump.
if(NOT TARGET h5vaskor OR VASKOR_SANITIZE OR VASKOR_FUZZ OR CMAKE_CROSSCOMPILING)
  return()
endif()
add_executable(h5_write_dataset ${CMAKE_CURRENT_SOURCE_DIR}/hdf5/write_dataset.c)
target_include_directories(h5_write_dataset PRIVATE ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(h5_write_dataset PRIVATE PkgConfig::VASKOR_HDF5)
add_dependencies(h5_write_dataset h5vaskor)

add_test(NAME hdf5.filter
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/hdf5/filter_test.py
    --plugin-dir $<TARGET_FILE_DIR:h5vaskor>
    --header ${PROJECT_SOURCE_DIR}/include/vaskor/vaskor.h
    --writer $<TARGET_FILE:h5_write_dataset>
    --work ${PROJECT_BINARY_DIR}/hdf5-tests)
set_tests_properties(hdf5.filter PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
