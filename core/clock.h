// The millisecond clock: an unsigned 32-bit count of milliseconds from a monotonic
// source. It wraps; differences are taken modulo 2^32 so they stay right across a wrap.
#pragma once

#include <cstdint>

namespace aerolume {

std::uint32_t clock_ms();
std::uint32_t elapsed_ms(std::uint32_t t0, std::uint32_t t1);

}  // namespace aerolume
