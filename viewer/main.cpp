// The viewer, aerolume: reads the command line and the environment, which decide the role,
// and hands the run to that role's shell. The program's own window (GLUT) by default;
// another program's X window, the root window or the X desktop (--window-id, --root,
// XSCREENSAVER_WINDOW, --background on X) through the X11 + GLX shell; a Wayland
// compositor's layer surfaces (--background, --overlay) through the Wayland shell; frames
// drawn offscreen into a file a desktop's plugin maps (--frames-to) through the offscreen
// shell. GLUT's own options come first.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "viewer/control/control_client.h"
#include "viewer/glut/glut.h"
#include "viewer/offscreen/offscreen.h"
#include "viewer/options/options.h"
#include "viewer/pace/frame_pacing.h"
#include "viewer/pace/power_watch.h"
#include "viewer/shell/shell.h"
#include "viewer/shell/stop_signals.h"
#include "viewer/wayland/wayland.h"
#include "viewer/x11/x11.h"

int main(int argc, char** argv) {
  using aerolume::Role;
  if (argc > 1 && std::strcmp(argv[1], "--control") == 0) return aerolume::run_control(argc, argv);
  aerolume::ParsedViewerCommandLine parsed =
      aerolume::read_viewer_command_line(argc, argv, aerolume::environment_of_process());
  std::fputs(parsed.out_text.c_str(), stdout);
  std::fputs(parsed.err_text.c_str(), stderr);
  if (!parsed.should_run) return parsed.exit_status;

  // Before any shell opens its display: a stop during start-up ends the run as later.
  aerolume::install_stop_signals();
  // -display names the X display that GLUT and the X shells open, read once, as DISPLAY.
  if (parsed.command_line.display != nullptr) setenv("DISPLAY", parsed.command_line.display, 1);
  const aerolume::ViewerOptions& options = parsed.options;
  // The power source sets the pace from the start: on battery the first frame already
  // keeps the battery pace.
  aerolume::PowerWatch power(options.follows_power());
  aerolume::FramePacing pacing(options.fps, options.pace(power.state()));
  // Answers on the session bus from the start: a pause asked before the first frame holds
  // it too. The display tells this program from others on the same session.
  const char* display = std::getenv(options.on_layer_surfaces() ? "WAYLAND_DISPLAY" : "DISPLAY");
  aerolume::ControlServer control(options.role, display != nullptr ? display : "");
  const aerolume::ShellRun run{options, pacing, parsed.command_line, power, control};
  switch (options.role) {
    case Role::wayland_background:
    case Role::wayland_overlay:
      return aerolume::run_on_layer_surfaces(run);
    case Role::host_window:
    case Role::root_window:
    case Role::x_desktop:
      return aerolume::run_on_x(run);
    case Role::frames_to_file:
      return aerolume::run_frames_to_file(run);
    case Role::own_window:
      break;
  }
  return aerolume::run_glut_window(run);
}
