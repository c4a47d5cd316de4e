// The registry and the seat: the globals the shell uses, bound as the registry announces
// them into the session's record, the outputs' records made and marked gone, and the
// seat's input for the overlay. The listeners only record what arrives; the shell's loop
// acts on it.
#pragma once

#include <cstdint>

#include "viewer/wayland/session.h"

namespace aerolume {

// The versions bound: the highest the compositor offers up to the highest whose requests
// and events the shell uses. The layer shell's destroy request came with version 3 (all
// else used is in version 1); the seat's scroll frames, sources and stops with version 5.
inline constexpr std::uint32_t layer_shell_version_used = 3;
inline constexpr std::uint32_t seat_version_used = 5;

// Binds the globals the shell uses as the session's registry announces them (the seat
// only when the session wants input), binds each output (bind_output) and marks the
// record of an output that goes away.
void listen_to_registry(WaylandSession& session);

// Destroys the proxies of the seat and its devices, the layer shell and the compositor
// (the outputs' records are the session's to drop first).
void release_globals(WaylandSession& session);

}  // namespace aerolume
