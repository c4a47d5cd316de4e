// The control's names on the bus and the role's word.
#include "viewer/control/control_bus.h"

namespace aerolume {

std::string control_bus_name(long pid, int attempt) {
  std::string name(control_name_prefix);
  name += std::to_string(pid);
  if (attempt > 0) (name += '_') += std::to_string(attempt);
  return name;
}

long pid_of_control_name(std::string_view name) {
  if (!name.starts_with(control_name_prefix)) return 0;
  long pid = 0;
  for (std::size_t i = control_name_prefix.size(); i < name.size(); ++i) {
    const char c = name[i];
    if (c < '0' || c > '9' || pid > 99999999) break;
    pid = pid * 10 + (c - '0');
  }
  return pid;
}

std::string_view role_word(Role role) {
  switch (role) {
    case Role::own_window: return "own-window";
    case Role::host_window: return "host-window";
    case Role::root_window: return "root-window";
    case Role::x_desktop: return "x-desktop";
    case Role::wayland_background: return "wayland-background";
    case Role::wayland_overlay: return "wayland-overlay";
    case Role::frames_to_file: return "frames-to-file";
  }
  return "own-window";
}

}  // namespace aerolume
