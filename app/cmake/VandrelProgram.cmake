# vandrel_add_program(<target> OUTPUT_NAME <name> BINDING <device|demo>
#                     [FIRMWARE <file> | PACKAGE <file> PACKAGE_KEY <public key>]
#                     [VID <hex>] [PID <hex>] [MESSAGE_TEXT <text>]
#                     [TITLE_TEXT <text>] [UPDATE_TEXT <text>] [EXIT_TEXT <text>]
#                     [GROUP_TEXT <text>])
#
# Builds one Vandrel program with its own "BINARY" resources; every setting not given takes the
# value of the build's VANDREL_* cache option. BINDING device: the engine on the real HID bus and
# services; demo: on the simulated target and the real services.
#
# With a package instead of a raw image, the build checks it first (PackageCheckTool.cmake) and
# the program carries the package's image; its version, identifiers and signer go into the
# version resource. A program given its FIRMWARE takes no package from the cache, and the reverse.
get_filename_component(VANDREL_APP_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(VANDREL_APP_DIR "${VANDREL_APP_DIR}" CACHE INTERNAL "Sources of the Vandrel program")
include("${CMAKE_CURRENT_LIST_DIR}/PackageCheckTool.cmake")

function(vandrel_add_program target)
  set(settings FIRMWARE PACKAGE PACKAGE_KEY VID PID MESSAGE_TEXT TITLE_TEXT UPDATE_TEXT EXIT_TEXT
               GROUP_TEXT)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME;BINDING;${settings}" "" ${ARGN})
  if(DEFINED ARG_FIRMWARE AND NOT DEFINED ARG_PACKAGE)
    set(ARG_PACKAGE "")
  elseif(DEFINED ARG_PACKAGE AND NOT DEFINED ARG_FIRMWARE)
    set(ARG_FIRMWARE "")
  endif()
  foreach(setting IN LISTS settings)
    if(NOT DEFINED ARG_${setting})
      set(ARG_${setting} "${VANDREL_${setting}}")
    endif()
  endforeach()

  set(gen "${CMAKE_CURRENT_BINARY_DIR}/${target}-resources")
  file(MAKE_DIRECTORY "${gen}")

  set(package_info "")
  if(NOT ARG_PACKAGE STREQUAL "")
    vandrel_check_package(${target} PACKAGE "${ARG_PACKAGE}" KEY "${ARG_PACKAGE_KEY}"
      VID "${ARG_VID}" PID "${ARG_PID}" OUTPUT_DIR "${gen}/package")
    set(ARG_FIRMWARE "${gen}/package/firmware.bin")
    set(package_info "${gen}/package/package.cmake")
  endif()

  # The settings, written at configure time; the fragment is generated from them at build time.
  set(config_text "")
  foreach(setting IN LISTS settings)
    string(APPEND config_text "set(VANDREL_${setting} [==[${ARG_${setting}}]==])\n")
  endforeach()
  string(APPEND config_text "set(VANDREL_PACKAGE_INFO [==[${package_info}]==])\n")
  file(CONFIGURE OUTPUT "${gen}/settings.cmake" CONTENT "${config_text}" @ONLY)

  set(generator "${VANDREL_APP_DIR}/cmake/GenerateBinaryResources.cmake")
  add_custom_command(
    OUTPUT "${gen}/vandrel_binary.rc"
    COMMAND ${CMAKE_COMMAND} -DCONFIG=${gen}/settings.cmake -DOUTPUT=${gen}/vandrel_binary.rc
            -P ${generator}
    DEPENDS "${gen}/settings.cmake" "${generator}" "${ARG_FIRMWARE}" ${package_info}
    COMMENT "Generating the BINARY resources of ${target}"
    VERBATIM)

  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VANDREL_MANIFEST_ARCH amd64)
  else()
    set(VANDREL_MANIFEST_ARCH x86)
  endif()
  configure_file("${VANDREL_APP_DIR}/Vandrel.manifest.in" "${gen}/Vandrel.manifest" @ONLY)
  # The version resource takes the build's one version number, as the library's does.
  string(REPLACE "." "," version_commas "${PROJECT_VERSION}")
  file(CONFIGURE OUTPUT "${gen}/program.rc" CONTENT
    "#define VANDREL_VERSION_NUMBERS ${version_commas}\n#define VANDREL_VERSION_TEXT \"${PROJECT_VERSION}\"\n#define VANDREL_PRODUCT_VERSION_TEXT \"${PROJECT_VERSION}_20260929_1320\"\n#include \"Vandrel.rc\"\n")
  set_source_files_properties("${gen}/program.rc" PROPERTIES OBJECT_DEPENDS
    "${gen}/vandrel_binary.rc;${gen}/Vandrel.manifest;${ARG_FIRMWARE};${VANDREL_APP_DIR}/Vandrel.rc;${VANDREL_APP_DIR}/Vandrel.ico;${VANDREL_APP_DIR}/resource.h")

  if(ARG_BINDING STREQUAL "demo")
    set(binding_source "${VANDREL_APP_DIR}/program_engine_demo.cpp"
      "${VANDREL_APP_DIR}/demo_target.cpp" "${VANDREL_APP_DIR}/scaled_services.cpp")
    set(binding_libs tolvane_sim tolvane_platform_win32 shell32)
  else()
    set(binding_source "${VANDREL_APP_DIR}/program_engine_device.cpp")
    set(binding_libs tolvane_platform_win32)
  endif()

  add_executable(${target} WIN32
    "${VANDREL_APP_DIR}/main.cpp"
    ${binding_source}
    "${gen}/program.rc")
  set_target_properties(${target} PROPERTIES OUTPUT_NAME "${ARG_OUTPUT_NAME}")
  target_include_directories(${target} PRIVATE "${gen}" "${VANDREL_APP_DIR}")
  target_link_libraries(${target} PRIVATE vandrel_ui ${binding_libs})
  target_link_options(${target} PRIVATE -municode)
  tolvane_warnings(${target})
endfunction()
