# Everything beyond the programs and their tests: the man pages, what is installed, and
# the Debian package (cpack -G DEB in a Release build folder). Included at the end of the
# top CMakeLists.txt, once every target exists.
include(${CMAKE_CURRENT_LIST_DIR}/Docs.cmake)
include(GNUInstallDirs)

# What is installed: the two programs and what a desktop needs to show them. Tests,
# benchmarks and helpers such as aerolume_xprobe have no install rules and stay out.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS aerolume aerolume-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Stripped (the package asks for it) the way Debian strips: also without the compiler's
# .comment and the bare .note sections.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program aerolume aerolume-render)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                              --remove-section=.note
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")
# The programs resolve their symbols at start-up, so the relocations can be read-only.
target_link_options(aerolume PRIVATE LINKER:-z,relro,-z,now)
target_link_options(aerolume-render PRIVATE LINKER:-z,relro,-z,now)
set(data ${PROJECT_SOURCE_DIR}/data)
install(FILES ${data}/aerolume.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data}/io.github.aerolume.Aerolume.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# What screen-saver hosts read: xscreensaver's settings dialog its description and
# controls, MATE's and Xfce's screen savers their list of savers.
install(FILES ${data}/xscreensaver/aerolume.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${data}/screensavers/aerolume.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/screensavers)
# MATE's and Xfce's savers run only programs found in their hack folders, whatever the
# entry's Exec says; the package (prefix /usr) puts a relative link to the program in
# /usr/libexec/xscreensaver, the folder they share with xscreensaver, and the entry
# names that path.
set(saver_folder ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
file(RELATIVE_PATH saver_link_target /${saver_folder} /${CMAKE_INSTALL_BINDIR}/aerolume)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/saver_link)
file(CREATE_LINK ${saver_link_target} ${PROJECT_BINARY_DIR}/saver_link/aerolume SYMBOLIC)
install(FILES ${PROJECT_BINARY_DIR}/saver_link/aerolume DESTINATION ${saver_folder})
# Control from outside: the description of the interface every running program serves
# on the session bus, for bindings and for D-Bus tools; and the user unit that starts the
# background with the graphical session. The unit goes where systemd's user manager
# looks under the prefix (lib/systemd/user, /usr/lib/systemd/user in the package), not
# into a multiarch library folder. It is not enabled: a user enables it (README).
install(FILES ${data}/dbus/io.github.aerolume.Aerolume.Control.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/dbus-1/interfaces)
install(FILES ${data}/systemd/aerolume-background.service DESTINATION lib/systemd/user)
# The PNGs are made from the SVG by data/icons/render-icons and committed.
foreach(size 16 32 48 64 128 256)
  install(FILES ${data}/icons/aerolume-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME aerolume.png)
endforeach()
install(FILES ${data}/icons/aerolume.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Debian wants the copyright file and a gzipped changelog beside it.
set(aerolume_changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(
  OUTPUT ${aerolume_changelog}
  COMMAND ${GZIP} -n -9 -c ${data}/changelog > ${aerolume_changelog}
  DEPENDS ${data}/changelog
  COMMENT "Compressing the changelog")
add_custom_target(aerolume_changelog ALL DEPENDS ${aerolume_changelog})
install(FILES ${data}/copyright ${aerolume_changelog}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/aerolume)

# The Debian package: aerolume_<version>_<arch>.deb, installing under /usr, its
# library dependencies found by dpkg-shlibdeps (package dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME aerolume)
set(CPACK_PACKAGE_VENDOR "Aerolume developers")
set(CPACK_PACKAGE_CONTACT "Aerolume developers <developers@aerolume.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "balloons on ropes rising under a dome of procedural clouds")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Aerolume is a real-time OpenGL scene for the Linux desktop. Balloons on ropes
rise in a steady stream through a sky-blue world under a huge dome of
procedural clouds; a four-dimensional noise wind pushes them sideways, each
rope swings as a damped chain of springs, and balloons fade in near the ground
and out high up. It runs full screen until Esc, and the camera is steered from
the keyboard. It can also run in a window, cap its frame rate, or draw into a
screen saver's window or on the desktop background; on GNOME, the GNOME Shell
extension aerolume@aerolume.github.io in the package shows it as every
monitor's background; on KDE Plasma, the wallpaper plugin
io.github.aerolume.wallpaper (Aerolume among its wallpaper types).

The package holds two programs: aerolume, the scene in a window, and
aerolume-render, which draws the same scene offscreen through EGL, without a
display, and saves pictures and timings.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://aerolume.example/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
set(CPACK_SOURCE_GENERATOR "")
include(CPack)

# The package made and checked as a user gets it (label package; not in the sanitizer
# build, whose programs are not the ones shipped).
if(BUILD_TESTING AND NOT AEROLUME_SANITIZE)
  add_test(NAME package.deb
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/package_test.sh
                   ${CMAKE_CPACK_COMMAND} ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
  set_tests_properties(package.deb PROPERTIES LABELS package SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
