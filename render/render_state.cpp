// Start-up render state, lighting and projection, in the order the scene relies on.
#include "render/render_state.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <optional>

namespace aerolume {

namespace {

// The viewport the last reshape set, with the projection of its aspect; none after the
// start-up projection.
struct Viewport {
  int x, y, width, height;
  bool operator==(const Viewport&) const = default;
};
std::optional<Viewport> viewport_set;

}  // namespace

void init_render_state() {
  viewport_set.reset();
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glEnable(GL_DEPTH_TEST);
  glClearColor(0.2f, 0.5f, 1.0f, 1.0f);
  glClearDepth(1.0);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  // The projection matrix is still the identity here, so no glLoadIdentity first.
  glMatrixMode(GL_PROJECTION);
  gluPerspective(field_of_view, 4.0 / 3.0, near_plane, far_plane);
  glMatrixMode(GL_MODELVIEW);
}

void init_lighting() {
  static const GLfloat ambient[] = {0.5f, 0.5f, 0.5f, 1.0f};
  static const GLfloat white[] = {1.0f, 1.0f, 1.0f, 1.0f};
  // w = 0: a directional light, fixed in eye coordinates (the model-view matrix is
  // the identity when this runs and the position is never given again).
  static const GLfloat direction[] = {1.0f, 1.0f, 1.0f, 0.0f};
  static const GLfloat shininess[] = {16.0f};

  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glShadeModel(GL_SMOOTH);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_NORMALIZE);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glLightfv(GL_LIGHT0, GL_SPECULAR, white);
  glLightfv(GL_LIGHT0, GL_POSITION, direction);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, white);
}

void reshape_viewport(int width, int height) { reshape_viewport(0, 0, width, height); }

void use_viewport(int x, int y, int width, int height) {
  if (viewport_set != Viewport{x, y, width, height}) reshape_viewport(x, y, width, height);
}

void reshape_viewport(int x, int y, int width, int height) {
  viewport_set = Viewport{x, y, width, height};
  if (height == 0) height = 1;
  glViewport(x, y, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(field_of_view, static_cast<double>(width) / static_cast<double>(height),
                 near_plane, far_plane);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

}  // namespace aerolume
