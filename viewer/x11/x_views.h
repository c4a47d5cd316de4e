// What the x11 wing's one loop draws on: the host's window (one view), or the monitors of
// the root window or of the X desktop (a view each). Each kind follows its own events and
// chooses its views; the loop waits, draws and paces the same way for all of them.
#pragma once

#include <X11/Xlib.h>

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "run/frame.h"
#include "viewer/control/view_status.h"
#include "viewer/pace/frame_pacing.h"
#include "viewer/pace/poll_wait.h"

namespace aerolume {

class XViews : public ViewSurfaces {
 public:
  virtual ~XViews() = default;

  // Finds the windows, the visual and the first context current: an exit status, with
  // one line where it is a failure, when the run ends before its first frame; none to go
  // on.
  virtual std::optional<int> start() = 0;
  // Takes the events that have come and follows what they changed; false once a window
  // drawn into was destroyed by another program, which ends the run with 0.
  virtual bool follow_events() = 0;
  // The views of the next frame; empty while none can be seen.
  virtual std::span<const View> choose_views() = 0;
  // Every view as choose_views() last found it, drawn or asleep with the reason, for the
  // control's status.
  virtual std::vector<ViewStatus> statuses() const = 0;
  // The window a chosen view is drawn into.
  virtual Window drawable(std::size_t view) const = 0;
  // Before the first frame: the first context current, for the scene to start in (every
  // other context shares its display lists and texture). False when it cannot be.
  virtual bool make_first_context_current() { return true; }
  // Just before each frame.
  virtual void before_frame(FramePacing&) {}
  // Where the wait for events ends at the latest, besides events, power and signals.
  virtual Deadline wake_by() const { return std::nullopt; }
};

}  // namespace aerolume
