// The face every shell of the viewer shares. main parses the options, makes the pacing
// and hands both to the shell they choose; the shell makes a GL context current on its
// own kind of surface, starts the scene there, runs the shared frame and the pacing after
// each presented frame, and returns the exit status when its surface or the run ends.
#pragma once

#include <poll.h>

#include <array>
#include <vector>

#include "viewer/control/control_server.h"
#include "viewer/control/view_status.h"
#include "viewer/options/options.h"
#include "viewer/pace/frame_pacing.h"
#include "viewer/pace/poll_wait.h"
#include "viewer/pace/power_watch.h"
#include "viewer/shell/frames.h"

namespace aerolume {

// What main hands a shell: the parsed options, the pacing, the command line as split
// from GLUT's own options (the GLUT window hands those to glutInit), the watch on the
// power source that sets the pace, and the control from outside (the session bus).
struct ShellRun {
  const ViewerOptions& options;
  FramePacing& pacing;
  SplitCommandLine& command_line;
  PowerWatch& power;
  ControlServer& control;
};

// What the shells wait on besides their own connection: the power source and the control,
// each a descriptor (-1 without its bus) and a time by which it wants attention.
std::array<pollfd, 2> outside_entries(const ShellRun& run);
Deadline outside_deadline(const ShellRun& run);

// Handles what the power watch and the control have received; when the pace changes,
// sets it. True when the pace or the pause changed or a new scene was asked for (a shell
// waiting for a slot or asleep may start its next frame at once).
bool follow_outside(const ShellRun& run);

// Whether the frames are held: paused from outside, or a battery pace that draws none.
// The shell then waits instead of drawing, the scene stays where it stopped, and the wait
// is no part of a timed step.
bool frames_held(const ShellRun& run);

// The shell's views as it sees them now, each drawn or asleep with its reason, and the
// pace as set and as drawn, for the control to publish. A view that would be drawn reads
// as on battery while the battery pace draws none (as paused while paused, which the
// control says itself).
void report_views(const ShellRun& run, std::vector<ViewStatus> views);

// After a presented frame: the frame-rate line, then the wait for the next slot under a
// cap, following the power source and the control meanwhile (a new pace or a pause ends
// the wait).
void pace_after_frame(const ShellRun& run);

}  // namespace aerolume
