// What the Wayland shell knows of the compositor: its globals from the registry, the
// records of its outputs (viewer/wayland/output.h), and the seat's input for the overlay.
// The listeners only record what arrives; the shell's loop acts on it.
#pragma once

#include <wayland-client.h>
#include <wlr-layer-shell-unstable-v1-client-protocol.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "viewer/wayland/output.h"

namespace aerolume {

// The compositor, its globals, the outputs and the overlay's input.
struct Connection {
  wl_display* display = nullptr;
  wl_compositor* compositor = nullptr;
  std::uint32_t compositor_version = 0;
  zwlr_layer_shell_v1* layer_shell = nullptr;
  std::uint32_t layer_shell_version = 0;
  wl_seat* seat = nullptr;
  std::uint32_t seat_version = 0;
  wl_pointer* pointer = nullptr;
  wl_keyboard* keyboard = nullptr;
  wl_touch* touch = nullptr;
  std::vector<std::unique_ptr<OutputRecord>> outputs;
  bool wants_input = false;  // the overlay: input ends the program
  bool shown = false;        // a frame has been presented: input counts from then on
  // Since shown: a key or button press, pointer motion, a scroll or a touch.
  bool input_seen = false;
  wl_fixed_t pointer_x = 0, pointer_y = 0;
};

// The versions bound: the highest the compositor offers up to the highest whose requests
// and events the shell uses. The layer shell's destroy request came with version 3 (all
// else used is in version 1); the seat's scroll frames, sources and stops with version 5.
inline constexpr std::uint32_t layer_shell_version_used = 3;
inline constexpr std::uint32_t seat_version_used = 5;

// Binds the globals the shell uses as the registry announces them (the seat only when
// the connection wants input), binds each output (bind_output) and marks the record of
// an output that goes away.
void listen_to_registry(wl_registry* registry, Connection* connection);

// Destroys the proxies of the seat and its devices, the layer shell and the compositor
// (the outputs' records are the shell's to drop first).
void release_globals(Connection* connection);

}  // namespace aerolume
