// The root window (--root) and the X desktop (--background on X) as views of the x11
// wing's loop: one view of the one scene per monitor. On the root each monitor is a
// viewport of the root, held inside itself by the scissor, so that nothing is drawn
// outside the monitors; the X desktop has a desktop window of its own on each monitor
// (desktop_window.h), each drawn with a context of its own (monitor.h). It keeps one
// record per monitor and follows the monitors (RandR, the root's ConfigureNotify), the
// root's children (a monitor that one window covers is not drawn), the server's saver and
// DPMS (asleep while either blanks the screen) and, on the root, the compositing manager
// (nothing drawn there is shown while one owns the screen: refused at the start, asleep
// with one line when one comes later).
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

#include "viewer/shell/shell.h"
#include "viewer/x11/monitor.h"
#include "viewer/x11/screen_watch.h"
#include "viewer/x11/session.h"
#include "viewer/x11/x_views.h"

namespace aerolume {

class MonitorSet final : public XViews {
 public:
  // Selects the root's events: its children (covers) and its own size and monitors.
  MonitorSet(XSession& session, const ShellRun& run);
  // The contexts of the desktop windows let go.
  ~MonitorSet() override;
  MonitorSet(const MonitorSet&) = delete;
  MonitorSet& operator=(const MonitorSet&) = delete;

  // Ends with 1 and a line when --root starts under a compositing manager, no monitor has
  // the --output name, GL cannot draw the visual or on the first window, the desktop
  // windows cannot be made or the root is larger than GL can draw.
  std::optional<int> start() override;
  // False when a desktop window is destroyed by another program (those dropped on a
  // monitor change do not count).
  bool follow_events() override;
  std::span<const View> choose_views() override;
  std::vector<ViewStatus> statuses() const override;
  Window drawable(std::size_t view) const override;
  bool make_first_context_current() override;
  // DPMS sends no events: while it has the screen off it is read again within a second.
  Deadline wake_by() const override;

  bool begin_view(std::size_t index) override;
  bool end_view(std::size_t index) override;
  // Each desktop window keeps its own history (its window id); on the root, each monitor
  // (the root and the record's place), which share the root's one buffer.
  int buffer_age(std::size_t index) override;
  std::uint64_t view_identity(std::size_t index) override;
  void drawn(std::size_t index, std::span<const DamageRect> rects, bool whole) override;

 private:
  std::optional<int> take_visual();
  bool follow_monitors();
  bool take_events(bool* monitors_changed, bool* reread);
  bool reread_windows();
  void judge_covers();
  // Names once the desktop program whose window covers the record's monitor.
  void say_cover(const MonitorRecord& record);
  void keep_at_bottom(const std::vector<Window>& own);
  void note_compositor();
  std::vector<Window> own_windows() const;
  bool first_context_free() const;
  GlxPresent& present_of(std::size_t view);

  XSession& session_;
  const ShellRun& run_;
  Display* display_;
  Window root_;
  bool desktop_;  // the X desktop (else the root window)
  bool managed_;  // an EWMH window manager keeps the desktop windows below
  ScreenWatch screen_;
  Colormap colormap_ = None;
  std::vector<MonitorRecord> records_;
  std::optional<GlxPresent> root_present_;  // --root: the root's partial frames
  Rect screen_rect_;  // the root's size when the monitors were last read
  bool monitors_known_ = true;   // false while the --output monitor is missing
  bool children_changed_ = true;  // the root's children to be judged afresh
  bool missing_said_ = false, compositor_said_ = false;
  std::vector<std::string> hiders_said_;  // the programs whose desktop was said to cover one
  // The views chosen for the next frame, and the record each shows.
  std::vector<View> views_;
  std::vector<std::size_t> shown_;
};

}  // namespace aerolume
