// The program: the scene in a GLUT window (full screen, or windowed with --windowed)
// until Esc, or drawn into a window another program owns (--window-id, --root,
// XSCREENSAVER_WINDOW) through the X11 + GLX shell. GLUT's own options come first.
// Either way it is paced for its role, draws nothing while nobody can see it, and ends
// with status 0 on SIGTERM, SIGINT or a lost display.
#include <GL/freeglut.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/controls.h"
#include "app/frame.h"
#include "app/frame_pacing.h"
#include "app/glx_samples.h"
#include "app/scene_setup.h"
#include "app/shell_ends.h"
#include "app/viewer_options.h"
#include "app/x11_shell.h"
#include "core/state.h"
#include "render/framebuffer_samples.h"
#include "render/render_state.h"

namespace {

aerolume::ViewerOptions options;
std::unique_ptr<aerolume::FrameRateLine> rate_line;
std::unique_ptr<aerolume::FrameLimiter> limiter;

// GLUT reports a fatal problem (no display, no suitable visual) here; it is given one
// clear line and a failure status instead of GLUT's own message.
void on_glut_error(const char* format, va_list args) {
  std::fputs("aerolume: cannot start the window: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputs(" (is a graphical display available and DISPLAY set?)\n", stderr);
  std::exit(1);
}

// The scene from the chosen seed (the clock by default), then the modes asked for.
void start_chosen_scene() {
  aerolume::start_scene(options.scene);
  if (options.windowed) aerolume::fullscreen = false;
}

// After each presented frame: the frame-rate line, then the wait for the next slot.
void after_frame() {
  if (rate_line) rate_line->frame_done();
  if (limiter) limiter->wait();
}

void display_frame() {
  aerolume::render_frame();
  glutSwapBuffers();
  after_frame();
}

// Whether frames run: only while the window can be seen.
bool drawing = true;

// Hidden (unmapped, as when minimized) or fully covered, the window is not drawn: the
// idle callback goes, and with it every frame, until the window is seen again. The
// scene then goes on from where it stopped.
void on_window_status(int status) {
  const bool seen = status == GLUT_FULLY_RETAINED || status == GLUT_PARTIALLY_RETAINED;
  if (seen == drawing) return;
  drawing = seen;
  glutIdleFunc(seen ? display_frame : nullptr);
  if (seen) aerolume::restart_frame_interval();
}

// GLUT's display mode, with sample buffers when --samples asks for them: the count
// asked if the display has it, else the nearest below, said once on stderr.
unsigned int display_mode(const char* display_name) {
  const unsigned int mode = GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH;
  if (options.samples == 0) return mode;
  const int taken = aerolume::samples_to_take(options.samples,
                                              aerolume::glx_window_sample_counts(display_name));
  std::fputs(aerolume::samples_taken_note("aerolume", options.samples, taken).c_str(), stderr);
  if (taken == 0) return mode;
  glutSetOption(GLUT_MULTISAMPLE, taken);
  return mode | GLUT_MULTISAMPLE;
}

void on_reshape(int width, int height) {
  aerolume::reshape_viewport(width, height);
  glutPostRedisplay();
}

void leave_fullscreen() {
  glutReshapeWindow(1024, 768);
  glutPositionWindow(10, 30);
}

void enter_fullscreen() { glutFullScreen(); }

static_assert(aerolume::key_f1 == GLUT_KEY_F1 && aerolume::key_left == GLUT_KEY_LEFT &&
              aerolume::key_up == GLUT_KEY_UP && aerolume::key_right == GLUT_KEY_RIGHT &&
              aerolume::key_down == GLUT_KEY_DOWN);

int run_glut_window(aerolume::SplitCommandLine& command_line) {
  int glut_argc = static_cast<int>(command_line.glut.size());
  command_line.glut.push_back(nullptr);
  glutInitErrorFunc(on_glut_error);
  glutInit(&glut_argc, command_line.glut.data());
  aerolume::end_quietly_on_stop_or_lost_display();
  glutInitDisplayMode(display_mode(command_line.display));
  // In a window, -geometry (already read by glutInit) sets its size and place instead.
  if (!options.windowed || !command_line.geometry) glutInitWindowSize(1024, 768);
  if (options.windowed && !command_line.geometry) glutInitWindowPosition(10, 30);
  glutCreateWindow("Aerolume");
  if (!options.windowed) glutFullScreen();
  glutDisplayFunc(display_frame);
  glutReshapeFunc(on_reshape);
  glutKeyboardFunc(aerolume::on_key);
  glutSpecialFunc(aerolume::on_special_key);
  glutIdleFunc(display_frame);
  glutWindowStatusFunc(on_window_status);
  aerolume::set_window_control({leave_fullscreen, enter_fullscreen});
  start_chosen_scene();
  display_frame();
  glutMainLoop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  aerolume::SplitCommandLine command_line = aerolume::split_glut_options(argc, argv);
  aerolume::ParsedViewerCommandLine parsed = aerolume::parse_viewer_options(
      static_cast<int>(command_line.ours.size()), command_line.ours.data(),
      std::getenv("XSCREENSAVER_WINDOW"));
  if (!command_line.problem.empty() && parsed.run) {
    std::fprintf(stderr, "aerolume: %s\n%s\n", command_line.problem.c_str(),
                 aerolume::usage_hint("aerolume").c_str());
    return aerolume::usage_error_status;
  }
  std::fputs(parsed.out_text.c_str(), stdout);
  std::fputs(parsed.err_text.c_str(), stderr);
  if (!parsed.run) return parsed.exit_status;
  options = parsed.options;
  if (options.fps) rate_line = std::make_unique<aerolume::FrameRateLine>(stdout);
  if (const int cap = options.frame_cap(); cap > 0) {
    limiter = std::make_unique<aerolume::FrameLimiter>(cap);
    // Paced frames sleep: timed steps then follow the wall clock.
    aerolume::set_step_clock(aerolume::StepClock::frame_interval);
  }

  if (options.in_host_window()) {
    // The X11 shell opens the display that -display names, as GLUT would.
    if (command_line.display != nullptr) setenv("DISPLAY", command_line.display, 1);
    aerolume::end_quietly_on_stop_or_lost_display();
    return aerolume::run_in_x_window(options.window_id.value_or(0), options.root,
                                     {start_chosen_scene, after_frame});
  }
  return run_glut_window(command_line);
}
