// The noise lattice, its seeding, and the 2-D and 4-D value noise built on it.
#include "noise/noise.h"

#include "core/clock.h"
#include "noise/random.h"

namespace aerolume {

float NoiseLattice[noise_lattice_size];

namespace {

// Lattice entry at grid point (p, q) of the 128 x 128 view, in double for the blends.
double grid_entry(std::int32_t p, std::int32_t q) {
  return NoiseLattice[wrap_index(128 * p + q)];
}

// Level 0 of the 4-D noise: two lattice indices from the raw coordinates, each
// expression in double in the order written, and a blend along x. The levels are
// inlined into each octave so that the coordinates stay in registers (the wind costs
// about half as much under the sanitizers; the numbers are the same).
template <bool VariantA>
[[gnu::always_inline]] inline float noise4_level0(const float c[4]) {
  const double x = c[0], y = c[1], z = c[2], w = c[3];
  const float f = lattice_frac(x);
  std::int32_t i0, i1;
  if constexpr (VariantA) {
    i0 = lattice_trunc((x + y) * z + w);
    i1 = lattice_trunc(((x + 1.0) + y) * z + w);
  } else {
    i0 = lattice_trunc((w + z) * x + y);
    i1 = lattice_trunc(((w + z) * x + 1.0) + y);
  }
  const double e0 = NoiseLattice[wrap_index(i0)];
  const double e1 = NoiseLattice[wrap_index(i1)];
  return static_cast<float>(e0 + (e1 - e0) * f);
}

// Level K >= 1: blend the level below before and after raising coordinate K by one.
// The weight is frac of the coordinate as it was on entry, and the raise is kept.
template <bool VariantA, int K>
[[gnu::always_inline]] inline float noise4_level(float c[4]) {
  if constexpr (K == 0) {
    return noise4_level0<VariantA>(c);
  } else {
    const float f = lattice_frac(c[K]);
    const float a = noise4_level<VariantA, K - 1>(c);
    c[K] = static_cast<float>(static_cast<double>(c[K]) + 1.0);
    const float b = noise4_level<VariantA, K - 1>(c);
    return static_cast<float>(a + (static_cast<double>(b) - a) * f);
  }
}

template <bool VariantA>
float noise4_at(float coords[4], int k) {
  switch (k <= 0 ? 0 : k >= 3 ? 3 : k) {
    case 0: return noise4_level<VariantA, 0>(coords);
    case 1: return noise4_level<VariantA, 1>(coords);
    case 2: return noise4_level<VariantA, 2>(coords);
    default: return noise4_level<VariantA, 3>(coords);
  }
}

template <bool VariantA>
float fractal_noise4_of(float x, float y, float z, float w) {
  float c[4] = {x, y, z, w};
  float sum = 0.0f;
  float weight = 1.0f / 128.0f;
  float scale = 1.0f;
  while (scale > 1.0f / 128.0f) {
    const float v = noise4_level<VariantA, 3>(c);
    sum = static_cast<float>(sum + static_cast<double>(v) * weight);
    weight = static_cast<float>(static_cast<double>(weight) * 2.0);
    scale = static_cast<float>(static_cast<double>(scale) / 2.0);
    for (float& coordinate : c) coordinate = static_cast<float>(static_cast<double>(coordinate) / 2.0);
  }
  return sum;
}

}  // namespace

void seed_noise() { seed_noise(clock_ms()); }

void seed_noise(std::uint32_t seed) {
  seed_random(seed);
  for (float& entry : NoiseLattice)
    entry = static_cast<float>(static_cast<double>(next_random()) / random_max);
}

float noise2(float a, float b) {
  const std::int32_t p0 = rem128(lattice_trunc(a));
  const std::int32_t q0 = rem128(lattice_trunc(b));
  const float fa = lattice_frac(a);
  const float fb = lattice_frac(b);
  // The neighbours come from the reduced values: 127 -> 0 and -1 -> 0.
  const std::int32_t p1 = rem128(p0 + 1);
  const std::int32_t q1 = rem128(q0 + 1);
  // Both blends along the rows are rounded to float before the blend along the columns.
  const double g00 = grid_entry(p0, q0), g10 = grid_entry(p1, q0);
  const double g01 = grid_entry(p0, q1), g11 = grid_entry(p1, q1);
  const float b0 = static_cast<float>(g00 + (g10 - g00) * fa);
  const float b1 = static_cast<float>(g01 + (g11 - g01) * fa);
  return static_cast<float>(b0 + (static_cast<double>(b1) - b0) * fb);
}

float fractal_noise2(float a, float b) {
  float sum = 0.0f;
  float weight = 1.0f / 128.0f;
  float scale = 1.0f;
  while (scale > 1.0f / 128.0f) {
    const float as = static_cast<float>(static_cast<double>(a) * scale);
    const float bs = static_cast<float>(static_cast<double>(b) * scale);
    sum = static_cast<float>(sum + static_cast<double>(noise2(as, bs)) * weight);
    scale = static_cast<float>(static_cast<double>(scale) / 2.0);
    weight = static_cast<float>(static_cast<double>(weight) * 2.0);
  }
  return sum;
}

float noise4_a(float coords[4], int k) { return noise4_at<true>(coords, k); }
float noise4_b(float coords[4], int k) { return noise4_at<false>(coords, k); }

float fractal_noise4(float x, float y, float z, float w, bool variant_a) {
  return variant_a ? fractal_noise4_of<true>(x, y, z, w) : fractal_noise4_of<false>(x, y, z, w);
}

}  // namespace aerolume
