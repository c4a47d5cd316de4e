// One output of a Wayland compositor and the layer surface Aerolume shows on it, from
// the bind of its wl_output to its drop: its record, what the output and the layer
// surface say of themselves, the surface's making and sizing, and its frame callbacks.
#pragma once

#include <EGL/egl.h>
#include <wayland-client.h>
#include <wayland-egl.h>
#include <wlr-layer-shell-unstable-v1-client-protocol.h>
#include <xdg-shell-client-protocol.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "viewer/wayland/egl.h"

namespace aerolume {

// One output and the surface Aerolume shows on it: a layer surface, or with
// --shell-windows an xdg_toplevel that a desktop shell's extension shows as the output's
// background.
struct OutputRecord {
  std::uint32_t global_name = 0;
  wl_output* output = nullptr;
  std::uint32_t output_version = 0;
  std::string name;              // wl_output.name (version 4)
  std::int32_t scale = 1;        // wl_output.scale (version 2)
  std::int32_t refresh_mhz = 0;  // the refresh of the output's current mode, in mHz (0: unknown)
  std::int32_t mode_width = 0, mode_height = 0;  // the current mode's size, in pixels
  std::int32_t x = 0, y = 0;  // the output's place in the compositor's space
  bool described = false;        // the output's first done has come: name and scale known
  bool gone = false;             // the output went away or the surface was closed
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer_surface = nullptr;
  xdg_surface* shell_surface = nullptr;  // --shell-windows: the window's xdg_surface
  xdg_toplevel* toplevel = nullptr;      // and its toplevel
  std::string title;  // the window's title as set
  std::optional<std::uint32_t> configure_serial;  // a configure not yet acknowledged
  std::uint32_t width = 0, height = 0;  // from the last configure (surface units)
  std::int32_t buffer_scale = 0;                  // the scale the buffers are sized at
  int buffer_width = 0, buffer_height = 0;        // their size in pixels
  wl_egl_window* egl_window = nullptr;
  EGLSurface egl_surface = EGL_NO_SURFACE;
  // The rectangles a partial frame drew (x, y, width, height each, in buffer pixels, rows
  // from the bottom), presented as its damage; empty for a whole frame.
  std::vector<EGLint> damage;
  wl_callback* frame_callback = nullptr;          // asked, not yet done
  std::chrono::steady_clock::time_point asked_at;  // when it was asked
  // Refreshes since the surface's last frame showed, counted by its frame callbacks and
  // by their times (a refresh whose callback came late, while a frame was drawn, counts).
  int callbacks = 0;
  std::uint32_t shown_ms = 0;  // the time of the first callback after the last swap
  bool drawn = false;   // a frame has been drawn on the surface
  bool held = false;    // a frame is drawn and its swap held until its k-th callback
};

// wl_surface.set_buffer_scale came with version 3 of wl_compositor: before it the
// buffers are drawn at the surface's own size.
inline bool can_set_buffer_scale(std::uint32_t compositor_version) { return compositor_version >= 3; }

// Binds the wl_output the registry announced as `name` (up to version 4) and makes its
// record, which the output's events fill in.
std::unique_ptr<OutputRecord> bind_output(wl_registry* registry, std::uint32_t name,
                                          std::uint32_t version);

// The layer surface on the record's output: the whole output (anchored to every edge,
// size 0 x 0 for the compositor to fill in, no exclusive zone), on the overlay layer
// with the keyboard or the background layer without it, committed without a buffer;
// the configure that answers it brings the size.
void make_layer_surface(OutputRecord& record, wl_compositor* compositor,
                        zwlr_layer_shell_v1* layer_shell, bool overlay);

// The window on the record's output for a shell's extension: an xdg_toplevel with the
// title shell_window_title(record) and the application id shell_window_app_id, of
// the output's size (whatever a configure suggests), taking no input, committed without
// a buffer; it is drawn once the configure that answers it is acknowledged. Never full
// screen: the extension places it and shows it as the output's background.
void make_shell_window(OutputRecord& record, wl_compositor* compositor, xdg_wm_base* wm_base);

inline constexpr const char* shell_window_app_id = "io.github.aerolume.Aerolume.Background";
// "Aerolume background on NAME at X,Y": the output the window is for, by its name (where
// the compositor names its outputs; else "on NAME" is left out) and its place, by which
// the extension finds the monitor.
std::string shell_window_title(const OutputRecord& record);
// Sets the window's title anew when its output has moved (or been named).
void follow_output_place(OutputRecord& record);

// Destroys what the record holds, its surface and the wl_output with it.
void drop_output(OutputRecord& record, const EglObjects& egl);

// Acknowledges a configure not yet answered and sizes the buffers to the surface times
// the output's scale (made on the first configure), as well when the output's scale
// changed; a window's size is its output's mode. Returns false when EGL cannot draw on
// the surface.
bool follow_configure(OutputRecord& record, const EglObjects& egl, std::uint32_t compositor_version);

// Presents the frame drawn on the record's surface, which is current: asks for the frame
// callback that begins the count of its refreshes, and swaps, with the frame's damage
// where it drew only that. False when EGL fails.
bool swap_frame(OutputRecord& record, const EglObjects& egl);

// Presents a frame drawn earlier and held (its k-th callback has come): the surface made
// current, then swap_frame. False when EGL fails.
bool swap_held_frame(OutputRecord& record, const EglObjects& egl);

// Between two drawn frames: asks for the next frame callback and commits the surface
// without a new buffer, so that the compositor's refreshes are counted.
void ask_frame_and_commit(OutputRecord& record);

}  // namespace aerolume
