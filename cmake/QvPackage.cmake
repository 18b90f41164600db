# SPDX-License-Identifier: MIT
# Install rules: what `cmake --install` puts into a prefix, by component, and
# so what each Debian package holds (cmake/QvDebian.cmake).  LIBDIR is the
# multiarch directory (lib/i386-linux-gnu, lib/x86_64-linux-gnu), so the two
# architectures install side by side; everything outside it is the same
# file for both.
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

set(QV_PLATFORM_DIR qv-platform)
set(QV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/QvUtility)

set_target_properties(qv-utility_t PROPERTIES EXPORT_NAME utility)
set_target_properties(qv-os_t PROPERTIES EXPORT_NAME os)
set_target_properties(qv_host_runtime PROPERTIES EXPORT_NAME host-runtime)

install(TARGETS qv-utility_t EXPORT QvUtilityTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library
    NAMELINK_COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/include/qv-utility.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/i386.cmake
  DESTINATION ${CMAKE_INSTALL_DATADIR}/qv-utility COMPONENT development)

foreach(standin qv-os_t qv_host_runtime)
  target_include_directories(${standin} PUBLIC
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/${QV_PLATFORM_DIR}>)
endforeach()
target_link_options(qv_host_runtime INTERFACE
  $<INSTALL_INTERFACE:-Wl,--disable-new-dtags>)
install(TARGETS qv-os_t qv_host_runtime EXPORT QvUtilityPlatformTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/${QV_PLATFORM_DIR} COMPONENT platform)
install(FILES
    ${PROJECT_SOURCE_DIR}/platform/os/include/qv-os.h
    ${PROJECT_SOURCE_DIR}/platform/hostrt/include/qv-hostrt.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${QV_PLATFORM_DIR} COMPONENT platform)

# qvini runs on the stand-ins; from bin/ it finds them and the library by
# paths relative to itself, wherever the tree is installed.
file(RELATIVE_PATH qv_bin_to_lib /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
set_target_properties(qvini PROPERTIES
  INSTALL_RPATH "$ORIGIN/${qv_bin_to_lib}:$ORIGIN/${qv_bin_to_lib}/${QV_PLATFORM_DIR}")
target_link_options(qvini PRIVATE -Wl,--disable-new-dtags)

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

# pkg-config files find the prefix from their own place, so an installed
# tree can move.
file(RELATIVE_PATH QV_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
foreach(pc_component qv-utility:development qv-platform:platform)
  string(REPLACE ":" ";" pc_component ${pc_component})
  list(GET pc_component 0 pc)
  list(GET pc_component 1 component)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/templates/${pc}.pc.in
    ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT ${component})
endforeach()
