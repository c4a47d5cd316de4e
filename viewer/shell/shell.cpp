// What the viewer's shells share after a frame: the pace that follows the power source.
#include "viewer/shell/shell.h"

#include "viewer/pace/poll_wait.h"

namespace aerolume {

bool follow_power(const ShellRun& run) {
  if (!run.power.dispatch()) return false;
  const Pace before = run.pacing.pace();
  run.pacing.set_pace(run.options.pace(run.power.state()));
  return !(run.pacing.pace() == before);
}

void pace_after_frame(const ShellRun& run) {
  const PacingClock::time_point next = run.pacing.next_start_after_frame();
  for (;;) {
    if (follow_power(run)) return;
    if (PacingClock::now() >= next) return;
    pollfd bus = run.power.poll_entry();
    poll_until({&bus, 1}, earlier(next, run.power.deadline()));
  }
}

}  // namespace aerolume
