# The storage codecs (numcodecs, zarr, Dask) on Debian's python3, where those
# packages live: the build tree, which lays out the codecs and their C
# library beside pyvaskor.so as the wheel does, and the wheel built from it
# for the fresh readers. A missing package skips its cases, naming it; zarr
# 3 runs in the host matrix's sid chroot.
if(VASKOR_SANITIZE OR CMAKE_CROSSCOMPILING OR NOT EXISTS /usr/bin/python3)
  return()
endif()
foreach(area frames numcodecs zarr dask guest readme)
  add_test(NAME storage.${area}
    COMMAND /usr/bin/python3 -m unittest discover -v
      -s ${CMAKE_CURRENT_SOURCE_DIR}/storage -p test_${area}.py)
  set_tests_properties(storage.${area} PROPERTIES LABELS "python" TIMEOUT 600
    ENVIRONMENT "PYTHONPATH=$<TARGET_FILE_DIR:pyvaskor>")
endforeach()
# The same guests, and the command, from the wheel installed into a venv.
add_test(NAME storage.venv
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/storage/venv_check.py
    $<TARGET_FILE_DIR:pyvaskor> ${PROJECT_BINARY_DIR}/package-tests/storage-venv)
set_tests_properties(storage.venv PROPERTIES LABELS "python" TIMEOUT 600 SKIP_RETURN_CODE 77)
