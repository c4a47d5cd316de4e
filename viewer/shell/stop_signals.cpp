// SIGTERM and SIGINT: status 0, no message; SIGUSR1: a fresh scene.
#include "viewer/shell/stop_signals.h"

#include <unistd.h>

#include <csignal>

#include "run/scene_setup.h"

namespace aerolume {

namespace {

// _exit is safe in a signal handler, and skips exit-time clean-up that might still talk
// to a display server that has gone.
void end_now(int) { _exit(0); }

void ask_for_fresh_scene(int) { request_fresh_scene(); }

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
  // Without SA_RESTART: the wait the signal interrupts returns to its loop.
  handle(SIGUSR1, ask_for_fresh_scene);
  handle(SIGPIPE, SIG_IGN);
  // A blocked mask outlives exec: a host that starts the program with these signals
  // blocked would otherwise leave each one pending for good.
  sigset_t handled;
  sigemptyset(&handled);
  for (const int signal : {SIGTERM, SIGINT, SIGUSR1}) sigaddset(&handled, signal);
  sigprocmask(SIG_UNBLOCK, &handled, nullptr);
}

}  // namespace aerolume
