// What the X11 + GLX shells share: the record of X errors (those saying that a window
// drawn into has gone are told apart), the display, visual and context kept for the run,
// the visual's GL features, and the one wait of their loops.
#pragma once

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <memory>
#include <vector>

#include "viewer/glx/x_free.h"
#include "viewer/pace/poll_wait.h"
#include "viewer/shell/shell.h"

namespace aerolume {

// The first X error since the last reset_x_error(); Xlib calls the handler from inside
// whichever call reads the error, so it only records.
struct XErrorRecord {
  bool seen = false;
  unsigned char error_code = 0;
  unsigned char request_code = 0;
  XID resource = 0;
};
extern XErrorRecord x_error;

// The windows drawn into. Other windows the shells ask about (ancestors, the windows
// above, the root's children) may go away at any moment; the errors that say so are no
// fault, and the events tell the rest.
extern std::vector<Window> drawn_windows;

void reset_x_error();
// Sends everything and waits for the replies, so that errors have arrived.
bool synced_error(Display* display);
// Whether the window, which existed when first looked up, has been destroyed since.
bool window_gone(Display* display, Window window);

// The refusal of a window larger than GL can draw (GL_MAX_VIEWPORT_DIMS) with status 1,
// or 0 when it fits.
int too_large(Window window, int width, int height, int largest_width, int largest_height);

// Records X errors while the shell runs; puts the previous handler back.
class ErrorHandlerGuard {
 public:
  ErrorHandlerGuard();
  ~ErrorHandlerGuard();
  ErrorHandlerGuard(const ErrorHandlerGuard&) = delete;
  ErrorHandlerGuard& operator=(const ErrorHandlerGuard&) = delete;

 private:
  XErrorHandler old_;
};

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
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

// The visual a window was made with, as Xlib describes it; null where none is found.
VisualInfoPtr window_visual(Display* display, const XWindowAttributes& attributes);

int glx_config(Display* display, XVisualInfo* visual, int attribute);

// What the scene needs from the visual and does not find, or nullptr when it is usable.
const char* missing_gl_feature(Display* display, XVisualInfo* visual);

// Blocks until the display connection has something to read (an event or an error),
// the power source has news, which is followed, the deadline passes or a signal arrives.
// The stop signals end the process from their handler; any other returns to the loop.
void wait_for_events(Display* display, const ShellRun& run, Deadline deadline = std::nullopt);

// The root window and the X desktop (monitors_shell.cpp), on the display the X11
// shell opened, its GLX extension's error base given.
int run_on_x_monitors(const ShellRun& run, Display* display, int glx_error_base);

}  // namespace aerolume
