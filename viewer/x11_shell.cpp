// The X11 + GLX shell: the scene drawn into an X window that another program owns (a
// screen-saver host, the root window). It adopts the window, makes a GLX context current
// on it with the window's own visual, and runs the shared frame until the window is
// destroyed (SIGTERM and SIGINT end the process through the stop signals main installs,
// a lost display through x11_errors). While nobody can see the window (it or an ancestor
// unmapped, or fully covered; the root, while one window covers the whole screen) it
// waits for events instead of drawing. Under a compositing manager a covered window may still show through, so it is
// drawn as if seen. Keys belong to the host here.
//
// Returns 0 when ended by the window going away, at any moment after it was first found;
// 1 with one line on stderr ("aerolume: ...") when the display cannot be opened, the
// window does not exist, its
// visual has no usable GL (OpenGL, RGBA and a depth buffer are required; a
// single-buffered visual is drawn with glFlush instead of a swap), the window is larger
// than GL can draw (at the start or once resized), or an unexpected X error arrives while
// drawing.

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "run/frame.h"
#include "run/failure.h"
#include "viewer/glx_swap_pace.h"
#include "viewer/poll_wait.h"
#include "viewer/shell.h"
#include "viewer/x11_errors.h"
#include "viewer/x11_window_watch.h"

namespace aerolume {

namespace {

// The first X error since the last reset_x_error(); Xlib calls the handler from inside
// whichever call reads the error, so it only records.
struct XErrorRecord {
  bool seen = false;
  unsigned char error_code = 0;
  unsigned char request_code = 0;
  XID resource = 0;
};
XErrorRecord x_error;

// The window drawn into. Other windows the shell asks about (its ancestors, the windows
// above it) may go away at any moment; the errors that say so are no fault, and the
// events tell the rest.
Window host_window = 0;

int record_x_error(Display*, XErrorEvent* event) {
  const bool no_such_window = event->error_code == BadWindow || event->error_code == BadDrawable;
  if (no_such_window && event->resourceid != host_window) return 0;
  if (!x_error.seen) x_error = {true, event->error_code, event->request_code, event->resourceid};
  return 0;
}

void reset_x_error() { x_error = {}; }

// Sends everything and waits for the replies, so that errors have arrived.
bool synced_error(Display* display) {
  XSync(display, False);
  return x_error.seen;
}

// Whether the window, which existed when first looked up, has been destroyed since.
bool window_gone(Display* display, Window window) {
  reset_x_error();
  XWindowAttributes attributes;
  return !XGetWindowAttributes(display, window, &attributes);
}

// The refusal of a window larger than GL can draw (GL_MAX_VIEWPORT_DIMS) with status 1,
// or 0 when it fits. The window is another program's, so it cannot be made smaller, and
// llvmpipe ends in SIGSEGV drawing into one as large as X allows (32767 x 32767): it is
// refused before its first frame, or once resized to it.
int too_large(Window window, int width, int height, int largest_width, int largest_height) {
  if (width <= largest_width && height <= largest_height) return 0;
  return report_failure("window 0x%lx is %dx%d, larger than OpenGL can draw here (%dx%d)",
                        window, width, height, largest_width, largest_height);
}

// Records X errors while the shell runs; puts the previous handler back.
class ErrorHandlerGuard {
 public:
  ErrorHandlerGuard() : old_(XSetErrorHandler(record_x_error)) { reset_x_error(); }
  ~ErrorHandlerGuard() { XSetErrorHandler(old_); }
  ErrorHandlerGuard(const ErrorHandlerGuard&) = delete;
  ErrorHandlerGuard& operator=(const ErrorHandlerGuard&) = delete;

 private:
  XErrorHandler old_;
};

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
struct XFreer {
  void operator()(void* data) const { XFree(data); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;
using VisualInfoPtr = std::unique_ptr<XVisualInfo, XFreer>;

// The GL context, released (and the window let go) when the shell ends.
class ContextGuard {
 public:
  ContextGuard(Display* display, GLXContext context) : display_(display), context_(context) {}
  ~ContextGuard() {
    glXMakeCurrent(display_, None, nullptr);
    glXDestroyContext(display_, context_);
  }
  ContextGuard(const ContextGuard&) = delete;
  ContextGuard& operator=(const ContextGuard&) = delete;

 private:
  Display* display_;
  GLXContext context_;
};

int glx_config(Display* display, XVisualInfo* visual, int attribute) {
  int value = 0;
  return glXGetConfig(display, visual, attribute, &value) == 0 ? value : 0;
}

// What the scene needs from the visual and does not find, or nullptr when it is usable.
// Any depth buffer is accepted; note that with only 16 bits the far cloud dome loses the
// depth test against the cleared buffer and the clouds do not show.
const char* missing_gl_feature(Display* display, XVisualInfo* visual) {
  if (!glx_config(display, visual, GLX_USE_GL)) return "OpenGL support";
  if (!glx_config(display, visual, GLX_RGBA)) return "RGBA colour";
  if (glx_config(display, visual, GLX_DEPTH_SIZE) <= 0) return "depth buffer";
  return nullptr;
}

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

// Blocks until the display connection has something to read (an event or an error),
// the power source has news, which is followed, or a signal arrives. The stop signals end
// the process from their handler; any other returns to the loop.
void wait_for_events(Display* display, const ShellRun& run) {
  XFlush(display);
  pollfd sources[] = {{ConnectionNumber(display), POLLIN, 0}, run.power.poll_entry()};
  poll_until(sources, run.power.deadline());
  follow_power(run);
}

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

  const Window window = run.options.role == Role::root_window
                            ? DefaultRootWindow(d)
                            : static_cast<Window>(run.options.window_id.value_or(0));
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(d, window, &attributes) || synced_error(d))
    return report_failure("there is no window 0x%lx on this display", window);
  // The window exists: from here on, its going away at any moment ends the run with 0.
  host_window = window;

  // Size changes, destruction, mapping and visibility arrive as events; other clients
  // may select them on the same window, so this does not disturb the host. They are
  // selected before the state they describe is read, so that no change in between is
  // lost.
  // The root is never reported covered: its children's changes are followed instead, to
  // find a window that covers the whole screen (see x11_window_watch.h).
  const long root_children = is_root_window(d, window) ? SubstructureNotifyMask : NoEventMask;
  XSelectInput(d, window, StructureNotifyMask | VisibilityChangeMask | root_children);
  AncestorWatch ancestors;
  ancestors.follow(d, window);
  WindowState state;
  if (!read_window_state(d, window, &state)) return 0;
  state.covered = covered_by_one_window(d, window) && !screen_composited(d);
  if (synced_error(d) && window_gone(d, window)) return 0;
  reset_x_error();

  XVisualInfo wanted{};
  wanted.visualid = XVisualIDFromVisual(attributes.visual);
  wanted.screen = XScreenNumberOfScreen(attributes.screen);
  int count = 0;
  const VisualInfoPtr visual(XGetVisualInfo(d, VisualIDMask | VisualScreenMask, &wanted, &count));
  if (!visual || count < 1)
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
