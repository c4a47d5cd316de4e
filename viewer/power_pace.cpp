// The pace the power source asks for.
#include "viewer/power_pace.h"

#include <algorithm>

namespace aerolume {

Pace pace_for(int role_cap, std::optional<int> battery_fps, bool follows_by_default,
              PowerState power) {
  const bool saving = power.on_battery || power.power_saver;
  if (!saving || (!follows_by_default && !battery_fps)) return {role_cap, false};
  const int lowered = battery_fps.value_or(default_battery_fps);
  if (lowered == 0) return {0, true};
  return {role_cap == 0 ? lowered : std::min(role_cap, lowered), false};
}

}  // namespace aerolume
