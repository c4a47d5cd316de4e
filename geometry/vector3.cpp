// Vector3: normalization (each square exact in double, the sum and the root rounded in
// double only, each quotient and the length rounded once to float) and sums that
// involve a normalized operand.
#include "geometry/vector3.h"

#include <cmath>

namespace aerolume {

Vector3 Vector3::normalized() const {
  if (is_normalized) return *this;
  const double length = std::sqrt(static_cast<double>(x) * x + static_cast<double>(y) * y +
                                  static_cast<double>(z) * z);
  Vector3 result;
  result.is_normalized = true;
  if (length == 0.0) return result;  // zero direction, w = 0: see the header
  result.x = static_cast<float>(x / length);
  result.y = static_cast<float>(y / length);
  result.z = static_cast<float>(z / length);
  result.w = static_cast<float>(length);
  return result;
}

namespace vector3_detail {

Vector3 combine_mixed(const Vector3& a, const Vector3& b, double sign) {
  const Vector3 q = b.plain();
  const Vector3 p = a.plain();
  const Vector3 result(static_cast<float>(static_cast<double>(p.x) + sign * q.x),
                       static_cast<float>(static_cast<double>(p.y) + sign * q.y),
                       static_cast<float>(static_cast<double>(p.z) + sign * q.z));
  return a.is_normalized ? result.normalized() : result;
}

}  // namespace vector3_detail

}  // namespace aerolume
