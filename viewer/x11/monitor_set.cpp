// The root window (--root) and the X desktop (--background on X): one view of the one
// scene per monitor, stepped once a frame. On the root each monitor is a viewport of the
// root, held inside itself by the scissor, so that nothing is drawn outside the
// monitors; the X desktop has a desktop window of its own on each monitor
// (desktop_window.h), each drawn with a context of its own. The loop keeps one record per
// monitor and follows the monitors (RandR, the root's ConfigureNotify), the root's
// children (a monitor that one window covers is not drawn), the server's saver and DPMS
// (asleep while either blanks the screen) and, on the root, the compositing manager
// (nothing drawn there is shown while one owns the screen: refused at the start, asleep
// with one line when one comes later). While no monitor is drawn it waits for events.
//
// Returns 0 when a desktop window is destroyed by another program (those dropped on a
// monitor change do not count), 1 with one line when --root starts under a compositing
// manager, no monitor has the --output name, GL cannot draw the visual or a monitor is
// larger than GL can draw, or an unexpected X error arrives.
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "render/framebuffer_samples.h"
#include "render/render_state.h"
#include "run/failure.h"
#include "run/frame.h"
#include "viewer/glx/samples.h"
#include "viewer/glx/x_errors.h"
#include "viewer/x11/desktop_window.h"
#include "viewer/x11/monitors.h"
#include "viewer/x11/screen_watch.h"
#include "viewer/x11/session.h"
#include "viewer/x11/window_watch.h"

namespace aerolume {

namespace {

// One monitor as it is drawn: a viewport of the root, or a desktop window over it.
struct MonitorRecord {
  Monitor monitor;
  Window window = None;  // the X desktop's window over the monitor; None on the root
  WindowState state;     // that window's size, mapping and the server's covering
  bool covered = false;  // one other window covers the monitor, judged from rectangles
  Window parent = None;  // the desktop window's parent as last followed (a frame, the root)
};

// Each view's drawable (the root, or a monitor's desktop window) made current before it
// is drawn and presented after it, once the last view of that drawable is drawn. Each
// desktop window keeps a context of its own, sharing the display lists and the cloud
// texture with the first: a context made current on one window after another costs
// llvmpipe more than drawing the view (a frame of two monitors took three times the sum
// of each alone), while a context stays bound to its window.
class MonitorSurfaces final : public ViewSurfaces {
 public:
  MonitorSurfaces(Display* display, XVisualInfo* visual, GLXContext first, Window first_drawable,
                  bool double_buffered)
      : display_(display), visual_(visual), first_(first), double_buffered_(double_buffered) {
    contexts_.push_back({first_drawable, first});
  }
  ~MonitorSurfaces() {
    glXMakeCurrent(display_, None, nullptr);
    for (const Bound& bound : contexts_)
      if (bound.context != first_) glXDestroyContext(display_, bound.context);
  }
  MonitorSurfaces(const MonitorSurfaces&) = delete;
  MonitorSurfaces& operator=(const MonitorSurfaces&) = delete;

  std::vector<Window> drawables;  // one a view

  bool begin_view(std::size_t index) override {
    const Window drawable = drawables[index];
    if (glXGetCurrentDrawable() == drawable) return true;
    const GLXContext context = context_of(drawable);
    return context != nullptr && glXMakeCurrent(display_, drawable, context) == True;
  }
  bool end_view(std::size_t index) override {
    if (index + 1 < drawables.size() && drawables[index + 1] == drawables[index]) return true;
    if (double_buffered_)
      glXSwapBuffers(display_, drawables[index]);
    else
      glFlush();
    return true;
  }

  // The contexts of windows the program has dropped go (the first, which holds the
  // scene's start, waits for the next new window instead).
  void keep_only(const std::vector<Window>& windows) {
    for (Bound& bound : contexts_) {
      if (bound.drawable == None ||
          std::find(windows.begin(), windows.end(), bound.drawable) != windows.end())
        continue;
      if (glXGetCurrentContext() == bound.context) glXMakeCurrent(display_, None, nullptr);
      if (bound.context != first_) glXDestroyContext(display_, bound.context);
      bound.drawable = None;
    }
    const auto unused = [&](const Bound& b) { return b.drawable == None && b.context != first_; };
    contexts_.erase(std::remove_if(contexts_.begin(), contexts_.end(), unused), contexts_.end());
  }

 private:
  struct Bound {
    Window drawable;
    GLXContext context;
  };

  // The context bound to the drawable; a new window gets the first context where it is
  // free, else a new one sharing its objects, with the scene's render state and lights.
  GLXContext context_of(Window drawable) {
    for (const Bound& bound : contexts_)
      if (bound.drawable == drawable) return bound.context;
    for (Bound& bound : contexts_)
      if (bound.drawable == None) {
        bound.drawable = drawable;
        return bound.context;
      }
    const GLXContext context = glXCreateContext(display_, visual_, first_, True);
    if (context == nullptr) return nullptr;
    if (glXMakeCurrent(display_, drawable, context) != True) {
      glXDestroyContext(display_, context);
      return nullptr;
    }
    init_render_state();
    init_lighting();
    contexts_.push_back({drawable, context});
    return context;
  }

  Display* display_;
  XVisualInfo* visual_;
  GLXContext first_;
  bool double_buffered_;
  std::vector<Bound> contexts_;
};

// The visual of the desktop windows: the screen's default depth (a deeper one would be
// taken as translucent by compositing managers), double-buffered, RGBA with a depth
// buffer, and the samples --samples asks for, or the nearest below that are offered.
VisualInfoPtr desktop_visual(Display* display, const ShellRun& run) {
  int taken = 0;
  if (run.options.samples > 0) {
    taken = samples_to_take(run.options.samples,
                            glx_window_sample_counts(run.command_line.display));
    std::fputs(samples_taken_note("aerolume", run.options.samples, taken).c_str(), stderr);
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

// The run's state: the display, the role, the records and what has been said once.
struct DesktopRun {
  const ShellRun& run;
  Display* display;
  Window root;
  bool desktop;  // the X desktop (else the root window)
  bool managed;  // an EWMH window manager keeps the desktop windows below
  ScreenWatch screen;
  XVisualInfo* visual = nullptr;
  Colormap colormap = None;
  std::vector<MonitorRecord> records;
  Rect screen_rect;  // the root's size when the monitors were last read
  bool missing_said = false, compositor_said = false;
  std::vector<std::string> hiders_said;  // the programs whose desktop was said to cover one

  DesktopRun(const ShellRun& r, Display* d)
      : run(r), display(d), root(DefaultRootWindow(d)),
        desktop(r.options.role == Role::x_desktop), managed(ewmh_window_manager(d, root)),
        screen(d, root) {}

  std::vector<Window> own_windows() const {
    std::vector<Window> windows;
    for (const MonitorRecord& record : records)
      if (record.window != None) windows.push_back(record.window);
    return windows;
  }

  // The monitors as they stand now, each a record: the desktop's windows moved onto
  // them, made for new monitors, dropped (destroyed by the program, which is no end of
  // the run) for monitors gone. False when the --output monitor is missing: nothing is
  // drawn, and it is said once.
  bool follow_monitors() {
    screen_rect = screen.read_screen();
    const MonitorChoice choice =
        choose_monitors(screen.read_monitors(), screen_rect, run.options.output);
    if (!choice.missing.empty() && !missing_said) {
      report_note("%s; nothing is drawn until it is back", choice.missing.c_str());
      missing_said = true;
    }
    if (choice.missing.empty()) missing_said = false;
    while (records.size() > choice.monitors.size()) {
      const Window dropped = records.back().window;
      records.pop_back();
      if (dropped == None) continue;
      if (glXGetCurrentDrawable() == dropped) glXMakeCurrent(display, None, nullptr);
      drawn_windows.erase(std::remove(drawn_windows.begin(), drawn_windows.end(), dropped),
                          drawn_windows.end());
      XDestroyWindow(display, dropped);
    }
    for (std::size_t i = 0; i < choice.monitors.size(); ++i) {
      const Monitor& monitor = choice.monitors[i];
      if (i == records.size()) {
        MonitorRecord record;
        record.monitor = monitor;
        if (desktop) {
          record.window = create_desktop_window(display, root, *visual, colormap, monitor.rect,
                                                managed);
          drawn_windows.push_back(record.window);
          read_window_state(display, record.window, &record.state);
        }
        records.push_back(record);
      } else if (!(records[i].monitor == monitor)) {
        records[i].monitor = monitor;
        if (desktop) place_desktop_window(display, records[i].window, monitor.rect);
      }
    }
    return choice.missing.empty();
  }

  // Which monitors one other window covers, from the root's children; a desktop of
  // another program found covering one is named once.
  void judge_covers() {
    const std::vector<Window> own = own_windows();
    const std::vector<ScreenChild> children = screen_children(display, root, own);
    for (MonitorRecord& record : records) {
      const int cover = child_covering_screen(record.monitor.rect, children);
      const bool was_covered = record.covered;
      record.covered = cover >= 0;
      if (!record.covered || was_covered) continue;
      const std::string program = desktop_program(display, children[cover].window);
      if (program.empty() ||
          std::find(hiders_said.begin(), hiders_said.end(), program) != hiders_said.end())
        continue;
      hiders_said.push_back(program);
      report_note("the desktop of %s covers monitor %s, so the scene is not drawn there; "
                  "turn that program's desktop off (pcmanfm --desktop-off, or its own "
                  "setting) to see it",
                  program.c_str(), record.monitor.name.empty() ? "(the screen)"
                                                               : record.monitor.name.c_str());
    }
    // Without a window manager nobody keeps the override-redirect windows at the bottom.
    if (desktop && !managed && !own.empty()) keep_at_bottom(own);
  }

  void keep_at_bottom(const std::vector<Window>& own) {
    Window unused_root = None, unused_parent = None, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &unused_root, &unused_parent, &children, &count)) return;
    const std::unique_ptr<Window, XFreer> owned(children);
    bool below = true;  // children come bottom first
    for (unsigned int i = 0; i < count && i < own.size(); ++i)
      below = below && std::find(own.begin(), own.end(), children[i]) != own.end();
    if (!below)
      for (const Window window : own) XLowerWindow(display, window);
  }

  // The views drawn this frame: the monitors that can be seen.
  std::vector<View> views(MonitorSurfaces* surfaces) const {
    std::vector<MonitorSight> sights;
    for (const MonitorRecord& record : records)
      sights.push_back({record.monitor, record.covered, record.state.seen(), record.state.width,
                        record.state.height});
    std::vector<View> drawn;
    if (desktop) surfaces->keep_only(own_windows());
    surfaces->drawables.clear();
    for (const MonitorView& seen : monitor_views(sights, screen_rect, desktop)) {
      drawn.push_back(seen.view);
      surfaces->drawables.push_back(desktop ? records[seen.monitor].window : root);
    }
    return drawn;
  }
};

}  // namespace

int run_on_x_monitors(const ShellRun& run, Display* d, int glx_error_base) {
  const Window root = DefaultRootWindow(d);
  // The root's children (covers) and the root's own size and monitors (ConfigureNotify).
  XSelectInput(d, root, SubstructureNotifyMask | StructureNotifyMask);
  DesktopRun desktop(run, d);
  const bool on_root = !desktop.desktop;
  if (on_root && desktop.screen.sight().composited) {
    const std::string name = desktop.screen.compositor_name();
    return report_failure("a compositing manager%s%s owns the screen, so nothing drawn on the "
                          "root window would be seen; run aerolume --background instead",
                          name.empty() ? "" : " ", name.c_str());
  }
  {
    const MonitorChoice start = choose_monitors(desktop.screen.read_monitors(),
                                                desktop.screen.read_screen(), run.options.output);
    if (!start.missing.empty()) return report_failure("%s", start.missing.c_str());
  }

  const VisualInfoPtr visual = on_root ? root_visual(d, root) : desktop_visual(d, run);
  if (!visual)
    return report_failure(on_root ? "cannot look up the visual of the root window"
                                  : "the X display offers no double-buffered RGBA visual with a "
                                    "depth buffer for the desktop windows");
  if (const char* missing = missing_gl_feature(d, visual.get()))
    return report_failure("the root window cannot be drawn: its visual 0x%lx has no %s",
                          visual->visualid, missing);
  const bool double_buffered = glx_config(d, visual.get(), GLX_DOUBLEBUFFER) != 0;
  desktop.visual = visual.get();
  if (!on_root) desktop.colormap = XCreateColormap(d, root, visual->visual, AllocNone);
  if (on_root) drawn_windows = {root};
  desktop.follow_monitors();
  if (synced_error(d)) return report_failure("cannot make the desktop windows");

  const GLXContext context = glXCreateContext(d, visual.get(), nullptr, True);
  if (context == nullptr || synced_error(d))
    return report_failure("cannot create an OpenGL context for the desktop");
  const ContextGuard context_guard(d, context);
  const Window first = on_root ? root : desktop.records.front().window;
  if (!glXMakeCurrent(d, first, context) || synced_error(d))
    return report_failure("cannot draw with OpenGL on window 0x%lx", first);
  GLint largest[2] = {0, 0};
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, largest);
  if (on_root && too_large(root, static_cast<int>(desktop.screen_rect.width),
                           static_cast<int>(desktop.screen_rect.height), largest[0], largest[1]))
    return 1;

  start_viewer_scene(run.options);
  MonitorSurfaces surfaces(d, visual.get(), context, first, double_buffered);
  bool children_changed = true, monitors_known = true;
  for (;;) {
    bool monitors_changed = false, reread = false;
    while (XPending(d) > 0) {
      XEvent event;
      XNextEvent(d, &event);
      const ScreenWatch::News news = desktop.screen.note_event(event);
      monitors_changed = monitors_changed || news.monitors;
      // The root's children, and the root itself, mapped, moved, restacked or gone.
      children_changed = children_changed || event.type == MapNotify ||
                         event.type == UnmapNotify || event.type == ConfigureNotify ||
                         event.type == CirculateNotify || event.type == DestroyNotify ||
                         event.type == ReparentNotify;
      // Buttons on a desktop window in a window manager's frame go on to the root.
      if (desktop.desktop && event.xany.window != root && forward_button(d, root, event))
        continue;
      for (MonitorRecord& record : desktop.records) {
        if (record.window == None) continue;
        WindowNews window_news;
        note_window_event(event, record.window, &record.state, &window_news);
        if (window_news.gone) return 0;
        reread = reread || window_news.reread;
      }
    }
    if (monitors_changed) {
      monitors_known = desktop.follow_monitors();
      children_changed = true;
    }
    if (reread || children_changed)
      for (MonitorRecord& record : desktop.records) {
        if (record.window == None) continue;
        if (!read_window_state(d, record.window, &record.state)) return 0;
        // Framed or not, as the server has it now: a window manager may frame a new
        // window before or after the events about it are read.
        const Window parent = parent_of(d, record.window);
        if (desktop.desktop && parent != None && parent != record.parent) {
          follow_desktop_parent(d, record.window, root, parent);
          record.parent = parent;
        }
      }
    if (children_changed) desktop.judge_covers();
    children_changed = false;
    if (x_error.seen) {
      if (window_gone_error(x_error.error_code, glx_error_base)) return 0;
      return report_failure("X error %d on request %d while drawing", x_error.error_code,
                            x_error.request_code);
    }

    const ScreenSight& sight = desktop.screen.sight();
    if (on_root && sight.composited && !desktop.compositor_said) {
      const std::string name = desktop.screen.compositor_name();
      report_note("a compositing manager%s%s now owns the screen, so nothing drawn on the root "
                  "window is seen; asleep until it goes (aerolume --background is seen there)",
                  name.empty() ? "" : " ", name.c_str());
      desktop.compositor_said = true;
    }
    if (!sight.composited) desktop.compositor_said = false;

    const std::vector<View> views = desktop.views(&surfaces);
    if (screen_asleep(run.options.role, sight) || views.empty() || !monitors_known ||
        run.pacing.pace().stopped) {
      // Nobody sees a monitor, or the battery pace draws nothing: wait for that to
      // change. DPMS sends no events, so while it has the screen off it is read again
      // within a second.
      wait_for_events(d, run, sight.dpms_off ? desktop.screen.next_dpms_read() : std::nullopt);
      if (sight.dpms_off) desktop.screen.read_dpms(PacingClock::now());
      restart_frame_interval();
      continue;
    }
    if (desktop.screen.read_dpms(PacingClock::now()) && desktop.screen.sight().dpms_off) continue;
    for (std::size_t i = 0; i < views.size(); ++i)
      if (too_large(surfaces.drawables[i], views[i].width, views[i].height, largest[0], largest[1]))
        return 1;
    render_views(views, surfaces);
    pace_after_frame(run);
  }
}

}  // namespace aerolume
