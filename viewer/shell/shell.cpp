// What the viewer's shells share around their frames: the power source and the control
// followed, the frames held, the views reported, and the pace after a frame.
#include "viewer/shell/shell.h"

#include <utility>

namespace aerolume {

std::array<pollfd, 2> outside_entries(const ShellRun& run) {
  return {run.power.poll_entry(), run.control.poll_entry()};
}

Deadline outside_deadline(const ShellRun& run) {
  return earlier(run.power.deadline(), run.control.deadline());
}

bool follow_outside(const ShellRun& run) {
  const bool controlled = run.control.dispatch();
  if (!run.power.dispatch()) return controlled;
  const Pace before = run.pacing.pace();
  run.pacing.set_pace(run.options.pace(run.power.state()));
  return controlled || !(run.pacing.pace() == before);
}

bool frames_held(const ShellRun& run) {
  return run.control.paused() || run.pacing.pace().stopped;
}

void report_views(const ShellRun& run, std::vector<ViewStatus> views) {
  if (run.pacing.pace().stopped)
    for (ViewStatus& view : views)
      if (view.state == ViewState::drawn) view.state = ViewState::battery;
  run.control.set_views(std::move(views));
  run.control.set_pace(run.pacing.pace().max_fps, run.pacing.drawn_fps());
}

void pace_after_frame(const ShellRun& run) {
  const PacingClock::time_point next = run.pacing.next_start_after_frame();
  for (;;) {
    if (follow_outside(run)) return;
    if (PacingClock::now() >= next) return;
    std::array<pollfd, 2> buses = outside_entries(run);
    poll_until(buses, earlier(next, outside_deadline(run)));
  }
}

}  // namespace aerolume
