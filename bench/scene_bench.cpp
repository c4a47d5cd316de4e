// Whole frames offscreen at 1024 x 768 against the scene's floor (the clears and one
// full-screen textured quad, the least any frame under the dome can cost), and the
// simulation pass with the start-up list and with a steady-state list.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "app/frame.h"
#include "app/scene_setup.h"
#include "app/state.h"
#include "noise/noise.h"
#include "sim/balloon_stream.h"
#include "tools/offscreen_context.h"

namespace aerolume {
namespace {

constexpr int frame_width = 1024;
constexpr int frame_height = 768;

bool make_context(OffscreenContext& context, benchmark::State& state) {
  std::string error;
  if (context.create(frame_width, frame_height, &error)) return true;
  state.SkipWithError(("no offscreen GL context: " + error).c_str());
  return false;
}

void BM_WholeFrame(benchmark::State& state) {
  OffscreenContext context;
  if (!make_context(context, state)) return;
  init_scene_from_seed(1);
  reshape_viewport(frame_width, frame_height);
  for (int i = 0; i < 10; ++i) render_frame();
  glFinish();
  for (auto _ : state) {
    render_frame();
    glFinish();
  }
  clear_balloons();
}
BENCHMARK(BM_WholeFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same clears as a frame, then one textured quad over the whole viewport with a
// 512 x 512 float RGB texture, as the dome is textured.
void BM_FrameFloor(benchmark::State& state) {
  OffscreenContext context;
  if (!make_context(context, state)) return;
  glViewport(0, 0, frame_width, frame_height);
  glClearColor(0.2f, 0.5f, 1.0f, 1.0f);
  glEnable(GL_DEPTH_TEST);
  std::vector<float> pixels(512 * 512 * 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<float>(i % 7) / 7.0f;
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 512, 512, 0, GL_RGB, GL_FLOAT, pixels.data());
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  auto draw = [] {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f(0, 0);
    glVertex3f(-1, -1, 0.5f);
    glTexCoord2f(1, 0);
    glVertex3f(1, -1, 0.5f);
    glTexCoord2f(0, 1);
    glVertex3f(-1, 1, 0.5f);
    glTexCoord2f(1, 1);
    glVertex3f(1, 1, 0.5f);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glFinish();
  };
  for (int i = 0; i < 10; ++i) draw();
  for (auto _ : state) draw();
  glDeleteTextures(1, &texture);
}
BENCHMARK(BM_FrameFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

// The first hundred passes from the start-up list of forty balloons, reported per pass.
void BM_StepStreamStartUp(benchmark::State& state) {
  constexpr int passes = 100;
  seed_noise(1);
  step_scale = 0.07f;
  for (auto _ : state) {
    state.PauseTiming();
    populate_balloons();
    frame_counter = 0;
    state.ResumeTiming();
    for (int i = 0; i < passes; ++i) {
      step_stream();
      advance_frame_counter();
    }
  }
  state.counters["per_pass_us"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * passes * 1e-6,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  clear_balloons();
}
BENCHMARK(BM_StepStreamStartUp)->Unit(benchmark::kMicrosecond);

// After 50 000 passes the start-up balloons are gone and about thirty remain.
void BM_StepStreamSteady(benchmark::State& state) {
  seed_noise(1);
  populate_balloons();
  step_scale = 0.07f;
  frame_counter = 0;
  for (int i = 0; i < 50000; ++i) {
    step_stream();
    advance_frame_counter();
  }
  std::size_t count = 0;
  for (const Balloon* b = balloon_head.get(); b != nullptr; b = b->next.get()) ++count;
  for (auto _ : state) {
    step_stream();
    advance_frame_counter();
  }
  state.counters["balloons"] = static_cast<double>(count);
  clear_balloons();
}
BENCHMARK(BM_StepStreamSteady)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace aerolume
