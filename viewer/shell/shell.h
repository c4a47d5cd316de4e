// The face every shell of the viewer shares. main parses the options, makes the pacing
// and hands both to the shell they choose; the shell makes a GL context current on its
// own kind of surface, starts the scene there, runs the shared frame and the pacing after
// each presented frame, and returns the exit status when its surface or the run ends.
#pragma once

#include "viewer/options/options.h"
#include "viewer/pace/frame_pacing.h"
#include "viewer/pace/power_watch.h"
#include "viewer/shell/frames.h"

namespace aerolume {

// What main hands a shell: the parsed options, the pacing, the command line as split
// from GLUT's own options (the GLUT window hands those to glutInit; -display names the
// display for every shell), and the watch on the power source that sets the pace.
struct ShellRun {
  const ViewerOptions& options;
  FramePacing& pacing;
  SplitCommandLine& command_line;
  PowerWatch& power;
};

// Handles what the power watch has received; when the pace changes, sets it. True when
// the pace changed (a shell waiting for a slot may start its next frame at once).
bool follow_power(const ShellRun& run);

// After a presented frame: the frame-rate line, then the wait for the next slot under a
// cap, following the power source meanwhile (a new pace ends the wait).
void pace_after_frame(const ShellRun& run);

}  // namespace aerolume
