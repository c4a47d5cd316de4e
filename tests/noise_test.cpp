// The random sequence, the lattice and its seeding, the integer helpers, and the 2-D and
// 4-D value noise: exact lattice reads at the grid points, the negative-argument
// borrowing, in-place coordinate raising, and the fractal sums.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "app/clock.h"
#include "noise/noise.h"
#include "noise/random.h"

namespace aerolume {
namespace {

constexpr std::uint32_t test_seed = 4242u;
constexpr float seven_octaves = 127.0f / 128.0f;

std::vector<float> lattice_copy() { return {std::begin(NoiseLattice), std::end(NoiseLattice)}; }

void fill_lattice(float value) { std::fill(std::begin(NoiseLattice), std::end(NoiseLattice), value); }

// Entry i holds i / 16384 (exact), so a lattice read tells which index was formed.
void fill_lattice_with_its_indices() {
  for (int i = 0; i < noise_lattice_size; ++i) NoiseLattice[i] = static_cast<float>(i) / 16384.0f;
}

TEST(RandomSequence, MatchesThePublishedValuesAfterSeedingWithOne) {
  seed_random(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169};
  for (int value : expected) EXPECT_EQ(next_random(), value);
}

TEST(RandomSequence, ReseedingRestartsAndValuesStayInRange) {
  seed_random(0xDEADBEEFu);
  std::vector<int> first;
  for (int k = 0; k < (1 << 20); ++k) first.push_back(next_random());
  EXPECT_EQ(*std::min_element(first.begin(), first.end()), 0);
  EXPECT_EQ(*std::max_element(first.begin(), first.end()), random_max);
  seed_random(0xDEADBEEFu);
  for (int value : first) ASSERT_EQ(next_random(), value);
}

TEST(NoiseSeeding, EntriesAreMultiplesOfOne32767thInOrderOfTheSequence) {
  seed_noise(test_seed);
  seed_random(test_seed);
  for (int i = 0; i < noise_lattice_size; ++i) {
    const int k = next_random();
    ASSERT_EQ(NoiseLattice[i], static_cast<float>(k / 32767.0)) << "entry " << i;
    ASSERT_GE(NoiseLattice[i], 0.0f);
    ASSERT_LE(NoiseLattice[i], 1.0f);
  }
}

TEST(NoiseSeeding, LeavesTheSharedSequenceJustPastTheLattice) {
  // Balloon placement draws next from the same sequence.
  seed_random(test_seed);
  for (int i = 0; i < noise_lattice_size; ++i) next_random();
  const int after_lattice = next_random();
  seed_noise(test_seed);
  EXPECT_EQ(next_random(), after_lattice);
}

TEST(NoiseSeeding, SameSeedSameTableAndTheClockVariantUsesTheClock) {
  seed_noise(test_seed);
  const std::vector<float> first = lattice_copy();
  seed_noise(test_seed);
  EXPECT_EQ(lattice_copy(), first);
  seed_noise(test_seed + 1);
  EXPECT_NE(lattice_copy(), first);

  const std::uint32_t t0 = clock_ms();
  seed_noise();
  const std::uint32_t t1 = clock_ms();
  const std::vector<float> from_clock = lattice_copy();
  bool matched = false;
  for (std::uint32_t t = t0; !matched && t != t1 + 1; ++t) {
    seed_noise(t);
    matched = lattice_copy() == from_clock;
  }
  EXPECT_TRUE(matched) << "no millisecond in [" << t0 << ", " << t1 << "] gives that table";
}

TEST(NoiseHelpers, TruncKeepsTheLow32BitsAndMapsUnrepresentableValuesToZero) {
  EXPECT_EQ(lattice_trunc(2.7), 2);
  EXPECT_EQ(lattice_trunc(-2.7), -2);
  EXPECT_EQ(lattice_trunc(-0.5), 0);
  EXPECT_EQ(lattice_trunc(2147483648.0), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(lattice_trunc(4294967296.0 + 5.5), 5);
  EXPECT_EQ(lattice_trunc(-8589934592.0 - 3.0), -3);
  EXPECT_EQ(lattice_trunc(-9223372036854775808.0), 0);  // -2^63 fits; its low bits are 0
  EXPECT_EQ(lattice_trunc(9223372036854775808.0), 0);   // 2^63 does not fit
  EXPECT_EQ(lattice_trunc(1e30), 0);
  EXPECT_EQ(lattice_trunc(-1e30), 0);
  EXPECT_EQ(lattice_trunc(std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(lattice_trunc(-std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(lattice_trunc(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(NoiseHelpers, FracHasTheSignOfItsArgumentAndStaysBelowOneAt2To31) {
  EXPECT_EQ(lattice_frac(2.25), 0.25f);
  EXPECT_EQ(lattice_frac(-2.25), -0.25f);
  EXPECT_EQ(lattice_frac(-0.5), -0.5f);
  // 2^31 is where the low 32 bits of the truncation stop being the truncation.
  EXPECT_EQ(lattice_frac(2147483648.0), 0.0f);
  EXPECT_EQ(lattice_frac(2147483648.5), 0.5f);
  EXPECT_EQ(lattice_frac(-2147483648.75), -0.75f);
  EXPECT_EQ(lattice_frac(1e30), 0.0f);
}

TEST(NoiseHelpers, RemainderKeepsTheDividendSignAndWrapFoldsIntoTheTable) {
  EXPECT_EQ(rem128(130), 2);
  EXPECT_EQ(rem128(-1), -1);
  EXPECT_EQ(rem128(-129), -1);
  EXPECT_EQ(rem128(-128), 0);
  EXPECT_EQ(rem128(std::numeric_limits<std::int32_t>::min()), 0);
  EXPECT_EQ(wrap_index(-1), 16383);
  EXPECT_EQ(wrap_index(16384), 0);
  EXPECT_EQ(wrap_index(16385), 1);
  EXPECT_EQ(wrap_index(std::numeric_limits<std::int32_t>::min()), 0);
}

class Noise2 : public ::testing::Test {
 protected:
  void SetUp() override { seed_noise(test_seed); }
  static float entry(int i) { return NoiseLattice[i]; }
  static float mean(int i, int j) {
    return static_cast<float>((static_cast<double>(entry(i)) + entry(j)) / 2.0);
  }
};

TEST_F(Noise2, GridPointsReadTheirEntryWithPeriod128) {
  EXPECT_EQ(noise2(3, 5), entry(389));
  EXPECT_EQ(noise2(131, 133), entry(389));
  EXPECT_EQ(noise2(0, 0), entry(0));
  EXPECT_EQ(noise2(127, 127), entry(16383));
}

TEST_F(Noise2, HalfwayPointsAverageNeighboursAcrossTheWrap) {
  EXPECT_EQ(noise2(127.5f, 0), mean(16256, 0));
  EXPECT_EQ(noise2(0, 127.5f), mean(127, 0));
  EXPECT_EQ(noise2(3.5f, 5), mean(389, 517));
  EXPECT_EQ(noise2(3, 5.5f), mean(389, 390));
}

TEST_F(Noise2, NegativeArgumentsExtrapolateAndBorrowFromThePreviousRow) {
  EXPECT_FLOAT_EQ(noise2(-0.25f, 0), 1.25f * entry(0) - 0.25f * entry(128));
  EXPECT_EQ(noise2(0, -1), entry(16383));
  EXPECT_EQ(noise2(5, -3), entry(637));
  EXPECT_EQ(noise2(-1, 0), entry(16256));
}

TEST_F(Noise2, InteriorPointsAreBilinearInTheirCell) {
  const float a = 17.75f, b = 90.125f;
  const double g00 = entry(17 * 128 + 90), g10 = entry(18 * 128 + 90);
  const double g01 = entry(17 * 128 + 91), g11 = entry(18 * 128 + 91);
  const double expected = g00 * 0.25 * 0.875 + g10 * 0.75 * 0.875 + g01 * 0.25 * 0.125 +
                          g11 * 0.75 * 0.125;
  EXPECT_NEAR(noise2(a, b), expected, 1e-6);
}

TEST_F(Noise2, HugeArgumentsStayInsideTheLatticeRange) {
  for (float a : {2147483648.0f, 4294967296.0f, 1e20f}) {
    const float v = noise2(a, 0.5f);
    EXPECT_GE(v, 0.0f) << a;
    EXPECT_LE(v, 1.0f) << a;
  }
}

TEST(FractalNoise2, SumsSevenOctavesFromCoarseWeightsToFine) {
  seed_noise(test_seed);
  EXPECT_FLOAT_EQ(fractal_noise2(0, 0), seven_octaves * NoiseLattice[0]);
  // Octave m samples noise2 at (a, b) / 2^(m-1) with weight 2^(m-8).
  for (const auto& [a, b] : {std::pair{0.0f, 0.0f}, {37.0f, 411.0f}, {300.5f, 12.25f}, {511.0f, 511.0f}}) {
    double expected = 0.0;
    for (int m = 1; m <= 7; ++m) {
      const double scale = std::ldexp(1.0, 1 - m);
      expected += noise2(static_cast<float>(a * scale), static_cast<float>(b * scale)) * std::ldexp(1.0, m - 8);
    }
    EXPECT_NEAR(fractal_noise2(a, b), expected, 1e-6) << a << ", " << b;
  }
}

TEST(FractalNoise2, ConstantLatticeGivesItsValueTimes127Over128) {
  fill_lattice(1.0f);
  for (float a : {0.0f, 3.5f, 200.25f, 1000.0f}) EXPECT_EQ(fractal_noise2(a, a * 0.5f + 7), seven_octaves);
  fill_lattice(0.3f);
  for (float a : {0.0f, 3.5f, 200.25f, 1000.0f})
    EXPECT_FLOAT_EQ(fractal_noise2(a, a * 0.5f + 7), seven_octaves * 0.3f);
}

TEST(Noise4, ALevel3EvaluationLeavesTheCoordinatesRaised) {
  seed_noise(test_seed);
  for (auto noise4 : {noise4_a, noise4_b}) {
    float c[4] = {1.5f, 2.25f, -3.0f, 40.0f};
    noise4(c, 3);
    EXPECT_EQ(c[0], 1.5f);
    EXPECT_EQ(c[1], 6.25f);
    EXPECT_EQ(c[2], -1.0f);
    EXPECT_EQ(c[3], 41.0f);
    float lower[4] = {1.5f, 2.25f, -3.0f, 40.0f};
    noise4(lower, 2);
    EXPECT_EQ(lower[1], 4.25f);
    EXPECT_EQ(lower[2], -2.0f);
    EXPECT_EQ(lower[3], 40.0f);
  }
}

TEST(Noise4, LevelOutsideZeroToThreeIsClamped) {
  seed_noise(test_seed);
  float c3[4] = {1.5f, 2.25f, 3.0f, 4.5f}, c9[4] = {1.5f, 2.25f, 3.0f, 4.5f};
  EXPECT_EQ(noise4_a(c9, 9), noise4_a(c3, 3));
  EXPECT_EQ(c9[3], 5.5f);
  float c0[4] = {1.5f, 2.25f, 3.0f, 4.5f}, cm[4] = {1.5f, 2.25f, 3.0f, 4.5f};
  EXPECT_EQ(noise4_b(cm, -2), noise4_b(c0, 0));
  EXPECT_EQ(cm[1], 2.25f);
}

TEST(Noise4, Level0IndicesFollowEachVariantsFormula) {
  fill_lattice_with_its_indices();
  auto level0_a = [](float x, float y, float z, float w) {
    float c[4] = {x, y, z, w};
    return noise4_a(c, 0) * 16384.0f;
  };
  auto level0_b = [](float x, float y, float z, float w) {
    float c[4] = {x, y, z, w};
    return noise4_b(c, 0) * 16384.0f;
  };
  // a: (x + y)z + w = 32 and b: (w + z)x + y = 27 at an integer x.
  EXPECT_EQ(level0_a(2, 3, 5, 7), 32.0f);
  EXPECT_EQ(level0_b(2, 3, 5, 7), 27.0f);
  // x = 2.5: a reads 34 and trunc(6.5 * 5 + 7) = 39; b reads 33 and its neighbour 34.
  EXPECT_EQ(level0_a(2.5f, 3, 5, 7), 36.5f);
  EXPECT_EQ(level0_b(2.5f, 3, 5, 7), 33.5f);
  // Negative indices wrap: b at (w + z)x + y = -1 reads 16383 and then 0.
  EXPECT_EQ(level0_b(-1, 0, 0, 1), 16383.0f);
  EXPECT_EQ(level0_a(0, 0, 0, -16385), 16383.0f);
}

TEST(Noise4, IndexExpressionsAreEvaluatedInDouble) {
  // x + 1 = 1 - 2^-25 is below 1 in double but rounds to 1 in float; only the double
  // evaluation keeps the second index at 0, where entry 0 blends with itself.
  fill_lattice_with_its_indices();
  const float x = -std::ldexp(1.0f, -25);
  float a[4] = {x, 0, 1, 0};
  EXPECT_EQ(noise4_a(a, 0), 0.0f);
  float b[4] = {x, 0, 0, 1};
  EXPECT_EQ(noise4_b(b, 0), 0.0f);
}

TEST(Noise4, AtTheOriginTheFirstOctaveReadsEntryZero) {
  seed_noise(test_seed);
  for (auto noise4 : {noise4_a, noise4_b}) {
    float c[4] = {0, 0, 0, 0};
    EXPECT_EQ(noise4(c, 3), NoiseLattice[0]);
  }
}

TEST(FractalNoise4, IsRepeatableAndTheVariantsDiffer) {
  seed_noise(test_seed);
  int differing = 0;
  for (float y = 0; y < 3000; y += 97.5f) {
    const float a = fractal_noise4(12.5f, y, -340.25f, 77, true);
    const float b = fractal_noise4(12.5f, y, -340.25f, 77, false);
    EXPECT_EQ(fractal_noise4(12.5f, y, -340.25f, 77, true), a);
    EXPECT_EQ(fractal_noise4(12.5f, y, -340.25f, 77, false), b);
    if (a != b) ++differing;
  }
  EXPECT_GT(differing, 25);
}

TEST(FractalNoise4, OctaveMSamplesTheRaisedAndHalvedPoint) {
  // Octave m (scale s = 2^(1-m)) reads (x s, y s + 4(1 - s), z s + 2(1 - s), w s + 1 - s)
  // with weight 2^(m-8): at the origin the second octave samples (0, 2, 1, 0.5).
  seed_noise(test_seed);
  const float points[][4] = {{0, 0, 0, 0}, {12.5f, 200.25f, 3.75f, 1000}, {-40.5f, 7, -3.25f, 31}};
  for (bool variant_a : {true, false}) {
    for (const auto& p : points) {
      double expected = 0.0;
      for (int m = 1; m <= 7; ++m) {
        const double s = std::ldexp(1.0, 1 - m);
        float c[4] = {static_cast<float>(p[0] * s), static_cast<float>(p[1] * s + 4 * (1 - s)),
                      static_cast<float>(p[2] * s + 2 * (1 - s)), static_cast<float>(p[3] * s + (1 - s))};
        expected += (variant_a ? noise4_a(c, 3) : noise4_b(c, 3)) * std::ldexp(1.0, m - 8);
      }
      EXPECT_NEAR(fractal_noise4(p[0], p[1], p[2], p[3], variant_a), expected, 1e-6)
          << p[0] << ", " << p[1] << ", " << p[2] << ", " << p[3] << (variant_a ? " a" : " b");
    }
  }
}

TEST(FractalNoise4, ConstantLatticeGivesItsValueTimes127Over128) {
  fill_lattice(1.0f);
  EXPECT_EQ(fractal_noise4(10.5f, 200.25f, -30, 1234, true), seven_octaves);
  EXPECT_EQ(fractal_noise4(10.5f, 200.25f, 30, 1234, false), seven_octaves);
  fill_lattice(0.6f);
  EXPECT_FLOAT_EQ(fractal_noise4(10.5f, 200.25f, 30, 1234, true), seven_octaves * 0.6f);
  EXPECT_FLOAT_EQ(fractal_noise4(10.5f, 200.25f, 30, 1234, false), seven_octaves * 0.6f);
}

TEST(FractalNoise4, StaysInRangeWhenTheFrameCountReaches2To31) {
  // The frame counter 2^31 - 64 becomes 2^31 as a float; the wind must stay ordinary.
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
