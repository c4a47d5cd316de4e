// The monitors of an X screen as the X desktop and the root window draw them, and when
// they draw nothing: pure decisions on what the server said (screen_watch.h
// asks it), kept apart from Xlib so that they can be tested alone.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "run/frame.h"
#include "viewer/options/options.h"
#include "viewer/x11/rects.h"

namespace aerolume {

// A monitor as RandR 1.5 or Xinerama names and places it on the screen.
struct Monitor {
  std::string name;  // RandR's name ("DUMMY0", "MonB"); Xinerama's heads have none
  Rect rect;
  bool operator==(const Monitor&) const = default;
};

// The monitors drawn: those found, each held to the screen, the empty and the repeated
// ones (mirrored heads) left out; the whole screen where none is found. With an output
// name, the one monitor of that name; none of it: an empty list and the line that says so.
struct MonitorChoice {
  std::vector<Monitor> monitors;
  std::string missing;  // set when no monitor has the --output name
};
MonitorChoice choose_monitors(const std::vector<Monitor>& found, const Rect& screen,
                              std::string_view output);

// A monitor as a view of the root window, which is as large as the screen: GL counts rows
// from the bottom. Every such view shares the drawable unless one monitor fills the
// screen, so that nothing is drawn outside the monitors.
std::vector<View> root_views(const std::vector<Monitor>& monitors, const Rect& screen);

// A monitor as a frame finds it: whether one other window covers it and, on the X
// desktop, whether its own window can be seen (mapped, not reported covered) and its size.
struct MonitorSight {
  Monitor monitor;
  bool covered = false;
  bool window_seen = true;
  int window_width = 0, window_height = 0;
};
// The views of a frame, each with the index of its monitor: one for every monitor nobody
// hides, in order; on the root (own_windows false) as root_views places them, on the X
// desktop the whole of that monitor's window. Empty when none is seen: no frame at all.
struct MonitorView {
  std::size_t monitor;
  View view;
  bool operator==(const MonitorView&) const = default;
};
std::vector<MonitorView> monitor_views(const std::vector<MonitorSight>& monitors,
                                       const Rect& screen, bool own_windows);

// Which monitors one window alone covers, each judged as the root's cover is
// (child_covering_screen): the root's children, the program's own windows left out.
std::vector<bool> monitors_covered(const std::vector<Monitor>& monitors,
                                   const std::vector<ScreenChild>& children);

// Whether an event may have changed the monitors, so that they are read afresh: RandR's
// screen change (randr_event_base: the extension's first event, -1 without RandR), or a
// ConfigureNotify of the root itself (xrandr --setmonitor sends only that). Those of the
// root's children, which the root's SubstructureNotify brings too, change no monitor.
// The event is given by its type and, for a ConfigureNotify, the window configured.
bool monitors_may_change(int event_type, unsigned long configured_window, unsigned long root,
                         int randr_event_base);

// What the screen says of being seen, from the server's events (and DPMSInfo, which
// sends none).
struct ScreenSight {
  bool saver_on = false;    // MIT-SCREEN-SAVER: the server's own saver blanks the screen
  bool dpms_off = false;    // DPMS: the monitors are in standby, suspend or off
  bool composited = false;  // a compositing manager owns the screen (_NET_WM_CM_S<n>)
};

// Whether a role draws nothing at all for what the screen says: the desktop and the root
// window sleep while the server's saver or DPMS blanks the screen, the root window while a
// compositing manager owns it too (what is drawn there is never shown, or covers every
// window). A host's window is the saver itself and draws whenever it is seen.
bool screen_asleep(Role role, const ScreenSight& sight);

}  // namespace aerolume
