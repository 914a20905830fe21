# The Linux library as a system library: a soname with the major version, and (with
# TOLVANE_DEBIAN_LAYOUT) install components laid out as the Debian packages need them.
#
# The components, installed one at a time by scripts/package.sh with --component:
#   deb_runtime  libtolvane.so.<version> and its soname link
#   deb_dev      tolvane.h, the libtolvane.so link, tolvane.pc and the CMake package
#   deb_tool     the tolvane tool, its manual page and the udev rules
# None of them is part of the default install into dist/, which keeps its side-by-side layout.
if(WIN32 OR NOT TARGET Tolvane)
  return()
endif()

# Programs linked against the library record libtolvane.so.<major>; a new major version is a new
# soname, so both can be installed side by side.
set_target_properties(Tolvane PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR})

option(TOLVANE_DEBIAN_LAYOUT "Add the install components of the Debian packages" OFF)
if(NOT TOLVANE_DEBIAN_LAYOUT)
  return()
endif()

include(CMakePackageConfigHelpers)
set(tolvane_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Tolvane)

# Callers of the installed package find tolvane.h in the installed include folder, not here.
get_target_property(tolvane_build_includes Tolvane INTERFACE_INCLUDE_DIRECTORIES)
set_target_properties(Tolvane PROPERTIES
  EXPORT_NAME tolvane
  INTERFACE_INCLUDE_DIRECTORIES
    "$<BUILD_INTERFACE:${tolvane_build_includes}>;$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")

install(TARGETS Tolvane EXPORT TolvaneTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT deb_runtime NAMELINK_COMPONENT deb_dev)
install(FILES ${PROJECT_SOURCE_DIR}/library/tolvane.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT deb_dev)

configure_file(${CMAKE_CURRENT_LIST_DIR}/tolvane.pc.in ${CMAKE_BINARY_DIR}/packaging/tolvane.pc
  @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/tolvane.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT deb_dev)

install(EXPORT TolvaneTargets NAMESPACE Tolvane:: DESTINATION ${tolvane_cmake_dir}
  COMPONENT deb_dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TolvaneConfig.cmake.in
  ${CMAKE_BINARY_DIR}/packaging/TolvaneConfig.cmake INSTALL_DESTINATION ${tolvane_cmake_dir})
# The soname changes with the major version, and so may the interface.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/packaging/TolvaneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/packaging/TolvaneConfig.cmake
  ${CMAKE_BINARY_DIR}/packaging/TolvaneConfigVersion.cmake
  DESTINATION ${tolvane_cmake_dir} COMPONENT deb_dev)

install(TARGETS tolvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT deb_tool)
configure_file(${CMAKE_CURRENT_LIST_DIR}/tolvane.1.in ${CMAKE_BINARY_DIR}/packaging/tolvane.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/tolvane.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT deb_tool)
# udev reads /usr/lib/udev/rules.d (the package's place); /etc/udev/rules.d is the administrator's.
install(FILES ${PROJECT_SOURCE_DIR}/platform/linux/udev/70-tolvane-hidraw.rules
  DESTINATION lib/udev/rules.d COMPONENT deb_tool)
