# Installation and the Debian package. The program folder lib/kelvo holds the
# applet and canvas.bmp; bin/kelvo is a link to it, so the program folder
# (found through the link) is still where canvas.bmp lies.
set(KELVO_PROGRAM_DIR lib/kelvo)

install(TARGETS kelvo DESTINATION ${KELVO_PROGRAM_DIR})
install(FILES ${KELVO_CANVAS_BMP} DESTINATION ${KELVO_PROGRAM_DIR})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-links)
file(CREATE_LINK ../${KELVO_PROGRAM_DIR}/kelvo ${CMAKE_BINARY_DIR}/install-links/kelvo SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install-links/kelvo DESTINATION bin)
install(TARGETS kelvo-reg DESTINATION bin)

install(DIRECTORY ${KELVO_ICON_DIR}/ DESTINATION share/icons)
install(FILES ${CMAKE_SOURCE_DIR}/data/kelvo.desktop DESTINATION share/applications)
configure_file(${CMAKE_SOURCE_DIR}/data/kelvo.metainfo.xml.in ${CMAKE_BINARY_DIR}/org.example.kelvo.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/org.example.kelvo.metainfo.xml DESTINATION share/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/man/kelvo.1 ${CMAKE_SOURCE_DIR}/man/kelvo-reg.1 DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION share/doc/kelvo RENAME copyright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvo)
set(CPACK_PACKAGE_VENDOR "the Kelvo developers")
set(CPACK_PACKAGE_CONTACT "the Kelvo developers <${KELVO_SUPPORT_MAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live waveform of the recording input in a tiny window or tray icon")
set(CPACK_PACKAGE_DESCRIPTION "Kelvo shows the sound arriving at the recording input as a live waveform,\
 redrawn every frame, in its own tiny borderless window or inside its notification-area icon.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KELVO_HOMEPAGE})
# The libraries the binaries link, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A sound server to record from; xdg-open for the about box's links; Wayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, xdg-utils, qt6-wayland")
include(CPack)
