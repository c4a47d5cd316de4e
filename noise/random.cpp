// The process-wide linear congruential generator behind every random number in the scene.
#include "noise/random.h"

namespace aerolume {

namespace {

// Unsigned arithmetic, so the wrap modulo 2^32 is well defined.
std::uint32_t random_state = 1;

}  // namespace

void seed_random(std::uint32_t seed) { random_state = seed; }

int next_random() {
  random_state = random_state * 214013u + 2531011u;
  return static_cast<int>((random_state >> 16) & 0x7FFFu);
}

}  // namespace aerolume
