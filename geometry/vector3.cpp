// Vector3 arithmetic. Each expression is formed in double and rounded to float only
// where a component is stored.
#include "geometry/vector3.h"

#include <cmath>

namespace aerolume {

namespace {

enum class Sign { plus, minus };

Vector3 combine(Vector3 a, Vector3 b, Sign sign) {
  if (b.is_normalized) b = b.plain();
  const Vector3 p = a.is_normalized ? a.plain() : a;
  const double s = sign == Sign::plus ? 1.0 : -1.0;
  const Vector3 result(static_cast<float>(static_cast<double>(p.x) + s * b.x),
                       static_cast<float>(static_cast<double>(p.y) + s * b.y),
                       static_cast<float>(static_cast<double>(p.z) + s * b.z));
  return a.is_normalized ? result.normalized() : result;
}

}  // namespace

Vector3& Vector3::set(float x_, float y_, float z_) {
  x = x_;
  y = y_;
  z = z_;
  w = 0.0f;
  is_normalized = false;
  return *this;
}

Vector3 Vector3::normalized() const {
  if (is_normalized) return *this;
  // Each square is exact in double; the sum and the root are rounded in double only.
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

Vector3 Vector3::plain() const {
  if (!is_normalized) return *this;
  return Vector3(static_cast<float>(static_cast<double>(x) * w),
                 static_cast<float>(static_cast<double>(y) * w),
                 static_cast<float>(static_cast<double>(z) * w));
}

Vector3 Vector3::scaled(float f) const {
  const double d = f;
  return Vector3(static_cast<float>(d * x), static_cast<float>(d * y), static_cast<float>(d * z));
}

Vector3& Vector3::operator+=(const Vector3& b) {
  *this = *this + b;
  return *this;
}

Vector3 operator+(Vector3 a, Vector3 b) { return combine(a, b, Sign::plus); }
Vector3 operator-(Vector3 a, Vector3 b) { return combine(a, b, Sign::minus); }

Vector3 cross(Vector3 a, Vector3 b) {
  const double ax = a.x, ay = a.y, az = a.z;
  return Vector3(static_cast<float>(ay * b.z - az * b.y), static_cast<float>(az * b.x - ax * b.z),
                 static_cast<float>(ax * b.y - ay * b.x));
}

double length_squared(Vector3 v) {
  const double x = v.x, y = v.y, z = v.z;
  return x * x + y * y + z * z;
}

double distance_squared(Vector3 a, Vector3 b) {
  const double dx = static_cast<double>(a.x) - b.x;
  const double dy = static_cast<double>(a.y) - b.y;
  const double dz = static_cast<double>(a.z) - b.z;
  return dx * dx + dy * dy + dz * dz;
}

}  // namespace aerolume
