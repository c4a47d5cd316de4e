// Vector3: the one small value type for points, directions, velocities and normals.
// A vector carries its own representation: plain components, or a unit direction with
// its magnitude in w. Every component is stored as a 32-bit float; every expression is
// evaluated in double and rounded once, where it is stored. The small operations are
// inline: the rope and the wind run them hundreds of thousands of times a second.
#pragma once

namespace aerolume {

struct Vector3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  float w = 0.0f;              // magnitude in normalized form, 0 in plain form
  bool is_normalized = false;  // false: plain form; true: normalized form

  Vector3() = default;
  // A plain vector with the given components.
  Vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

  // Assigns the components and makes the vector plain; returns the vector itself.
  Vector3& set(float x_, float y_, float z_) {
    x = x_;
    y = y_;
    z = z_;
    w = 0.0f;
    is_normalized = false;
    return *this;
  }

  // Unit direction with the length in w. An already normalized vector is returned
  // unchanged. A zero-length vector has no direction: it becomes the zero direction
  // (0, 0, 0) with w = 0, flagged normalized, so plain() gives the zero vector back
  // and nothing downstream ever sees a NaN.
  Vector3 normalized() const;

  // Plain components (x·w, y·w, z·w) of a normalized vector; a plain one unchanged.
  Vector3 plain() const {
    if (!is_normalized) return *this;
    const double m = w;
    return Vector3(static_cast<float>(x * m), static_cast<float>(y * m), static_cast<float>(z * m));
  }

  // (f·x, f·y, f·z) of the raw fields, always plain.
  Vector3 scaled(float f) const {
    const double d = f;
    return Vector3(static_cast<float>(d * x), static_cast<float>(d * y), static_cast<float>(d * z));
  }

  // Adds b and keeps this vector's representation.
  Vector3& operator+=(const Vector3& b);
};

namespace vector3_detail {

// The one rule behind + and -: a normalized right operand is made plain first, the
// left operand's plain components are combined with it, and the result takes the left
// operand's representation. sign is +1 or -1 (multiplying by it is exact). Out of line:
// the common case of two plain vectors is handled inline below.
Vector3 combine_mixed(const Vector3& a, const Vector3& b, double sign);

inline Vector3 combine(const Vector3& a, const Vector3& b, double sign) {
  if (a.is_normalized || b.is_normalized) return combine_mixed(a, b, sign);
  return Vector3(static_cast<float>(static_cast<double>(a.x) + sign * b.x),
                 static_cast<float>(static_cast<double>(a.y) + sign * b.y),
                 static_cast<float>(static_cast<double>(a.z) + sign * b.z));
}

}  // namespace vector3_detail

inline Vector3 operator+(const Vector3& a, const Vector3& b) { return vector3_detail::combine(a, b, 1.0); }
inline Vector3 operator-(const Vector3& a, const Vector3& b) { return vector3_detail::combine(a, b, -1.0); }
inline Vector3& Vector3::operator+=(const Vector3& b) { return *this = *this + b; }

// These read the raw x, y, z fields whatever the representation flag says.
inline Vector3 cross(const Vector3& a, const Vector3& b) {
  const double ax = a.x, ay = a.y, az = a.z;
  return Vector3(static_cast<float>(ay * b.z - az * b.y), static_cast<float>(az * b.x - ax * b.z),
                 static_cast<float>(ax * b.y - ay * b.x));
}

// x² + y² + z², unrounded.
inline double length_squared(const Vector3& v) {
  const double x = v.x, y = v.y, z = v.z;
  return x * x + y * y + z * z;
}

// Differences and sum in double, unrounded.
inline double distance_squared(const Vector3& a, const Vector3& b) {
  const double dx = static_cast<double>(a.x) - b.x;
  const double dy = static_cast<double>(a.y) - b.y;
  const double dz = static_cast<double>(a.z) - b.z;
  return dx * dx + dy * dy + dz * dz;
}

}  // namespace aerolume
