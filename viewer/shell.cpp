// What the viewer's shells share around the frame: the start of the scene, and the pace
// that follows the power source.
#include "viewer/shell.h"

#include <poll.h>

#include <chrono>

#include "core/state.h"
#include "run/scene_setup.h"

namespace aerolume {

void start_viewer_scene(const ViewerOptions& options) {
  start_scene(options.scene);
  if (options.windowed) fullscreen = false;
}

bool follow_power(const ShellRun& run) {
  if (!run.power.dispatch()) return false;
  const Pace before = run.pacing.pace();
  set_pace_and_step_clock(run.pacing, run.options.pace(run.power.state()));
  return !(run.pacing.pace() == before);
}

void pace_after_frame(const ShellRun& run) {
  const PacingClock::time_point next = run.pacing.next_start_after_frame();
  for (;;) {
    if (follow_power(run)) return;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - PacingClock::now());
    if (left.count() <= 0) return;
    pollfd bus = run.power.poll_entry();
    poll(&bus, 1, run.power.timeout_ms(static_cast<int>(left.count())));
  }
}

}  // namespace aerolume
