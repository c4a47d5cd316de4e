// SIGTERM, SIGINT and a lost display: status 0, no message.
#include "viewer/shell_ends.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <csignal>

namespace aerolume {

namespace {

// _exit is safe in a signal handler, and skips exit-time clean-up that might still talk
// to a display server that has gone.
void end_now(int) { _exit(0); }

// Xlib exits with status 1 if this returns.
int on_display_lost(Display*) { _exit(0); }

void handle(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

}  // namespace

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

void end_quietly_on_stop_or_lost_display() {
  handle(SIGTERM, end_now);
  handle(SIGINT, end_now);
  handle(SIGPIPE, SIG_IGN);
  XSetIOErrorHandler(on_display_lost);
}

}  // namespace aerolume
