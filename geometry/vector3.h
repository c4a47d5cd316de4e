// Vector3: the one small value type for points, directions, velocities and normals.
// A vector carries its own representation: plain components, or a unit direction with
// its magnitude in w. Every component is stored as a 32-bit float; every expression is
// evaluated in double and rounded once, where it is stored.
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
  Vector3& set(float x_, float y_, float z_);

  // Unit direction with the length in w. An already normalized vector is returned
  // unchanged. A zero-length vector has no direction: it becomes the zero direction
  // (0, 0, 0) with w = 0, flagged normalized, so plain() gives the zero vector back
  // and nothing downstream ever sees a NaN.
  Vector3 normalized() const;
  // Plain components (x·w, y·w, z·w) of a normalized vector; a plain one unchanged.
  Vector3 plain() const;
  // (f·x, f·y, f·z) of the raw fields, always plain.
  Vector3 scaled(float f) const;

  // Adds b and keeps this vector's representation.
  Vector3& operator+=(const Vector3& b);
};

// The result takes the representation of the left operand; a normalized right operand
// is made plain first.
Vector3 operator+(Vector3 a, Vector3 b);
Vector3 operator-(Vector3 a, Vector3 b);

// These read the raw x, y, z fields whatever the representation flag says.
Vector3 cross(Vector3 a, Vector3 b);
double length_squared(Vector3 v);            // unrounded
double distance_squared(Vector3 a, Vector3 b);  // differences and sum in double, unrounded

}  // namespace aerolume
