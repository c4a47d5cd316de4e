// The millisecond clock, read from CLOCK_MONOTONIC and cut to its low 32 bits.
#include "core/clock.h"

#include <time.h>

namespace aerolume {

std::uint32_t clock_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

std::uint32_t elapsed_ms(std::uint32_t t0, std::uint32_t t1) { return t1 - t0; }

}  // namespace aerolume
