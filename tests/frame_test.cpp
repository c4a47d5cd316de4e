// The frame loop's arithmetic: timed steps and what they are measured over (the pass,
// or under a frame cap the whole interval), the clock wrap, the frame counter wrap; and
// the same frame again for another surface.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "run/frame.h"
#include "run/scene_setup.h"
#include "core/clock.h"
#include "core/state.h"
#include "tests/gl_fixture.h"
#include "viewer/frame_pacing.h"

namespace aerolume {
namespace {

class TimedStep : public ::testing::Test {
 protected:
  void SetUp() override { reset_state(); }
};

TEST_F(TimedStep, AveragesTheNewStepIntoTheOldOne) {
  apply_timed_step(10);  // new step 0.15
  EXPECT_EQ(step_scale, static_cast<float>((static_cast<double>(0.07f) + 10 * 0.015) / 2));
  EXPECT_NEAR(step_scale, 0.11f, 1e-7);
}

TEST_F(TimedStep, CapsTheNewStepAtTwentySevenMilliseconds) {
  apply_timed_step(26);  // 0.39, under the cap
  const float after_26 = static_cast<float>((static_cast<double>(0.07f) + 26 * 0.015) / 2);
  EXPECT_EQ(step_scale, after_26);
  step_scale = 0.07f;
  apply_timed_step(27);
  EXPECT_EQ(step_scale, static_cast<float>((static_cast<double>(0.07f) + 0.4) / 2));
  step_scale = 0.07f;
  apply_timed_step(std::numeric_limits<std::uint32_t>::max());
  EXPECT_EQ(step_scale, static_cast<float>((static_cast<double>(0.07f) + 0.4) / 2));
  // Under a steady long pass the step settles at the cap.
  for (int i = 0; i < 60; ++i) apply_timed_step(1000);
  EXPECT_NEAR(step_scale, 0.4f, 1e-7f);
}

TEST_F(TimedStep, ZeroMillisecondsHalvesTheStep) {
  apply_timed_step(0);
  EXPECT_EQ(step_scale, static_cast<float>(static_cast<double>(0.07f) / 2));
}

TEST_F(TimedStep, RebuildsBothOrbitMatricesFromTheStoredStep) {
  apply_timed_step(10);
  const Matrix4 right = rotation_y(step_scale);
  const Matrix4 left = rotation_y(-step_scale);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(orbit_right.at(r, c), right.at(r, c));
      EXPECT_EQ(orbit_left.at(r, c), left.at(r, c));
    }
}

TEST(StepClock, PacedFramesMeasureTheWholeIntervalAndUnpacedOnesThePass) {
  struct Frame {
    std::uint32_t pass_start, pass_end, measured;
    bool restart_before;  // the shell slept before this frame
  };
  const Frame frames[] = {{100, 103, 3, false},                // the first: its pass alone
                          {133, 136, 33, false},               // since the last pass ended
                          {0xFFFFFFF0u, 0xFFFFFFF2u, 2, true},  // a sleep is no part of it
                          {20, 21, 35, false}};                // across the clock's wrap
  // A frame cap is what puts timed steps on the frame interval: the sleep is time that passed.
  FramePacing capped(false, 0);
  set_pace_and_step_clock(capped, {30, false});
  for (const Frame& f : frames) {
    if (f.restart_before) restart_frame_interval();
    EXPECT_EQ(timed_step_interval(f.pass_start, f.pass_end), f.measured) << f.pass_start;
  }
  set_pace_and_step_clock(capped, {0, false});
  EXPECT_EQ(timed_step_interval(9033, 9035), 2u);
  EXPECT_EQ(timed_step_interval(9066, 9070), 4u);
}

TEST(Clock, DifferencesAreTakenModuloTwoToThe32) {
  EXPECT_EQ(elapsed_ms(0xFFFFFFF0u, 0x00000005u), 21u);
  EXPECT_EQ(elapsed_ms(100u, 110u), 10u);
  const std::uint32_t a = clock_ms();
  const std::uint32_t b = clock_ms();
  EXPECT_LT(elapsed_ms(a, b), 1000u);  // monotonic: never a huge (negative) difference
}

TEST(FrameCounter, WrapsFromTheLargestToTheSmallestInteger) {
  frame_counter = 41;
  advance_frame_counter();
  EXPECT_EQ(frame_counter, 42);
  frame_counter = std::numeric_limits<std::int32_t>::max();
  advance_frame_counter();
  EXPECT_EQ(frame_counter, std::numeric_limits<std::int32_t>::min());
  advance_frame_counter();
  EXPECT_EQ(frame_counter, std::numeric_limits<std::int32_t>::min() + 1);
  frame_counter = -1;
  advance_frame_counter();
  EXPECT_EQ(frame_counter, 0);
}

class FrameAgain : public gltest::GlTest {};

// Another output of the same round shows the picture just drawn, from the camera it was
// drawn from, though auto-orbit has moved the camera on since; the camera stays moved,
// and neither the stream nor the frame count moves.
TEST_F(FrameAgain, ShowsTheLastFrameFromItsCamera) {
  SceneOptions options;
  options.seed = 5;
  options.auto_orbit = true;
  start_scene(options);
  render_frame();
  const RgbImage drawn = frame();
  const Vector3 moved = eye;
  const std::int32_t frames = frame_counter;
  render_frame_again();
  EXPECT_EQ(frame().pixels, drawn.pixels);
  EXPECT_EQ(eye.x, moved.x);
  EXPECT_EQ(eye.z, moved.z);
  EXPECT_EQ(frame_counter, frames);
}

}  // namespace
}  // namespace aerolume
