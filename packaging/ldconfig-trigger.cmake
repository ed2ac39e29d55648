# SPDX-License-Identifier: Apache-2.0
# Run by CPack after it has made the packages (CPACK_POST_BUILD_SCRIPTS): in
# every package of a shared library, the postinst and postrm that only call
# ldconfig give way to an ldconfig trigger, as Debian packages do.
find_program(DPKG_DEB dpkg-deb REQUIRED)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${package} NAME)
  if(NOT name MATCHES "^libmivaro[0-9]+_")
    continue()
  endif()
  set(work ${CPACK_TOPLEVEL_DIRECTORY}/ldconfig-trigger/${name})
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work})
  execute_process(COMMAND ${DPKG_DEB} --raw-extract ${package} ${work} COMMAND_ERROR_IS_FATAL ANY)
  foreach(script IN ITEMS postinst postrm)
    # CPack's script: "if [ "$1" = "configure" ]; then ldconfig fi", no more.
    file(READ ${work}/DEBIAN/${script} text)
    string(REGEX REPLACE "#![^\n]*\n|set -e|if \\[ \"\\$1\" = \"[a-z]+\" \\]; then|ldconfig|fi|[ \t\n]"
                         "" rest "${text}")
    if(NOT rest STREQUAL "")
      message(FATAL_ERROR "${name}: ${script} does more than call ldconfig:\n${text}")
    endif()
    file(REMOVE ${work}/DEBIAN/${script})
  endforeach()
  file(WRITE ${work}/DEBIAN/triggers "activate-noawait ldconfig\n")
  execute_process(COMMAND ${DPKG_DEB} --root-owner-group --build ${work} ${package}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${work})
endforeach()
