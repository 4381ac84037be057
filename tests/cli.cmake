# The vaskor command on Debian's python3 (numpy, numcodecs, zarr 2), run
# from the build tree, which lays out the storage modules and their C
# library as the wheel does. Python 2.7 (found for the package tests) checks
# that the command's files parse there and that it says it needs Python 3.
if(VASKOR_SANITIZE OR CMAKE_CROSSCOMPILING OR NOT EXISTS /usr/bin/python3)
  return()
endif()
foreach(area bench pack info command)
  add_test(NAME cli.${area}
    COMMAND /usr/bin/python3 -m unittest discover -v -s ${CMAKE_CURRENT_SOURCE_DIR}/cli -p test_${area}.py)
  set_tests_properties(cli.${area} PROPERTIES LABELS "python" TIMEOUT 300
    ENVIRONMENT "PYTHONPATH=$<TARGET_FILE_DIR:pyvaskor>;VASKOR_PY27=${VASKOR_PKG_PY27}")
endforeach()
