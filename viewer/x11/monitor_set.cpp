// The monitors of the root window and of the X desktop: the records followed, the covers
// judged, the views chosen and drawn.
#include "viewer/x11/monitor_set.h"

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "render/framebuffer_samples.h"
#include "run/failure.h"
#include "run/options.h"
#include "viewer/glx/samples.h"
#include "viewer/shell/other_desktop.h"
#include "viewer/x11/desktop_window.h"
#include "viewer/x11/window_watch.h"

namespace aerolume {

namespace {

// The visual of the desktop windows: the screen's default depth (a deeper one would be
// taken as translucent by compositing managers), double-buffered, RGBA with a depth
// buffer, and the samples --samples asks for, or the nearest below that are offered.
VisualInfoPtr desktop_visual(Display* display, const ShellRun& run) {
  int taken = 0;
  if (run.options.samples > 0) {
    taken = samples_to_take(run.options.samples, glx_window_sample_counts(display));
    report_samples_taken(run.options.samples, taken);
  }
  const int screen = DefaultScreen(display);
  const int attributes[] = {GLX_X_RENDERABLE, True, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                            GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_DOUBLEBUFFER, True,
                            GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                            GLX_DEPTH_SIZE, 24, GLX_SAMPLE_BUFFERS, taken > 0 ? 1 : 0, None};
  int count = 0;
  const std::unique_ptr<GLXFBConfig, XFreer> configs(
      glXChooseFBConfig(display, screen, attributes, &count));
  for (int i = 0; configs && i < count; ++i) {
    int samples = 0;
    glXGetFBConfigAttrib(display, configs.get()[i], GLX_SAMPLES, &samples);
    VisualInfoPtr visual(glXGetVisualFromFBConfig(display, configs.get()[i]));
    if (visual && visual->depth == DefaultDepth(display, screen) && samples == taken)
      return visual;
  }
  return nullptr;
}

// The root window's own visual, as the host-window shell takes a window's.
VisualInfoPtr root_visual(Display* display, Window root) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, root, &attributes)) return nullptr;
  return window_visual(display, attributes);
}

// The root, with the events of its children (covers) and its own size and monitors
// (ConfigureNotify) selected before the screen's watch reads the rest; drawn on (--root),
// its exposures too, after which the picture is drawn whole.
Window root_followed(Display* display, bool drawn_on) {
  const Window root = DefaultRootWindow(display);
  XSelectInput(display, root,
               SubstructureNotifyMask | StructureNotifyMask | (drawn_on ? ExposureMask : 0));
  return root;
}

}  // namespace

MonitorSet::MonitorSet(XSession& session, const ShellRun& run)
    : session_(session),
      run_(run),
      display_(session.display()),
      root_(root_followed(display_, run.options.role != Role::x_desktop)),
      desktop_(run.options.role == Role::x_desktop),
      managed_(ewmh_window_manager(display_, root_)),
      screen_(display_, root_) {}

MonitorSet::~MonitorSet() {
  if (glXGetCurrentContext() != nullptr) glXMakeCurrent(display_, None, nullptr);
  for (MonitorRecord& record : records_) release_monitor_context(session_, record);
}

std::optional<int> MonitorSet::start() {
  if (!desktop_ && screen_.sight().composited) {
    const std::string name = screen_.compositor_name();
    return report_failure("a compositing manager%s%s owns the screen, so nothing drawn on the "
                          "root window would be seen; run aerolume --background instead",
                          name.empty() ? "" : " ", name.c_str());
  }
  const MonitorChoice choice =
      choose_monitors(screen_.read_monitors(), screen_.read_screen(), run_.options.output);
  if (!choice.missing.empty()) return report_failure("%s", choice.missing.c_str());
  if (const std::optional<int> end = take_visual()) return end;
  if (desktop_) colormap_ = XCreateColormap(display_, root_, session_.visual()->visual, AllocNone);
  if (!desktop_) {
    session_.draw_into(root_);
    root_present_.emplace(display_, root_, session_.double_buffered(), run_.options.full_frames);
  }
  follow_monitors();
  if (session_.synced_error()) return report_failure("cannot make the desktop windows");

  if (!session_.create_first_context())
    return report_failure("cannot create an OpenGL context for the desktop");
  const Window first = desktop_ ? records_.front().window : root_;
  if (!session_.make_current(first))
    return report_failure("cannot draw with OpenGL on window 0x%lx", first);
  if (desktop_) records_.front().context = session_.first_context();
  if (!desktop_ && session_.too_large(root_, static_cast<int>(screen_rect_.width),
                                      static_cast<int>(screen_rect_.height)))
    return 1;
  return std::nullopt;
}

std::optional<int> MonitorSet::take_visual() {
  VisualInfoPtr visual = desktop_ ? desktop_visual(display_, run_) : root_visual(display_, root_);
  if (!visual)
    return report_failure(!desktop_ ? "cannot look up the visual of the root window"
                                    : "the X display offers no double-buffered RGBA visual with "
                                      "a depth buffer for the desktop windows");
  if (const char* missing = missing_gl_feature(display_, visual.get()))
    return report_failure("the root window cannot be drawn: its visual 0x%lx has no %s",
                          visual->visualid, missing);
  session_.use_visual(std::move(visual));
  return std::nullopt;
}

// The monitors as they stand now, each a record: the desktop's windows moved onto them,
// made for new monitors, dropped (destroyed by the program, which is no end of the run)
// for monitors gone. False when the --output monitor is missing: nothing is drawn, and it
// is said once.
bool MonitorSet::follow_monitors() {
  screen_rect_ = screen_.read_screen();
  const MonitorChoice choice =
      choose_monitors(screen_.read_monitors(), screen_rect_, run_.options.output);
  if (!choice.missing.empty() && !missing_said_) {
    report_note("%s; nothing is drawn until it is back", choice.missing.c_str());
    missing_said_ = true;
  }
  if (choice.missing.empty()) missing_said_ = false;
  while (records_.size() > choice.monitors.size()) {
    drop_monitor(session_, records_.back());
    records_.pop_back();
  }
  std::optional<DesktopWindows> windows;
  if (desktop_) windows = DesktopWindows{root_, colormap_, managed_};
  for (std::size_t i = 0; i < choice.monitors.size(); ++i) {
    const Monitor& monitor = choice.monitors[i];
    if (i == records_.size()) {
      records_.push_back(make_monitor(session_, monitor, windows));
      if (desktop_)
        records_.back().present.emplace(display_, records_.back().window,
                                        session_.double_buffered(), run_.options.full_frames);
    }
    else if (!(records_[i].monitor == monitor))
      move_monitor(session_, records_[i], monitor);
  }
  return choice.missing.empty();
}

bool MonitorSet::follow_events() {
  bool monitors_changed = false, reread = false;
  if (!take_events(&monitors_changed, &reread)) return false;
  if (monitors_changed) {
    monitors_known_ = follow_monitors();
    children_changed_ = true;
  }
  if ((reread || children_changed_) && !reread_windows()) return false;
  if (children_changed_) judge_covers();
  children_changed_ = false;
  return true;
}

// Drains the pending events into what they changed; false once a desktop window is gone.
bool MonitorSet::take_events(bool* monitors_changed, bool* reread) {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    const ScreenWatch::News news = screen_.note_event(event);
    *monitors_changed = *monitors_changed || news.monitors;
    // The root's children, and the root itself, mapped, moved, restacked or gone.
    children_changed_ = children_changed_ || event.type == MapNotify ||
                        event.type == UnmapNotify || event.type == ConfigureNotify ||
                        event.type == CirculateNotify || event.type == DestroyNotify ||
                        event.type == ReparentNotify;
    if (event.type == Expose && event.xexpose.window == root_ && root_present_)
      root_present_->picture_lost();
    // Buttons on a desktop window in a window manager's frame go on to the root.
    if (desktop_ && event.xany.window != root_ && forward_button(display_, root_, event))
      continue;
    for (MonitorRecord& record : records_) {
      if (record.window == None) continue;
      WindowNews window_news;
      note_window_event(event, record.window, &record.state, &window_news);
      if (window_news.gone) return false;
      if (record.state.picture_lost && record.present) record.present->picture_lost();
      record.state.picture_lost = false;
      *reread = *reread || window_news.reread;
    }
  }
  return true;
}

// The desktop windows' mapping read afresh; false once one is gone.
bool MonitorSet::reread_windows() {
  for (MonitorRecord& record : records_) {
    if (record.window == None) continue;
    if (!read_window_state(display_, record.window, &record.state)) return false;
    // Framed or not, as the server has it now: a window manager may frame a new window
    // before or after the events about it are read.
    const Window parent = parent_of(display_, record.window);
    if (desktop_ && parent != None && parent != record.parent) {
      follow_desktop_parent(display_, record.window, root_, parent);
      record.parent = parent;
    }
  }
  return true;
}

std::vector<Window> MonitorSet::own_windows() const {
  std::vector<Window> windows;
  for (const MonitorRecord& record : records_)
    if (record.window != None) windows.push_back(record.window);
  return windows;
}

// Which monitors one other window covers, from the root's children; a desktop of another
// program found covering one is named once.
void MonitorSet::judge_covers() {
  const std::vector<Window> own = own_windows();
  std::vector<int> own_stack;
  const std::vector<ScreenChild> children = screen_children(display_, root_, own, &own_stack);
  std::size_t own_index = 0;
  for (MonitorRecord& record : records_) {
    // The stacking decides: a desktop window is hidden only by what lies above it (a
    // desktop program that restarts may come back under it); the root by every child.
    const int floor = record.window == None ? -1 : own_stack[own_index++];
    std::vector<ScreenChild> above;
    for (const ScreenChild& child : children)
      if (child.stack > floor) above.push_back(child);
    const int cover = child_covering_screen(record.monitor.rect, above);
    const bool was_covered = record.covered;
    record.covered = cover >= 0;
    if (!record.covered) record.cover_program.clear();
    if (!record.covered || was_covered) continue;
    record.cover_program = desktop_program(display_, above[cover].window);
    say_cover(record);
  }
  // A desktop that covers no monitor any more is said again when it comes back.
  std::erase_if(hiders_said_, [&](const std::string& program) {
    return std::none_of(records_.begin(), records_.end(), [&](const MonitorRecord& record) {
      return record.cover_program == program;
    });
  });
  // Without a window manager nobody keeps the override-redirect windows at the bottom.
  if (desktop_ && !managed_ && !own.empty()) keep_at_bottom(own);
}

void MonitorSet::say_cover(const MonitorRecord& record) {
  const std::string& program = record.cover_program;
  if (program.empty() ||
      std::find(hiders_said_.begin(), hiders_said_.end(), program) != hiders_said_.end())
    return;
  hiders_said_.push_back(program);
  const std::string where =
      "monitor " + (record.monitor.name.empty() ? std::string("(the screen)") : record.monitor.name);
  report_note("%s", desktop_cover_line(program, where).c_str());
}

void MonitorSet::keep_at_bottom(const std::vector<Window>& own) {
  Window unused_root = None, unused_parent = None, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display_, root_, &unused_root, &unused_parent, &children, &count)) return;
  const std::unique_ptr<Window, XFreer> owned(children);
  bool below = true;  // children come bottom first
  for (unsigned int i = 0; i < count && i < own.size(); ++i)
    below = below && std::find(own.begin(), own.end(), children[i]) != own.end();
  if (!below)
    for (const Window window : own) XLowerWindow(display_, window);
}

void MonitorSet::note_compositor() {
  const ScreenSight& sight = screen_.sight();
  if (!desktop_ && sight.composited && !compositor_said_) {
    const std::string name = screen_.compositor_name();
    report_note("a compositing manager%s%s now owns the screen, so nothing drawn on the root "
                "window is seen; asleep until it goes (aerolume --background is seen there)",
                name.empty() ? "" : " ", name.c_str());
    compositor_said_ = true;
  }
  if (!sight.composited) compositor_said_ = false;
}

// The monitors that can be seen, none while the screen sleeps or the --output monitor is
// missing. DPMS, which sends no events, is read here, at most once a second.
std::span<const View> MonitorSet::choose_views() {
  note_compositor();
  screen_.read_dpms(PacingClock::now());
  views_.clear();
  shown_.clear();
  if (screen_asleep(run_.options.role, screen_.sight()) || !monitors_known_) return {};
  std::vector<MonitorSight> sights;
  for (const MonitorRecord& record : records_)
    sights.push_back({record.monitor, record.covered, record.state.seen(), record.state.width,
                      record.state.height});
  for (const MonitorView& seen : monitor_views(sights, screen_rect_, desktop_)) {
    views_.push_back(seen.view);
    shown_.push_back(seen.monitor);
  }
  return views_;
}

std::vector<ViewStatus> MonitorSet::statuses() const {
  const ScreenSight& sight = screen_.sight();
  std::vector<ViewStatus> statuses;
  for (const MonitorRecord& record : records_) {
    const Rect& rect = record.monitor.rect;
    ViewStatus status{record.monitor.name.empty() ? "screen" : record.monitor.name,
                      static_cast<int>(rect.width), static_cast<int>(rect.height),
                      ViewState::drawn};
    if (!desktop_ && sight.composited)
      status.state = ViewState::compositor;
    else if (sight.saver_on || sight.dpms_off)
      status.state = ViewState::blanked;
    else if (record.covered)
      status.state =
          record.cover_program.empty() ? ViewState::full_screen : ViewState::other_desktop;
    else if (desktop_ && !record.state.seen())
      status.state = ViewState::hidden;
    statuses.push_back(status);
  }
  return statuses;
}

Window MonitorSet::drawable(std::size_t view) const {
  return desktop_ ? records_[shown_[view]].window : root_;
}

Deadline MonitorSet::wake_by() const {
  return screen_.sight().dpms_off ? screen_.next_dpms_read() : std::nullopt;
}

// The first context is bound to the first desktop window from the start; where that
// window was dropped before the first frame, to the first view's.
bool MonitorSet::make_first_context_current() {
  if (!desktop_ || glXGetCurrentContext() == session_.first_context()) return true;
  for (const MonitorRecord& record : records_)
    if (record.context == session_.first_context())
      return glXMakeCurrent(display_, record.window, record.context) == True;
  return make_monitor_current(session_, records_[shown_.front()], true);
}

bool MonitorSet::first_context_free() const {
  return std::none_of(records_.begin(), records_.end(), [&](const MonitorRecord& record) {
    return record.context == session_.first_context();
  });
}

// Each view's drawable (the root, or a monitor's desktop window) made current before it is
// drawn and presented after it, once the last view of that drawable is drawn.
bool MonitorSet::begin_view(std::size_t index) {
  const Window window = drawable(index);
  if (glXGetCurrentDrawable() == window) return true;
  if (!desktop_) return glXMakeCurrent(display_, root_, session_.first_context()) == True;
  return make_monitor_current(session_, records_[shown_[index]], first_context_free());
}

bool MonitorSet::end_view(std::size_t index) {
  if (index + 1 < views_.size() && drawable(index + 1) == drawable(index)) return true;
  present_of(index).present();
  return true;
}

GlxPresent& MonitorSet::present_of(std::size_t view) {
  return desktop_ ? *records_[shown_[view]].present : *root_present_;
}

// Nothing paces these drawables by the swap interval: the damage is copied where it can be.
int MonitorSet::buffer_age(std::size_t index) {
  if (!desktop_)
    return root_present_->buffer_age(false, static_cast<int>(screen_rect_.width),
                                     static_cast<int>(screen_rect_.height));
  MonitorRecord& record = records_[shown_[index]];
  return record.present->buffer_age(false, record.state.width, record.state.height);
}

std::uint64_t MonitorSet::view_identity(std::size_t index) {
  if (desktop_) return records_[shown_[index]].window;
  return (static_cast<std::uint64_t>(root_) << 16) + shown_[index];
}

void MonitorSet::drawn(std::size_t index, std::span<const DamageRect> rects, bool) {
  present_of(index).drawn(rects);
}

}  // namespace aerolume
