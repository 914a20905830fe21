# The Vandrel build's package step (app/package_check): a program of the build machine, built
# once per build tree with the build machine's own compiler through ExternalProject, since the
# Windows programs of a cross build cannot run during the build.
#
# vandrel_check_package(<name> PACKAGE <file> KEY <public key> VID <hex> PID <hex>
#                       OUTPUT_DIR <dir>)
#   Adds the build step that checks the package (its signature by the maker's key, the target's
#   identifiers, a boot loader the engine finds, load address 0) and writes <dir>/firmware.bin
#   and <dir>/package.cmake (version, identifiers, signer), and the target <name>_package that
#   runs only that step. A refused package fails the build with the check that refused it.
include(ExternalProject)

function(vandrel_package_check_tool out_var)
  set(dir "${CMAKE_BINARY_DIR}/host-tools/package-check")
  if(NOT TARGET vandrel_package_check_host)
    ExternalProject_Add(vandrel_package_check_host
      SOURCE_DIR "${VANDREL_APP_DIR}/package_check"
      BINARY_DIR "${dir}"
      CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
      INSTALL_COMMAND ""
      BUILD_BYPRODUCTS "${dir}/vandrel_package_check"
      # The sub-build decides what changed in its sources; an unchanged tool keeps its time.
      BUILD_ALWAYS ON
      EXCLUDE_FROM_ALL ON)
  endif()
  set(${out_var} "${dir}/vandrel_package_check" PARENT_SCOPE)
endfunction()

function(vandrel_check_package name)
  cmake_parse_arguments(ARG "" "PACKAGE;KEY;VID;PID;OUTPUT_DIR" "" ${ARGN})
  foreach(required PACKAGE KEY VID PID OUTPUT_DIR)
    if("${ARG_${required}}" STREQUAL "")
      message(FATAL_ERROR "${name}: a Vandrel built from a package needs its ${required} "
                          "(VANDREL_PACKAGE_KEY: the maker's minisign public key)")
    endif()
  endforeach()
  foreach(file IN ITEMS "${ARG_PACKAGE}" "${ARG_KEY}")
    if(NOT EXISTS "${file}")
      message(FATAL_ERROR "${name}: ${file} does not exist (VANDREL_PACKAGE, VANDREL_PACKAGE_KEY)")
    endif()
  endforeach()
  vandrel_package_check_tool(tool)
  add_custom_command(
    OUTPUT "${ARG_OUTPUT_DIR}/firmware.bin" "${ARG_OUTPUT_DIR}/package.cmake"
    COMMAND "${tool}" "${ARG_PACKAGE}" "${ARG_KEY}" "${ARG_VID}" "${ARG_PID}" "${ARG_OUTPUT_DIR}"
    DEPENDS vandrel_package_check_host "${tool}" "${ARG_PACKAGE}" "${ARG_KEY}"
    COMMENT "Checking the firmware package of ${name}: ${ARG_PACKAGE}"
    VERBATIM)
  add_custom_target(${name}_package
    DEPENDS "${ARG_OUTPUT_DIR}/firmware.bin" "${ARG_OUTPUT_DIR}/package.cmake")
endfunction()
