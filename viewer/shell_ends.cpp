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

void end_quietly_on_stop_or_lost_display() {
  handle(SIGTERM, end_now);
  handle(SIGINT, end_now);
  handle(SIGPIPE, SIG_IGN);
  XSetIOErrorHandler(on_display_lost);
}

}  // namespace aerolume
