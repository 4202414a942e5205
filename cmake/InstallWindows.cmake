# Installs the program for Windows in the layout it has on Linux, which the
# program reads its mode from (see platform/programdir.cpp): bin\quenlo.exe,
# its read-only data in share\quenlo. The installer (packaging/windows) puts
# this folder into Program Files; the DLLs the program imports are added by
# scripts/build-windows.sh.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS quenlo RUNTIME DESTINATION bin)
install(DIRECTORY database Sound DESTINATION share/quenlo)

# Qt finds its translations from the prefix that qt.conf names, relative to
# the executable; the standard buttons speak Chinese as on Linux. Qt's
# translations are the same files on every system: Debian's are taken.
set(QUENLO_QT_TRANSLATIONS /usr/share/qt6/translations CACHE PATH
    "Where qtbase_zh_CN.qm is (Debian: qt6-translations-l10n)")
install(FILES ${QUENLO_QT_TRANSLATIONS}/qtbase_zh_CN.qm DESTINATION translations OPTIONAL)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/qt.conf DESTINATION bin)
