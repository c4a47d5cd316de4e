// One monitor of the root window or of the X desktop, as it is drawn: a viewport of the
// root, or a desktop window of its own over the monitor with a GL context bound to that
// window. A record is made, moved and dropped here, its window and context with it.
#pragma once

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <optional>

#include "viewer/glx/partial_present.h"
#include "viewer/x11/monitors.h"
#include "viewer/x11/session.h"
#include "viewer/x11/window_watch.h"

namespace aerolume {

struct MonitorRecord {
  Monitor monitor;
  Window window = None;          // the X desktop's window over the monitor; None on the root
  GLXContext context = nullptr;  // bound to that window, from its first frame on
  WindowState state;             // that window's size, mapping and the server's covering
  bool covered = false;          // one other window covers the monitor, judged from rectangles
  std::string cover_program;     // the program whose desktop window covers it, if one does
  Window parent = None;  // the desktop window's parent as last followed (a frame, the root)
  std::optional<GlxPresent> present;  // how the desktop window shows partial frames
};

// How the X desktop's windows are made: children of the root, with the session's visual
// and this colormap, kept below by an EWMH window manager (managed) or by the program.
struct DesktopWindows {
  Window root = None;
  Colormap colormap = None;
  bool managed = false;
};

// The record of a monitor: on the X desktop (desktop given) with its window made over it,
// drawn into from now on, and that window's state read; on the root with no window.
MonitorRecord make_monitor(XSession& session, const Monitor& monitor,
                           const std::optional<DesktopWindows>& desktop);

// The monitor placed anew: its desktop window moved onto it.
void move_monitor(XSession& session, MonitorRecord& record, const Monitor& monitor);

// The record's desktop window made current with its context. A window without one takes
// the session's first context where no other window holds it (first_context_free), else
// a new one sharing the first's objects, given the scene's render state and lights.
bool make_monitor_current(XSession& session, MonitorRecord& record, bool first_context_free);

// The record's context let go: destroyed, unless it is the session's first, which holds
// the scene's start and waits for the next new window.
void release_monitor_context(XSession& session, MonitorRecord& record);

// The record dropped for a monitor gone: its context let go and its window destroyed by
// the program, which is no end of the run.
void drop_monitor(XSession& session, MonitorRecord& record);

}  // namespace aerolume
