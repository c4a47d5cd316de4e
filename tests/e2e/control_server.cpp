// A stand-in for a shell in the control's test: serves two views and a pace through the
// real ControlServer, dispatching in its own poll loop as a shell does, and says on stdout
// what each call changed ("paused 1", "paused 0", "new scene"). Ends with SIGTERM.
#include <csignal>
#include <cstdio>

#include "run/scene_setup.h"
#include "viewer/control/control_server.h"

namespace {
volatile std::sig_atomic_t stop = 0;
}

int main() {
  using namespace aerolume;
  std::signal(SIGTERM, [](int) { stop = 1; });
  ControlServer server(Role::wayland_background, "wayland-test");
  if (server.poll_entry().fd < 0) {
    std::fputs("control_server: no session bus\n", stderr);
    return 1;
  }
  // A name with a quote and a backslash, which the JSON must escape.
  server.set_views({{"HDMI-A-1", 1920, 1080, ViewState::full_screen},
                    {"DP-\"1\"\\", 2560, 1440, ViewState::drawn}});
  server.set_pace(30, 29.84);
  while (stop == 0) {
    pollfd entry = server.poll_entry();
    poll_until({&entry, 1}, server.deadline());
    const bool paused = server.paused();
    if (!server.dispatch()) continue;
    if (server.paused() != paused) std::printf("paused %d\n", server.paused() ? 1 : 0);
    if (take_fresh_scene_request()) std::puts("new scene");
    std::fflush(stdout);
  }
  return 0;
}
