// The program's own window, through GLUT: full screen, or windowed with --windowed, until
// Esc, the window manager's close, or the window destroyed by another client. GLUT's own
// options without a value (-iconic, -sync, ...) go to glutInit; -geometry places the
// window. No drawing while the window is hidden or fully covered.
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "core/state.h"
#include "render/framebuffer_samples.h"
#include "run/failure.h"
#include "run/frame.h"
#include "run/options.h"
#include "viewer/glut/controls.h"
#include "viewer/glut/glut.h"
#include "viewer/glx/partial_present.h"
#include "viewer/glx/swap_pace.h"
#include "viewer/glx/x_errors.h"
#include "viewer/shell/frames.h"
#include "viewer/shell/shell.h"

namespace aerolume {

namespace {

// The window as the one view of each frame: its damage copied to the front where GLX
// offers the copy, else presented with GLUT's buffer swap (partial_present.h).
class GlutWindowSurface final : public ViewSurfaces {
 public:
  // Once the window's context is current.
  void start(Display* display, Window window, bool full_frames, const GlxSwapPace* pace,
             const SurfaceSize* size) {
    present_.emplace(display, window, true, full_frames);
    pace_ = pace;
    size_ = size;
  }
  void picture_lost() { present_->picture_lost(); }
  bool begin_view(std::size_t) override { return true; }
  int buffer_age(std::size_t) override {
    return present_->buffer_age(pace_->paces(), size_->width(), size_->height());
  }
  void drawn(std::size_t, std::span<const DamageRect> rects, bool) override {
    present_->drawn(rects);
  }
  bool end_view(std::size_t) override {
    present_->present(glutSwapBuffers);
    return true;
  }

 private:
  std::optional<GlxPresent> present_;
  const GlxSwapPace* pace_ = nullptr;
  const SurfaceSize* size_ = nullptr;
};

// Everything the shell keeps while glutMainLoop runs. GLUT calls back without a context
// argument, so it lives in one record, of which there is one.
struct GlutShell {
  // The run main handed the shell.
  const ShellRun* run = nullptr;
  // The window as Xlib knows it, found once its context is current, with GLX's first
  // error number and the X error handler the shell's own replaced (see on_x_error).
  struct {
    Display* display = nullptr;
    Window id = 0;
    int glx_error_base = 0;
    XErrorHandler previous_handler = nullptr;
  } window;
  // Its place when not full screen: --windowed's, or -geometry's.
  WindowPlace windowed = {10, 30, 1024, 768};
  // Its size against the largest GL can draw into. A window made larger (by another
  // client, or full screen on a larger screen) is shrunk to the largest and not drawn
  // until it has been.
  SurfaceSize size;
  GlutWindowSurface window_surface;
  FirstFrame first_frame;
  // The swap interval, made once the window's context is current.
  std::optional<GlxSwapPace> swap_pace;
  // Frames run from GLUT's idle callback while the window can be seen and the frames are
  // not held (paused, or a battery pace of 0). GLUT's last word on the window's sight.
  int window_status = GLUT_FULLY_RETAINED;
  bool seen = true;
  FrameGate frames;
  // The timer that looks at the window, the power source and the control while no frame
  // runs: at most one is pending.
  bool idle_check_pending = false;
};
GlutShell shell;

// GLUT reports a fatal problem (no display, no suitable visual) here; it is given one
// clear line and a failure status instead of GLUT's own message.
// The hint about DISPLAY is given only where freeglut could not open the display
// ("failed to open display ':9'"); a display without GLX, say, is no matter of DISPLAY.
void on_glut_error(const char* format, va_list args) {
  char message[512];
  std::vsnprintf(message, sizeof message, format, args);
  const bool no_display = std::strstr(message, "open display") != nullptr;
  const int status =
      report_failure("cannot start the window: %s%s", message,
                     no_display ? " (is a graphical display available and DISPLAY set?)" : "");
  // _exit: the clean-up at exit would still talk to the display, where the request that
  // failed (an indirect context the server refuses, say) may yet answer with an X error
  // and Xlib's own five lines.
  _exit(status);
}

// Sets GLUT's idle callback, and with it the frames, as the frame gate says; while no
// frame runs, the idle check looks at what GLUT's loop does not wait on.
void follow_frame_gate();

// The window for the control's status: drawn, or why not.
void report_window() {
  ViewState state = ViewState::drawn;
  if (shell.window_status == GLUT_HIDDEN)
    state = ViewState::hidden;
  else if (shell.window_status == GLUT_FULLY_COVERED)
    state = ViewState::covered;
  report_views(*shell.run, {{"window", shell.size.width(), shell.size.height(), state}});
}

void display_frame() {
  shell.first_frame.before_frame(shell.run->options);
  if (!shell.size.fits()) return;
  shell.swap_pace->follow(shell.run->pacing);
  const View whole = shell.size.view();
  render_views({&whole, 1}, shell.window_surface);
  pace_after_frame(*shell.run);
  report_window();
  if (frames_held(*shell.run)) follow_frame_gate();
}

// GLUT's display callback: an exposure, or a redisplay after a reshape. The window may
// have lost what it showed, so this frame is drawn whole; the idle callback draws the
// ordinary frames.
void display_whole_frame() {
  shell.window_surface.picture_lost();
  if (!frames_held(*shell.run) || !shell.first_frame.done()) return display_frame();
  // Held (paused, or a battery pace of 0): the last picture again, the scene not stepped.
  if (!shell.size.fits()) return;
  const View whole = shell.size.view();
  redraw_views({&whole, 1}, shell.window_surface);
}

// The window destroyed by another client (XDestroyWindow, as `xdotool windowclose` and
// some window managers send) ends the program like a close: status 0, no message. GLUT
// does not follow the destruction of its window, so the shell learns of it from the X
// error that the next request on the window gets: the buffer swap while drawing, or the
// check below while hidden.
int on_x_error(Display* display, XErrorEvent* event) {
  // _exit: GL and GLUT would still talk to the window at exit.
  if (window_gone_error(event->error_code, shell.window.glx_error_base) &&
      event->resourceid == shell.window.id)
    _exit(0);
  const XErrorHandler previous = shell.window.previous_handler;
  return previous != nullptr ? previous(display, event) : 0;
}

// Called once the window exists and its context is current.
void end_when_window_destroyed() {
  shell.window.display = glXGetCurrentDisplay();
  shell.window.id = glXGetCurrentDrawable();
  int event_base = 0;
  glXQueryExtension(shell.window.display, &shell.window.glx_error_base, &event_base);
  shell.window.previous_handler = XSetErrorHandler(on_x_error);
}

// The names by which taskbars, docks and the desktop's application list match the window
// to aerolume.desktop (its name and icon): WM_CLASS, and the process beside the machine
// GLUT names (_NET_WM_PID). GLUT sets neither.
void name_window() {
  Display* display = shell.window.display;
  char name[] = "aerolume", class_name[] = "Aerolume";
  XClassHint hint{name, class_name};
  XSetClassHint(display, shell.window.id, &hint);
  const unsigned long pid = static_cast<unsigned long>(getpid());
  XChangeProperty(display, shell.window.id, XInternAtom(display, "_NET_WM_PID", False),
                  XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
}

// Asks the server about the window: an error (the window gone) ends the program from the
// error handler.
void check_window_exists() {
  XWindowAttributes attributes;
  XGetWindowAttributes(shell.window.display, shell.window.id, &attributes);
}

// While no frame runs, GLUT's loop waits on nothing of ours, so the window, the power
// source and the control are looked at four times a second: a destroyed window ends the
// program within a second, asleep too, and a resume or a new pace starts the frames.
constexpr unsigned int idle_check_ms = 250;

void check_while_idle(int) {
  shell.idle_check_pending = false;
  if (!shell.seen) check_window_exists();
  follow_outside(*shell.run);
  report_window();
  follow_frame_gate();
}

// Hidden (unmapped, as when minimized) or fully covered, the window is not drawn: the
// idle callback goes, and with it every frame, until the window is seen again. The
// scene then goes on from where it stopped. A window destroyed by another client is
// first unmapped, so the first check finds it gone.
void on_window_status(int status) {
  shell.window_status = status;
  report_window();
  const bool seen = status == GLUT_FULLY_RETAINED || status == GLUT_PARTIALLY_RETAINED;
  if (seen == shell.seen) return;
  shell.seen = seen;
  if (!seen) check_window_exists();
  follow_frame_gate();
}

void follow_frame_gate() {
  const bool frames_run = shell.frames.frames_run(shell.seen, frames_held(*shell.run));
  glutIdleFunc(frames_run ? display_frame : nullptr);
  if (frames_run || shell.idle_check_pending) return;
  shell.idle_check_pending = true;
  glutTimerFunc(idle_check_ms, check_while_idle, 0);
}

// The sample counts GLUT finds in the display's multisampled framebuffers.
std::vector<int> glut_sample_counts() {
  int size = 0;
  const std::unique_ptr<int, decltype(&std::free)> counts(
      glutGetModeValues(GLUT_MULTISAMPLE, &size), &std::free);
  return counts ? std::vector<int>(counts.get(), counts.get() + size) : std::vector<int>();
}

// GLUT's display mode, with sample buffers when --samples asks for them: the count
// asked if the display has it, else the nearest below, said once on stderr.
unsigned int display_mode(int samples) {
  const unsigned int mode = GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH;
  if (samples == 0) return mode;
  const int taken = samples_to_take(samples, glut_sample_counts());
  report_samples_taken(samples, taken);
  if (taken == 0) return mode;
  glutSetOption(GLUT_MULTISAMPLE, taken);
  return mode | GLUT_MULTISAMPLE;
}

// Whether a window of this size can be drawn; asks for the largest that can if not.
// (Through Xlib: GLUT takes a request for the size it last asked for as already done.)
bool fits_gl(int width, int height) {
  if (shell.size.resize(width, height)) return true;
  XResizeWindow(shell.window.display, shell.window.id,
                static_cast<unsigned int>(std::min(width, shell.size.largest_width())),
                static_cast<unsigned int>(std::min(height, shell.size.largest_height())));
  XFlush(shell.window.display);
  return false;
}

// The next frame draws at the new size (its view sets the viewport).
void on_reshape(int width, int height) {
  if (fits_gl(width, height)) glutPostRedisplay();
}

// Whether a window manager runs: only one client may redirect the root window's
// children, and that client is the window manager.
bool window_manager_running() {
  Display* display = shell.window.display;
  XWindowAttributes root;
  return XGetWindowAttributes(display, DefaultRootWindow(display), &root) &&
         (root.all_event_masks & SubstructureRedirectMask) != 0;
}

void leave_fullscreen() {
  glutReshapeWindow(shell.windowed.width, shell.windowed.height);
  glutPositionWindow(shell.windowed.x, shell.windowed.y);
}

// A window manager makes the window full screen when asked (_NET_WM_STATE_FULLSCREEN)
// and GLUT asks it. On a bare server (a kiosk, a plain xinit) GLUT's own moves leave
// the window off by what it takes for a frame ((1, 1) at first, (-10, -30) after F1
// twice): there the window is placed exactly, as nobody else will.
void enter_fullscreen() {
  if (window_manager_running()) {
    glutFullScreen();
    return;
  }
  Display* display = shell.window.display;
  const int screen = DefaultScreen(display);
  const int width = std::min(DisplayWidth(display, screen), shell.size.largest_width());
  const int height = std::min(DisplayHeight(display, screen), shell.size.largest_height());
  XMoveResizeWindow(display, shell.window.id, 0, 0, static_cast<unsigned int>(width),
                    static_cast<unsigned int>(height));
  XFlush(display);
}

static_assert(key_f1 == GLUT_KEY_F1 && key_left == GLUT_KEY_LEFT && key_up == GLUT_KEY_UP &&
              key_right == GLUT_KEY_RIGHT && key_down == GLUT_KEY_DOWN);

}  // namespace

int run_glut_window(const ShellRun& run) {
  shell.run = &run;
  const ViewerOptions& options = run.options;
  const SplitCommandLine& command_line = run.command_line;
  // GLUT's words without -display (DISPLAY names it, see main) and -geometry, which is
  // read with the options rather than by glutInit: glutInit leaves the window's size
  // unset when only a place is given (and X refuses a window of size 0).
  std::vector<char*> glut_words = command_line.glut;
  int glut_argc = static_cast<int>(glut_words.size());
  glut_words.push_back(nullptr);
  end_quietly_on_lost_display();
  glutInitErrorFunc(on_glut_error);
  glutInit(&glut_argc, glut_words.data());
  glutInitDisplayMode(display_mode(options.samples));
  fullscreen = !options.windowed;  // F1 changes it
  const int screen_width = glutGet(GLUT_SCREEN_WIDTH), screen_height = glutGet(GLUT_SCREEN_HEIGHT);
  shell.windowed = windowed_place(command_line.window_geometry, screen_width, screen_height);
  // Full screen starts from the 1024 x 768 window; --windowed from its place. GLUT
  // takes a negative place as "anywhere", so such a place is set once the window exists.
  const WindowPlace first = options.windowed ? shell.windowed : WindowPlace{-1, -1, 1024, 768};
  glutInitWindowSize(first.width, first.height);
  if (first.x >= 0 && first.y >= 0) glutInitWindowPosition(first.x, first.y);
  glutCreateWindow("Aerolume");
  if (options.windowed && (first.x < 0 || first.y < 0)) glutPositionWindow(first.x, first.y);
  end_when_window_destroyed();
  name_window();
  shell.swap_pace.emplace(shell.window.display, shell.window.id);
  shell.window_surface.start(shell.window.display, shell.window.id, options.full_frames,
                             &*shell.swap_pace, &shell.size);
  shell.size.read_largest();
  if (!shell.size.resize(first.width, first.height))
    return report_failure("a window of %dx%d is larger than OpenGL can draw here (%dx%d)",
                          first.width, first.height, shell.size.largest_width(),
                          shell.size.largest_height());
  if (!options.windowed) enter_fullscreen();
  glutDisplayFunc(display_whole_frame);
  glutReshapeFunc(on_reshape);
  glutKeyboardFunc(on_key);
  glutSpecialFunc(on_special_key);
  glutIdleFunc(display_frame);
  glutWindowStatusFunc(on_window_status);
  set_window_control({leave_fullscreen, enter_fullscreen});
  display_frame();
  glutMainLoop();
  return 0;
}

}  // namespace aerolume
