// A monitor's record: its desktop window and GL context made, moved and dropped.
#include "viewer/x11/monitor.h"

#include "render/render_state.h"
#include "viewer/x11/desktop_window.h"

namespace aerolume {

MonitorRecord make_monitor(XSession& session, const Monitor& monitor,
                           const std::optional<DesktopWindows>& desktop) {
  MonitorRecord record;
  record.monitor = monitor;
  if (!desktop) return record;
  Display* display = session.display();
  record.window = create_desktop_window(display, desktop->root, *session.visual(),
                                        desktop->colormap, monitor.rect, desktop->managed);
  session.draw_into(record.window);
  read_window_state(display, record.window, &record.state);
  return record;
}

void move_monitor(XSession& session, MonitorRecord& record, const Monitor& monitor) {
  record.monitor = monitor;
  if (record.window != None) place_desktop_window(session.display(), record.window, monitor.rect);
}

// A context made current on one window after another costs llvmpipe more than drawing the
// view (a frame of two monitors took three times the sum of each alone), while a context
// stays bound to its window: so each desktop window keeps one of its own.
bool make_monitor_current(XSession& session, MonitorRecord& record, bool first_context_free) {
  Display* display = session.display();
  if (record.context == nullptr && first_context_free) record.context = session.first_context();
  if (record.context != nullptr)
    return glXMakeCurrent(display, record.window, record.context) == True;
  const GLXContext context = session.create_shared_context();
  if (context == nullptr) return false;
  if (glXMakeCurrent(display, record.window, context) != True) {
    glXDestroyContext(display, context);
    return false;
  }
  init_render_state();
  init_lighting();
  record.context = context;
  return true;
}

void release_monitor_context(XSession& session, MonitorRecord& record) {
  if (record.context != nullptr && record.context != session.first_context())
    glXDestroyContext(session.display(), record.context);
  record.context = nullptr;
}

void drop_monitor(XSession& session, MonitorRecord& record) {
  if (record.window == None) return;
  Display* display = session.display();
  if (glXGetCurrentDrawable() == record.window) glXMakeCurrent(display, None, nullptr);
  release_monitor_context(session, record);
  session.stop_drawing_into(record.window);
  XDestroyWindow(display, record.window);
}

}  // namespace aerolume
