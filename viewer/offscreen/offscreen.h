// The offscreen wing: the scene drawn on no surface, each frame published into a file
// that another process maps (--frames-to): a desktop's wallpaper plugin shows it as the
// screen's background while the scene is drawn here, in a process of its own.
#pragma once

#include "viewer/shell/shell.h"

namespace aerolume {

// Draws one scene into each of the options' frames files, at its size, at the shell's
// pace until a stop signal; paused from outside or by a battery pace of 0 it draws none,
// and a file whose reader sees nothing gets none, the last frame staying published. 1
// with one line when GL cannot draw offscreen at that size or a file cannot be made.
int run_frames_to_file(const ShellRun& run);

}  // namespace aerolume
