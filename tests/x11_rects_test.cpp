// The X11 shell's rectangle arithmetic and its judgement of which window hides the screen.
#include <gtest/gtest.h>

#include <vector>

#include "viewer/x11_rects.h"

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

}  // namespace
}  // namespace aerolume
