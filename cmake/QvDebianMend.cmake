# SPDX-License-Identifier: MIT
# Run by CPack once the Debian packages are built (CPACK_POST_BUILD_SCRIPTS).
# Adds the Multi-Arch field, which CPack of CMake 3.25 cannot write, so that
# the i386 and amd64 packages install side by side; and drops the maintainer
# scripts CPack writes to call ldconfig, where the package's ldconfig trigger
# already has dpkg run it.  dpkg-deb unpacks each package and builds it again.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(file_name ${deb} NAME)
  string(REGEX REPLACE "_.*" "" package ${file_name})
  if(package IN_LIST CPACK_QV_MULTIARCH_FOREIGN)
    set(multiarch foreign)
  else()
    set(multiarch same)
  endif()
  set(tree ${CPACK_TOPLEVEL_DIRECTORY}/multiarch/${package})
  file(REMOVE_RECURSE ${tree})
  file(MAKE_DIRECTORY ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(READ ${tree}/DEBIAN/control control)
  string(REPLACE "\nDescription:" "\nMulti-Arch: ${multiarch}\nDescription:" control "${control}")
  file(WRITE ${tree}/DEBIAN/control "${control}")
  if(EXISTS ${tree}/DEBIAN/triggers)
    file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  endif()
  execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${deb}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
