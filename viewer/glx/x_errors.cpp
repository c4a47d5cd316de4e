// A lost display: status 0, no message; the X errors that say the window is gone.
#include "viewer/glx/x_errors.h"

#include <X11/Xlib.h>
#include <unistd.h>

namespace aerolume {

namespace {

// Xlib exits with status 1 if this returns; _exit skips exit-time clean-up that would
// still talk to the display that has gone.
int on_display_lost(Display*) { _exit(0); }

}  // namespace

void end_quietly_on_lost_display() { XSetIOErrorHandler(on_display_lost); }

bool window_gone_error(int error_code, int glx_error_base) {
  // GLX's own error numbers, offsets from the extension's error base (the GLX protocol
  // header defines them but is not usable from client code).
  constexpr int glx_bad_drawable = 2;
  constexpr int glx_bad_current_window = 5;
  constexpr int glx_bad_window = 12;
  return error_code == BadWindow || error_code == BadDrawable ||
         error_code == glx_error_base + glx_bad_drawable ||
         error_code == glx_error_base + glx_bad_window ||
         error_code == glx_error_base + glx_bad_current_window;
}

}  // namespace aerolume
