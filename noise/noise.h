// Procedural noise: the table of random values (NoiseLattice) and the value noise read
// from it: noise2 and its seven-octave sum fractal_noise2 (the clouds), and the two 4-D
// variants noise4_a / noise4_b with their seven-octave sum fractal_noise4 (the wind).
// Coordinates, lattice entries and partial sums are floats; every expression is
// evaluated in double and rounded to float where it is stored.
#pragma once

#include <cmath>
#include <cstdint>

namespace aerolume {

inline constexpr int noise_lattice_size = 16384;

// Each entry is k / 32767 for a k drawn from the random sequence; zero until seeded.
extern float NoiseLattice[noise_lattice_size];

// Seeds the random sequence from the millisecond clock and refills the lattice.
void seed_noise();
// The same from a given seed, for reproducible runs and tests.
void seed_noise(std::uint32_t seed);

// 2-D value noise on the lattice seen as a 128 x 128 grid (the first argument picks the
// row, the second the column).
float noise2(float a, float b);
// Seven octaves of noise2 at scales 1 .. 1/64 with weights 1/128 .. 1/2.
float fractal_noise2(float a, float b);

// 4-D value noise at level k (k = 3 interpolates along w, 2 along z, 1 along y, 0 is
// the lattice read along x). Each level raises its coordinate by one in coords after
// its first half and leaves it raised: a level-3 call turns (x, y, z, w) into
// (x, y + 4, z + 2, w + 1). The two variants differ only in the lattice indices formed
// at level 0. A k outside 0..3 is clamped into that range.
float noise4_a(float coords[4], int k);
float noise4_b(float coords[4], int k);
// Seven octaves of noise4_a (variant_a) or noise4_b at level 3, on a copy of the
// coordinates: the caller's values are never changed.
float fractal_noise4(float x, float y, float z, float w, bool variant_a);

// The integer helpers the noise functions share. Exposed for the cloud generator and
// for tests.

// Truncation toward zero through a 64-bit integer, keeping its low 32 bits as a
// two's-complement value. A NaN or a double outside the 64-bit range has no truncation
// that a conversion could represent (converting it would be undefined behaviour), so
// it maps to 0, which then indexes entry 0 like the origin does.
inline std::int32_t lattice_trunc(double v) {
  constexpr double two_63 = 9223372036854775808.0;
  if (!(v >= -two_63 && v < two_63)) return 0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(
      static_cast<std::int64_t>(v))));
}

// v - trunc(v), from the full truncation: it lies in (-1, 1) with the sign of v for
// every finite v. (Subtracting the 32-bit truncation instead would give values in the
// millions from |v| >= 2^31 on.) An infinite or NaN v gives NaN.
inline float lattice_frac(double v) {
  // Below 2^52 in magnitude the 64-bit conversion truncates exactly (and fast); from
  // there on every double is a whole number or not finite.
  constexpr double two_52 = 4503599627370496.0;
  if (v > -two_52 && v < two_52) return static_cast<float>(v - static_cast<double>(static_cast<std::int64_t>(v)));
  return static_cast<float>(v - std::trunc(v));
}

// Remainder of 32-bit signed division by 128, with the sign of the dividend.
inline std::int32_t rem128(std::int32_t v) { return v % 128; }

// Non-negative residue modulo 16384 of a 32-bit two's-complement index (-1 -> 16383).
inline std::int32_t wrap_index(std::int32_t v) { return v & (noise_lattice_size - 1); }

}  // namespace aerolume
