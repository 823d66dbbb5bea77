# The .deb and the .rpm of the install layout (scripts/package builds both; by hand:
# cpack -G "DEB;RPM" in a build folder). The version is the project's.
# Both packages ship stripped programs: the .deb's debug symbols go into a -dbgsym
# .ddeb, split by build id; the .rpm's programs are stripped the same way and
# scripts/package archives that .ddeb's tree as a .tar.xz for any distribution.

set(CPACK_PACKAGE_NAME "inkora")
set(CPACK_PACKAGE_VENDOR "Inkora")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Settings program and driver companion for pen tablets")
set(CPACK_PACKAGE_CONTACT "Inkora developers <dev@inkora.invalid>")
set(CPACK_COMPONENTS_ALL inkora)
# Absolute install folders (/etc, the udev rules): the tree is staged as installed.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "/")

# Debian: dependencies computed from the programs' libraries, debug symbols split out.
set(CPACK_DEB_COMPONENT_INSTALL OFF)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)

# RPM: requirements found by rpmbuild from the programs' libraries.
set(CPACK_RPM_COMPONENT_INSTALL OFF)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_GROUP "Applications/System")
set(CPACK_RPM_PACKAGE_AUTOREQPROV ON)
set(CPACK_RPM_PACKAGE_RELOCATABLE OFF)

# Settings only one generator takes (read by cpack for each generator).
configure_file(${CMAKE_CURRENT_LIST_DIR}/InkoraCPackOptions.cmake.in
               ${CMAKE_BINARY_DIR}/InkoraCPackOptions.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/InkoraCPackOptions.cmake)

include(CPack)
