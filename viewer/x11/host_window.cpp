// The X11 + GLX shell: the scene drawn into an X window that another program owns (a
// screen-saver host). The root window and the X desktop, whose views are monitors, go on
// in monitors_shell.cpp on the display opened here. It adopts the window, makes a GLX
// context current on it with the window's own visual, and runs the shared frame until the
// window is destroyed (SIGTERM and SIGINT end the process through the stop signals main
// installs, a lost display through x11_errors). While nobody can see the window (it or an
// ancestor unmapped, or fully covered) it waits for events instead of drawing. Under a
// compositing manager a covered window may still show through, so it is drawn as if
// seen. Keys belong to the host here.
//
// Returns 0 when ended by the window going away, at any moment after it was first found;
// 1 with one line on stderr ("aerolume: ...") when the display cannot be opened, the
// window does not exist, its visual has no usable GL (OpenGL, RGBA and a depth buffer are
// required; a single-buffered visual is drawn with glFlush instead of a swap), the window
// is larger than GL can draw (at the start or once resized), or an unexpected X error
// arrives while drawing.

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>

#include "run/failure.h"
#include "run/frame.h"
#include "viewer/glx/swap_pace.h"
#include "viewer/glx/x_errors.h"
#include "viewer/pace/poll_wait.h"
#include "viewer/shell/shell.h"
#include "viewer/x11/session.h"
#include "viewer/x11/window_watch.h"
#include "viewer/x11/x11.h"

namespace aerolume {

namespace {

// The window as the one view of each frame: presented with a buffer swap, or with
// glFlush where the visual is single-buffered.
class WindowSurface final : public ViewSurfaces {
 public:
  WindowSurface(Display* display, Window window, bool double_buffered)
      : display_(display), window_(window), double_buffered_(double_buffered) {}
  bool begin_view(std::size_t) override { return true; }
  bool end_view(std::size_t) override {
    if (double_buffered_)
      glXSwapBuffers(display_, window_);
    else
      glFlush();
    return true;
  }

 private:
  Display* display_;
  Window window_;
  bool double_buffered_;
};

}  // namespace

int run_in_x_window(const ShellRun& run) {
  // The display that -display names, as GLUT would open it.
  if (run.command_line.display != nullptr) setenv("DISPLAY", run.command_line.display, 1);
  end_quietly_on_lost_display();
  const ErrorHandlerGuard error_handler;
  const DisplayPtr display(XOpenDisplay(nullptr));
  if (!display) {
    return report_failure("cannot open the X display \"%s\" (is DISPLAY set?)",
                          XDisplayName(nullptr));
  }
  Display* d = display.get();
  int glx_error_base = 0, glx_event_base = 0;
  if (!glXQueryExtension(d, &glx_error_base, &glx_event_base))
    return report_failure("the X display has no GLX extension, so OpenGL cannot draw on it");
  if (run.options.role != Role::host_window) return run_on_x_monitors(run, d, glx_error_base);

  const Window window = static_cast<Window>(run.options.window_id.value_or(0));
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(d, window, &attributes) || synced_error(d))
    return report_failure("there is no window 0x%lx on this display", window);
  // The window exists: from here on, its going away at any moment ends the run with 0.
  drawn_windows = {window};

  // Size changes, destruction, mapping and visibility arrive as events; other clients
  // may select them on the same window, so this does not disturb the host. They are
  // selected before the state they describe is read, so that no change in between is
  // lost.
  // The root is never reported covered: its children's changes are followed instead, to
  // find a window that covers the whole screen (see window_watch.h).
  const long root_children = is_root_window(d, window) ? SubstructureNotifyMask : NoEventMask;
  XSelectInput(d, window, StructureNotifyMask | VisibilityChangeMask | root_children);
  AncestorWatch ancestors;
  ancestors.follow(d, window);
  WindowState state;
  if (!read_window_state(d, window, &state)) return 0;
  state.covered = covered_by_one_window(d, window) && !screen_composited(d);
  if (synced_error(d) && window_gone(d, window)) return 0;
  reset_x_error();

  const VisualInfoPtr visual = window_visual(d, attributes);
  if (!visual)
    return report_failure("cannot look up the visual of window 0x%lx", window);
  if (const char* missing = missing_gl_feature(d, visual.get()))
    return report_failure("window 0x%lx cannot be drawn: its visual 0x%lx has no %s", window,
                          visual->visualid, missing);
  const bool double_buffered = glx_config(d, visual.get(), GLX_DOUBLEBUFFER) != 0;

  const GLXContext context = glXCreateContext(d, visual.get(), nullptr, True);
  if (context == nullptr || synced_error(d))
    return report_failure("cannot create an OpenGL context for window 0x%lx", window);
  const ContextGuard context_guard(d, context);
  if (!glXMakeCurrent(d, window, context) || synced_error(d)) {
    if (window_gone(d, window)) return 0;
    return report_failure("cannot draw with OpenGL on window 0x%lx", window);
  }

  GLint largest[2] = {0, 0};
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, largest);
  const int largest_width = largest[0], largest_height = largest[1];
  if (too_large(window, state.width, state.height, largest_width, largest_height)) return 1;

  start_viewer_scene(run.options);
  WindowSurface surface(d, window, double_buffered);
  GlxSwapPace swap_pace(d, window);

  for (;;) {
    if (!follow_window_events(d, window, &ancestors, &state)) return 0;
    if (x_error.seen) {
      if (window_gone_error(x_error.error_code, glx_error_base)) return 0;
      return report_failure("X error %d on request %d while drawing", x_error.error_code,
                            x_error.request_code);
    }
    if (!state.seen() || run.pacing.pace().stopped) {
      // Nobody can see the window, or the battery pace draws nothing: wait for that to
      // change instead of drawing. The scene stays where it stopped, and the wait is no
      // part of a timed step.
      wait_for_events(d, run);
      restart_frame_interval();
      continue;
    }
    if (too_large(window, state.width, state.height, largest_width, largest_height)) return 1;
    const View view{0, 0, state.width, state.height};
    if (double_buffered) swap_pace.follow(run.pacing);
    render_views({&view, 1}, surface);
    pace_after_frame(run);
  }
}

}  // namespace aerolume
