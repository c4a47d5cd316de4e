// Whole frames offscreen at 1024 x 768, the scene's floor, the two alternated in one
// context for their ratio, a full-screen textured quad for reference, and the simulation
// pass with the start-up list and with a steady-state list.
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "run/frame.h"
#include "run/scene_setup.h"
#include "core/state.h"
#include "noise/noise.h"
#include "render/render_state.h"
#include "render/scene_pass.h"
#include "sim/balloon_stream.h"
#include "render/offscreen_context.h"
#include "renderer/render_stats.h"
#include "renderer/rgb_image.h"

namespace aerolume {
namespace {

constexpr int frame_width = 1024;
constexpr int frame_height = 768;
constexpr std::uint32_t frame_seed = 1;
constexpr int warm_up_frames = 10;

bool make_context(OffscreenContext& context, benchmark::State& state) {
  std::string error;
  if (context.create(frame_width, frame_height, &error)) return true;
  state.SkipWithError(("no offscreen GL context: " + error).c_str());
  return false;
}

// The scene as aerolume-render starts it, after a few frames, so that every benchmark
// below draws from the same camera with the same textures and render state.
// One frame of the whole picture, as the renderer draws it.
void whole_frame() {
  static const View whole{0, 0, frame_width, frame_height};
  CurrentDrawable context;
  render_views({&whole, 1}, context);
}

void start_scene() {
  init_scene_from_seed(frame_seed);
  reshape_viewport(frame_width, frame_height);
  for (int i = 0; i < warm_up_frames; ++i) whole_frame();
  glFinish();
}

// The clear of a frame's one view and the camera.
void clear_and_look() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  gluLookAt(eye.x, eye.y, eye.z, look_at.x, look_at.y, look_at.z, 0.0, 1.0, 0.0);
}

// Percentage of the frame's pixels that draw() covers: drawn once over a clear colour
// that no textured or lit pixel of the scene takes, then counted.
double covered_percent(void (*draw)()) {
  GLfloat clear_colour[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear_colour);
  glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
  draw();
  const RgbImage image = read_gl_frame(frame_width, frame_height);
  glClearColor(clear_colour[0], clear_colour[1], clear_colour[2], clear_colour[3]);
  long covered = 0;
  for (int y = 0; y < frame_height; ++y)
    for (int x = 0; x < frame_width; ++x) {
      const std::uint8_t* p = image.at(x, y);
      if (!(p[0] == 255 && p[1] == 0 && p[2] == 255)) ++covered;
    }
  return 100.0 * static_cast<double>(covered) / (frame_width * frame_height);
}

void BM_WholeFrame(benchmark::State& state) {
  OffscreenContext context;
  if (!make_context(context, state)) return;
  start_scene();
  for (auto _ : state) {
    whole_frame();
    glFinish();
  }
  clear_balloons();
}
BENCHMARK(BM_WholeFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor of a frame: what every frame draws whatever the balloons do, namely the
// same clear and the sky dome from the same camera with the scene's render state
// (depth test, blending, the cloud texture with its format, filters and GL_REPLACE).
// The dome does not fill the screen: at the start-up camera, which looks slightly
// down, its rim is above the lower part of the frame, where the clear colour shows
// (the dome_cover_percent counter says how much it covers).
void draw_floor() {
  clear_and_look();
  draw_scene_dome();
  glFinish();
}

void BM_FrameFloor(benchmark::State& state) {
  OffscreenContext context;
  if (!make_context(context, state)) return;
  start_scene();
  const double cover = covered_percent(draw_floor);
  for (int i = 0; i < warm_up_frames; ++i) draw_floor();
  for (auto _ : state) draw_floor();
  state.counters["dome_cover_percent"] = cover;
  clear_balloons();
}
BENCHMARK(BM_FrameFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

// A whole frame and the floor alternately in one context, so that both meet the same
// machine load: llvmpipe's rasterizer threads share the two cores with whatever else
// runs, and separate runs of the two benchmarks above can see different loads. Each
// iteration is one frame then one floor; the counters are their medians and the ratio
// of the medians. The floor changes nothing the next frame reads.
void BM_FrameOverFloor(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  OffscreenContext context;
  if (!make_context(context, state)) return;
  start_scene();
  std::vector<double> frame_ms, floor_ms;
  for (auto _ : state) {
    const Clock::time_point t0 = Clock::now();
    whole_frame();
    glFinish();
    const Clock::time_point t1 = Clock::now();
    draw_floor();
    const Clock::time_point t2 = Clock::now();
    frame_ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    floor_ms.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    state.SetIterationTime(std::chrono::duration<double>(t2 - t0).count());
  }
  const double frame = summarize(frame_ms).median, floor = summarize(floor_ms).median;
  state.counters["frame_ms"] = frame;
  state.counters["floor_ms"] = floor;
  state.counters["ratio"] = floor > 0.0 ? frame / floor : 0.0;
  clear_balloons();
}
BENCHMARK(BM_FrameOverFloor)->Unit(benchmark::kMillisecond)->UseManualTime();

// For reference: the same clears and one textured quad over the whole viewport, with
// the dome's texture and render state. It fills every pixel, more than the dome does,
// so it is a measure of fill rate, not a floor of the frame.
void draw_full_screen_quad() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glColor3f(1.0f, 1.0f, 1.0f);
  glDisable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glBindTexture(GL_TEXTURE_2D, cloud_texture);
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
  glEnable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glFinish();
}

void BM_FullScreenQuad(benchmark::State& state) {
  OffscreenContext context;
  if (!make_context(context, state)) return;
  start_scene();
  for (int i = 0; i < warm_up_frames; ++i) draw_full_screen_quad();
  for (auto _ : state) draw_full_screen_quad();
  clear_balloons();
}
BENCHMARK(BM_FullScreenQuad)->Unit(benchmark::kMillisecond)->UseRealTime();

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
  const int count = balloon_count();
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
