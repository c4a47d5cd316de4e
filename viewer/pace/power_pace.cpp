// The pace the power source asks for.
#include "viewer/pace/power_pace.h"

#include <algorithm>
#include <cmath>

namespace aerolume {

Pace pace_for(int role_cap, std::optional<int> battery_fps, bool follows_by_default,
              PowerState power) {
  const bool saving = power.on_battery || power.power_saver;
  if (!saving || (!follows_by_default && !battery_fps)) return {role_cap, false};
  const int lowered = battery_fps.value_or(default_battery_fps);
  if (lowered == 0) return {0, true};
  return {role_cap == 0 ? lowered : std::min(role_cap, lowered), false};
}

int refreshes_per_frame(double refresh_hz, int max_fps) {
  if (!(refresh_hz > 0.0)) return 0;
  if (max_fps <= 0) return 1;
  constexpr double allowance = 1.005;
  // Bounded before the conversion: no display refreshes a million times a frame.
  const double k = std::ceil(std::min(refresh_hz / (max_fps * allowance), 1.0e6));
  return std::max(static_cast<int>(k), 1);
}

}  // namespace aerolume
