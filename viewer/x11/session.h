// The X session of a run: the display the x11 wing opened, GLX's error base, the record of
// X errors (those saying that a window drawn into has gone are told apart), the windows
// drawn into, the visual they are drawn with, the GL contexts, and the one wait of the
// loop (each drawable presents itself: viewer/glx/partial_present.h). One session a run,
// whatever the role.
#pragma once

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <memory>
#include <optional>
#include <vector>

#include "viewer/glx/x_free.h"
#include "viewer/pace/poll_wait.h"
#include "viewer/shell/frames.h"
#include "viewer/shell/shell.h"

namespace aerolume {

// The first X error since the last reset_error(); Xlib calls the handler from inside
// whichever call reads the error, so it only records.
struct XErrorRecord {
  bool seen = false;
  unsigned char error_code = 0;
  unsigned char request_code = 0;
  XID resource = 0;
};

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;
using VisualInfoPtr = std::unique_ptr<XVisualInfo, XFreer>;

class XSession {
 public:
  XSession() = default;
  // The contexts released, the display closed, the previous error handler back.
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  // Opens the display (DISPLAY, which -display sets in main), with the session recording X
  // errors and a lost display ending the process quietly (x_errors.h). An exit status,
  // with one line, when the display cannot be opened or has no GLX; none to go on.
  std::optional<int> open();
  Display* display() const { return display_.get(); }

  // The errors.
  const XErrorRecord& error() const { return error_; }
  void reset_error() { error_ = {}; }
  // Sends everything and waits for the replies, so that errors have arrived.
  bool synced_error();
  // Whether the window, which existed when first looked up, has been destroyed since.
  bool window_gone(Window window);
  // How an X error met while drawing ends the run: 0 when it says that a window drawn
  // into is gone, 1 with a line for any other; none while no error has come.
  std::optional<int> error_end() const;

  // The windows drawn into. Other windows the shells ask about (ancestors, the windows
  // above, the root's children) may go away at any moment; the errors that say so are no
  // fault, and the events tell the rest.
  void draw_into(Window window) { drawn_windows_.push_back(window); }
  void stop_drawing_into(Window window);
  bool drawn(Window window) const;

  // The visual every window of the run is drawn with (checked by missing_gl_feature).
  void use_visual(VisualInfoPtr visual);
  XVisualInfo* visual() const { return visual_.get(); }
  bool double_buffered() const { return double_buffered_; }

  // The first GL context, on the visual: false when GLX refuses it.
  bool create_first_context();
  GLXContext first_context() const { return first_context_; }
  // The first context made current on the drawable; the largest size GL can draw is read
  // then, once. False when GLX refuses it.
  bool make_current(Window drawable);
  // A context sharing the first's display lists and cloud texture, or null.
  GLXContext create_shared_context() const;

  // The refusal of a window larger than GL can draw (GL_MAX_VIEWPORT_DIMS) with status 1,
  // or 0 when it fits.
  int too_large(Window window, int width, int height) const;

  // Blocks until the display connection has something to read (an event or an error),
  // the power source or the control has news, which is followed, the deadline passes or
  // a signal arrives. The stop signals end the process from their handler; any other
  // returns.
  void wait_for_events(const ShellRun& run, Deadline deadline = std::nullopt) const;

 private:
  static int record_error(Display* display, XErrorEvent* event);

  bool handler_installed_ = false;
  XErrorHandler previous_handler_ = nullptr;
  DisplayPtr display_;
  int glx_error_base_ = 0;
  XErrorRecord error_;
  std::vector<Window> drawn_windows_;
  VisualInfoPtr visual_;
  bool double_buffered_ = false;
  GLXContext first_context_ = nullptr;
  SurfaceSize largest_;  // only the largest size is kept: the views' sizes vary
  bool largest_read_ = false;
};

// The visual a window was made with, as Xlib describes it; null where none is found.
VisualInfoPtr window_visual(Display* display, const XWindowAttributes& attributes);

// What the scene needs from the visual and does not find, or nullptr when it is usable.
const char* missing_gl_feature(Display* display, XVisualInfo* visual);

}  // namespace aerolume
