// The host's window: adopted, watched (its events and its ancestors'), drawn as one view.
#include "viewer/x11/host_window.h"

#include "run/failure.h"

namespace aerolume {

HostWindow::HostWindow(XSession& session, const ShellRun& run)
    : session_(session),
      display_(session.display()),
      window_(static_cast<Window>(run.options.window_id.value_or(0))),
      full_frames_(run.options.full_frames) {}

std::optional<int> HostWindow::start() {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display_, window_, &attributes) || session_.synced_error())
    return report_failure("there is no window 0x%lx on this display", window_);
  // The window exists: from here on, its going away at any moment ends the run with 0.
  session_.draw_into(window_);
  if (!watch()) return 0;
  if (const std::optional<int> end = take_visual(attributes)) return end;
  if (!session_.create_first_context())
    return report_failure("cannot create an OpenGL context for window 0x%lx", window_);
  if (!session_.make_current(window_)) {
    if (session_.window_gone(window_)) return 0;
    return report_failure("cannot draw with OpenGL on window 0x%lx", window_);
  }
  if (session_.too_large(window_, state_.width, state_.height)) return 1;
  swap_pace_.emplace(display_, window_);
  present_.emplace(display_, window_, session_.double_buffered(), full_frames_);
  return std::nullopt;
}

// Size changes, destruction, mapping, visibility and exposures arrive as events; other clients may
// select them on the same window, so this does not disturb the host. They are selected
// before the state they describe is read, so that no change in between is lost.
// The root is never reported covered: its children's changes are followed instead, to
// find a window that covers the whole screen (see window_watch.h).
// False when the window went meanwhile.
bool HostWindow::watch() {
  const long root_children =
      is_root_window(display_, window_) ? SubstructureNotifyMask : NoEventMask;
  XSelectInput(display_, window_,
               StructureNotifyMask | VisibilityChangeMask | ExposureMask | root_children);
  ancestors_.follow(display_, window_);
  if (!read_window_state(display_, window_, &state_)) return false;
  state_.covered = covered_by_one_window(display_, window_) && !screen_composited(display_);
  if (session_.synced_error() && session_.window_gone(window_)) return false;
  session_.reset_error();
  return true;
}

std::optional<int> HostWindow::take_visual(const XWindowAttributes& attributes) {
  VisualInfoPtr visual = window_visual(display_, attributes);
  if (!visual) return report_failure("cannot look up the visual of window 0x%lx", window_);
  if (const char* missing = missing_gl_feature(display_, visual.get()))
    return report_failure("window 0x%lx cannot be drawn: its visual 0x%lx has no %s", window_,
                          visual->visualid, missing);
  session_.use_visual(std::move(visual));
  return std::nullopt;
}

bool HostWindow::follow_events() {
  const bool here = follow_window_events(display_, window_, &ancestors_, &state_);
  if (state_.picture_lost && present_) present_->picture_lost();
  state_.picture_lost = false;
  return here;
}

std::vector<ViewStatus> HostWindow::statuses() const {
  ViewStatus status{"window", state_.width, state_.height, ViewState::drawn};
  if (!state_.viewable)
    status.state = ViewState::hidden;
  else if (state_.covered)
    status.state = ViewState::covered;
  return {status};
}

std::span<const View> HostWindow::choose_views() {
  if (!state_.seen()) return {};
  view_ = {0, 0, state_.width, state_.height};
  return {&view_, 1};
}

void HostWindow::before_frame(FramePacing& pacing) {
  if (session_.double_buffered()) swap_pace_->follow(pacing);
}

int HostWindow::buffer_age(std::size_t) {
  return present_->buffer_age(session_.double_buffered() && swap_pace_->paces(), state_.width,
                              state_.height);
}

void HostWindow::drawn(std::size_t, std::span<const DamageRect> rects, bool) {
  present_->drawn(rects);
}

bool HostWindow::end_view(std::size_t) {
  present_->present();
  return true;
}

}  // namespace aerolume
