// sd-bus's wait, in the loops' terms: its absolute timeout on CLOCK_MONOTONIC becomes a
// deadline on the pacing clock.
#include "viewer/pace/bus_wait.h"

#include <systemd/sd-bus.h>
#include <time.h>

#include <chrono>
#include <cstdint>

namespace aerolume {

namespace {

std::uint64_t monotonic_usec() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000u +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

}  // namespace

pollfd bus_poll_entry(sd_bus* bus) {
  if (bus == nullptr) return {-1, 0, 0};
  const int events = sd_bus_get_events(bus);
  return {sd_bus_get_fd(bus), static_cast<short>(events > 0 ? events : POLLIN), 0};
}

Deadline bus_deadline(sd_bus* bus) {
  std::uint64_t at = UINT64_MAX;
  if (bus == nullptr || sd_bus_get_timeout(bus, &at) < 0 || at == UINT64_MAX) return std::nullopt;
  // sd-bus counts on CLOCK_MONOTONIC, as the steady clock does; the time left is taken
  // from both clocks' now, so that no absolute value need convert.
  const std::uint64_t now = monotonic_usec();
  const std::uint64_t day_us = 86400000000u;
  const std::uint64_t left_us = at <= now ? 0 : (at - now < day_us ? at - now : day_us);
  return PacingClock::now() + std::chrono::microseconds(left_us);
}

}  // namespace aerolume
