// What the X desktop and the root window follow of their screen besides its windows: the
// monitors (RandR 1.5, else Xinerama), the server's own screen saver (MIT-SCREEN-SAVER),
// DPMS and the compositing manager's selection (XFixes), each from its events where the
// server sends them. Extensions the server lacks say nothing: no monitors (the whole
// screen), no saver, DPMS never off, no compositor.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

#include "viewer/pace/frame_pacing.h"
#include "viewer/x11/monitors.h"

namespace aerolume {

class ScreenWatch {
 public:
  // Selects the root's events of each extension, then reads the state they describe.
  ScreenWatch(Display* display, Window root);

  // The monitors as the server has them now: RandR's when it speaks 1.5, else
  // Xinerama's heads, else none.
  std::vector<Monitor> read_monitors() const;
  // The screen's size, as the root measures it now.
  Rect read_screen() const;

  // What one event changed.
  struct News {
    bool monitors = false;  // the monitors may have changed: read them afresh
    bool sight = false;     // the saver or the compositor changed
  };
  News note_event(XEvent& event);

  // DPMS has no events: its state is read at most once a second, when asked. True when
  // it changed.
  bool read_dpms(PacingClock::time_point now);
  // When DPMS is next worth reading (none where the server has no DPMS).
  std::optional<PacingClock::time_point> next_dpms_read() const;

  const ScreenSight& sight() const { return sight_; }
  // The program that owns the compositing manager's selection, as its window's WM_CLASS
  // names it ("" when unknown).
  std::string compositor_name() const;

 private:
  bool read_compositor();
  bool read_saver();

  Display* display_;
  Window root_;
  int randr_event_ = -1;
  bool randr_monitors_ = false;  // RandR 1.5 or later
  int fixes_event_ = -1;
  int saver_event_ = -1;
  bool dpms_ = false;
  Atom compositor_selection_ = None;
  std::optional<PacingClock::time_point> last_dpms_read_;
  ScreenSight sight_;
};

}  // namespace aerolume
