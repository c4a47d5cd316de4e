// The program: a full-screen GLUT window that runs the scene until Esc.
#include <GL/freeglut.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "app/controls.h"
#include "app/frame.h"
#include "app/scene_setup.h"

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

}  // namespace

int main(int argc, char** argv) {
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
