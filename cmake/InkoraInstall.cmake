# Install layout: one self-contained folder (default /opt/inkora) with the programs,
# libInkBLE.so, resource.rcc, the default per-user files in config/, the firmware image
# in bin/ and the UI service's captions; the udev rules, the autostart entry ("Inkora
# /mini" at logon), the desktop entry and the icon go where the system looks for them.
# The user's own folder ($XDG_CONFIG_HOME/Inkora V3) is never installed or removed.

set(INKORA_INSTALL_DIR "/opt/inkora" CACHE PATH "Folder the programs and their files are installed into")
set(INKORA_UDEV_RULES_DIR "/lib/udev/rules.d" CACHE PATH "System udev rules folder")
set(INKORA_BIN ${CMAKE_BINARY_DIR}/bin)

# Programs and the library, as far as this build has them.
foreach(target Inkora InkoraUIService FwFlasher inkora-hidtool)
    if(TARGET ${target})
        install(TARGETS ${target} RUNTIME DESTINATION ${INKORA_INSTALL_DIR} COMPONENT inkora)
    endif()
endforeach()
if(TARGET InkBLE)
    install(TARGETS InkBLE LIBRARY DESTINATION ${INKORA_INSTALL_DIR} COMPONENT inkora)
endif()

# Files the build places beside the programs.
install(FILES ${INKORA_BIN}/resource.rcc DESTINATION ${INKORA_INSTALL_DIR} COMPONENT inkora)
install(DIRECTORY ${INKORA_BIN}/config DESTINATION ${INKORA_INSTALL_DIR} COMPONENT inkora)
install(DIRECTORY ${INKORA_BIN}/bin DESTINATION ${INKORA_INSTALL_DIR} COMPONENT inkora OPTIONAL)
install(FILES ${INKORA_BIN}/Tipslanguage.ini ${INKORA_BIN}/dataconfig.ini
        DESTINATION ${INKORA_INSTALL_DIR} COMPONENT inkora OPTIONAL)

# System integration.
configure_file(${CMAKE_SOURCE_DIR}/packaging/inkora.desktop.in ${CMAKE_BINARY_DIR}/packaging/inkora.desktop @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/inkora-autostart.desktop.in
               ${CMAKE_BINARY_DIR}/packaging/autostart/inkora.desktop @ONLY)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/70-inkora.rules DESTINATION ${INKORA_UDEV_RULES_DIR} COMPONENT inkora)
install(FILES ${CMAKE_BINARY_DIR}/packaging/autostart/inkora.desktop DESTINATION /etc/xdg/autostart COMPONENT inkora)
install(FILES ${CMAKE_BINARY_DIR}/packaging/inkora.desktop DESTINATION /usr/share/applications COMPONENT inkora)
install(FILES ${CMAKE_SOURCE_DIR}/resources/image/Res/inkora.png
        DESTINATION /usr/share/icons/hicolor/64x64/apps COMPONENT inkora)

# A .deb of the same layout: cpack -G DEB in the build folder.
set(CPACK_PACKAGE_NAME "inkora")
set(CPACK_PACKAGE_VENDOR "Inkora")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Settings program and driver companion for pen tablets")
set(CPACK_PACKAGE_CONTACT "Inkora developers <dev@inkora.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_COMPONENTS_ALL inkora)
set(CPACK_DEB_COMPONENT_INSTALL OFF)
set(CPACK_PACKAGING_INSTALL_PREFIX "/")
set(CPACK_SET_DESTDIR ON)
# The udev rules take effect at once for tablets plugged in after the install.
file(WRITE ${CMAKE_BINARY_DIR}/packaging/postinst
"#!/bin/sh\nset -e\nif command -v udevadm >/dev/null 2>&1; then udevadm control --reload-rules || true; udevadm trigger --subsystem-match=hidraw --subsystem-match=usb --subsystem-match=misc || true; fi\n")
file(CHMOD ${CMAKE_BINARY_DIR}/packaging/postinst PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/postinst)
include(CPack)

# The GNOME Shell extension that tells Inkora which window has the focus on Wayland. GNOME
# Shell 45 loads extensions as ES modules and 43/44 cannot parse them, so both forms are
# installed under two UUIDs; each shell loads only the one whose shell-version list holds
# its own version, and Inkora names that one when it asks the user to enable it.
set(INKORA_GNOME_SHELL_EXTENSIONS_DIR "/usr/share/gnome-shell/extensions" CACHE PATH
    "Folder GNOME Shell finds system-wide extensions in")
foreach(form "inkora-foreground@inkora;extension.js;\"45\", \"46\", \"47\""
             "inkora-foreground-43@inkora;extension-legacy.js;\"43\", \"44\"")
    list(GET form 0 UUID)
    list(GET form 1 script)
    list(GET form 2 SHELL_VERSIONS)
    configure_file(${CMAKE_SOURCE_DIR}/resources/wayland/gnome-shell/metadata.json.in
                   ${CMAKE_BINARY_DIR}/packaging/gnome-shell/${UUID}/metadata.json @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/gnome-shell/${UUID}/metadata.json
            DESTINATION ${INKORA_GNOME_SHELL_EXTENSIONS_DIR}/${UUID} COMPONENT inkora)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/wayland/gnome-shell/${script}
            DESTINATION ${INKORA_GNOME_SHELL_EXTENSIONS_DIR}/${UUID} RENAME extension.js COMPONENT inkora)
endforeach()
