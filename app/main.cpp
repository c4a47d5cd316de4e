// The program: a full-screen GLUT window that runs the scene until Esc, or, when given a
// window to draw into (--window-id, --root, XSCREENSAVER_WINDOW), the X11 + GLX shell.
#include <GL/freeglut.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "app/controls.h"
#include "app/frame.h"
#include "app/scene_setup.h"
#include "app/x11_shell.h"

namespace {

// GLUT reports a fatal problem (no display, no suitable visual) here; it is given one
// clear line and a failure status instead of GLUT's own message.
void on_glut_error(const char* format, va_list args) {
  std::fputs("aerolume: cannot start the window: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputs(" (is a graphical display available and DISPLAY set?)\n", stderr);
  std::exit(1);
}

void display_frame() {
  aerolume::render_frame();
  glutSwapBuffers();
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

void start_scene() { aerolume::init_scene(); }

// Runs the X11 + GLX shell when the command line names a window (--window-id ID or --root),
// or, without either, when XSCREENSAVER_WINDOW holds one; returns its exit status, or nothing
// when the GLUT window is wanted. A malformed id is reported and ends with status 1.
std::optional<int> run_in_foreign_window(int argc, char** argv) {
  const aerolume::ShellHooks hooks{start_scene, nullptr};
  const char* id_text = nullptr;
  const char* id_source = "--window-id";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--root") == 0) return aerolume::run_in_x_window(0, true, hooks);
    if (std::strcmp(argv[i], "--window-id") == 0) {
      id_text = i + 1 < argc ? argv[i + 1] : "";
      break;
    }
  }
  if (id_text == nullptr) {
    id_text = std::getenv("XSCREENSAVER_WINDOW");
    id_source = "XSCREENSAVER_WINDOW";
    if (id_text == nullptr || *id_text == '\0') return std::nullopt;
  }
  unsigned long id = 0;
  if (!aerolume::parse_window_id(id_text, &id)) {
    std::fprintf(stderr,
                 "aerolume: %s needs an X window id (decimal or 0x hexadecimal), not \"%s\"\n",
                 id_source, id_text);
    return 1;
  }
  return aerolume::run_in_x_window(id, false, hooks);
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> status = run_in_foreign_window(argc, argv)) return *status;
  glutInitErrorFunc(on_glut_error);
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(1024, 768);
  glutCreateWindow("Aerolume");
  glutFullScreen();
  glutDisplayFunc(display_frame);
  glutReshapeFunc(on_reshape);
  glutKeyboardFunc(aerolume::on_key);
  glutSpecialFunc(aerolume::on_special_key);
  glutIdleFunc(display_frame);
  aerolume::set_window_control({leave_fullscreen, enter_fullscreen});
  aerolume::init_scene();
  display_frame();
  glutMainLoop();
  return 0;
}
