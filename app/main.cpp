// The program: the scene in a GLUT window (full screen, or windowed with --windowed)
// until Esc, or drawn into a window another program owns (--window-id, --root,
// XSCREENSAVER_WINDOW) through the X11 + GLX shell. GLUT's own options come first.
#include <GL/freeglut.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/controls.h"
#include "app/frame.h"
#include "app/frame_pacing.h"
#include "app/scene_setup.h"
#include "app/viewer_options.h"
#include "app/x11_shell.h"
#include "core/state.h"
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
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
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
  if (options.max_fps > 0) limiter = std::make_unique<aerolume::FrameLimiter>(options.max_fps);

  if (options.window_id || options.root) {
    // The X11 shell opens the display that -display names, as GLUT would.
    if (command_line.display != nullptr) setenv("DISPLAY", command_line.display, 1);
    return aerolume::run_in_x_window(options.window_id.value_or(0), options.root,
                                     {start_chosen_scene, after_frame});
  }
  return run_glut_window(command_line);
}
