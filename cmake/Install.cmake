# Installs the program the way a Linux desktop expects: bin/quenlo, its
# read-only data in share/quenlo, a menu entry, icons, AppStream metadata and
# a manual page; and packages it as a .deb with CPack.
#
# The library and the settings the user edits are never installed into a
# user's folder: the program copies the shipped library the first time it
# needs one, so an install or reinstall can't overwrite a user's files.

# Installing and packaging take what is built (cmake --build first) rather
# than building every test and benchmark on the way.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS quenlo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY database Sound DESTINATION ${CMAKE_INSTALL_DATADIR}/quenlo
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
# The manual page and the AppStream metadata carry the version: Release.cmake
# makes them in the build folder.
include(${CMAKE_CURRENT_LIST_DIR}/Release.cmake)
set(generated ${PROJECT_BINARY_DIR}/packaging)
install(FILES ${packaging}/quenlo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${generated}/io.github.quenlo.Quenlo.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${packaging}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${packaging}/icons/quenlo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Debian wants manual pages and changelogs compressed, reproducibly (-n).
set(man_page ${generated}/quenlo.1.gz)
set(changelog ${generated}/changelog.Debian.gz)
add_custom_command(OUTPUT ${man_page} ${changelog}
  COMMAND gzip -9nc ${generated}/quenlo.1 > ${man_page}
  COMMAND gzip -9nc ${packaging}/debian/changelog > ${changelog}
  DEPENDS ${generated}/quenlo.1 ${packaging}/debian/changelog
  COMMENT "Compressing the manual page and the changelog")
add_custom_target(quenlo_docs ALL DEPENDS ${man_page} ${changelog})
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/debian/copyright ${changelog}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quenlo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quenlo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quenlo")
set(CPACK_PACKAGE_CONTACT "Quenlo developers <quenlo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shows Chinese characters one at a time for preschool children")
set(CPACK_PACKAGE_DESCRIPTION
    "Quenlo helps preschool children learn to recognise Chinese characters.\n"
    "It shows one entry at a time (a character, a word or a short phrase) in\n"
    "huge bold type, as a frameless window over the whole screen whose shape\n"
    "is cut to the glyphs. A click steps on with a sound cue.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QUENLO_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries come from the executable's own links; the plugins (the
# learning record's SQLite driver among them), fonts, translations and the
# help page's launcher are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-arphic-gkai00mp | fonts-arphic-ukai, xdg-utils, qt6-translations-l10n, libqt6sql6-sqlite")
# The parent's recordings are Ogg/Opus through GStreamer; without them the
# rest works.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, gstreamer1.0-plugins-base, \
gstreamer1.0-plugins-good, gstreamer1.0-pulseaudio")
# File times from the last commit: see CPackProjectConfig.cmake.in.
configure_file(${CMAKE_CURRENT_LIST_DIR}/CPackProjectConfig.cmake.in
               ${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake)
include(CPack)
