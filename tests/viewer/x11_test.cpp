// The X11 shell's rectangle arithmetic, its judgement of which window hides the screen
// or a monitor, the monitors it draws and when the screen says nobody sees it.
#include <gtest/gtest.h>

#include <vector>

#include "viewer/x11/monitors.h"
#include "viewer/x11/rects.h"

namespace aerolume {
namespace {

TEST(Rect, CoversAndClipsAsRows) {
  struct Row {
    Rect a, b;
    bool a_covers_b;
    Rect a_clipped_to_b;
  };
  const Row rows[] = {
      {{0, 0, 100, 100}, {0, 0, 100, 100}, true, {0, 0, 100, 100}},      // the same: edges touch
      {{0, 0, 100, 100}, {10, 20, 30, 40}, true, {10, 20, 30, 40}},      // holds it inside
      {{0, 0, 100, 100}, {1, 0, 100, 100}, false, {1, 0, 99, 100}},      // one column short right
      {{0, 1, 100, 100}, {0, 0, 100, 100}, false, {0, 1, 100, 99}},      // one row short top
      {{-5, -5, 110, 110}, {0, 0, 100, 100}, true, {0, 0, 100, 100}},    // larger all round
      {{0, 0, 50, 50}, {60, 60, 10, 10}, false, {60, 60, -10, -10}},     // apart: empty clip
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.a.covers(row.b), row.a_covers_b) << row.b.x << "," << row.b.y;
    const Rect clip = row.a.clipped_to(row.b);
    EXPECT_EQ(clip.x, row.a_clipped_to_b.x);
    EXPECT_EQ(clip.y, row.a_clipped_to_b.y);
    EXPECT_EQ(clip.width, row.a_clipped_to_b.width);
    EXPECT_EQ(clip.height, row.a_clipped_to_b.height);
    EXPECT_EQ(clip.empty(), row.a_clipped_to_b.width <= 0 || row.a_clipped_to_b.height <= 0);
  }
}

TEST(ChildCoveringScreen, OnlyOneViewableDrawingWindowOverAllOfItCounts) {
  const Rect screen{0, 0, 1280, 1024};
  const ScreenChild full{{0, 0, 1280, 1024}, true, true};
  const ScreenChild framed{{-2, -20, 1284, 1046}, true, true};  // a frame with decorations
  const ScreenChild unmapped{{0, 0, 1280, 1024}, false, true};
  const ScreenChild input_only{{0, 0, 1280, 1024}, true, false};
  const ScreenChild left_half{{0, 0, 640, 1024}, true, true};
  const ScreenChild right_half{{640, 0, 640, 1024}, true, true};
  const ScreenChild one_short{{0, 0, 1280, 1023}, true, true};
  struct Row {
    std::vector<ScreenChild> children;
    int covering;
  };
  const Row rows[] = {
      {{}, -1},
      {{full}, 0},
      {{left_half, framed}, 1},
      {{unmapped}, -1},                // an unmapped window hides nothing
      {{input_only}, -1},              // nor does an InputOnly one
      {{left_half, right_half}, -1},   // two together are not counted
      {{one_short}, -1},               // one row of the screen still shows
      {{unmapped, input_only, full}, 2},
  };
  for (std::size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(child_covering_screen(screen, rows[i].children), rows[i].covering) << "row " << i;
}

// The two monitors of the dummy driver's 3200 x 1080 screen, as xrandr --setmonitor makes
// them: a 1280 x 56 strip under the second belongs to neither.
const Rect wide_screen{0, 0, 3200, 1080};
const Monitor mon_a{"MonA", {0, 0, 1920, 1080}}, mon_b{"MonB", {1920, 0, 1280, 1024}};

TEST(ChooseMonitors, EachMonitorOnceOnTheScreenOrTheWholeScreen) {
  struct Row {
    std::vector<Monitor> found;
    const char* output;
    std::vector<Monitor> chosen;
    std::string missing;
  };
  const Monitor past_edge{"DP-2", {2560, 0, 1280, 1024}}, mirror{"", {0, 0, 1920, 1080}};
  const Row rows[] = {
      {{mon_a, mon_b}, "", {mon_a, mon_b}, ""},
      {{}, "", {{"", wide_screen}}, ""},                          // no RandR, no Xinerama
      {{mon_a, mon_b}, "MonB", {mon_b}, ""},
      {{mon_a, mirror}, "", {mon_a}, ""},                         // a mirrored head once
      {{past_edge}, "", {{"DP-2", {2560, 0, 640, 1024}}}, ""},    // held to the screen
      {{{"off", {3200, 0, 800, 600}}}, "", {{"", wide_screen}}, ""},
      {{mon_a, mon_b}, "HDMI-1", {},
       "there is no monitor named \"HDMI-1\" on this screen (it has MonA, MonB)"},
      {{}, "MonA", {}, "there is no monitor named \"MonA\" on this screen (it names none)"},
  };
  for (std::size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const MonitorChoice choice = choose_monitors(rows[i].found, wide_screen, rows[i].output);
    EXPECT_EQ(choice.monitors, rows[i].chosen) << "row " << i;
    EXPECT_EQ(choice.missing, rows[i].missing) << "row " << i;
  }
}

// On the root window each monitor is its own view, rows counted from the bottom, held
// inside itself by the scissor unless one monitor is the whole screen: the strip outside
// the monitors is never drawn.
TEST(RootViews, EachMonitorIsAViewAndNothingOutsideThemIsDrawn) {
  EXPECT_EQ(root_views({mon_a, mon_b}, wide_screen),
            (std::vector<View>{{0, 0, 1920, 1080, true}, {1920, 56, 1280, 1024, true}}));
  EXPECT_EQ(root_views({mon_b}, wide_screen), (std::vector<View>{{1920, 56, 1280, 1024, true}}));
  EXPECT_EQ(root_views({{"", wide_screen}}, wide_screen),
            (std::vector<View>{{0, 0, 3200, 1080, false}}));
}

TEST(MonitorsCovered, OneWindowOverAMonitorCoversThatMonitorAlone) {
  const ScreenChild full_b{{1920, 0, 1280, 1024}, true, true};
  const ScreenChild framed_a{{-1, -20, 1922, 1101}, true, true};
  const ScreenChild spanning{{0, 0, 3200, 1080}, true, true};
  const ScreenChild half_b{{1920, 0, 640, 1024}, true, true};
  const ScreenChild unmapped_a{{0, 0, 1920, 1080}, false, true};
  struct Row {
    std::vector<ScreenChild> children;
    std::vector<bool> covered;
  };
  const Row rows[] = {{{}, {false, false}},
                      {{full_b}, {false, true}},
                      {{framed_a, half_b}, {true, false}},
                      {{spanning}, {true, true}},
                      {{unmapped_a, half_b}, {false, false}}};
  for (std::size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(monitors_covered({mon_a, mon_b}, rows[i].children), rows[i].covered) << "row " << i;
}

// A frame draws the monitors nobody hides: none covered by one window and, on the X
// desktop, none whose own window is unmapped or reported covered; none seen, no frame.
TEST(MonitorViews, OnlyTheMonitorsSeenAreDrawn) {
  const MonitorSight a{mon_a, false, true, 1920, 1080}, b{mon_b, false, true, 1280, 1024};
  MonitorSight b_covered = b, b_unseen = b, a_covered = a;
  b_covered.covered = a_covered.covered = true;
  b_unseen.window_seen = false;
  const View root_a{0, 0, 1920, 1080, true}, root_b{1920, 56, 1280, 1024, true};
  const View own_a{0, 0, 1920, 1080}, own_b{0, 0, 1280, 1024};
  struct Row {
    std::vector<MonitorSight> monitors;
    bool own_windows;
    std::vector<MonitorView> views;
  };
  const Row rows[] = {
      {{a, b}, false, {{0, root_a}, {1, root_b}}},
      {{a, b_covered}, false, {{0, root_a}}},
      {{a, b_unseen}, false, {{0, root_a}, {1, root_b}}},  // the root has no window of its own
      {{a, b}, true, {{0, own_a}, {1, own_b}}},
      {{a, b_unseen}, true, {{0, own_a}}},
      {{a_covered, b}, true, {{1, own_b}}},
      {{a_covered, b_covered}, true, {}},
      {{a_covered, b_covered}, false, {}},
  };
  for (std::size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(monitor_views(rows[i].monitors, wide_screen, rows[i].own_windows), rows[i].views)
        << "row " << i;
}

// Monitors are read afresh on RandR's screen change and on the root's own ConfigureNotify
// (all that xrandr --setmonitor sends), not on its children's.
TEST(MonitorsMayChange, RandrsEventAndTheRootsOwnConfigureNotify) {
  constexpr unsigned long root = 0x1e7, child = 0x400001;
  constexpr int randr = 89;                // RandR's event base on Xvfb
  constexpr int configure = 22, map = 19;  // ConfigureNotify and MapNotify as X.h numbers them
  EXPECT_TRUE(monitors_may_change(configure, root, root, randr));
  EXPECT_TRUE(monitors_may_change(randr, 0, root, randr));
  EXPECT_TRUE(monitors_may_change(configure, root, root, -1));
  EXPECT_FALSE(monitors_may_change(configure, child, root, randr));
  EXPECT_FALSE(monitors_may_change(map, root, root, randr));
  EXPECT_FALSE(monitors_may_change(randr + 1, 0, root, randr));
  EXPECT_FALSE(monitors_may_change(randr, 0, root, -1));
}

// The server's saver and DPMS put the desktop and the root window to sleep; a compositing
// manager the root window alone (the desktop windows are shown through it); a host's
// window, the saver itself, never.
TEST(ScreenAsleep, WhichRolesSleepForTheSaverDpmsAndACompositor) {
  struct Row {
    ScreenSight sight;
    bool desktop, root, host;
  };
  const Row rows[] = {{{false, false, false}, false, false, false},
                      {{true, false, false}, true, true, false},
                      {{false, true, false}, true, true, false},
                      {{false, false, true}, false, true, false},
                      {{true, true, true}, true, true, false}};
  for (std::size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    EXPECT_EQ(screen_asleep(Role::x_desktop, rows[i].sight), rows[i].desktop) << "row " << i;
    EXPECT_EQ(screen_asleep(Role::root_window, rows[i].sight), rows[i].root) << "row " << i;
    EXPECT_EQ(screen_asleep(Role::host_window, rows[i].sight), rows[i].host) << "row " << i;
  }
}

}  // namespace
}  // namespace aerolume
