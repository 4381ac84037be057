# The fuzz targets are the *_fuzzer.cpp files here: `make fuzz` builds and
# runs each, the test suite replays each over its seeds and regressions.
file(GLOB _fuzz_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_fuzzer.cpp)
set(VASKOR_FUZZ_TARGETS "")
foreach(_source IN LISTS _fuzz_sources)
  get_filename_component(_name ${_source} NAME_WE)
  string(REGEX REPLACE "_fuzzer$" "" _name ${_name})
  list(APPEND VASKOR_FUZZ_TARGETS ${_name})
endforeach()
