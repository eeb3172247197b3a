# The Debian package, made by CPack from the install rules
# (cmake/PathmereInstall.cmake): scripts/package.sh builds it, and
# tests/packaging checks what it holds.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pathmere)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Pathmere developers")
set(PATHMERE_PACKAGE_MAINTAINER "The Pathmere developers <pathmere@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PATHMERE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "GPS track logger writing daily OziExplorer files")
# The Description's extended part; CPack puts the summary above it and indents
# it as Debian wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Pathmere reads NMEA-0183 sentences from a GPS receiver on a serial port, or
replays a recorded NMEA file, throws out implausible fixes, shows the current
fix and keeps per-day files in an output folder: a dense track (.plt), a
sparse route that a later start on the same day continues (.rte), waypoints
on request (.wpt) and, optionally, a raw log of the sentences (.nmea).

It comes as a desktop program with a tray icon (pathmere) and as a headless
logger for small boards (pathmere-cli), with a systemd user unit that runs
the logger without a login.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the shared libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The MQTT client is loaded when publishing starts, so dpkg-shlibdeps cannot
# see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmosquitto1 (>= 1.6)")
# GPSBabel turns the day files into GPX for other programs.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS gpsbabel)
# pathmere_0.1_amd64.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# Install with DESTDIR, so that CMAKE_INSTALL_PREFIX is /usr while the menu
# entry and the unit are filled in, not the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
