# The .deb and the .rpm of the install layout (scripts/package builds both; by hand:
# cpack -G "DEB;RPM" in a build folder). The version is the project's.
# Both packages ship stripped programs: the .deb's debug symbols go into a -dbgsym
# .ddeb, split by build id; the .rpm's programs are stripped the same way and
# scripts/package archives that .ddeb's tree as a .tar.xz for any distribution.

set(CPACK_PACKAGE_NAME "inkora")
set(CPACK_PACKAGE_VENDOR "Inkora")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Inkora developers <dev@inkora.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Settings program and driver companion for pen tablets")
# Lines of at most 80 characters; an empty line separates paragraphs.
set(CPACK_PACKAGE_DESCRIPTION [=[
Inkora drives the pen tablets, pen displays and the shortcut keypad of USB
vendor 0x28BD, some models over Bluetooth LE. It maps the pen onto the screen
through a virtual pen device, runs the actions bound to express keys, pen
buttons and rings for the application in the foreground, and keeps one
profile file per user. It lives in the tray.

The package holds the settings program, its on-screen companion for area
selection and calibration, the firmware updater of one model, the support
tool inkora-hidtool, and the udev rules that give the logged-in user access
to the tablets and to uinput.]=])
set(CPACK_COMPONENTS_ALL inkora)
# Absolute install folders (/etc, the udev rules): the tree is staged as installed.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "/")

# What a distribution asks of a package beside the programs: the copyright and the
# changelog (compressed with no name or time inside).
execute_process(COMMAND date -u -R -d "${INKORA_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE INKORA_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/changelog.in ${INKORA_PACKAGING}/doc/changelog @ONLY)
add_custom_command(
    OUTPUT ${INKORA_PACKAGING}/doc/changelog.gz
    COMMAND gzip -9nkf changelog
    DEPENDS ${INKORA_PACKAGING}/doc/changelog
    WORKING_DIRECTORY ${INKORA_PACKAGING}/doc
    VERBATIM)
add_custom_target(inkora_package_docs ALL DEPENDS ${INKORA_PACKAGING}/doc/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright ${INKORA_PACKAGING}/doc/changelog.gz
        DESTINATION ${INKORA_SHARE_DIR_DEST}/doc/inkora COMPONENT inkora)

# After install and removal udev rereads the rules and applies them to our devices.
foreach(script postinst postrm)
    configure_file(${CMAKE_SOURCE_DIR}/packaging/udev-reload.sh ${INKORA_PACKAGING}/deb/${script} COPYONLY)
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/conffiles ${INKORA_PACKAGING}/deb/conffiles COPYONLY)

# Debian: Depends computed from the programs' libraries, debug symbols split out.
# Recommends: what only some features need (BlueZ for the Bluetooth tablets, Xwayland
# to run in a Wayland session).
set(CPACK_DEB_COMPONENT_INSTALL OFF)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
# libddcutil is loaded when a display is first asked about, so shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libddcutil4")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bluez, xwayland, rtkit")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${INKORA_PACKAGING}/deb/postinst ${INKORA_PACKAGING}/deb/postrm ${INKORA_PACKAGING}/deb/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# RPM: requirements found by rpmbuild from the programs' libraries; the same scripts;
# only the package's own folders listed as its own.
set(CPACK_RPM_COMPONENT_INSTALL OFF)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_GROUP "Applications/System")
set(CPACK_RPM_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RPM_PACKAGE_AUTOREQPROV ON)
set(CPACK_RPM_PACKAGE_RELOCATABLE OFF)
set(CPACK_RPM_PACKAGE_REQUIRES "libddcutil.so.4()(64bit)") # loaded at run time, unseen by rpmbuild
# (CPack has no Recommends field of its own; the line goes into the header rpmbuild reads.)
set(CPACK_RPM_SPEC_MORE_DEFINE "Recommends: bluez")
set(CPACK_RPM_POST_INSTALL_SCRIPT_FILE ${CMAKE_SOURCE_DIR}/packaging/udev-reload.sh)
set(CPACK_RPM_POST_UNINSTALL_SCRIPT_FILE ${CMAKE_SOURCE_DIR}/packaging/udev-reload.sh)
set(CPACK_RPM_USER_FILELIST "%config(noreplace) /etc/xdg/autostart/inkora.desktop")
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    /etc/xdg /etc/xdg/autostart /usr/lib/udev /usr/lib/udev/rules.d /lib /lib/udev /lib/udev/rules.d
    ${INKORA_BIN_LINK_DIR} ${INKORA_SHARE_DIR}/applications ${INKORA_SHARE_DIR}/metainfo
    ${INKORA_SHARE_DIR}/icons ${INKORA_SHARE_DIR}/icons/hicolor ${INKORA_SHARE_DIR}/icons/hicolor/64x64
    ${INKORA_SHARE_DIR}/icons/hicolor/64x64/apps ${INKORA_SHARE_DIR}/man ${INKORA_SHARE_DIR}/man/man1
    ${INKORA_SHARE_DIR}/bash-completion ${INKORA_SHARE_DIR}/bash-completion/completions
    ${INKORA_SHARE_DIR}/doc ${INKORA_SHARE_DIR}/gnome-shell ${INKORA_SHARE_DIR}/gnome-shell/extensions)

# Settings only one generator takes (read by cpack for each generator).
configure_file(${CMAKE_CURRENT_LIST_DIR}/InkoraCPackOptions.cmake.in
               ${CMAKE_BINARY_DIR}/InkoraCPackOptions.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/InkoraCPackOptions.cmake)

include(CPack)
