// SIGTERM and SIGINT: status 0, no message.
#include "viewer/stop_signals.h"

#include <unistd.h>

#include <csignal>

namespace aerolume {

namespace {

// _exit is safe in a signal handler, and skips exit-time clean-up that might still talk
// to a display server that has gone.
void end_now(int) { _exit(0); }

void handle(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

}  // namespace

void install_stop_signals() {
  handle(SIGTERM, end_now);
  handle(SIGINT, end_now);
  handle(SIGPIPE, SIG_IGN);
}

}  // namespace aerolume
