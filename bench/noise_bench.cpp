// Timings of the noise and the clouds: one fractal_noise2 and one fractal_noise4 call,
// the 512 x 512 cloud image, and regenerating the clouds in a real GL context
// (compute plus texture upload, finished with glFinish).
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <string>

#include "assets/sky.h"
#include "core/state.h"
#include "noise/noise.h"
#include "render/offscreen_context.h"

namespace aerolume {
namespace {

constexpr std::uint32_t bench_seed = 20240611u;

void BM_FractalNoise2(benchmark::State& state) {
  seed_noise(bench_seed);
  float a = 0.0f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fractal_noise2(a, 301.0f - a));
    a = a < 511.0f ? a + 1.0f : 0.0f;
  }
}
BENCHMARK(BM_FractalNoise2);

// Arguments like the wind's: a balloon position and the frame count.
void BM_FractalNoise4(benchmark::State& state) {
  seed_noise(bench_seed);
  const bool variant_a = state.range(0) != 0;
  float y = 0.0f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fractal_noise4(123.25f, y, -431.5f, 5000.0f, variant_a));
    y = y < 3000.0f ? y + 0.07f : 0.0f;
  }
}
BENCHMARK(BM_FractalNoise4)->ArgName("variant_a")->Arg(1)->Arg(0);

void BM_ComputeCloudPixels(benchmark::State& state) {
  seed_noise(bench_seed);
  for (auto _ : state) {
    compute_cloud_pixels();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ComputeCloudPixels)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RegenerateClouds(benchmark::State& state) {
  OffscreenContext context;
  std::string error;
  if (!context.create(64, 64, &error)) {
    state.SkipWithError(("no offscreen GL context: " + error).c_str());
    return;
  }
  seed_noise(bench_seed);
  create_cloud_texture();
  glFinish();
  for (auto _ : state) {
    generate_cloud_texture();
    glFinish();
  }
  glDeleteTextures(1, &cloud_texture);
  cloud_texture = 0;
}
BENCHMARK(BM_RegenerateClouds)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace aerolume
