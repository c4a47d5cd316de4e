// The X session: display, errors, visual, contexts and the wait.
#include "viewer/x11/session.h"

#include <GL/gl.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <array>

#include "run/failure.h"
#include "viewer/glx/x_errors.h"

namespace aerolume {

namespace {

// Xlib's error handler is given no user data, and there is one handler for the process:
// it finds the running session here. One session runs at a time; open() sets this, the
// session's end clears it.
XSession* running_session = nullptr;

int glx_config(Display* display, XVisualInfo* visual, int attribute) {
  int value = 0;
  return glXGetConfig(display, visual, attribute, &value) == 0 ? value : 0;
}

}  // namespace

int XSession::record_error(Display*, XErrorEvent* event) {
  XSession* session = running_session;
  if (session == nullptr) return 0;
  const bool no_such_window = event->error_code == BadWindow || event->error_code == BadDrawable;
  if (no_such_window && !session->drawn(event->resourceid)) return 0;
  if (!session->error_.seen)
    session->error_ = {true, event->error_code, event->request_code, event->resourceid};
  return 0;
}

std::optional<int> XSession::open() {
  end_quietly_on_lost_display();
  running_session = this;
  previous_handler_ = XSetErrorHandler(record_error);
  handler_installed_ = true;
  reset_error();
  display_.reset(XOpenDisplay(nullptr));
  if (!display_) {
    return report_failure("cannot open the X display \"%s\" (is DISPLAY set?)",
                          XDisplayName(nullptr));
  }
  int glx_event_base = 0;
  if (!glXQueryExtension(display_.get(), &glx_error_base_, &glx_event_base))
    return report_failure("the X display has no GLX extension, so OpenGL cannot draw on it");
  return std::nullopt;
}

XSession::~XSession() {
  if (first_context_ != nullptr) {
    glXMakeCurrent(display_.get(), None, nullptr);
    glXDestroyContext(display_.get(), first_context_);
  }
  display_.reset();
  if (handler_installed_) XSetErrorHandler(previous_handler_);
  if (running_session == this) running_session = nullptr;
}

bool XSession::synced_error() {
  XSync(display_.get(), False);
  return error_.seen;
}

bool XSession::window_gone(Window window) {
  reset_error();
  XWindowAttributes attributes;
  return !XGetWindowAttributes(display_.get(), window, &attributes);
}

std::optional<int> XSession::error_end() const {
  if (!error_.seen) return std::nullopt;
  if (window_gone_error(error_.error_code, glx_error_base_)) return 0;
  return report_failure("X error %d on request %d while drawing", error_.error_code,
                        error_.request_code);
}

void XSession::stop_drawing_into(Window window) {
  drawn_windows_.erase(std::remove(drawn_windows_.begin(), drawn_windows_.end(), window),
                       drawn_windows_.end());
}

bool XSession::drawn(Window window) const {
  return std::find(drawn_windows_.begin(), drawn_windows_.end(), window) != drawn_windows_.end();
}

void XSession::use_visual(VisualInfoPtr visual) {
  visual_ = std::move(visual);
  double_buffered_ = glx_config(display_.get(), visual_.get(), GLX_DOUBLEBUFFER) != 0;
}

bool XSession::create_first_context() {
  first_context_ = glXCreateContext(display_.get(), visual_.get(), nullptr, True);
  return first_context_ != nullptr && !synced_error();
}

bool XSession::make_current(Window drawable) {
  if (!glXMakeCurrent(display_.get(), drawable, first_context_) || synced_error()) return false;
  if (!largest_read_) largest_.read_largest();
  largest_read_ = true;
  return true;
}

GLXContext XSession::create_shared_context() const {
  return glXCreateContext(display_.get(), visual_.get(), first_context_, True);
}

// The window may be another program's, which cannot be made smaller, and llvmpipe ends in
// SIGSEGV drawing into one as large as X allows (32767 x 32767): it is refused before its
// first frame, or once resized to it.
int XSession::too_large(Window window, int width, int height) const {
  const int largest_width = largest_.largest_width(), largest_height = largest_.largest_height();
  if (width <= largest_width && height <= largest_height) return 0;
  return report_failure("window 0x%lx is %dx%d, larger than OpenGL can draw here (%dx%d)",
                        window, width, height, largest_width, largest_height);
}

void XSession::wait_for_events(const ShellRun& run, Deadline deadline) const {
  // Flushed, and no wait while events wait in Xlib's queue: a reply read since the loop
  // took its events (a window's attributes, its parent) brings the events before it in
  // with it, where poll cannot see them, and the loop would sleep past them.
  if (XEventsQueued(display_.get(), QueuedAfterFlush) == 0) {
    const std::array<pollfd, 2> outside = outside_entries(run);
    pollfd sources[] = {{ConnectionNumber(display_.get()), POLLIN, 0}, outside[0], outside[1]};
    poll_until(sources, earlier(outside_deadline(run), deadline));
  }
  follow_outside(run);
}

VisualInfoPtr window_visual(Display* display, const XWindowAttributes& attributes) {
  XVisualInfo wanted{};
  wanted.visualid = XVisualIDFromVisual(attributes.visual);
  wanted.screen = XScreenNumberOfScreen(attributes.screen);
  int count = 0;
  VisualInfoPtr visual(XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &wanted, &count));
  return count > 0 ? std::move(visual) : nullptr;
}

// Any depth buffer is accepted; note that with only 16 bits the far cloud dome loses the
// depth test against the cleared buffer and the clouds do not show.
const char* missing_gl_feature(Display* display, XVisualInfo* visual) {
  if (!glx_config(display, visual, GLX_USE_GL)) return "OpenGL support";
  if (!glx_config(display, visual, GLX_RGBA)) return "RGBA colour";
  if (glx_config(display, visual, GLX_DEPTH_SIZE) <= 0) return "depth buffer";
  return nullptr;
}

}  // namespace aerolume
