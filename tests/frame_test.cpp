// The frame loop's arithmetic: timed steps and what they are measured over (the pass,
// or under a frame cap the whole interval, restarted after a shell's pause), the clock
// wrap, the frame counter wrap; a frame drawn into several views; and partial frames,
// which give the pixels of whole ones, and are whole where the picture may change.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/clock.h"
#include "core/state.h"
#include "renderer/rgb_image.h"
#include "run/frame.h"
#include "run/scene_setup.h"
#include "sim/balloon_stream.h"
#include "tests/gl_fixture.h"
#include "viewer/pace/frame_pacing.h"
#include "viewer/shell/frames.h"

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

// A pause, as a shell's frame gate sees it: the surface hidden, or the pace stopped.
enum class Pause { none, hidden, stopped };

TEST(StepClock, PacedFramesMeasureTheWholeIntervalAndUnpacedOnesThePass) {
  struct Frame {
    std::uint32_t pass_start, pass_end, measured;
    Pause before;  // frames paused before this one
  };
  const Frame frames[] = {
      {100, 103, 3, Pause::none},                    // the first: its pass alone
      {133, 136, 33, Pause::none},                   // since the last pass ended
      {0xFFFFFFF0u, 0xFFFFFFF2u, 2, Pause::hidden},  // a pause is no part of it
      {20, 21, 35, Pause::none},                     // across the clock's wrap
      {900, 904, 4, Pause::stopped}};                // the battery pace's pause too
  // A frame cap is what puts timed steps on the frame interval: the sleep is time that passed.
  FramePacing capped(false, {30, false});
  FrameGate gate;
  for (const Frame& f : frames) {
    if (f.before != Pause::none) {
      EXPECT_FALSE(gate.frames_run(f.before != Pause::hidden, f.before == Pause::stopped));
    }
    EXPECT_TRUE(gate.frames_run(true, false));
    EXPECT_EQ(timed_step_interval(f.pass_start, f.pass_end), f.measured) << f.pass_start;
  }
  capped.set_pace({0, false});
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

class FrameOfViews : public gltest::GlTest {};

// What each view's surface saw: the order views began in, and the viewport and the
// aspect of the projection in force when it was presented.
struct RecordingSurfaces final : ViewSurfaces {
  std::vector<std::size_t> begun;
  std::vector<std::array<GLint, 4>> viewports;
  std::vector<double> aspects;
  bool begin_view(std::size_t index) override {
    begun.push_back(index);
    return true;
  }
  bool end_view(std::size_t) override {
    std::array<GLint, 4> viewport{};
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    viewports.push_back(viewport);
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    aspects.push_back(projection[5] / projection[0]);  // f / (f / aspect)
    return true;
  }
};

std::vector<float> balloon_coordinates() {
  std::vector<float> out;
  for (const Balloon* b = balloon_head.get(); b != nullptr; b = b->next.get())
    out.insert(out.end(), {b->position.x, b->position.y, b->position.z, b->alpha});
  return out;
}

std::array<GLubyte, 3> pixel_at(int x, int y) {
  std::array<GLubyte, 3> rgb{};
  glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  return rgb;
}

// Three views of one drawable in one frame: the stream steps once (as one step_stream
// would move it), the frame is counted once and the camera orbits once; each view is
// drawn at its own viewport and aspect, and nothing outside the views is touched.
TEST_F(FrameOfViews, OneFrameStepsTheSceneOnceAndDrawsEachViewInItsOwnViewport) {
  SceneOptions options;
  options.seed = 5;
  options.auto_orbit = true;
  start_scene(options);
  const std::int32_t frames = frame_counter;
  const Vector3 orbited = orbit_right.transform(eye);
  step_stream();
  const std::vector<float> stepped_once = balloon_coordinates();

  start_scene(options);
  frame_counter = frames;
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);  // black wherever no view draws
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(0.2f, 0.5f, 1.0f, 1.0f);
  const View views[] = {{0, 0, 60, 50, true}, {60, 0, 70, 120, true}, {0, 60, 40, 40, true}};
  RecordingSurfaces surfaces;
  ASSERT_TRUE(render_views(views, surfaces));

  EXPECT_EQ(frame_counter, frames + 1);
  EXPECT_EQ(balloon_coordinates(), stepped_once);
  EXPECT_EQ(eye.x, orbited.x);
  EXPECT_EQ(eye.z, orbited.z);
  EXPECT_EQ(surfaces.begun, (std::vector<std::size_t>{0, 1, 2}));
  ASSERT_EQ(surfaces.viewports.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const View& v = views[i];
    EXPECT_EQ(surfaces.viewports[i], (std::array<GLint, 4>{v.x, v.y, v.width, v.height})) << i;
    EXPECT_NEAR(surfaces.aspects[i], double(v.width) / v.height, 1e-6) << i;  // GL keeps floats
    EXPECT_NE(pixel_at(v.x + v.width / 2, v.y + v.height / 2), (std::array<GLubyte, 3>{0, 0, 0})) << i;
  }
  // Outside every view: the column right of the views, the square above the third.
  EXPECT_EQ(pixel_at(145, 60), (std::array<GLubyte, 3>{0, 0, 0}));
  EXPECT_EQ(pixel_at(20, 110), (std::array<GLubyte, 3>{0, 0, 0}));
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

// Views whose buffer keeps its pixels (age 1 after their first frame), with what each
// frame drew of each view.
struct KeptBuffers final : ViewSurfaces {
  std::vector<bool> whole;  // one a view a frame
  std::vector<std::int64_t> drawn_pixels;
  bool begin_view(std::size_t) override { return true; }
  bool end_view(std::size_t) override { return true; }
  int buffer_age(std::size_t) override { return whole.empty() ? 0 : 1; }
  void drawn(std::size_t, std::span<const DamageRect> rects, bool is_whole) override {
    whole.push_back(is_whole);
    std::int64_t pixels = 0;
    for (const DamageRect& r : rects) pixels += r.area();
    drawn_pixels.push_back(pixels);
  }
};

// Frames that draw only the damage give the pixels of frames drawn whole, in views that
// share one drawable (each held to its own part of it), with the scene stepping as
// before; while nothing else changes the frames after the first are partial (but where
// the balloons crowd a small view).
TEST_F(FrameOfViews, PartialFramesGiveThePixelsOfWholeFrames) {
  const View views[] = {{0, 0, 140, 160, true}, {140, 0, 120, 110, true}};
  SceneOptions options;
  options.seed = 11;
  RgbImage pictures[2];
  std::vector<float> stepped[2];
  KeptBuffers kept;
  for (int run = 0; run < 2; ++run) {
    // A fresh context each: the light is placed by the model-view a start finds.
    resize_context(260, 160);
    reset_state();
    start_scene(options);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);  // black wherever no view draws
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.2f, 0.5f, 1.0f, 1.0f);
    CurrentDrawable whole;
    for (int frame = 0; frame < 40; ++frame)
      ASSERT_TRUE(run == 0 ? render_views(views, whole) : render_views(views, kept));
    pictures[run] = this->frame();
    stepped[run] = balloon_coordinates();
  }
  EXPECT_TRUE(pictures[1].pixels == pictures[0].pixels) << "a partial frame differs from a whole one";
  EXPECT_EQ(stepped[1], stepped[0]);
  ASSERT_EQ(kept.whole.size(), 80u);
  EXPECT_TRUE(kept.whole[0] && kept.whole[1]);
  int partial = 0;
  for (std::size_t i = 2; i < kept.whole.size(); ++i)
    if (!kept.whole[i]) {
      ++partial;
      EXPECT_LE(kept.drawn_pixels[i], views[i % 2].width * views[i % 2].height / 2);
    }
  EXPECT_GE(partial, 39) << "of 78";  // partial frames were drawn, or the pixels prove nothing
}

// The whole view wherever the picture as a whole may change: the camera moved or turned,
// new clouds (as the c key or a fresh scene asked for), a pause, a view of another size.
TEST_F(FrameOfViews, AMovedCameraNewCloudsAPauseOrANewSizeDrawTheWholeView) {
  struct Case {
    const char* what;
    void (*change)(View&);
  };
  const Case cases[] = {
      {"nothing", [](View&) {}},
      {"the eye moved", [](View&) { eye = orbit_left.transform(eye); }},
      {"the camera turned", [](View&) { look_at.y += 10.0f; }},
      {"a fresh scene asked for", [](View&) { request_fresh_scene(); }},
      {"new clouds", [](View&) { renew_clouds_and_wind(); }},
      {"a pause", [](View&) { restart_frame_interval(); }},
      {"a new size", [](View& v) { v.width -= 10; }},
  };
  SceneOptions options;
  options.seed = 4;
  for (const Case& c : cases) {
    start_scene(options);
    View view{0, 0, width, height};
    KeptBuffers kept;
    for (int frame = 0; frame < 3; ++frame) ASSERT_TRUE(render_views({&view, 1}, kept));
    c.change(view);
    ASSERT_TRUE(render_views({&view, 1}, kept));
    ASSERT_TRUE(render_views({&view, 1}, kept));
    EXPECT_EQ(kept.whole, (std::vector<bool>{true, false, false, c.change != cases[0].change, false}))
        << c.what;
  }
}

}  // namespace
}  // namespace aerolume
