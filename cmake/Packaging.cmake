# Install layout and the Debian package.
#
#   <prefix>/lib/orvanta/orvanta          the program; its folder holds res/ and desktops/
#   <prefix>/bin/orvanta                  a link to it (the program finds its folder through the link)
#   <prefix>/bin/orvanta-desktop          the desktop-file inspector
#   <prefix>/share/applications/orvanta.desktop
#   <prefix>/share/icons/hicolor/64x64/apps/orvanta.png
#   <prefix>/share/man/man1/orvanta.1.gz, orvanta-desktop.1.gz
#   <prefix>/share/doc/orvanta/copyright, changelog.gz

set(ORVANTA_PROGRAM_DIR lib/orvanta)

install(TARGETS orvanta RUNTIME DESTINATION ${ORVANTA_PROGRAM_DIR})
install(FILES ${CMAKE_BINARY_DIR}/res/palette.bmp DESTINATION ${ORVANTA_PROGRAM_DIR}/res)
# Only the bundled desktop (its pictures are PNG): not what was saved beside it
# while trying the build, nor the bitmaps an older build drew.
install(DIRECTORY ${CMAKE_BINARY_DIR}/desktops DESTINATION ${ORVANTA_PROGRAM_DIR}
    FILES_MATCHING PATTERN "default.orv" PATTERN "*.png")
install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(CREATE_LINK ../${ORVANTA_PROGRAM_DIR}/orvanta \"\${bin}/orvanta\" SYMBOLIC)
    message(STATUS \"Installing: \${bin}/orvanta -> ../${ORVANTA_PROGRAM_DIR}/orvanta\")
")
if(TARGET orvanta-desktop)
    install(TARGETS orvanta-desktop RUNTIME DESTINATION bin)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/orvanta.desktop DESTINATION share/applications)
# The icon is drawn at build time (tools/orvanta-art).
install(FILES ${CMAKE_BINARY_DIR}/generated/orvanta.png DESTINATION share/icons/hicolor/64x64/apps)

# Manual pages and the changelog go compressed, as Debian's policy asks; -n
# keeps the build time out of them. The manual pages carry the project's
# version (@PROJECT_VERSION@ in their headers).
set(ORVANTA_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
set(ORVANTA_COMPRESSED)
foreach(name orvanta.1 orvanta-desktop.1 changelog)
    configure_file(${CMAKE_SOURCE_DIR}/packaging/${name} ${ORVANTA_PACKAGING_OUT}/source/${name} @ONLY)
    add_custom_command(OUTPUT ${ORVANTA_PACKAGING_OUT}/${name}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${ORVANTA_PACKAGING_OUT}/source/${name} ${ORVANTA_PACKAGING_OUT}/${name}
        COMMAND gzip -9nf ${ORVANTA_PACKAGING_OUT}/${name}
        DEPENDS ${ORVANTA_PACKAGING_OUT}/source/${name}
        VERBATIM)
    list(APPEND ORVANTA_COMPRESSED ${ORVANTA_PACKAGING_OUT}/${name}.gz)
endforeach()
add_custom_target(orvanta-packaging ALL DEPENDS ${ORVANTA_COMPRESSED})
install(FILES ${ORVANTA_PACKAGING_OUT}/orvanta.1.gz ${ORVANTA_PACKAGING_OUT}/orvanta-desktop.1.gz
    DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${ORVANTA_PACKAGING_OUT}/changelog.gz
    DESTINATION share/doc/orvanta)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvanta)
set(CPACK_PACKAGE_VENDOR "The Orvanta developers")
set(CPACK_PACKAGE_CONTACT "The Orvanta developers <orvanta@orvanta.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop of image buttons over the screen's work area")
# Debian wants the lines of the long description within 80 columns.
set(CPACK_PACKAGE_DESCRIPTION "Orvanta covers the screen with a desktop of its own: a tiled background
and image buttons with captions that light up under the pointer. Buttons
are arranged with the mouse and kept in desktop files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries (and with them the X11 platform plugin) come from the
# linked libraries; without dpkg-shlibdeps they are named here.
find_program(ORVANTA_DPKG_SHLIBDEPS dpkg-shlibdeps)
# The screen's device geometry comes from Qt's platform interface, which is
# bound to the exact Qt release.
# Pictures other than bitmaps are read by Qt's image format plugins and Qt SVG;
# theme icons fall back to hicolor. Actions start applications through GIO.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-base-abi (= ${Qt6_VERSION}), libqt6svg6 (>= 6.4), qt6-image-formats-plugins (>= 6.4), hicolor-icon-theme, libglib2.0-0 (>= 2.74)")
if(ORVANTA_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS
        ", libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), zlib1g, libstdc++6 (>= 12), libc6 (>= 2.34), libgcc-s1, libxcb1")
endif()
# The captions are set in DejaVu Sans; a session without X needs Qt's
# Wayland platform.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, qt6-wayland")
include(CPack)
