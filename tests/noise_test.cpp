// The random sequence, the lattice, the integer helpers and the 2-D and 4-D noise:
// exact lattice reads at grid points, negative arguments, where values are rounded,
// the in-place raising of coordinates and the seven-octave sums.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "noise/noise.h"
#include "noise/random.h"

namespace aerolume {
namespace {

constexpr std::uint32_t test_seed = 4242u;
constexpr float seven_octaves = 127.0f / 128.0f;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

std::vector<float> lattice_copy() { return {std::begin(NoiseLattice), std::end(NoiseLattice)}; }
void fill_lattice(float value) { std::fill(std::begin(NoiseLattice), std::end(NoiseLattice), value); }
// Entry i holds i / 16384 exactly, so a read tells which index was formed.
void fill_lattice_with_indices() {
  for (int i = 0; i < noise_lattice_size; ++i) NoiseLattice[i] = static_cast<float>(i) / 16384.0f;
}
float level0(float (*noise4)(float*, int), float x, float y, float z, float w) {
  float c[4] = {x, y, z, w};
  return noise4(c, 0) * 16384.0f;
}

TEST(RandomSequence, GivesThePublishedValuesAndRestartsWhenReseeded) {
  seed_random(1);
  for (int value : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(next_random(), value);
  seed_random(1);
  EXPECT_EQ(next_random(), 41);
}

TEST(NoiseSeeding, FillsTheLatticeFromTheSharedSequenceInOrder) {
  seed_random(test_seed);
  std::vector<float> expected;
  for (int i = 0; i < noise_lattice_size; ++i) expected.push_back(static_cast<float>(next_random() / 32767.0));
  const int next_after_lattice = next_random();  // where balloon placement continues
  seed_noise(test_seed);
  EXPECT_EQ(lattice_copy(), expected);
  EXPECT_EQ(next_random(), next_after_lattice);
}

TEST(NoiseHelpers, TruncKeepsLow32BitsAndFracStaysBelowOneFrom2To31On) {
  EXPECT_EQ(lattice_trunc(2.7), 2);
  EXPECT_EQ(lattice_trunc(-2.7), -2);
  EXPECT_EQ(lattice_trunc(-0.5), 0);
  EXPECT_EQ(lattice_trunc(2147483648.0), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(lattice_trunc(4294967296.0 + 5.5), 5);
  EXPECT_EQ(lattice_trunc(-8589934592.0 - 3.0), -3);
  // No 64-bit truncation: index 0.
  for (double v : {9223372036854775808.0, -1e30, inf, -inf, nan}) EXPECT_EQ(lattice_trunc(v), 0) << v;
  EXPECT_EQ(lattice_frac(2.25), 0.25f);
  EXPECT_EQ(lattice_frac(-2.25), -0.25f);
  EXPECT_EQ(lattice_frac(2147483648.0), 0.0f);
  EXPECT_EQ(lattice_frac(2147483648.5), 0.5f);
  EXPECT_EQ(lattice_frac(-2147483648.75), -0.75f);
  EXPECT_EQ(rem128(130), 2);
  EXPECT_EQ(rem128(-129), -1);
  EXPECT_EQ(rem128(-128), 0);
  EXPECT_EQ(wrap_index(-1), 16383);
  EXPECT_EQ(wrap_index(16385), 1);
}

TEST(Noise2, ReadsTheGridPointsHalfwaysAndNegativeBorrowsExactly) {
  seed_noise(test_seed);
  const float* e = NoiseLattice;
  auto mean = [](float a, float b) { return static_cast<float>((static_cast<double>(a) + b) / 2); };
  EXPECT_EQ(noise2(3, 5), e[389]);
  EXPECT_EQ(noise2(131, 133), e[389]);
  EXPECT_EQ(noise2(127.5f, 0), mean(e[16256], e[0]));
  EXPECT_EQ(noise2(0, 127.5f), mean(e[127], e[0]));
  EXPECT_FLOAT_EQ(noise2(-0.25f, 0), 1.25f * e[0] - 0.25f * e[128]);
  EXPECT_EQ(noise2(0, -1), e[16383]);
  EXPECT_EQ(noise2(5, -3), e[637]);
  EXPECT_EQ(noise2(-1, 0), e[16256]);
  const float huge = noise2(2147483648.0f, 0.5f);  // row index from the low 32 bits: 0
  EXPECT_EQ(huge, mean(e[0], e[1]));
}

TEST(Noise2, RoundsBothRowBlendsToFloatBeforeTheColumnBlend) {
  fill_lattice(0.0f);
  NoiseLattice[0] = 0.1f;     // G(0, 0)
  NoiseLattice[128] = 0.7f;   // G(1, 0)
  NoiseLattice[1] = 0.3f;     // G(0, 1)
  NoiseLattice[129] = 0.45f;  // G(1, 1)
  const double f = 0.3f;
  const double b0 = 0.1f + (static_cast<double>(0.7f) - 0.1f) * f;
  const double b1 = 0.3f + (static_cast<double>(0.45f) - 0.3f) * f;
  const float b0f = static_cast<float>(b0), b1f = static_cast<float>(b1);
  const float rounded = static_cast<float>(b0f + (static_cast<double>(b1f) - b0f) * f);
  ASSERT_NE(rounded, static_cast<float>(b0 + (b1 - b0) * f));  // the corners tell them apart
  EXPECT_EQ(noise2(0.3f, 0.3f), rounded);
}

TEST(FractalNoise2, SumsOctaveMAtScale2ToOneMinusMWithWeight2ToMMinus8) {
  seed_noise(test_seed);
  EXPECT_FLOAT_EQ(fractal_noise2(0, 0), seven_octaves * NoiseLattice[0]);
  for (const auto& [a, b] : {std::pair{37.0f, 411.0f}, {300.5f, 12.25f}, {511.0f, 511.0f}}) {
    double expected = 0.0;
    for (int m = 1; m <= 7; ++m) {
      const double s = std::ldexp(1.0, 1 - m);
      expected += noise2(static_cast<float>(a * s), static_cast<float>(b * s)) * std::ldexp(1.0, m - 8);
    }
    EXPECT_NEAR(fractal_noise2(a, b), expected, 1e-6) << a << ", " << b;
  }
}

TEST(FractalNoise, ConstantLatticeGivesItsValueTimes127Over128) {
  fill_lattice(1.0f);
  EXPECT_EQ(fractal_noise2(200.25f, 7), seven_octaves);
  EXPECT_EQ(fractal_noise4(10.5f, 200.25f, -30, 1234, true), seven_octaves);
  EXPECT_EQ(fractal_noise4(10.5f, 200.25f, 30, 1234, false), seven_octaves);
  fill_lattice(0.3f);
  EXPECT_FLOAT_EQ(fractal_noise2(1000, 3.5f), seven_octaves * 0.3f);
  EXPECT_FLOAT_EQ(fractal_noise4(10.5f, 200.25f, 30, 1234, true), seven_octaves * 0.3f);
  EXPECT_FLOAT_EQ(fractal_noise4(10.5f, 200.25f, 30, 1234, false), seven_octaves * 0.3f);
}

TEST(Noise4, RaisesTheCoordinatesInPlaceAndClampsTheLevel) {
  seed_noise(test_seed);
  for (auto noise4 : {noise4_a, noise4_b}) {
    float c[4] = {1.5f, 2.25f, -3.0f, 40.0f};
    const float v = noise4(c, 3);
    EXPECT_EQ(c[0], 1.5f);
    EXPECT_EQ(c[1], 6.25f);
    EXPECT_EQ(c[2], -1.0f);
    EXPECT_EQ(c[3], 41.0f);
    float over[4] = {1.5f, 2.25f, -3.0f, 40.0f};
    EXPECT_EQ(noise4(over, 7), v);
    float origin[4] = {0, 0, 0, 0};
    EXPECT_EQ(noise4(origin, 3), NoiseLattice[0]);  // every weight is 0 there
  }
}

TEST(Noise4, Level0IndicesFollowEachVariantsFormulaInDouble) {
  fill_lattice_with_indices();
  EXPECT_EQ(level0(noise4_a, 2, 3, 5, 7), 32.0f);  // (x + y)z + w
  EXPECT_EQ(level0(noise4_b, 2, 3, 5, 7), 27.0f);  // (w + z)x + y
  // x = 2.5: a blends 34 with trunc(6.5 * 5 + 7) = 39; b blends 33 with 34.
  EXPECT_EQ(level0(noise4_a, 2.5f, 3, 5, 7), 36.5f);
  EXPECT_EQ(level0(noise4_b, 2.5f, 3, 5, 7), 33.5f);
  EXPECT_EQ(level0(noise4_b, -1, 0, 0, 1), 16383.0f);  // index -1 wraps
  // x + 1 = 1 - 2^-25 is below 1 in double but 1 in float: only double keeps index 0.
  const float x = -std::ldexp(1.0f, -25);
  EXPECT_EQ(level0(noise4_a, x, 0, 1, 0), 0.0f);
  EXPECT_EQ(level0(noise4_b, x, 0, 0, 1), 0.0f);
}

TEST(Noise4, EachLevelWeighsByItsCoordinateOnEntryAndKeepsTheRaise) {
  fill_lattice_with_indices();
  // Level 1 at y = -0.5 blends entry 16382 (trunc(-2)) with entry 2 (y raised to 0.5)
  // by frac(-0.5), not by frac of the raised y.
  float c[4] = {0.0f, -0.5f, 4.0f, 0.0f};
  EXPECT_EQ(noise4_a(c, 1) * 16384.0f, 16382.0f + (2.0f - 16382.0f) * -0.5f);
  // b at x = 0 reads entry trunc(y) at each innermost visit; y runs y, y+1, y+1, y+2,
  // y+2, y+3, y+3, y+4. Weights 0.25, 0.5, 0.75 blend 10..14 into 10.25, 11.25, 12.25,
  // 13.25, then 10.75, 12.75, then 12.25.
  float d[4] = {0.0f, 10.25f, 0.5f, 0.75f};
  EXPECT_EQ(noise4_b(d, 3) * 16384.0f, 12.25f);
}

TEST(FractalNoise4, OctaveMSamplesTheRaisedAndHalvedPointAndTheVariantsDiffer) {
  // Octave m (s = 2^(1-m)) reads (x s, y s + 4(1 - s), z s + 2(1 - s), w s + 1 - s).
  seed_noise(test_seed);
  const float points[][4] = {{0, 0, 0, 0}, {12.5f, 200.25f, 3.75f, 1000}, {-40.5f, 7, -3.25f, 31}};
  for (const auto& p : points) {
    double expected[2] = {0.0, 0.0};
    for (int m = 1; m <= 7; ++m) {
      const double s = std::ldexp(1.0, 1 - m);
      float c[2][4];
      for (auto& q : c) {
        q[0] = static_cast<float>(p[0] * s);
        q[1] = static_cast<float>(p[1] * s + 4 * (1 - s));
        q[2] = static_cast<float>(p[2] * s + 2 * (1 - s));
        q[3] = static_cast<float>(p[3] * s + (1 - s));
      }
      expected[0] += noise4_a(c[0], 3) * std::ldexp(1.0, m - 8);
      expected[1] += noise4_b(c[1], 3) * std::ldexp(1.0, m - 8);
    }
    const float a = fractal_noise4(p[0], p[1], p[2], p[3], true);
    const float b = fractal_noise4(p[0], p[1], p[2], p[3], false);
    EXPECT_NEAR(a, expected[0], 1e-6) << p[1];
    EXPECT_NEAR(b, expected[1], 1e-6) << p[1];
    EXPECT_EQ(fractal_noise4(p[0], p[1], p[2], p[3], true), a);
    if (p[0] != 0) {
      EXPECT_NE(a, b);
    }
  }
}

TEST(FractalNoise4, StaysInRangeWhenTheFrameCountReaches2To31) {
  // The frame count 2^31 - 64 becomes 2^31 as a float; the wind must stay ordinary.
  seed_noise(test_seed);
  const float frame = static_cast<float>(2147483647 - 63);
  ASSERT_EQ(frame, 2147483648.0f);
  for (bool variant_a : {true, false}) {
    const float v = fractal_noise4(250.5f, 1200.75f, 33.25f, frame, variant_a);
    EXPECT_GE(v, 0.0f);
    EXPECT_LE(v, seven_octaves);
  }
}

}  // namespace
}  // namespace aerolume
