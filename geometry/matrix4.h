// Matrix4: 4 x 4 doubles for the rotations applied on the CPU (camera orbit, the
// balloon's lathe, the sky dome grid). Points are row vectors multiplied on the left,
// so row 3 would hold a translation and column j produces output component j.
#pragma once

#include "geometry/vector3.h"

namespace aerolume {

class Matrix4 {
 public:
  Matrix4();  // identity

  // One element. An index outside 0..3 ends the process at once with status -1 (255).
  double& at(int row, int col);
  double at(int row, int col) const;

  // v·M with the sums in double and each component rounded to float. Only v.x, v.y and
  // v.z are read. A normalized input gives a normalized result: its unit direction is
  // transformed and renormalized, and its former magnitude is not carried over.
  Vector3 transform(Vector3 v) const;

 private:
  double m_[4][4];
};

// Right-handed rotations about each axis; the angle is in degrees.
Matrix4 rotation_x(double degrees);
Matrix4 rotation_y(double degrees);
Matrix4 rotation_z(double degrees);

}  // namespace aerolume
