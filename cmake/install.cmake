# Install rules for the package: headers, the static `vaskor` library
# (which also holds the C interface's objects), the shared
# C library libvaskor.so, vaskor.pc for pkg-config and a CMake package
# config, so that `find_package(vaskor)` + `target_link_libraries(app
# vaskor::vaskor)` (C++) or `vaskor::c` (C) works against an install prefix.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VASKOR_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/vaskor)

# The public API is include/ as it stands; every other header is internal to
# the sources.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/vaskor DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# OPTIONAL: a tree built only in part (make wheel, make demo) still installs.
install(TARGETS vaskor vaskor_c EXPORT vaskorTargets OPTIONAL
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT vaskorTargets
        NAMESPACE vaskor::
        FILE vaskorTargets.cmake
        DESTINATION ${VASKOR_INSTALL_CMAKEDIR})

configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/vaskorConfig.cmake.in
  ${PROJECT_BINARY_DIR}/vaskorConfig.cmake
  INSTALL_DESTINATION ${VASKOR_INSTALL_CMAKEDIR})
# 0.x releases: only the same minor version is compatible.
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/vaskorConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vaskorConfig.cmake
              ${PROJECT_BINARY_DIR}/vaskorConfigVersion.cmake
        DESTINATION ${VASKOR_INSTALL_CMAKEDIR})
install(FILES ${PROJECT_BINARY_DIR}/vaskor.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
