// The offscreen wing: the scene drawn on no surface, each frame published into a file
// that another process maps (--frames-to): a desktop's wallpaper plugin shows it as the
// screen's background while the scene is drawn here, in a process of its own.
#pragma once

#include "viewer/shell/shell.h"

namespace aerolume {

// Draws frames of the options' size into their file at the shell's pace until a stop
// signal; paused from outside or by a battery pace of 0, it draws none and the last
// frame stays published. 1 with one line when GL cannot draw offscreen at that size or
// the file cannot be made.
int run_frames_to_file(const ShellRun& run);

}  // namespace aerolume
