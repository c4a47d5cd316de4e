# The man pages aerolume(1) and aerolume-render(1): help2man over each built program's
# --help and --version, with the sections in man/*.h2m (keys, exit status, environment,
# examples), gzipped into man/ of the build folder and installed to share/man/man1.
# Made only where help2man is found: building and testing the programs does without
# them, but installing and packaging (which installs) refuse to go on without the pages.
include(GNUInstallDirs)
find_program(HELP2MAN help2man)
find_program(GZIP gzip REQUIRED)
if(NOT HELP2MAN)
  message(STATUS "help2man not found: no man pages; install and cpack will refuse "
                 "(scripts/install-deps test, or apt-get install help2man, then configure again)")
  install(CODE "message(FATAL_ERROR \"aerolume: the man pages need help2man: apt-get install \"
                                    \"help2man, then configure the build folder again\")")
  return()
endif()

# The pages carry the release date (CMakeLists.txt), not the day of the build.
execute_process(COMMAND date -u -d ${AEROLUME_RELEASE_DATE} +%s
                OUTPUT_VARIABLE aerolume_release_epoch OUTPUT_STRIP_TRAILING_WHITESPACE)

set(aerolume_man_pages)
function(aerolume_man_page program)
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1.gz)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${HELP2MAN} -DGZIP=${GZIP}
            -DPROGRAM=$<TARGET_FILE:${program}>
            -DINCLUDE=${PROJECT_SOURCE_DIR}/man/${program}.h2m -DOUTPUT=${page}
            "-DSOURCE=Aerolume ${PROJECT_VERSION}" -DDATE_EPOCH=${aerolume_release_epoch}
            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/Help2man.cmake
    DEPENDS ${program} ${PROJECT_SOURCE_DIR}/man/${program}.h2m
            ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/Help2man.cmake
    COMMENT "Making the man page ${program}(1)"
    VERBATIM)
  set(aerolume_man_pages ${aerolume_man_pages} ${page} PARENT_SCOPE)
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
aerolume_man_page(aerolume-render)
aerolume_man_page(aerolume)
add_custom_target(aerolume_man_pages ALL DEPENDS ${aerolume_man_pages})
