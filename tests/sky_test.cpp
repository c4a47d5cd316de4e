// The cloud image and the dome grid on the CPU: the fast cloud generator against a
// literal per-pixel evaluation (bit for bit), the cover rule and its border fade, and
// the dome grid's geometry.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "assets/sky.h"
#include "noise/noise.h"

namespace aerolume {
namespace {

// The cloud image the obvious way: one fractal_noise2 per pixel, every reading as stated.
std::vector<float> literal_cloud_pixels() {
  std::vector<float> out;
  for (int i = 0; i < 512; ++i) {
    for (int j = 0; j < 512; ++j) {
      const float a = fractal_noise2(static_cast<float>(i), static_cast<float>(j));
      const float edge = static_cast<float>(std::max(std::abs(i - 256), std::abs(j - 256)) / 256.0);
      float cover = static_cast<float>(a - (0.05 / (static_cast<double>(a) * a * a) + 0.2));
      if (edge > 0.5f) cover = static_cast<float>(cover - cover * ((edge - (1 - 0.5)) / 0.5));
      const float f = cover >= 0 ? cover : 0.0f;  // a NaN cover fails the comparison
      out.insert(out.end(), {static_cast<float>(0.8 * f + 0.2), static_cast<float>(0.5 * f + 0.5), 1.0f});
    }
  }
  return out;
}

// Floats of cloud_pixels whose bits differ from expected; the first one is reported.
int bit_differences(const std::vector<float>& expected) {
  const float* actual = &cloud_pixels[0][0][0];
  int count = 0;
  for (std::size_t k = 0; k < expected.size(); ++k)
    if (std::bit_cast<std::uint32_t>(actual[k]) != std::bit_cast<std::uint32_t>(expected[k]) && count++ == 0)
      ADD_FAILURE() << "row " << k / 1536 << ", column " << k / 3 % 512 << ", channel " << k % 3
                    << ": " << actual[k] << " instead of " << expected[k];
  return count;
}

void fill_lattice(float value) { std::fill(std::begin(NoiseLattice), std::end(NoiseLattice), value); }

TEST(CloudPixels, AreBitIdenticalToTheLiteralEvaluation) {
  for (std::uint32_t seed : {1u, 2u, 20240611u, 0xFFFFFFFFu}) {
    seed_noise(seed);
    const std::vector<float> expected = literal_cloud_pixels();
    compute_cloud_pixels();
    EXPECT_EQ(bit_differences(expected), 0) << "seed " << seed;
  }
  // Ones: cloud everywhere, the whole fade. 0.55: covers just above 0. Zeros: a = 0,
  // the -inf and NaN covers.
  for (float value : {1.0f, 0.55f, 0.0f}) {
    fill_lattice(value);
    const std::vector<float> expected = literal_cloud_pixels();
    compute_cloud_pixels();
    EXPECT_EQ(bit_differences(expected), 0) << "lattice of " << value;
  }
}

TEST(CloudPixels, BorderIsSkyBlueIsOneAndCloudsKeepTheColourRatio) {
  for (bool all_ones : {false, true}) {
    if (all_ones) fill_lattice(1.0f); else seed_noise(77);
    compute_cloud_pixels();
    for (int k = 0; k < cloud_size; ++k)
      for (const float* p : {cloud_pixels[0][k], cloud_pixels[k][0]}) {
        EXPECT_EQ(p[0], 0.2f);
        EXPECT_EQ(p[1], 0.5f);
      }
    int clouded = 0;
    for (int i = 0; i < cloud_size; ++i)
      for (int j = 0; j < cloud_size; ++j) {
        const float* p = cloud_pixels[i][j];
        ASSERT_EQ(p[2], 1.0f);
        ASSERT_NEAR((p[0] - 0.2) * 0.5, (p[1] - 0.5) * 0.8, 2e-7) << i << ", " << j;
        clouded += p[0] > 0.2f;
      }
    EXPECT_GT(clouded, all_ones ? 510 * 510 : 1000);
  }
}

TEST(CloudPixels, AllOnesLatticeFadesFromTheCentreToTheBorder) {
  fill_lattice(1.0f);
  compute_cloud_pixels();
  const float* centre = cloud_pixels[256][256];
  EXPECT_NEAR(centre[0], 0.793, 1e-3);
  EXPECT_NEAR(centre[1], 0.870, 1e-3);
  const double cover = (centre[0] - 0.2) / 0.8;
  EXPECT_EQ(cloud_pixels[128][256][0], centre[0]);  // edge exactly 0.5: not faded
  EXPECT_NEAR((cloud_pixels[448][256][0] - 0.2) / 0.8, cover / 2, 1e-6);
  EXPECT_NEAR((cloud_pixels[511][256][0] - 0.2) / 0.8, cover / 128, 1e-6);
  EXPECT_NEAR((cloud_pixels[256][511][1] - 0.5) / 0.5, cover / 128, 1e-6);
}

TEST(CloudCover, StartsAboveAboutPoint532FadesBeyondHalfAndTreatsNaNAsNone) {
  EXPECT_EQ(cloud_cover(0.531f, 0.0f), 0.0f);
  EXPECT_GT(cloud_cover(0.534f, 0.0f), 0.0f);
  EXPECT_NEAR(cloud_cover(0.6f, 0.0f), 0.169, 1e-3);
  EXPECT_NEAR(cloud_cover(0.8f, 0.0f), 0.502, 1e-3);
  const float full = cloud_cover(0.9f, 0.0f);
  EXPECT_EQ(cloud_cover(0.9f, 0.5f), full);
  EXPECT_FLOAT_EQ(cloud_cover(0.9f, 0.75f), full / 2);
  EXPECT_EQ(cloud_cover(0.9f, 1.0f), 0.0f);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(cloud_cover(0.0f, 0.0f), 0.0f);   // -inf
  EXPECT_EQ(cloud_cover(0.0f, 0.75f), 0.0f);  // -inf faded: NaN
  EXPECT_EQ(cloud_cover(nan, 0.9f), 0.0f);
}

TEST(DomeGrid, IsNByNAndEmptyForEvenOrNonPositiveN) {
  EXPECT_EQ(build_dome_grid(9).size(), 81u);
  ASSERT_EQ(build_dome_grid(1).size(), 1u);
  EXPECT_EQ(build_dome_grid(1)[0].y, 500000.0f);
  for (int n : {0, -1, -9, 2, 8}) EXPECT_TRUE(build_dome_grid(n).empty()) << n;
}

TEST(DomeGrid, IsACapOfRadius500000MirroredAcrossExactCentreLines) {
  const std::vector<Vector3> grid = build_dome_grid(9);
  const Vector3& apex = grid[4 * 9 + 4];
  EXPECT_EQ(apex.x, 0.0f);
  EXPECT_EQ(apex.y, 500000.0f);
  EXPECT_EQ(apex.z, 0.0f);
  const double step = 80.0 / 9.0 * 3.14159265358979323846 / 180.0;
  for (int r = 0; r < 9; ++r) {
    for (int s = 0; s < 9; ++s) {
      const Vector3& v = grid[r * 9 + s];
      EXPECT_EQ(grid[(8 - r) * 9 + s].x, -v.x);
      EXPECT_EQ(grid[(8 - r) * 9 + s].z, v.z);
      EXPECT_EQ(grid[r * 9 + 8 - s].z, -v.z);
      EXPECT_EQ(grid[r * 9 + 8 - s].y, v.y);
      if (s == 4) {
        EXPECT_EQ(v.z, 0.0f);
      }
      if (r == 4) {
        EXPECT_EQ(v.x, 0.0f);
      }
      const double theta = (r - 4) * step, phi = (s - 4) * step;
      EXPECT_NEAR(v.x, -500000 * std::sin(theta), 0.1) << r << ", " << s;
      EXPECT_NEAR(v.y, 500000 * std::cos(theta) * std::cos(phi), 0.1) << r << ", " << s;
      EXPECT_NEAR(v.z, 500000 * std::cos(theta) * std::sin(phi), 0.1) << r << ", " << s;
      EXPECT_NEAR(std::sqrt(length_squared(v)), 500000, 0.1) << r << ", " << s;
    }
  }
}

}  // namespace
}  // namespace aerolume
