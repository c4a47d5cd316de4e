// The X11 + GLX shell: one X session (session.h) and one loop for every X role. The views
// are the host's window (host_window.h), or the monitors of the root window or of the X
// desktop (monitor_set.h). The loop runs the shared frame into the views that can be seen
// and waits for events while there are none. SIGTERM and SIGINT end the process through the
// stop signals main installs, a lost display through x_errors.h.
//
// Returns 0 when a window drawn into goes away (destroyed by another program), 1 with one
// line on stderr ("aerolume: ...") when the display cannot be opened, has no GLX, the views
// cannot start (see each kind's start()), a window grows larger than GL can draw, or an
// unexpected X error arrives while drawing.
#include "viewer/x11/x11.h"

#include "viewer/shell/frames.h"
#include "viewer/x11/host_window.h"
#include "viewer/x11/monitor_set.h"
#include "viewer/x11/session.h"
#include "viewer/x11/x_views.h"

namespace aerolume {

namespace {

// Each round: follow what came, choose the views (and say which are drawn), then either
// wait (none can be seen, or the frames are held; the scene stays where it stopped, and
// the wait is no part of a timed step) or draw one frame into them and pace.
int run_views(const ShellRun& run, XSession& session, XViews& views) {
  if (const std::optional<int> end = views.start()) return *end;
  FirstFrame first_frame;
  FrameGate frames;
  for (;;) {
    if (!views.follow_events()) return 0;
    if (const std::optional<int> end = session.error_end()) return *end;
    const std::span<const View> chosen = views.choose_views();
    report_views(run, views.statuses());
    if (!frames.frames_run(!chosen.empty(), frames_held(run))) {
      session.wait_for_events(run, views.wake_by());
      continue;
    }
    for (std::size_t i = 0; i < chosen.size(); ++i)
      if (session.too_large(views.drawable(i), chosen[i].width, chosen[i].height)) return 1;
    views.before_frame(run.pacing);
    // A context that cannot be made current here is on a window gone: the X error that
    // says so ends the run in the next round.
    if (!first_frame.done() && !views.make_first_context_current()) continue;
    first_frame.before_frame(run.options);
    render_views(chosen, views);
    pace_after_frame(run);
  }
}

}  // namespace

int run_on_x(const ShellRun& run) {
  XSession session;
  if (const std::optional<int> end = session.open()) return *end;
  if (run.options.role == Role::host_window) {
    HostWindow host(session, run);
    return run_views(run, session, host);
  }
  MonitorSet monitors(session, run);
  return run_views(run, session, monitors);
}

}  // namespace aerolume
