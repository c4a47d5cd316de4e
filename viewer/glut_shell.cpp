// The program's own window, through GLUT: full screen, or windowed with --windowed, until
// Esc, the window manager's close, or the window destroyed by another client. GLUT's own
// options (-display, -geometry, ...) go to glutInit. No drawing while the window is hidden
// or fully covered.
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "render/framebuffer_samples.h"
#include "render/render_state.h"
#include "run/frame.h"
#include "viewer/controls.h"
#include "viewer/glx_samples.h"
#include "viewer/shell.h"
#include "viewer/shell_ends.h"

namespace aerolume {

namespace {

// GLUT calls back without a context argument, so the run it was handed is kept here for
// the callbacks, for as long as glutMainLoop runs.
const ShellRun* current_run = nullptr;

// GLUT reports a fatal problem (no display, no suitable visual) here; it is given one
// clear line and a failure status instead of GLUT's own message.
// The hint about DISPLAY is given only where freeglut could not open the display
// ("failed to open display ':9'"); a display without GLX, say, is no matter of DISPLAY.
void on_glut_error(const char* format, va_list args) {
  char message[512];
  std::vsnprintf(message, sizeof message, format, args);
  const bool no_display = std::strstr(message, "open display") != nullptr;
  std::fprintf(stderr, "aerolume: cannot start the window: %s%s\n", message,
               no_display ? " (is a graphical display available and DISPLAY set?)" : "");
  std::exit(1);
}

// With --battery-fps, a battery pace of 0 stops the frames; the power source is then
// looked at four times a second, as GLUT's loop waits on nothing else of ours.
constexpr unsigned int stopped_check_ms = 250;
void check_power_while_stopped(int);
bool stopped_check_pending = false;
bool drawing = true;

void display_frame() {
  render_frame();
  glutSwapBuffers();
  pace_after_frame(*current_run);
  if (current_run->pacing.pace().stopped && !stopped_check_pending) {
    glutIdleFunc(nullptr);
    stopped_check_pending = true;
    glutTimerFunc(stopped_check_ms, check_power_while_stopped, 0);
  }
}

void check_power_while_stopped(int) {
  follow_power(*current_run);
  if (!current_run->pacing.pace().stopped) {
    stopped_check_pending = false;
    if (drawing) glutIdleFunc(display_frame);
    return;
  }
  glutTimerFunc(stopped_check_ms, check_power_while_stopped, 0);
}

// The window destroyed by another client (XDestroyWindow, as `xdotool windowclose` and
// some window managers send) ends the program like a close: status 0, no message. GLUT
// does not follow the destruction of its window, so the shell learns of it from the X
// error that the next request on the window gets: the buffer swap while drawing, or the
// check below while hidden.
struct OwnWindow {
  Display* display = nullptr;
  Window window = 0;
  int glx_error_base = 0;
  XErrorHandler previous_handler = nullptr;
};
OwnWindow own_window;

int on_x_error(Display* display, XErrorEvent* event) {
  // _exit: GL and GLUT would still talk to the window at exit.
  if (window_gone_error(event->error_code, own_window.glx_error_base) &&
      event->resourceid == own_window.window)
    _exit(0);
  return own_window.previous_handler != nullptr ? own_window.previous_handler(display, event) : 0;
}

// Called once the window exists and its context is current.
void end_when_window_destroyed() {
  own_window.display = glXGetCurrentDisplay();
  own_window.window = glXGetCurrentDrawable();
  int event_base = 0;
  glXQueryExtension(own_window.display, &own_window.glx_error_base, &event_base);
  own_window.previous_handler = XSetErrorHandler(on_x_error);
}

// Asks the server about the window: an error (the window gone) ends the program from the
// error handler.
void check_window_exists() {
  XWindowAttributes attributes;
  XGetWindowAttributes(own_window.display, own_window.window, &attributes);
}

// Whether frames run (drawing, above): only while the window can be seen.

// While the window is not drawn, nothing else would ever touch it, so it is checked four
// times a second: a destroyed window ends the program within a second, asleep too.
constexpr unsigned int hidden_check_ms = 250;
bool hidden_check_pending = false;

void check_while_hidden(int) {
  hidden_check_pending = false;
  if (drawing) return;
  check_window_exists();
  hidden_check_pending = true;
  glutTimerFunc(hidden_check_ms, check_while_hidden, 0);
}

// Hidden (unmapped, as when minimized) or fully covered, the window is not drawn: the
// idle callback goes, and with it every frame, until the window is seen again. The
// scene then goes on from where it stopped. A window destroyed by another client is
// first unmapped, so the first check finds it gone.
void on_window_status(int status) {
  const bool seen = status == GLUT_FULLY_RETAINED || status == GLUT_PARTIALLY_RETAINED;
  if (seen == drawing) return;
  drawing = seen;
  glutIdleFunc(seen && !current_run->pacing.pace().stopped ? display_frame : nullptr);
  if (seen) {
    restart_frame_interval();
  } else if (!hidden_check_pending) {
    check_while_hidden(0);
  }
}

// GLUT's display mode, with sample buffers when --samples asks for them: the count
// asked if the display has it, else the nearest below, said once on stderr.
unsigned int display_mode(int samples, const char* display_name) {
  const unsigned int mode = GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH;
  if (samples == 0) return mode;
  const int taken = samples_to_take(samples, glx_window_sample_counts(display_name));
  std::fputs(samples_taken_note("aerolume", samples, taken).c_str(), stderr);
  if (taken == 0) return mode;
  glutSetOption(GLUT_MULTISAMPLE, taken);
  return mode | GLUT_MULTISAMPLE;
}

void on_reshape(int width, int height) {
  reshape_viewport(width, height);
  glutPostRedisplay();
}

void leave_fullscreen() {
  glutReshapeWindow(1024, 768);
  glutPositionWindow(10, 30);
}

void enter_fullscreen() { glutFullScreen(); }

static_assert(key_f1 == GLUT_KEY_F1 && key_left == GLUT_KEY_LEFT && key_up == GLUT_KEY_UP &&
              key_right == GLUT_KEY_RIGHT && key_down == GLUT_KEY_DOWN);

}  // namespace

int run_glut_window(const ShellRun& run) {
  current_run = &run;
  const ViewerOptions& options = run.options;
  SplitCommandLine& command_line = run.command_line;
  int glut_argc = static_cast<int>(command_line.glut.size());
  command_line.glut.push_back(nullptr);
  glutInitErrorFunc(on_glut_error);
  glutInit(&glut_argc, command_line.glut.data());
  end_quietly_on_stop_or_lost_display();
  glutInitDisplayMode(display_mode(options.samples, command_line.display));
  // In a window, -geometry (already read by glutInit) sets its size and place instead.
  if (!options.windowed || !command_line.geometry) glutInitWindowSize(1024, 768);
  if (options.windowed && !command_line.geometry) glutInitWindowPosition(10, 30);
  glutCreateWindow("Aerolume");
  if (!options.windowed) glutFullScreen();
  glutDisplayFunc(display_frame);
  glutReshapeFunc(on_reshape);
  glutKeyboardFunc(on_key);
  glutSpecialFunc(on_special_key);
  glutIdleFunc(display_frame);
  glutWindowStatusFunc(on_window_status);
  end_when_window_destroyed();
  set_window_control({leave_fullscreen, enter_fullscreen});
  start_viewer_scene(options);
  display_frame();
  glutMainLoop();
  return 0;
}

}  // namespace aerolume
