// The glut wing: the program's own window, through GLUT (full screen, or --windowed),
// with the keys that steer the camera.
#pragma once

#include "viewer/shell/shell.h"

namespace aerolume {

// Runs the scene in a window of its own until Esc, a close or the window's end.
int run_glut_window(const ShellRun& run);

}  // namespace aerolume
