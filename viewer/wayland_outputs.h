// What the Wayland shell knows of the compositor: its globals, one record per output
// (the wl_output, its name and scale, and the layer surface shown on it), and the
// overlay's input. The listeners only record what arrives; the shell's loop acts on it.
#pragma once

#include <EGL/egl.h>
#include <wayland-client.h>
#include <wayland-egl.h>
#include <wlr-layer-shell-unstable-v1-client-protocol.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace aerolume {

// One output and the layer surface Aerolume shows on it.
struct OutputRecord {
  std::uint32_t global_name = 0;
  wl_output* output = nullptr;
  std::uint32_t output_version = 0;
  std::string name;              // wl_output.name (version 4)
  std::int32_t scale = 1;        // wl_output.scale (version 2)
  bool described = false;        // the output's first done has come: name and scale known
  bool gone = false;             // the output went away or the surface was closed
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer_surface = nullptr;
  std::optional<std::uint32_t> configure_serial;  // a configure not yet acknowledged
  std::uint32_t width = 0, height = 0;            // from the last configure (surface units)
  std::int32_t buffer_scale = 0;                  // the scale the buffers are sized at
  int buffer_width = 0, buffer_height = 0;        // their size in pixels
  wl_egl_window* egl_window = nullptr;
  EGLSurface egl_surface = EGL_NO_SURFACE;
  wl_callback* frame_callback = nullptr;          // asked before the last swap, not yet done
};

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
// the connection wants input), makes a record for each output and marks the record of
// an output that goes away.
void listen_to_registry(wl_registry* registry, Connection* connection);

// Destroys the proxies of the seat and its devices, the layer shell and the compositor
// (the outputs' records are the shell's to drop first).
void release_globals(Connection* connection);

// The frame callback of a record's surface: when it is done, the record's
// frame_callback is cleared.
void listen_for_frame_done(OutputRecord* record);

// The configure and closed events of a record's layer surface.
void listen_to_layer_surface(OutputRecord* record);

}  // namespace aerolume
