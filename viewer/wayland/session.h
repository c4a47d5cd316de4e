// The Wayland shell's one record: the connection and the globals the registry announced,
// the overlay's input, the outputs' records, the EGL objects, and what the loop keeps
// between rounds. One owner, the session, releases all of it on every return.
#pragma once

#include <wayland-client.h>
#include <wlr-layer-shell-unstable-v1-client-protocol.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "viewer/pace/frame_pacing.h"
#include "viewer/shell/frames.h"
#include "viewer/wayland/egl.h"
#include "viewer/wayland/output.h"

namespace aerolume {

struct WaylandSession {
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;

  // The globals the surfaces are made with, at the versions bound.
  struct Globals {
    wl_compositor* compositor = nullptr;
    std::uint32_t compositor_version = 0;
    zwlr_layer_shell_v1* layer_shell = nullptr;
    std::uint32_t layer_shell_version = 0;
    xdg_wm_base* wm_base = nullptr;  // bound only for --shell-windows
  } globals;

  bool shell_windows = false;  // --shell-windows: windows, not layer surfaces

  // The overlay's seat and what it saw: input ends the overlay.
  struct Input {
    bool wanted = false;  // the overlay: the seat is bound
    wl_seat* seat = nullptr;
    std::uint32_t seat_version = 0;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_touch* touch = nullptr;
    // Since the first frame: a key or button press, pointer motion, a scroll or a touch.
    bool seen = false;
    wl_fixed_t pointer_x = 0, pointer_y = 0;
  } input;

  std::vector<std::unique_ptr<OutputRecord>> outputs;
  EglObjects egl;

  // What the loop keeps from one round to the next.
  struct Rounds {
    FirstFrame first_frame;  // the scene starts on the first surface drawn
    FrameGate frames;        // asleep while no callback comes; the step restarts after it
    PacingClock::time_point next_slot{};  // when the next frame may begin: at once at first
    PacingClock::duration drawing{};  // a round's drawing, smoothed over the last few
  } rounds;

  WaylandSession() = default;
  WaylandSession(const WaylandSession&) = delete;
  WaylandSession& operator=(const WaylandSession&) = delete;
  // Releases in order: the outputs' surfaces, EGL, the globals, the connection.
  ~WaylandSession();

  // A frame has been presented (or drawn and held): input counts, and the compositor's
  // going is no failure, from then on.
  bool shown() const { return rounds.first_frame.done(); }
};

// Connects to the compositor (WAYLAND_DISPLAY), learns its globals and what the outputs
// say of themselves, and makes the EGL objects; says when --output names no output there
// is. The failure status, with its line, or nothing when the session can draw.
std::optional<int> open_session(WaylandSession& session, const ViewerOptions& options);

}  // namespace aerolume
