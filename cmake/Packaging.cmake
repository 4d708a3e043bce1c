# A Debian package of the installation: after a build, `cpack --config build/CPackConfig.cmake`
# (run in the folder that should receive it) writes quorvel_<version>_<arch>.deb with the same
# files as `cmake --install`, under /usr, stripped, its dependencies found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Ombrat (Ferrolt)")
set(CPACK_PACKAGE_CONTACT "Ombrat (Ferrolt)")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tester for digital filters written as short scripts")
set(CPACK_PACKAGE_DESCRIPTION "Quorvel tests filters written as short JavaScript scripts: \
frequency response (amplitude and phase graphs) and an oscilloscope, with quorvel-cli for runs \
without windows. The user interface is in Italian.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialog texts in Italian (buttons, file dialogs); without them they stay English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
include(CPack)
