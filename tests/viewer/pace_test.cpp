// The viewer's frame pacing: an event loop is told when the next frame may start, frames
// last a whole number of refreshes, each output shows a new frame on its own k-th frame
// callback, the limiter never bursts, and the frame-rate line comes every five seconds.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "viewer/pace/frame_pacing.h"
#include "viewer/pace/refresh_rounds.h"

namespace aerolume {
namespace {

// A shell that waits in its own event loop is told when the next frame may start instead
// of being put to sleep: a slot after the last under a cap, at once without one.
TEST(FramePacing, AnEventLoopIsToldTheNextStartInsteadOfSleeping) {
  using std::chrono::milliseconds, std::chrono::seconds;
  FramePacing capped(false, {1, false});
  const PacingClock::time_point first = capped.next_start_after_frame();
  EXPECT_EQ(capped.next_start_after_frame() - first, seconds(1));
  EXPECT_GT(first, PacingClock::now());  // no sleep: the slot still lies ahead
  FramePacing uncapped(false, {0, false});
  const PacingClock::time_point before = PacingClock::now();
  const PacingClock::time_point next = uncapped.next_start_after_frame();
  EXPECT_GE(next, before);
  EXPECT_LE(next, PacingClock::now());
  // A new pace takes over at once: its slots begin now, and no cap again means no wait.
  capped.set_pace({4, false});
  const PacingClock::time_point quarter = capped.next_start_after_frame();
  EXPECT_LE(quarter - PacingClock::now(), milliseconds(250));
  EXPECT_EQ(capped.next_start_after_frame() - quarter, milliseconds(250));
  capped.set_pace({0, false});
  const PacingClock::time_point at_once = capped.next_start_after_frame();
  EXPECT_LE(at_once, PacingClock::now());
}

// Each frame stays up for the same whole number of refreshes, and the pace stays at most
// the cap; an unknown refresh leaves the wall-clock slot to pace.
TEST(FramePacing, FramesLastAWholeNumberOfRefreshes) {
  struct Row {
    double refresh_hz;
    int max_fps, k;
  };
  const Row rows[] = {{60, 30, 2},  {60.02, 30, 2}, {59.94, 30, 2}, {144, 30, 5}, {165, 30, 6},
                      {75, 30, 3},  {144, 0, 1},    {30, 30, 1},    {144, 10, 15}, {0, 30, 0},
                      {-1, 30, 0},  {60, 1000, 1},  {1e300, 1, 1000000}};
  for (const Row& row : rows)
    EXPECT_EQ(refreshes_per_frame(row.refresh_hz, row.max_fps), row.k)
        << row.refresh_hz << " Hz at " << row.max_fps;
  EXPECT_EQ(refreshes_per_frame(std::nan(""), 30), 0);
}

// Under a cap each surface shows a new frame on its own k-th frame callback: drawn as
// many callbacks before as its drawing takes (one at least, never before the first) and
// swapped on the k-th where k is 2 or more. The rounds keep to one
// clock, the fastest output shown; a surface never drawn joins the next round; an unknown
// refresh leaves the slot to pace; a clock whose callbacks stopped coming hands on.
TEST(FramePacing, OutputsShowAFrameOnTheirKthCallbackAndShareTheFastestClock) {
  struct Row {
    const char* what;
    std::vector<SurfaceBeat> surfaces;
    int max_fps;
    std::vector<std::size_t> due;
    std::optional<std::size_t> clock;
    std::vector<bool> wants, swaps;  // wants_callback and swap_due of each surface
  };
  // refresh, callbacks since the last frame, drawn, waiting, shown, held (, ahead)
  const SurfaceBeat at144{144, 3, true, false, true, false};
  const SurfaceBeat at144_ahead{144, 4, true, false, true, false};
  const SurfaceBeat at60_ahead{60, 1, true, false, true, false};
  const Row rows[] = {
      {"144 Hz, 3 of 5 callbacks", {at144}, 30, {}, 0, {true}, {false}},
      {"144 Hz, the 4th: drawn ahead", {at144_ahead}, 30, {0}, 0, {true}, {false}},
      {"144 Hz, held, the 5th: swapped", {{144, 5, true, false, true, true}}, 30, {}, 0, {false}, {true}},
      {"held, the 5th not yet", {{144, 4, true, true, true, true}}, 30, {}, 0, {false}, {false}},
      {"drawing takes 3 refreshes: drawn on the 2nd", {{144, 2, true, false, true, false, 3}}, 30, {0}, 0,
       {true}, {false}},
      {"drawing longer than a frame: on the 1st, not sooner", {{144, 0, true, false, true, false, 9}}, 30, {},
       0, {true}, {false}},
      {"no cap: every callback", {{144, 1, true, false, true, false}}, 0, {0}, 0, {false}, {false}},
      {"60 Hz ready, the 144 Hz clock not yet", {at144, at60_ahead}, 30, {}, 0, {true, true}, {false, false}},
      {"both ready: one round", {at60_ahead, at144_ahead}, 30, {0, 1}, 1, {true, true}, {false, false}},
      {"a new surface joins the clock's round", {at144_ahead, {60, 0, false, false, true, false}}, 30, {0, 1}, 0,
       {true, false}, {false, false}},
      {"refresh unknown: the slot paces", {{0, 1, true, false, true, false}}, 30, {0}, std::nullopt, {false}, {false}},
      {"a hidden clock hands on", {{144, 0, true, true, false, false}, at60_ahead}, 30, {1}, 1, {false, true},
       {false, false}},
      {"the battery's 10 at 60 Hz: k = 6", {{60, 4, true, false, true, false}}, 10, {}, 0, {true}, {false}},
  };
  for (const Row& row : rows) {
    const RoundPlan plan = plan_round(row.surfaces, row.max_fps);
    EXPECT_EQ(plan.due, row.due) << row.what;
    EXPECT_EQ(plan.clock, row.clock) << row.what;
    for (std::size_t i = 0; i < row.surfaces.size(); ++i) {
      EXPECT_EQ(wants_callback(row.surfaces[i], row.max_fps), row.wants[i]) << row.what << ", surface " << i;
      EXPECT_EQ(swap_due(row.surfaces[i], row.max_fps), row.swaps[i]) << row.what << ", surface " << i;
    }
  }
}

TEST(FramePacing, TheLimiterSleepsOutEachSlotAndNeverBursts) {
  using std::chrono::milliseconds;
  const PacingClock::time_point t0{};
  FrameLimiter limiter(50, t0);  // slots of 20 ms
  EXPECT_EQ(limiter.next_start(t0 + milliseconds(5)), t0 + milliseconds(20));
  EXPECT_EQ(limiter.next_start(t0 + milliseconds(21)), t0 + milliseconds(40));
  // A frame that overran its slot starts the next one at once, and the slots follow it.
  EXPECT_EQ(limiter.next_start(t0 + milliseconds(75)), t0 + milliseconds(75));
  EXPECT_EQ(limiter.next_start(t0 + milliseconds(76)), t0 + milliseconds(95));
}

TEST(FramePacing, TheFrameRateLineComesEveryFiveSeconds) {
  using std::chrono::milliseconds;
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  const PacingClock::time_point t0{};
  FrameRateLine line(out, t0);
  for (int i = 1; i <= 1290; ++i) line.frame_done(t0 + milliseconds(i * 5000 / 1290), 100.0);
  // Half the frames whole, half drawing a tenth: 55 % on the mean.
  for (int i = 1; i <= 50; ++i) line.frame_done(t0 + milliseconds(5000 + i * 100), i % 2 ? 100 : 10);
  // The third period runs long: a slow frame ends it at 7 seconds, and the rate is over those.
  for (int i = 1; i <= 21; ++i) line.frame_done(t0 + milliseconds(10000 + i * 50), 8.0);
  line.frame_done(t0 + milliseconds(17000), 8.0);
  std::rewind(out);
  char text[512] = {};
  const std::size_t n = std::fread(text, 1, sizeof text - 1, out);
  std::fclose(out);
  EXPECT_EQ(std::string(text, n),
            "1290 frames in 5.0 seconds = 258.0 FPS, 100.0 % of the pixels drawn\n"
            "50 frames in 5.0 seconds = 10.0 FPS, 55.0 % of the pixels drawn\n"
            "22 frames in 7.0 seconds = 3.1 FPS, 8.0 % of the pixels drawn\n");
}

}  // namespace
}  // namespace aerolume
