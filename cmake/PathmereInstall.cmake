# What `cmake --install` puts where, for any prefix: ~/.local, /usr/local, or
# /usr inside the Debian package (cmake/PathmerePackage.cmake). The menu entry,
# the icons, the manual pages and the user unit land where the desktop, man
# and systemd look for them under that prefix.

include(GNUInstallDirs)
# Named for the package, as Debian wants it, not for the project
# (GNUInstallDirs' DOCDIR would be share/doc/Pathmere).
set(PATHMERE_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/pathmere)

install(TARGETS pathmere-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(PATHMERE_MAN_PAGES pathmere-cli.1)
if(TARGET pathmere)
  install(TARGETS pathmere RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND PATHMERE_MAN_PAGES pathmere.1)
endif()

# Manual pages and the changelog, compressed as man-db reads them and Debian
# wants them (-n: no name or time stamp inside, so the bytes repeat).
function(pathmere_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9nc ${source} > ${output}
    DEPENDS ${source}
    VERBATIM)
endfunction()
set(man_gz)
foreach(page IN LISTS PATHMERE_MAN_PAGES)
  set(page_file ${PROJECT_BINARY_DIR}/man/${page})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/man/${page}.in ${page_file} @ONLY)
  pathmere_gzip(${page_file} ${page_file}.gz)
  list(APPEND man_gz ${page_file}.gz)
endforeach()
set(changelog_gz ${PROJECT_BINARY_DIR}/changelog.gz)
pathmere_gzip(${PROJECT_SOURCE_DIR}/packaging/changelog ${changelog_gz})
add_custom_target(pathmere_compressed_docs ALL DEPENDS ${man_gz} ${changelog_gz})
install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(TARGET pathmere)
  foreach(size 32 64 256)
    install(FILES src/resources/pathmere-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME pathmere.png)
  endforeach()
  install(FILES src/resources/pathmere.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # The track view's tile servers; the program reads share/pathmere/maps.
  install(FILES resources/maps/openstreetmap.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/pathmere/maps)
endif()

install(FILES README.md packaging/copyright ${changelog_gz} DESTINATION ${PATHMERE_DOCDIR})
# Examples only: the udev rules are not active until the user copies them.
install(FILES samples/sample-drive.nmea packaging/udev/60-pathmere-gps-receivers.rules
        DESTINATION ${PATHMERE_DOCDIR}/examples)

# The menu entry and the user unit name the programs by their full paths,
# which are known only when the prefix is: at install time.
install(CODE "
  set(PATHMERE_SOURCE_DIR [[${PROJECT_SOURCE_DIR}]])
  set(PATHMERE_STAGING_DIR [[${PROJECT_BINARY_DIR}/install-configured]])
  set(PATHMERE_BINDIR [[${CMAKE_INSTALL_BINDIR}]])
  set(PATHMERE_DATADIR [[${CMAKE_INSTALL_DATADIR}]])
  set(PATHMERE_DOCDIR [[${PATHMERE_DOCDIR}]])
  set(PATHMERE_WITH_DESKTOP $<TARGET_EXISTS:pathmere>)
  include([[${PROJECT_SOURCE_DIR}/cmake/PathmereInstallConfigured.cmake]])
")
