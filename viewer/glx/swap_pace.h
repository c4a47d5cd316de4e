// Frames paced by the display's own refresh on X: where RandR gives the refresh rate of
// the monitor a window lies on and GLX can set a swap interval, a capped pace of N frames
// a second swaps every k refreshes (k from refreshes_per_frame, viewer/power_pace.h)
// instead of sleeping out a wall-clock slot, which drifts against the display and shows
// some frames a refresh longer than others (a shorter slot stays as a backstop, see
// FramePacing::set_swap_paced). Elsewhere (no cap, no refresh known, or no swap
// control) the slot paces as before and the swap interval is left alone. That is Xvfb's
// case: its modes have no timings, and llvmpipe there offers no swap control, so the
// end-to-end tests never take this path.
#pragma once

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <chrono>

#include "viewer/pace/frame_pacing.h"

namespace aerolume {

// The refresh rate of a mode from its timings: dot clock / (htotal x vtotal), vtotal
// doubled for a double-scan mode and halved for an interlaced one; 0 where the timings
// are missing.
double mode_refresh_hz(unsigned long dot_clock, unsigned int h_total, unsigned int v_total,
                       bool double_scan, bool interlace);

// Which GLX function sets the swap interval, from GLX's extension string (whole names
// only): glXSwapIntervalEXT, which sets it for one drawable, before glXSwapIntervalMESA.
enum class SwapControl { none, ext, mesa };
SwapControl swap_control_from(const char* extensions);

// The refresh rate of the monitor whose CRTC holds the centre of the window (RandR 1.3
// or later); 0 where unknown.
double window_refresh_hz(Display* display, Window window);

// The swap interval of one window's drawable, set from the pace. Made once the window's
// GL context is current; follow() before each frame.
class GlxSwapPace {
 public:
  GlxSwapPace(Display* display, GLXDrawable drawable);
  // Looks at the refresh again when the cap has changed and every few seconds (the window
  // may have moved to another monitor, or the mode changed), sets the swap interval to k
  // and tells the pacing that swaps pace the frames, k / refresh seconds each; without a
  // k, puts the interval the drawable had back and hands the pace to the cap's slot.
  void follow(FramePacing& pacing);
  // Whether the swap interval paces the frames now (an interval set from a cap).
  bool paces() const { return interval_set_ > 0; }

 private:
  void set_interval(int interval);

  Display* display_;
  GLXDrawable drawable_;
  SwapControl control_;
  int original_interval_ = 1;
  int interval_set_ = 0;  // 0: left as it was
  int cap_seen_ = -1;
  std::chrono::steady_clock::time_point next_look_{};
};

}  // namespace aerolume
