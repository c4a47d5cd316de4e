// The x11 wing: the scene on X windows through Xlib and GLX, as another program's window
// (a screen-saver host's), on the root window, or as the X desktop's windows, one per
// monitor.
#pragma once

#include "viewer/shell/shell.h"

namespace aerolume {

// Runs the scene in the X role the options name until its window goes or the run ends.
int run_on_x(const ShellRun& run);

}  // namespace aerolume
