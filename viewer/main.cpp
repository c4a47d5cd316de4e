// The viewer, aerolume: parses the command line and chooses a shell. The program's own
// window (GLUT) by default; another program's X window (--window-id, --root,
// XSCREENSAVER_WINDOW) through the X11 + GLX shell. GLUT's own options come first.
#include <cstdio>
#include <cstdlib>

#include "viewer/frame_pacing.h"
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

  const aerolume::ViewerOptions& options = parsed.options;
  aerolume::FramePacing pacing(options.fps, options.frame_cap());
  const aerolume::ShellRun run{options, pacing, command_line};
  return options.in_host_window() ? aerolume::run_in_x_window(run)
                                  : aerolume::run_glut_window(run);
}
