// What both X shells take from GLX and Xlib: the refresh from the monitor's RandR mode and
// the swap interval from the first GLX extension offered, and the X errors that say a
// window drawn into has gone.
#include <gtest/gtest.h>

#include <chrono>
#include <utility>

#include "viewer/glx/swap_pace.h"
#include "viewer/glx/x_errors.h"
#include "viewer/pace/frame_pacing.h"

namespace aerolume {
namespace {

// The X errors that end an X shell quietly: the window gone, in the core protocol's words
// or GLX's (offsets from the extension's error base); any other is a failure.
TEST(X11Errors, OnlyTheErrorsOfAWindowGoneEndQuietly) {
  // The core codes as X.h numbers them (its macros, None among them, clash with
  // GoogleTest's names): BadValue 2, BadWindow 3, BadMatch 8, BadDrawable 9, BadAlloc 11.
  constexpr int glx = 153;  // GLX's error base on Xvfb
  const std::pair<int, bool> errors[] = {
      {3, true},        {9, true},        {glx + 2, true},  {glx + 5, true},  {glx + 12, true},
      {2, false},       {8, false},       {11, false},      {glx + 0, false}, {glx + 3, false},
      {glx + 13, false}, {glx - 1, false}};
  for (const auto& [code, gone] : errors) EXPECT_EQ(window_gone_error(code, glx), gone) << code;
}

// On X the refresh comes from the timings of the monitor's RandR mode, and the swap
// interval from the first GLX extension offered, matched by whole name; with swaps
// paced, the slot is only a backstop, shorter than a paced frame.
TEST(FramePacing, OnXTheModeGivesTheRefreshAndGlxTheSwapInterval) {
  struct Mode {
    unsigned long dot_clock;
    unsigned int h_total, v_total;
    bool double_scan, interlace;
    double hz;
  };
  const Mode modes[] = {{148500000, 2200, 1125, false, false, 60.0},
                        {148352000, 2200, 1125, false, false, 59.94},
                        {346500000, 2080, 1157, false, false, 143.98},
                        {74250000, 2200, 1125, false, true, 60.0},
                        {25175000, 800, 525, true, false, 29.97},
                        {0, 0, 0, false, false, 0.0},  // Xvfb's mode: no timings
                        {148500000, 0, 1125, false, false, 0.0}};
  for (const Mode& m : modes)
    EXPECT_NEAR(mode_refresh_hz(m.dot_clock, m.h_total, m.v_total, m.double_scan, m.interlace),
                m.hz, 0.01)
        << m.dot_clock << " / " << m.h_total << " x " << m.v_total;
  struct Extensions {
    const char* names;
    SwapControl control;
  };
  const Extensions offers[] = {
      {"GLX_ARB_create_context GLX_EXT_swap_control GLX_MESA_swap_control", SwapControl::ext},
      {"GLX_MESA_swap_control GLX_EXT_swap_control", SwapControl::ext},
      {"GLX_ARB_multisample GLX_MESA_swap_control ", SwapControl::mesa},
      {"GLX_EXT_swap_control_tear GLX_SGI_swap_control", SwapControl::none},
      {"GLX_MESA_swap_control_x", SwapControl::none},
      {"", SwapControl::none},
      {nullptr, SwapControl::none}};
  for (const Extensions& e : offers)
    EXPECT_EQ(swap_control_from(e.names), e.control) << (e.names ? e.names : "(none)");
  // Swaps of 2 s a frame leave a backstop slot of 1.5 s; then the cap's own again.
  using std::chrono::milliseconds;
  FramePacing pacing(false, {1, false});
  pacing.set_swap_paced(2.0);
  const PacingClock::time_point first = pacing.next_start_after_frame();
  EXPECT_EQ(pacing.next_start_after_frame() - first, milliseconds(1500));
  pacing.set_swap_paced(0.0);
  const PacingClock::time_point own = pacing.next_start_after_frame();
  EXPECT_EQ(pacing.next_start_after_frame() - own, milliseconds(1000));
}

}  // namespace
}  // namespace aerolume
