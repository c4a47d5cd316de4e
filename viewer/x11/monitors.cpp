// Which monitors are drawn, where, and when none is.
#include "viewer/x11/monitors.h"

#include <X11/X.h>

#include <algorithm>

namespace aerolume {

MonitorChoice choose_monitors(const std::vector<Monitor>& found, const Rect& screen,
                              std::string_view output) {
  MonitorChoice choice;
  for (const Monitor& monitor : found) {
    const Monitor held{monitor.name, monitor.rect.clipped_to(screen)};
    const auto same_place = [&](const Monitor& m) {
      return m.rect.x == held.rect.x && m.rect.y == held.rect.y &&
             m.rect.width == held.rect.width && m.rect.height == held.rect.height;
    };
    if (held.rect.empty() ||
        std::any_of(choice.monitors.begin(), choice.monitors.end(), same_place))
      continue;
    choice.monitors.push_back(held);
  }
  if (choice.monitors.empty()) choice.monitors.push_back({"", screen});
  if (output.empty()) return choice;
  std::string names;
  for (const Monitor& monitor : choice.monitors) {
    if (monitor.name == output) {
      choice.monitors = {monitor};
      return choice;
    }
    if (!monitor.name.empty()) names += (names.empty() ? "" : ", ") + monitor.name;
  }
  choice.monitors.clear();
  choice.missing = "there is no monitor named \"" + std::string(output) + "\" on this screen (" +
                   (names.empty() ? std::string("it names none") : "it has " + names) + ")";
  return choice;
}

std::vector<View> root_views(const std::vector<Monitor>& monitors, const Rect& screen) {
  const bool whole_screen = monitors.size() == 1 && monitors[0].rect.covers(screen);
  std::vector<View> views;
  for (const Monitor& monitor : monitors) {
    const Rect& r = monitor.rect;
    views.push_back({static_cast<int>(r.x), static_cast<int>(screen.height - r.y - r.height),
                     static_cast<int>(r.width), static_cast<int>(r.height), !whole_screen});
  }
  return views;
}

std::vector<MonitorView> monitor_views(const std::vector<MonitorSight>& monitors,
                                       const Rect& screen, bool own_windows) {
  std::vector<Monitor> placed;
  for (const MonitorSight& sight : monitors) placed.push_back(sight.monitor);
  const std::vector<View> on_root = root_views(placed, screen);
  std::vector<MonitorView> views;
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    const MonitorSight& sight = monitors[i];
    if (sight.covered || (own_windows && !sight.window_seen)) continue;
    views.push_back({i, own_windows ? View{0, 0, sight.window_width, sight.window_height}
                                    : on_root[i]});
  }
  return views;
}

std::vector<bool> monitors_covered(const std::vector<Monitor>& monitors,
                                   const std::vector<ScreenChild>& children) {
  std::vector<bool> covered;
  for (const Monitor& monitor : monitors)
    covered.push_back(child_covering_screen(monitor.rect, children) >= 0);
  return covered;
}

bool monitors_may_change(int event_type, unsigned long configured_window, unsigned long root,
                         int randr_event_base) {
  // RRScreenChangeNotify is the extension's first event (X11/extensions/randr.h).
  if (randr_event_base >= 0 && event_type == randr_event_base) return true;
  return event_type == ConfigureNotify && configured_window == root;
}

bool screen_asleep(Role role, const ScreenSight& sight) {
  switch (role) {
    case Role::root_window:
      return sight.saver_on || sight.dpms_off || sight.composited;
    case Role::x_desktop:
      return sight.saver_on || sight.dpms_off;
    default:
      return false;
  }
}

}  // namespace aerolume
