// The balloon mesh: profile curve, lathed vertex and normal grids, their emission into
// display lists, and the choice of list by distance.
#include "assets/balloon_mesh.h"

#include <GL/gl.h>

#include <cstdint>

#include "core/state.h"
#include "geometry/matrix4.h"

namespace aerolume {

const Vector3 profile_top(0.0f, 1.0f, 0.0f);
const Vector3 profile_bottom(0.0f, 0.0f, 0.0f);
const Vector3 profile_top_tangent(1.0f, 0.0f, 0.0f);
const Vector3 profile_bottom_tangent(-2.0f, -1.0f, 0.0f);

namespace {

// One component of the Hermite sum, formed in double and rounded once.
float hermite_sum(float h00, float a, float h01, float b, float h10, float c, float h11, float d) {
  return static_cast<float>(static_cast<double>(h00) * a + static_cast<double>(h01) * b +
                            static_cast<double>(h10) * c + static_cast<double>(h11) * d);
}

void emit(const Vector3& normal, const Vector3& vertex) {
  glNormal3f(normal.x, normal.y, normal.z);
  glVertex3f(vertex.x, vertex.y, vertex.z);
}

}  // namespace

Vector3 profile_point(float t) {
  const double td = t;
  // Both powers are rounded to float; the cube is formed from t, not from the rounded square.
  const float t2 = static_cast<float>(td * td);
  const float t3 = static_cast<float>(td * td * td);
  const double d2 = t2, d3 = t3;
  // Each weight is a stored float.
  const float h00 = static_cast<float>(2.0 * d3 - 3.0 * d2 + 1.0);
  const float h01 = static_cast<float>(-2.0 * d3 + 3.0 * d2);
  const float h10 = static_cast<float>(d3 - 2.0 * d2 + td);
  const float h11 = static_cast<float>(d3 - d2);
  return Vector3(hermite_sum(h00, profile_top.x, h01, profile_bottom.x, h10, profile_top_tangent.x,
                             h11, profile_bottom_tangent.x),
                 hermite_sum(h00, profile_top.y, h01, profile_bottom.y, h10, profile_top_tangent.y,
                             h11, profile_bottom_tangent.y),
                 hermite_sum(h00, profile_top.z, h01, profile_bottom.z, h10, profile_top_tangent.z,
                             h11, profile_bottom_tangent.z));
}

BalloonMesh::BalloonMesh(int n) : n_(n) {
  if (n < 3) return;  // not a closed shape: nothing to lathe
  const int rings = n - 2;
  samples_.resize(static_cast<std::size_t>(n) + 1);
  for (int k = 0; k <= n; ++k)
    samples_[k] = profile_point(static_cast<float>(static_cast<double>(k) / n));

  vertices_.resize(static_cast<std::size_t>(n) * rings);
  normals_.resize(vertices_.size());
  for (int k = 2; k < n; ++k) vertices_[index(0, k)] = samples_[k];
  // Each meridian is turned from the previous one, so rounding accumulates around the
  // lathe exactly as the stored floats dictate.
  const Matrix4 turn = rotation_y(360.0 / n);
  for (int j = 1; j < n; ++j)
    for (int k = 2; k < n; ++k) vertices_[index(j, k)] = turn.transform(vertices_[index(j - 1, k)]);

  for (int j = 0; j < n; ++j) {
    const int next = j + 1 == n ? 0 : j + 1;
    const int previous = j == 0 ? n - 1 : j - 1;
    for (int k = 2; k < n; ++k) {
      const Vector3& v = vertices_[index(j, k)];
      // Neighbours: next meridian, ring below (the bottom pole under the last ring),
      // previous meridian, ring above (the top pole over ring 2).
      const Vector3 d0 = v - vertices_[index(next, k)];
      const Vector3 d1 = v - (k + 1 < n ? vertices_[index(j, k + 1)] : samples_[n]);
      const Vector3 d2 = v - vertices_[index(previous, k)];
      const Vector3 d3 = v - (k > 2 ? vertices_[index(j, k - 1)] : samples_[0]);
      // Summed in single precision, in this order.
      Vector3 sum;
      sum += cross(d1, d0);
      sum += cross(d2, d1);
      sum += cross(d3, d2);
      sum += cross(d0, d3);
      normals_[index(j, k)] = sum.normalized();
    }
  }
}

const Vector3& BalloonMesh::sample(int k) const { return samples_[k]; }
const Vector3& BalloonMesh::vertex(int j, int k) const { return vertices_[index(j, k)]; }
const Vector3& BalloonMesh::normal(int j, int k) const { return normals_[index(j, k)]; }

int segments_for_level(int level) { return 35 / (level * level) + 8; }

void build_balloon_mesh(int n) {
  const BalloonMesh mesh(n);
  if (n < 3) return;
  const Vector3 up(0.0f, 1.0f, 0.0f);
  const Vector3 down(0.0f, -1.0f, 0.0f);

  glBegin(GL_TRIANGLE_FAN);
  emit(up, mesh.sample(0));
  for (int j = 0; j < n; ++j) emit(mesh.normal(j, 2), mesh.vertex(j, 2));
  emit(mesh.normal(0, 2), mesh.vertex(0, 2));
  glEnd();

  for (int j = 0; j < n; ++j) {
    const int next = j + 1 == n ? 0 : j + 1;
    glBegin(GL_TRIANGLE_STRIP);
    for (int k = 2; k < n; ++k) {
      emit(mesh.normal(j, k), mesh.vertex(j, k));
      emit(mesh.normal(next, k), mesh.vertex(next, k));
    }
    glEnd();
  }

  glBegin(GL_TRIANGLE_FAN);
  emit(down, mesh.sample(n));
  for (int j = 0; j < n; ++j) emit(mesh.normal(j, n - 1), mesh.vertex(j, n - 1));
  emit(mesh.normal(0, n - 1), mesh.vertex(0, n - 1));
  glEnd();
}

void compile_lod_list(unsigned int name, int level) {
  if (name == 0) return;
  glNewList(name, GL_COMPILE);
  build_balloon_mesh(segments_for_level(level));
  glEndList();
}

void build_lod_lists() {
  for (int level = 1; level <= 4; ++level) {
    const unsigned int name = glGenLists(1);
    lod_lists[level - 1] = name;
    compile_lod_list(name, level);
  }
}

int lod_for_distance(double d2) {
  // R < 5 exactly when the integer part is below 500000, and so on; the integer part is
  // only formed below the last threshold, where it fits any integer type. Everything at
  // or beyond it, +inf included, is level 4, and so is NaN, which fails every comparison.
  if (!(d2 < 2500000.0)) return 4;
  // Truncation toward zero gives R <= 0 for any negative value (and -inf).
  if (d2 < 0.0) return 1;
  const std::int64_t r = static_cast<std::int64_t>(d2) / 100000;
  if (r < 5) return 1;
  if (r < 15) return 2;
  return 3;  // R is at most 24 here
}

}  // namespace aerolume
