// The system's own random sequence: one process-wide linear congruential generator,
// integers 0..32767. The noise lattice and the balloon placement both draw from it, so
// seeding it (seed_noise does) restarts the one sequence they share. Never use the C
// library's rand/srand instead: their range and sequence differ between platforms.
#pragma once

#include <cstdint>

namespace aerolume {

// Largest value next_random() returns; fractions are formed by dividing by it.
inline constexpr int random_max = 32767;

// Sets the generator's 32-bit state.
void seed_random(std::uint32_t seed);

// Advances the state (state * 214013 + 2531011, modulo 2^32) and returns bits 16..30
// of the new state: an integer in 0..32767.
int next_random();

}  // namespace aerolume
