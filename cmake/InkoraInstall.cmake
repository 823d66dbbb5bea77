# Install layout: one self-contained folder (default /opt/inkora) with the programs,
# libInkBLE.so, resource.rcc, the default per-user files in config/, the firmware image
# in bin/ and the UI service's captions; the udev rules, the autostart entry ("Inkora
# /mini" at logon), the desktop entry, the icon, the metainfo, the man pages and the
# completion go where the system looks for them, and links to Inkora and inkora-hidtool
# into a folder on the PATH.
# The user's own folder ($XDG_CONFIG_HOME/Inkora V3) is never installed or removed.
# scripts/package sets the distribution layout: the folder is /usr/lib/inkora, the
# links are in /usr/bin, the udev rules in /usr/lib/udev/rules.d.

set(INKORA_INSTALL_DIR "/opt/inkora" CACHE PATH "Folder the programs and their files are installed into")
set(INKORA_UDEV_RULES_DIR "/lib/udev/rules.d" CACHE PATH "System udev rules folder")
set(INKORA_SHARE_DIR "/usr/share" CACHE PATH
    "System data folder: desktop entry, icon, metainfo, man pages, bash completion")
set(INKORA_BIN_LINK_DIR "/usr/local/bin" CACHE PATH
    "Folder on the PATH that gets links to Inkora and inkora-hidtool (empty: no links)")
set(INKORA_HOMEPAGE "https://inkora.example" CACHE STRING
    "Home page named by the metainfo; its screenshots are under <home page>/docs/screenshots/")
set(INKORA_BIN ${CMAKE_BINARY_DIR}/bin)
# A folder under CMAKE_INSTALL_PREFIX is given relative to it: the .rpm takes every
# file of an absolute destination for a configuration file.
foreach(folder INKORA_INSTALL_DIR INKORA_UDEV_RULES_DIR INKORA_SHARE_DIR)
    set(${folder}_DEST ${${folder}})
    string(FIND "${${folder}}/" "${CMAKE_INSTALL_PREFIX}/" at)
    if(at EQUAL 0 AND NOT CMAKE_INSTALL_PREFIX STREQUAL "/")
        file(RELATIVE_PATH ${folder}_DEST ${CMAKE_INSTALL_PREFIX} ${${folder}})
    endif()
endforeach()
set(INKORA_PACKAGING ${CMAKE_BINARY_DIR}/packaging)
# What the packages may create: folders 0755 whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Programs and the library, as far as this build has them.
foreach(target Inkora InkoraUIService FwFlasher inkora-hidtool)
    if(TARGET ${target})
        install(TARGETS ${target} RUNTIME DESTINATION ${INKORA_INSTALL_DIR_DEST} COMPONENT inkora)
    endif()
endforeach()
if(TARGET InkBLE)
    install(TARGETS InkBLE LIBRARY DESTINATION ${INKORA_INSTALL_DIR_DEST} COMPONENT inkora)
endif()

# Files the build places beside the programs.
install(FILES ${INKORA_BIN}/resource.rcc DESTINATION ${INKORA_INSTALL_DIR_DEST} COMPONENT inkora)
install(DIRECTORY ${INKORA_BIN}/config DESTINATION ${INKORA_INSTALL_DIR_DEST} COMPONENT inkora)
install(DIRECTORY ${INKORA_BIN}/bin DESTINATION ${INKORA_INSTALL_DIR_DEST} COMPONENT inkora OPTIONAL)
install(FILES ${INKORA_BIN}/Tipslanguage.ini DESTINATION ${INKORA_INSTALL_DIR_DEST} COMPONENT inkora OPTIONAL)
# dataconfig.ini (the switches of the online services) is the installer's own: it goes
# along when one was put into the build's bin/ (a package lists only files that exist).
install(CODE "if(EXISTS \"${INKORA_BIN}/dataconfig.ini\")
file(INSTALL \"${INKORA_BIN}/dataconfig.ini\" DESTINATION \"${INKORA_INSTALL_DIR}\")
endif()" COMPONENT inkora)

# The commands on the PATH: relative links, so that a staged tree (DESTDIR, a package)
# points into itself. The programs find their files from their real folder.
if(INKORA_BIN_LINK_DIR)
    foreach(program Inkora inkora-hidtool)
        file(RELATIVE_PATH target ${INKORA_BIN_LINK_DIR} ${INKORA_INSTALL_DIR}/${program})
        install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}${INKORA_BIN_LINK_DIR}\")
file(CREATE_LINK \"${target}\" \"\$ENV{DESTDIR}${INKORA_BIN_LINK_DIR}/${program}\" SYMBOLIC)"
                COMPONENT inkora)
    endforeach()
endif()

# System integration.
configure_file(${CMAKE_SOURCE_DIR}/packaging/inkora.desktop.in ${INKORA_PACKAGING}/inkora.desktop @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/inkora-autostart.desktop.in
               ${INKORA_PACKAGING}/autostart/inkora.desktop @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/org.inkora.Inkora.metainfo.xml.in
               ${INKORA_PACKAGING}/org.inkora.Inkora.metainfo.xml @ONLY)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/70-inkora.rules DESTINATION ${INKORA_UDEV_RULES_DIR_DEST} COMPONENT inkora)
install(FILES ${INKORA_PACKAGING}/autostart/inkora.desktop DESTINATION /etc/xdg/autostart COMPONENT inkora)
install(FILES ${INKORA_PACKAGING}/inkora.desktop DESTINATION ${INKORA_SHARE_DIR_DEST}/applications COMPONENT inkora)
install(FILES ${INKORA_PACKAGING}/org.inkora.Inkora.metainfo.xml DESTINATION ${INKORA_SHARE_DIR_DEST}/metainfo
        COMPONENT inkora)
install(FILES ${CMAKE_SOURCE_DIR}/resources/image/Res/inkora.png
        DESTINATION ${INKORA_SHARE_DIR_DEST}/icons/hicolor/64x64/apps COMPONENT inkora)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/bash-completion/inkora-hidtool
        DESTINATION ${INKORA_SHARE_DIR_DEST}/bash-completion/completions COMPONENT inkora)

# Man pages, compressed as distributions ship them (-n: no name or time inside).
set(INKORA_MAN_PAGES)
file(MAKE_DIRECTORY ${INKORA_PACKAGING}/man)
foreach(page Inkora.1 inkora-hidtool.1)
    configure_file(${CMAKE_SOURCE_DIR}/packaging/man/${page} ${INKORA_PACKAGING}/man-source/${page} @ONLY)
    add_custom_command(
        OUTPUT ${INKORA_PACKAGING}/man/${page}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${INKORA_PACKAGING}/man-source/${page} ${page}
        COMMAND gzip -9nf ${page}
        DEPENDS ${INKORA_PACKAGING}/man-source/${page}
        WORKING_DIRECTORY ${INKORA_PACKAGING}/man
        VERBATIM)
    list(APPEND INKORA_MAN_PAGES ${INKORA_PACKAGING}/man/${page}.gz)
endforeach()
add_custom_target(inkora_man_pages ALL DEPENDS ${INKORA_MAN_PAGES})
install(FILES ${INKORA_MAN_PAGES} DESTINATION ${INKORA_SHARE_DIR_DEST}/man/man1 COMPONENT inkora)

# The GNOME Shell extension that tells Inkora which window has the focus on Wayland. GNOME
# Shell 45 loads extensions as ES modules and 43/44 cannot parse them, so both forms are
# installed under two UUIDs; each shell loads only the one whose shell-version list holds
# its own version, and Inkora names that one when it asks the user to enable it.
foreach(form "inkora-foreground@inkora;extension.js;\"45\", \"46\", \"47\""
             "inkora-foreground-43@inkora;extension-legacy.js;\"43\", \"44\"")
    list(GET form 0 UUID)
    list(GET form 1 script)
    list(GET form 2 SHELL_VERSIONS)
    configure_file(${CMAKE_SOURCE_DIR}/resources/wayland/gnome-shell/metadata.json.in
                   ${INKORA_PACKAGING}/gnome-shell/${UUID}/metadata.json @ONLY)
    install(FILES ${INKORA_PACKAGING}/gnome-shell/${UUID}/metadata.json
            DESTINATION ${INKORA_SHARE_DIR_DEST}/gnome-shell/extensions/${UUID} COMPONENT inkora)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/wayland/gnome-shell/${script}
            DESTINATION ${INKORA_SHARE_DIR_DEST}/gnome-shell/extensions/${UUID} RENAME extension.js COMPONENT inkora)
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/InkoraPackage.cmake)
