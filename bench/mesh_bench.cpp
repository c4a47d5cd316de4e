// Start-up and per-frame costs of the balloon assets: one tether step of a 15-point rope,
// and compiling the four balloon display lists in a real (Mesa, offscreen) GL context.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "assets/balloon_mesh.h"
#include "core/state.h"
#include "sim/tether.h"
#include "render/offscreen_context.h"

namespace aerolume {
namespace {

void BM_TetherStep(benchmark::State& state) {
  // The anchor drifts round a small circle, so the springs keep working as in the scene.
  std::vector<Vector3> anchors;
  for (int i = 0; i < 1024; ++i)
    anchors.emplace_back(static_cast<float>(10 + 5 * std::sin(i * 0.006136)), 100.0f,
                         static_cast<float>(20 + 5 * std::cos(i * 0.006136)));
  Tether tether(15, anchors[0]);
  std::size_t i = 0;
  for (auto _ : state) {
    tether.step(anchors[i++ & 1023]);
    benchmark::DoNotOptimize(tether.positions[14]);
  }
}
BENCHMARK(BM_TetherStep)->Unit(benchmark::kNanosecond);

void BM_BuildLodLists(benchmark::State& state) {
  OffscreenContext context;
  std::string error;
  if (!context.create(64, 64, &error)) {
    state.SkipWithError(("no offscreen GL context: " + error).c_str());
    return;
  }
  for (auto _ : state) {
    build_lod_lists();
    glFinish();
    state.PauseTiming();
    for (const GLuint name : lod_lists) glDeleteLists(name, 1);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_BuildLodLists)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace aerolume
