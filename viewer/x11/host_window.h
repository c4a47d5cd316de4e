// Another program's X window as the one view of the x11 wing's loop: a screen-saver
// host's (--window-id, XSCREENSAVER_WINDOW), drawn with the window's own visual. While
// nobody can see it (it or an ancestor unmapped, or fully covered) it has no view. Under a
// compositing manager a covered window may still show through, so it is drawn as if seen.
// Keys belong to the host here. Partial frames are shown as the window's visual and GLX
// allow (partial_present.h); after an exposure the next frame is whole.
#pragma once

#include <X11/Xlib.h>

#include <optional>

#include "viewer/glx/partial_present.h"
#include "viewer/glx/swap_pace.h"
#include "viewer/shell/shell.h"
#include "viewer/x11/session.h"
#include "viewer/x11/window_watch.h"
#include "viewer/x11/x_views.h"

namespace aerolume {

class HostWindow final : public XViews {
 public:
  HostWindow(XSession& session, const ShellRun& run);

  // Ends with 0 when the window goes at any moment after it was found; with 1 and a line
  // when it does not exist, its visual has no usable GL (OpenGL, RGBA and a depth buffer
  // are required; a single-buffered visual is drawn with glFlush instead of a swap), GL
  // cannot draw on it or it is larger than GL can draw.
  std::optional<int> start() override;
  bool follow_events() override;
  std::span<const View> choose_views() override;
  std::vector<ViewStatus> statuses() const override;
  Window drawable(std::size_t) const override { return window_; }
  void before_frame(FramePacing& pacing) override;

  bool begin_view(std::size_t) override { return true; }
  bool end_view(std::size_t) override;
  int buffer_age(std::size_t) override;
  std::uint64_t view_identity(std::size_t) override { return window_; }
  void drawn(std::size_t, std::span<const DamageRect> rects, bool) override;

 private:
  bool watch();
  std::optional<int> take_visual(const XWindowAttributes& attributes);

  XSession& session_;
  Display* display_;
  Window window_;
  AncestorWatch ancestors_;
  WindowState state_;
  std::optional<GlxSwapPace> swap_pace_;  // made once the window's context is current
  std::optional<GlxPresent> present_;     // likewise
  bool full_frames_;
  View view_;
};

}  // namespace aerolume
