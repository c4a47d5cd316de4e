// The pace the power source asks for: on battery or in power-saver mode the frames slow
// to --battery-fps (or stop), back on mains they return to the role's own pace. Pure
// decisions only; viewer/power_watch.* reads the power source.
#pragma once

#include <optional>

namespace aerolume {

// Frames a second on battery or in power-saver mode unless --battery-fps says otherwise.
constexpr int default_battery_fps = 10;

// What the system's power daemons last said; both false (mains, a balanced or
// performance profile) where a daemon is missing.
struct PowerState {
  bool on_battery = false;   // UPower's OnBattery
  bool power_saver = false;  // power-profiles-daemon's ActiveProfile is "power-saver"
  bool operator==(const PowerState&) const = default;
};

// What the frames keep to: at most max_fps a second (0: no cap), or none drawn at all.
struct Pace {
  int max_fps = 0;
  bool stopped = false;
  bool operator==(const Pace&) const = default;
};

// The pace for a role whose own pace is role_cap (0: no cap). battery_fps is
// --battery-fps when given; follows_by_default says whether the role slows on battery
// without it (every role but the program's own window). A lowered pace is never faster
// than the role's own, and 0 stops the frames.
Pace pace_for(int role_cap, std::optional<int> battery_fps, bool follows_by_default,
              PowerState power);

// How many refreshes of a display at refresh_hz each frame is shown for under a pace of
// at most max_fps (0: no cap), so that every frame stays up equally long: the smallest
// whole k with refresh_hz / k <= max_fps, allowing half a percent for a display a little
// faster than its nominal rate (60.02 Hz still gives 2 at 30). 1 without a cap; 0 where
// the refresh is unknown (0 or less), and the wall-clock slot paces instead.
int refreshes_per_frame(double refresh_hz, int max_fps);

}  // namespace aerolume
