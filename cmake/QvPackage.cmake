# Install rules: what a host product's build picks up with `cmake --install`.
#
#   lib/libqv-utility_t.so.2, lib/libqv-utility_t.so   the library
#   include/qv-utility.h                                its interface
#   lib/qv-platform/, include/qv-platform/              the stand-ins for the
#       product's OS layer and host runtime, apart from the library so that a
#       product that has its own never picks them up by accident
#   lib/pkgconfig/qv-utility.pc, qv-platform.pc         for pkg-config
#   lib/cmake/QvUtility/                                for find_package
#
# The library finds the OS layer through its RUNPATH $ORIGIN/qv-platform
# only when nothing else supplies it first: an LD_LIBRARY_PATH entry of the
# product, or an OS layer the process has loaded already, takes precedence.
include(CMakePackageConfigHelpers)

set(QV_PLATFORM_DIR qv-platform)

set_target_properties(qv-utility_t PROPERTIES
  EXPORT_NAME utility
  INSTALL_RPATH "$ORIGIN/${QV_PLATFORM_DIR}")
set_target_properties(qv-os_t PROPERTIES EXPORT_NAME os)
set_target_properties(qv_host_runtime PROPERTIES EXPORT_NAME host-runtime)

target_include_directories(qv-os_t PUBLIC
  $<INSTALL_INTERFACE:include/${QV_PLATFORM_DIR}>)
target_include_directories(qv_host_runtime PUBLIC
  $<INSTALL_INTERFACE:include/${QV_PLATFORM_DIR}>)

install(TARGETS qv-utility_t EXPORT QvUtilityTargets
  LIBRARY DESTINATION lib COMPONENT library NAMELINK_COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/include/qv-utility.h
  DESTINATION include COMPONENT development)

install(TARGETS qv-os_t qv_host_runtime EXPORT QvUtilityTargets
  LIBRARY DESTINATION lib/${QV_PLATFORM_DIR} COMPONENT platform)
install(FILES
    ${PROJECT_SOURCE_DIR}/platform/os/include/qv-os.h
    ${PROJECT_SOURCE_DIR}/platform/hostrt/include/qv-hostrt.h
  DESTINATION include/${QV_PLATFORM_DIR} COMPONENT platform)

install(EXPORT QvUtilityTargets NAMESPACE QvUtility::
  DESTINATION lib/cmake/QvUtility COMPONENT development)
configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/templates/QvUtilityConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QvUtilityConfig.cmake
  INSTALL_DESTINATION lib/cmake/QvUtility)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QvUtilityConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/QvUtilityConfig.cmake
    ${PROJECT_BINARY_DIR}/QvUtilityConfigVersion.cmake
  DESTINATION lib/cmake/QvUtility COMPONENT development)

foreach(pc qv-utility qv-platform)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/templates/${pc}.pc.in
    ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc
    DESTINATION lib/pkgconfig COMPONENT development)
endforeach()
