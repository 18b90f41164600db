# SPDX-License-Identifier: MIT
# Debian packages, one for each install component (cmake/QvPackage.cmake),
# made by CPack from a build tree of either architecture:
#
#   cpack --config build/<preset>/CPackConfig.cmake -B build/<preset>/packages
#
# (scripts/build-packages builds both architectures and does it for each).
#
#   libqv-utility-t2   library      Multi-Arch: same
#   libqv-utility-dev  development  Multi-Arch: same
#   qv-platform        platform     Multi-Arch: same
#   qvini              tool         Multi-Arch: foreign
#
# The library depends on the virtual package qv-os-layer, which the
# product's own OS layer provides, or the stand-ins of qv-platform.
set(qv_deb_components library development platform tool)
set(qv_deb_names libqv-utility-t2 libqv-utility-dev qv-platform qvini)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${qv_deb_components})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE qv-utility)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
  "The libqv-utility_t developers <developers@qv-utility.example>")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
else()
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
endif()
# dpkg-shlibdeps works out the C library's version; the project's own
# libraries, packaged alongside, are named in the Depends below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ${PROJECT_BINARY_DIR}/src ${PROJECT_BINARY_DIR}/platform/os ${PROJECT_BINARY_DIR}/platform/hostrt)
set(qv_same_version "(= ${PROJECT_VERSION})")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_DEPENDS qv-os-layer)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION "keyed item store and INI parser behind allocator hooks
libqv-utility_t.so.2 offers a keyed item store of string and pointer items
safe to use from many threads, an INI text parser with a one-call lookup,
case-insensitive names, allocated strings and growable text buffers, all
allocating through three replaceable hooks.  It needs the product's OS layer
(package qv-os-layer) and host runtime.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libqv-utility-t2 ${qv_same_version}")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SUGGESTS qv-platform)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "development files for libqv-utility_t
The header, the link, pkg-config and CMake files, the manual pages (the
overview qv-utility(3), one page for each family of functions and a link
for each name) and the HTML reference.  A toolchain file for building i386
hosts with the native compiler is included.")

set(CPACK_DEBIAN_PLATFORM_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PLATFORM_PACKAGE_PROVIDES qv-os-layer)
set(CPACK_COMPONENT_PLATFORM_DESCRIPTION "stand-in OS layer and host runtime for libqv-utility_t
For programs that run libqv-utility_t without the product it is made for:
an OS layer (mutex and thread identity) and a host runtime that records the
library's load descriptor.  Kept in a private directory, so a product with
its own never picks them up.")

set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS
  "libqv-utility-t2 ${qv_same_version}, qv-platform ${qv_same_version}")
set(CPACK_COMPONENT_TOOL_DESCRIPTION "look into INI files with libqv-utility_t
qvini reads an INI file and prints a value, the parser's reports, the
problems it finds, or the keyed item store built from it.")

foreach(component name IN ZIP_LISTS qv_deb_components qv_deb_names)
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${name})
  # What Debian requires of every package.  A plain `cmake --install`
  # leaves it out; installing a component by name takes it along.
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${name}
    COMPONENT ${component} EXCLUDE_FROM_ALL)
  install(FILES ${PROJECT_BINARY_DIR}/debian/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${name}
    COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

# gzip -9n: no name or time in the header, so both architectures ship the
# same bytes, as Multi-Arch: same requires.
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/debian)
execute_process(COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
  OUTPUT_FILE ${PROJECT_BINARY_DIR}/debian/changelog.gz COMMAND_ERROR_IS_FATAL ANY)

# A shlibs file for tools that still read one, and a symbols file for the rest.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

# The symbols file: every exported name, from the export list, with the
# version that first had it.
file(READ ${PROJECT_SOURCE_DIR}/src/libqv-utility_t.map qv_map)
# Read at configure time: a new export or changelog entry configures again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/src/libqv-utility_t.map ${PROJECT_SOURCE_DIR}/cmake/debian/changelog)
string(REGEX MATCH "global:[^}]*local:" qv_map "${qv_map}")
string(REGEX MATCHALL "Qvu?[A-Za-z]+" qv_exports "${qv_map}")
list(SORT qv_exports)
set(qv_symbols "libqv-utility_t.so.${PROJECT_VERSION_MAJOR} libqv-utility-t2 #MINVER#\n")
string(APPEND qv_symbols "* Build-Depends-Package: libqv-utility-dev\n")
foreach(name IN LISTS qv_exports)
  string(APPEND qv_symbols " ${name}@Base 2.0.0\n")
endforeach()
file(WRITE ${PROJECT_BINARY_DIR}/debian/symbols "${qv_symbols}")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA
  ${PROJECT_BINARY_DIR}/debian/symbols ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)

# CPack of CMake 3.25 writes no Multi-Arch field, and calls ldconfig from
# maintainer scripts where the triggers file above already has dpkg run it;
# this mends both once the packages are built.  Multi-Arch is "same" for all
# but the tool.
set(CPACK_QV_MULTIARCH_FOREIGN qvini)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/QvDebianMend.cmake)

include(CPack)
