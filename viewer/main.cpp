// The viewer, aerolume: parses the command line and chooses a shell. The program's own
// window (GLUT) by default; another program's X window (--window-id, --root,
// XSCREENSAVER_WINDOW) through the X11 + GLX shell; a Wayland compositor's layer surfaces
// (--background, --overlay) through the Wayland shell. GLUT's own options come first.
#include <cstdio>
#include <cstdlib>

#include "viewer/frame_pacing.h"
#include "viewer/power_watch.h"
#include "viewer/shell.h"
#include "viewer/viewer_options.h"

int main(int argc, char** argv) {
  aerolume::SplitCommandLine command_line = aerolume::split_glut_options(argc, argv);
  aerolume::ParsedViewerCommandLine parsed = aerolume::parse_viewer_options(
      static_cast<int>(command_line.ours.size()), command_line.ours.data(),
      std::getenv("XSCREENSAVER_WINDOW"));
  if (command_line.problem.empty() && parsed.run)
    command_line.problem = aerolume::glut_options_problem(command_line, parsed.options);
  if (!command_line.problem.empty() && parsed.run) {
    std::fprintf(stderr, "aerolume: %s\n%s\n", command_line.problem.c_str(),
                 aerolume::usage_hint("aerolume").c_str());
    return aerolume::usage_error_status;
  }
  std::fputs(parsed.out_text.c_str(), stdout);
  std::fputs(parsed.err_text.c_str(), stderr);
  if (!parsed.run) return parsed.exit_status;

  aerolume::ViewerOptions& options = parsed.options;
  const char* wayland_display = std::getenv("WAYLAND_DISPLAY");
  const bool on_wayland = wayland_display != nullptr && *wayland_display != '\0';
  if (options.layer == aerolume::ViewerOptions::Layer::overlay && !on_wayland) {
    std::fputs("aerolume: --overlay needs a Wayland compositor with the layer shell "
               "(WAYLAND_DISPLAY is not set); on X, screen-saver hosts such as "
               "xscreensaver start aerolume -root\n",
               stderr);
    return 1;
  }
  // Without a compositor the desktop background is the X root window.
  if (options.layer == aerolume::ViewerOptions::Layer::background && !on_wayland) {
    options.layer = aerolume::ViewerOptions::Layer::none;
    options.root = true;
  }
  // The power source sets the pace from the start: on battery the first frame already
  // keeps the battery pace.
  aerolume::PowerWatch power(options.follows_power());
  aerolume::FramePacing pacing(options.fps, 0);
  aerolume::set_pace_and_step_clock(pacing, options.pace(power.state()));
  const aerolume::ShellRun run{options, pacing, command_line, power};
  if (options.on_layer_surfaces()) return aerolume::run_on_layer_surfaces(run);
  return options.in_host_window() ? aerolume::run_in_x_window(run)
                                  : aerolume::run_glut_window(run);
}
