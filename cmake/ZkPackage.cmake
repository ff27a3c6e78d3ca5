# The Debian package: `cpack -G DEB` in a Release build directory configured
# with CMAKE_INSTALL_PREFIX=/usr. Its dependencies come from the shared
# libraries the programs link (dpkg-shlibdeps, from dpkg-dev).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME backup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Backup maintainers <backup@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file backup manager with named jobs and schedules")
set(CPACK_PACKAGE_DESCRIPTION "\
Named backup jobs pack files into zip archives (or copy them as a tree)
with dated names, include and exclude lists, actions before and after the
backup, duplicate copies, logs, a run history and schedules. The window
program Backup sets the jobs up and runs them; the console program
backup-cli lists and runs them, and its user unit keeps them on their
schedules. The texts are Hungarian.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own buttons and dialogs in Hungarian, as the program's texts; the
# program loads the translation from Qt's translations folder.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-translations-l10n)
# Jobs may open files and programs after a backup through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, rclone")

# The unit and the manual page name the installed paths, fixed when the build
# is configured: a package of a build for another prefix would point to
# programs that are not where it puts them.
set(ZK_PACKAGE_CONFIGURED_PREFIX "${CMAKE_INSTALL_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/ZkPackageCheck.cmake.in ${PROJECT_BINARY_DIR}/ZkPackageCheck.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/ZkPackageCheck.cmake)

include(CPack)
