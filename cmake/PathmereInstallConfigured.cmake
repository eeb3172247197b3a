# Run by `cmake --install` and by CPack, with CMAKE_INSTALL_PREFIX the prefix
# of this installation: fills the programs' full paths into the menu entry and
# the systemd user unit and installs them.
foreach(dir BINDIR DATADIR DOCDIR)
  cmake_path(ABSOLUTE_PATH PATHMERE_${dir} BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE)
endforeach()

# Debian keeps packaged user units in /usr/lib; systemd also looks in
# share/systemd/user under ~/.local, /usr/local and the other XDG data folders.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(unit_dir "/usr/lib/systemd/user")
else()
  set(unit_dir "${PATHMERE_DATADIR}/systemd/user")
endif()

set(readable OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
foreach(unit pathmere-record pathmere-collect)
  configure_file("${PATHMERE_SOURCE_DIR}/packaging/${unit}.service.in"
                 "${PATHMERE_STAGING_DIR}/${unit}.service" @ONLY)
  file(INSTALL "${PATHMERE_STAGING_DIR}/${unit}.service" DESTINATION "${unit_dir}"
       FILE_PERMISSIONS ${readable})
endforeach()
if(PATHMERE_WITH_DESKTOP)
  configure_file("${PATHMERE_SOURCE_DIR}/packaging/pathmere.desktop.in"
                 "${PATHMERE_STAGING_DIR}/pathmere.desktop" @ONLY)
  file(INSTALL "${PATHMERE_STAGING_DIR}/pathmere.desktop" DESTINATION "${PATHMERE_DATADIR}/applications"
       FILE_PERMISSIONS ${readable})
endif()
