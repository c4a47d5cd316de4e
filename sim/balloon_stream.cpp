// The scene pass.
#include "sim/balloon_stream.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "app/state.h"
#include "assets/sky.h"

namespace aerolume {

void draw_scene() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  gluLookAt(eye.x, eye.y, eye.z, look_at.x, look_at.y, look_at.z, 0.0, 1.0, 0.0);
  // The sky dome, last, far below the scene origin so that its cap spans the sky.
  glPushMatrix();
  glTranslatef(0.0f, -450000.0f, 0.0f);
  draw_sky_dome(9);
  glPopMatrix();
}

}  // namespace aerolume
