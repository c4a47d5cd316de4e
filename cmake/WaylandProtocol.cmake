# wayland_client_protocol(TARGET XML...): wayland-scanner makes the client header and the
# C code of each protocol description at build time, into the build folder's protocols/,
# and adds them to TARGET. A request argument named "namespace" (a C++ keyword) is
# renamed in the header; names of C parameters are not on the wire.
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
function(wayland_client_protocol target)
  set(dir ${CMAKE_BINARY_DIR}/protocols)
  file(MAKE_DIRECTORY ${dir})
  foreach(protocol ${ARGN})
    get_filename_component(name ${protocol} NAME_WE)
    add_custom_command(
      OUTPUT ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c
      COMMAND ${WAYLAND_SCANNER} client-header ${protocol} ${dir}/${name}-client-protocol.h
      COMMAND sed -i "s/\\bnamespace\\b/name_space/g" ${dir}/${name}-client-protocol.h
      COMMAND ${WAYLAND_SCANNER} private-code ${protocol} ${dir}/${name}-protocol.c
      DEPENDS ${protocol} VERBATIM)
    target_sources(${target} PRIVATE ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c)
  endforeach()
  # Public: the target's own headers name the protocols' types.
  target_include_directories(${target} PUBLIC ${dir})
endfunction()
