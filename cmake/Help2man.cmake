# Makes one gzipped man page from a built program's --help and --version through
# help2man (run with cmake -P; see Docs.cmake). Variables: HELP2MAN, GZIP, PROGRAM,
# INCLUDE (the .h2m file), OUTPUT (the .1.gz to write), SOURCE (footer text), DATE_EPOCH
# (the page's date, so the page depends only on its inputs).

# The page must not depend on where it is built: no display to open, no window to
# borrow; a program that tried to open a window fails at once instead of showing one.
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
unset(ENV{XSCREENSAVER_WINDOW})
set(ENV{SOURCE_DATE_EPOCH} "${DATE_EPOCH}")
set(ENV{LC_ALL} C)

get_filename_component(name "${PROGRAM}" NAME)
string(REGEX REPLACE "\\.gz$" "" page "${OUTPUT}")
file(REMOVE "${OUTPUT}" "${page}")

execute_process(COMMAND "${PROGRAM}" --help RESULT_VARIABLE status OUTPUT_VARIABLE help
                ERROR_VARIABLE help_error TIMEOUT 30)
if(NOT status EQUAL 0 OR NOT help MATCHES "--help")
  string(STRIP "${help_error}" help_error)
  message(FATAL_ERROR "${name} --help did not print its options (status ${status}: "
                      "${help_error}); cannot make its man page")
endif()

execute_process(COMMAND "${HELP2MAN}" --no-info --section=1 --include=${INCLUDE}
                        "--source=${SOURCE}" "--manual=User Commands" --output=${page}
                        "${PROGRAM}"
                RESULT_VARIABLE status ERROR_VARIABLE help2man_error TIMEOUT 60)
if(NOT status EQUAL 0)
  file(REMOVE "${page}")
  message(FATAL_ERROR "help2man failed on ${name}: ${help2man_error}")
endif()
execute_process(COMMAND "${GZIP}" -n -9 -c "${page}" OUTPUT_FILE "${OUTPUT}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "gzip failed on ${page}")
endif()
