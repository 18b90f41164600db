# SPDX-License-Identifier: MIT
# The install rules that belong to no one target (each target's own rule and
# install properties are in its folder), and the map of what `cmake
# --install` puts into a prefix, by component; debian/*.install share the
# same files among the Debian packages.  LIBDIR is the multiarch directory
# (lib/i386-linux-gnu, lib/x86_64-linux-gnu), so the two architectures
# install side by side; everything outside it is the same file for both.
#
#   library      LIBDIR/libqv-utility_t.so.2
#   development  LIBDIR/libqv-utility_t.so, include/qv-utility.h,
#                LIBDIR/pkgconfig/qv-utility.pc, LIBDIR/cmake/QvUtility/,
#                share/man/man3/, share/doc/qv-utility/html/ (docs/),
#                share/qv-utility/i386.cmake, the toolchain for i386 hosts
#   platform     LIBDIR/qv-platform/, include/qv-platform/,
#                LIBDIR/pkgconfig/qv-platform.pc, and the CMake package's
#                optional component "platform"
#   tool         bin/qvini (tools/qvini/)
#
# The library carries no search path: a product's OS layer is found wherever
# the product puts it.  The stand-ins live apart, in LIBDIR/qv-platform, so a
# product that has its own never picks them up by accident; a program that
# runs on them carries the search path to them itself, as an RPATH rather
# than a RUNPATH, since only an RPATH also serves the library's own
# dependency on the OS layer.  qv-platform.pc and QvUtility::host-runtime
# give a host program that search path; qvini has it built in.
include(CMakePackageConfigHelpers)

set(QV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/QvUtility)

install(FILES ${PROJECT_SOURCE_DIR}/include/qv-utility.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/i386.cmake
  DESTINATION ${CMAKE_INSTALL_DATADIR}/qv-utility COMPONENT development)

install(EXPORT QvUtilityTargets NAMESPACE QvUtility::
  DESTINATION ${QV_CMAKE_DIR} COMPONENT development)
install(EXPORT QvUtilityPlatformTargets NAMESPACE QvUtility::
  DESTINATION ${QV_CMAKE_DIR} COMPONENT platform)
configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/templates/QvUtilityConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QvUtilityConfig.cmake
  INSTALL_DESTINATION ${QV_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QvUtilityConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/QvUtilityConfig.cmake
    ${PROJECT_BINARY_DIR}/QvUtilityConfigVersion.cmake
  DESTINATION ${QV_CMAKE_DIR} COMPONENT development)

# pkg-config files name the prefix the tree is configured for, so that
# pkg-config leaves out the system's own directories; a tree installed
# elsewhere is configured with its prefix (CMAKE_INSTALL_PREFIX).
foreach(pc_component qv-utility:development qv-platform:platform)
  string(REPLACE ":" ";" pc_component ${pc_component})
  list(GET pc_component 0 pc)
  list(GET pc_component 1 component)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/templates/${pc}.pc.in
    ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT ${component})
endforeach()
