// The X errors, visuals and wait that the X11 + GLX shells share.
#include "viewer/x11/session.h"

#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>

#include "run/failure.h"

namespace aerolume {

XErrorRecord x_error;
std::vector<Window> drawn_windows;

namespace {

int record_x_error(Display*, XErrorEvent* event) {
  const bool no_such_window = event->error_code == BadWindow || event->error_code == BadDrawable;
  if (no_such_window && std::find(drawn_windows.begin(), drawn_windows.end(),
                                  event->resourceid) == drawn_windows.end())
    return 0;
  if (!x_error.seen) x_error = {true, event->error_code, event->request_code, event->resourceid};
  return 0;
}

}  // namespace

void reset_x_error() { x_error = {}; }

bool synced_error(Display* display) {
  XSync(display, False);
  return x_error.seen;
}

bool window_gone(Display* display, Window window) {
  reset_x_error();
  XWindowAttributes attributes;
  return !XGetWindowAttributes(display, window, &attributes);
}

// The window may be another program's, which cannot be made smaller, and llvmpipe ends in
// SIGSEGV drawing into one as large as X allows (32767 x 32767): it is refused before its
// first frame, or once resized to it.
int too_large(Window window, int width, int height, int largest_width, int largest_height) {
  if (width <= largest_width && height <= largest_height) return 0;
  return report_failure("window 0x%lx is %dx%d, larger than OpenGL can draw here (%dx%d)",
                        window, width, height, largest_width, largest_height);
}

ErrorHandlerGuard::ErrorHandlerGuard() : old_(XSetErrorHandler(record_x_error)) {
  reset_x_error();
}
ErrorHandlerGuard::~ErrorHandlerGuard() { XSetErrorHandler(old_); }

VisualInfoPtr window_visual(Display* display, const XWindowAttributes& attributes) {
  XVisualInfo wanted{};
  wanted.visualid = XVisualIDFromVisual(attributes.visual);
  wanted.screen = XScreenNumberOfScreen(attributes.screen);
  int count = 0;
  VisualInfoPtr visual(XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &wanted, &count));
  return count > 0 ? std::move(visual) : nullptr;
}

int glx_config(Display* display, XVisualInfo* visual, int attribute) {
  int value = 0;
  return glXGetConfig(display, visual, attribute, &value) == 0 ? value : 0;
}

// Any depth buffer is accepted; note that with only 16 bits the far cloud dome loses the
// depth test against the cleared buffer and the clouds do not show.
const char* missing_gl_feature(Display* display, XVisualInfo* visual) {
  if (!glx_config(display, visual, GLX_USE_GL)) return "OpenGL support";
  if (!glx_config(display, visual, GLX_RGBA)) return "RGBA colour";
  if (glx_config(display, visual, GLX_DEPTH_SIZE) <= 0) return "depth buffer";
  return nullptr;
}

void wait_for_events(Display* display, const ShellRun& run, Deadline deadline) {
  // Flushed, and no wait while events wait in Xlib's queue: a reply read since the loop
  // took its events (a window's attributes, its parent) brings the events before it in
  // with it, where poll cannot see them, and the loop would sleep past them.
  if (XEventsQueued(display, QueuedAfterFlush) == 0) {
    pollfd sources[] = {{ConnectionNumber(display), POLLIN, 0}, run.power.poll_entry()};
    poll_until(sources, earlier(run.power.deadline(), deadline));
  }
  follow_power(run);
}

}  // namespace aerolume
