// The sky dome: its vertex grid and its textured strips.
#include "assets/sky_dome.h"

#include <GL/gl.h>

#include "core/state.h"
#include "geometry/matrix4.h"

namespace aerolume {

const float dome_span = 80.0f;
const Vector3 dome_apex(0.0f, 500000.0f, 0.0f);

std::vector<Vector3> build_dome_grid(int n) {
  std::vector<Vector3> grid;
  if (n <= 0 || n % 2 == 0) return grid;
  const float step = static_cast<float>(static_cast<double>(dome_span) / n);
  const int half = n / 2;
  grid.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
  for (int r = -half; r <= half; ++r) {
    for (int s = -half; s <= half; ++s) {
      Vector3 v = dome_apex;
      v = rotation_z(r * static_cast<double>(step)).transform(v);
      v = rotation_x(s * static_cast<double>(step)).transform(v);
      grid[static_cast<std::size_t>((r + half) * n + (s + half))] = v;
    }
  }
  return grid;
}

void draw_sky_dome(int n) {
  if (n <= 0 || n % 2 == 0) return;
  glColor3f(1.0f, 1.0f, 1.0f);
  // The grid depends on n alone: built once, not for every frame (a partial frame draws
  // the dome once for each of its parts, and the rotations are most of a dome's cost).
  static std::vector<Vector3> grid;
  static int grid_n = 0;
  if (grid_n != n) {
    grid = build_dome_grid(n);
    grid_n = n;
  }
  glDisable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glBindTexture(GL_TEXTURE_2D, cloud_texture);
  const double last = n - 1;
  const auto at = [&](int r, int s) -> const Vector3& {
    return grid[static_cast<std::size_t>(r * n + s)];
  };
  for (int r = 0; r < n - 1; ++r) {
    glBegin(GL_TRIANGLE_STRIP);
    for (int s = 0; s < n; ++s) {
      glTexCoord2f(static_cast<float>(r / last), static_cast<float>(s / last));
      glVertex3f(at(r, s).x, at(r, s).y, at(r, s).z);
      glTexCoord2f(static_cast<float>((r + 1) / last), static_cast<float>(s / last));
      glVertex3f(at(r + 1, s).x, at(r + 1, s).y, at(r + 1, s).z);
    }
    glEnd();
  }
  glEnable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
}

}  // namespace aerolume
