// Which surfaces draw in the next round when the compositor's frame callbacks pace them:
// under a cap, each surface shows a new frame on every k-th callback of its output's
// refresh (refreshes_per_frame), so that every frame stays up for the same number of
// refreshes, and the outputs share one stepping clock. Where k is 2 or more the frame is
// drawn ahead (by as many callbacks as its drawing takes, at least one) and its swap held
// until the k-th, so that the time a frame takes to draw does not land it refreshes late.
// Pure decisions; the Wayland shell counts the callbacks.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace aerolume {

// What the pace knows of one surface when a round may start.
struct SurfaceBeat {
  double refresh_hz = 0;  // its output's current refresh (0: unknown)
  int callbacks = 0;      // frame callbacks done since its last drawn frame
  bool drawn = false;     // a frame has been drawn on it
  bool waiting = false;   // a frame callback is asked and not yet done
  bool shown = true;      // its callbacks come: none has been waited on for long
  bool held = false;      // a frame is drawn and its swap held
  int ahead = 1;          // callbacks the drawing takes: drawn that many before the k-th
};

// The frame callbacks a surface waits for between two of its frames under a pace of at
// most max_fps (0: no cap): k of its refresh, one where the refresh is unknown.
int callbacks_per_frame(const SurfaceBeat& surface, int max_fps);

// Whether a surface's next frame is drawn ahead and its swap held (k of 2 or more from
// a known refresh, once a first frame has shown).
bool holds_swap(const SurfaceBeat& surface, int max_fps);

// Whether a surface may join a round: never drawn, or all the callbacks of its frame
// have come (all but the last, where it holds its swap), and no frame is held.
bool ready_to_draw(const SurfaceBeat& surface, int max_fps);

// Whether a held frame's k-th callback has come: swap it now.
bool swap_due(const SurfaceBeat& surface, int max_fps);

// Whether a surface, drawn and between frames, needs one more callback counted.
bool wants_callback(const SurfaceBeat& surface, int max_fps);

struct RoundPlan {
  // The surfaces to draw now, in their order (none: no round yet).
  std::vector<std::size_t> due;
  // The surface whose callbacks step the scene: the fastest refresh among the shown
  // surfaces whose refresh is known (ties: the first). None: the wall-clock slot paces
  // the rounds, and `due` is what may draw once the slot has come.
  std::optional<std::size_t> clock;
};

// The round: with a clock, it comes when the clock's own k-th callback has come, and
// every other surface ready by then joins it; without one, every ready surface is due
// once the slot allows.
RoundPlan plan_round(std::span<const SurfaceBeat> surfaces, int max_fps);

}  // namespace aerolume
