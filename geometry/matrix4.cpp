// Matrix4: identity, element access with a hard stop on a bad index, the transform of
// a Vector3, and the three rotation builders.
#include "geometry/matrix4.h"

#include <cmath>
#include <cstdlib>

namespace aerolume {

namespace {

constexpr double degrees_per_radian = 57.29577951308232;

void check_index(int row, int col) {
  if (row < 0 || row > 3 || col < 0 || col > 3) std::exit(-1);
}

struct Rotation {
  double c;
  double s;
};

Rotation rotation_terms(double degrees) {
  const double t = degrees / degrees_per_radian;
  return {std::cos(t), std::sin(t)};
}

}  // namespace

Matrix4::Matrix4() {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m_[r][c] = r == c ? 1.0 : 0.0;
}

double& Matrix4::at(int row, int col) {
  check_index(row, col);
  return m_[row][col];
}

double Matrix4::at(int row, int col) const {
  check_index(row, col);
  return m_[row][col];
}

Vector3 Matrix4::transform(Vector3 v) const {
  const double x = v.x, y = v.y, z = v.z;
  const Vector3 result(static_cast<float>(x * m_[0][0] + y * m_[1][0] + z * m_[2][0] + m_[3][0]),
                       static_cast<float>(x * m_[0][1] + y * m_[1][1] + z * m_[2][1] + m_[3][1]),
                       static_cast<float>(x * m_[0][2] + y * m_[1][2] + z * m_[2][2] + m_[3][2]));
  return v.is_normalized ? result.normalized() : result;
}

Matrix4 rotation_x(double degrees) {
  const Rotation r = rotation_terms(degrees);
  Matrix4 m;
  m.at(1, 1) = r.c;
  m.at(2, 1) = -r.s;
  m.at(1, 2) = r.s;
  m.at(2, 2) = r.c;
  return m;
}

Matrix4 rotation_y(double degrees) {
  const Rotation r = rotation_terms(degrees);
  Matrix4 m;
  m.at(0, 0) = r.c;
  m.at(2, 0) = r.s;
  m.at(0, 2) = -r.s;
  m.at(2, 2) = r.c;
  return m;
}

Matrix4 rotation_z(double degrees) {
  const Rotation r = rotation_terms(degrees);
  Matrix4 m;
  m.at(0, 0) = r.c;
  m.at(1, 0) = -r.s;
  m.at(0, 1) = r.s;
  m.at(1, 1) = r.c;
  return m;
}

}  // namespace aerolume
