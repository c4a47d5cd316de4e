# The GNOME Shell extension (desktop/gnome-shell): one source, background.js, made into
# the two extension systems' extension.js (imports for GNOME Shell 43 and 44, ES modules
# from 45 on), each with its metadata.json and the list of shell versions it runs on, in
# gnome-shell/<variant>/<uuid> of the build folder. Each names the program by the
# package's path; a third copy (gnome-shell/build) names this build's own program, for
# the tests. The package installs the variant AEROLUME_GNOME_SHELL_VARIANT names.
include(GNUInstallDirs)
set(AEROLUME_GNOME_EXTENSION_UUID aerolume@aerolume.github.io)
set(gnome_shell_source ${PROJECT_SOURCE_DIR}/desktop/gnome-shell)
set(AEROLUME_GNOME_SHELL_VARIANT 43 CACHE STRING
    "The GNOME Shell extension the package installs: 43 (GNOME Shell 43 and 44) or 45 (45 and later)")
set_property(CACHE AEROLUME_GNOME_SHELL_VARIANT PROPERTY STRINGS 43 45)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${gnome_shell_source}/background.js ${gnome_shell_source}/metadata.json.in
             ${gnome_shell_source}/head-43.js ${gnome_shell_source}/tail-43.js
             ${gnome_shell_source}/head-45.js ${gnome_shell_source}/tail-45.js)

# gnome_shell_extension(FOLDER VARIANT PROGRAM): the variant's extension in FOLDER/<uuid>.
function(gnome_shell_extension folder variant program)
  set(UUID ${AEROLUME_GNOME_EXTENSION_UUID})
  if(variant STREQUAL 43)
    set(SHELL_VERSIONS "\"43\", \"44\"")
  else()
    set(SHELL_VERSIONS "\"45\", \"46\", \"47\", \"48\", \"49\"")
  endif()
  set(AEROLUME_PROGRAM ${program})
  set(out ${folder}/${UUID})
  configure_file(${gnome_shell_source}/metadata.json.in ${out}/metadata.json @ONLY)
  file(READ ${gnome_shell_source}/head-${variant}.js head)
  file(READ ${gnome_shell_source}/background.js body)
  file(READ ${gnome_shell_source}/tail-${variant}.js tail)
  string(CONFIGURE "${body}" body @ONLY)
  file(WRITE ${out}/extension.js.new "${head}${body}${tail}")
  configure_file(${out}/extension.js.new ${out}/extension.js COPYONLY)
endfunction()

set(gnome_shell_build ${PROJECT_BINARY_DIR}/gnome-shell)
# The package installs under /usr, and the extension names the program there (as the
# user unit does).
gnome_shell_extension(${gnome_shell_build}/43 43 /usr/${CMAKE_INSTALL_BINDIR}/aerolume)
gnome_shell_extension(${gnome_shell_build}/45 45 /usr/${CMAKE_INSTALL_BINDIR}/aerolume)
gnome_shell_extension(${gnome_shell_build}/build 43 ${PROJECT_BINARY_DIR}/aerolume)
install(DIRECTORY ${gnome_shell_build}/${AEROLUME_GNOME_SHELL_VARIANT}/${AEROLUME_GNOME_EXTENSION_UUID}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions
        PATTERN "*.new" EXCLUDE)
