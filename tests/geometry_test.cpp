// Vector3 and Matrix4: representations, exact arithmetic, rotations, bad indices.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/matrix4.h"
#include "geometry/vector3.h"

namespace aerolume {
namespace {

void expect_vector(const Vector3& v, float x, float y, float z, float w, bool normalized) {
  EXPECT_EQ(v.x, x);
  EXPECT_EQ(v.y, y);
  EXPECT_EQ(v.z, z);
  EXPECT_EQ(v.w, w);
  EXPECT_EQ(v.is_normalized, normalized);
}

void expect_near(const Vector3& v, double x, double y, double z, double tolerance = 1e-6) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}

TEST(Vector3, DefaultIsPlainZeroAndSetMakesPlain) {
  expect_vector(Vector3(), 0, 0, 0, 0, false);
  Vector3 v = Vector3(3, 4, 0).normalized();
  Vector3& same = v.set(1, 2, 3);
  EXPECT_EQ(&same, &v);
  expect_vector(v, 1, 2, 3, 0, false);
}

TEST(Vector3, NormalizeKeepsLengthAndPlainRestoresComponents) {
  const Vector3 n = Vector3(3, 4, 0).normalized();
  expect_vector(n, 0.6f, 0.8f, 0.0f, 5.0f, true);
  expect_vector(n.plain(), 3, 4, 0, 0, false);
  // Already normalized: returned unchanged, no renormalization, w kept.
  Vector3 odd = n;
  odd.w = 7.0f;
  odd.x = 2.0f;
  expect_vector(odd.normalized(), 2.0f, 0.8f, 0.0f, 7.0f, true);
  // Plain vectors pass plain() unchanged.
  expect_vector(Vector3(1, 2, 3).plain(), 1, 2, 3, 0, false);
}

TEST(Vector3, NormalizeDividesByTheUnroundedDoubleLength) {
  // Squares, sum and root in double, each quotient rounded once. For this vector an
  // all-float normalize, and a division by the length rounded to float, both give x
  // one unit lower in the last place.
  const Vector3 v(0x1.a61bdp+0f, 0x1.07fd3p+0f, 0x1.47129p+0f);
  const double x = v.x, y = v.y, z = v.z;
  const double length = std::sqrt(x * x + y * y + z * z);
  const float rounded_length = static_cast<float>(length);
  const float float_length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  ASSERT_NE(static_cast<float>(x / length), static_cast<float>(x / rounded_length));
  ASSERT_NE(static_cast<float>(x / length), v.x / float_length);
  const Vector3 n = v.normalized();
  EXPECT_EQ(n.x, static_cast<float>(x / length));
  EXPECT_EQ(n.y, static_cast<float>(y / length));
  EXPECT_EQ(n.z, static_cast<float>(z / length));
  EXPECT_EQ(n.w, rounded_length);
  // A value whose squares need more than float precision.
  const Vector3 u(16777215.0f, 3.0f, 0.1f);
  const double lu = std::sqrt(16777215.0 * 16777215.0 + 9.0 + static_cast<double>(0.1f) * 0.1f);
  const Vector3 nu = u.normalized();
  EXPECT_EQ(nu.y, static_cast<float>(3.0 / lu));
  EXPECT_EQ(nu.z, static_cast<float>(static_cast<double>(0.1f) / lu));
}

TEST(Vector3, NormalizingZeroGivesAFiniteZeroDirection) {
  const Vector3 n = Vector3().normalized();
  expect_vector(n, 0, 0, 0, 0, true);
  expect_vector(n.plain(), 0, 0, 0, 0, false);
  const Vector3 sum = n + Vector3(1, 2, 2);
  EXPECT_TRUE(sum.is_normalized);
  EXPECT_EQ(sum.w, 3.0f);
}

TEST(Vector3, SumTakesTheLeftOperandsRepresentation) {
  const Vector3 left = Vector3(3, 4, 0).normalized();
  const Vector3 sum = left + Vector3(0, 0, 12);
  EXPECT_TRUE(sum.is_normalized);
  EXPECT_EQ(sum.w, 13.0f);
  EXPECT_EQ(sum.x, static_cast<float>(3.0 / 13.0));
  EXPECT_EQ(sum.y, static_cast<float>(4.0 / 13.0));
  EXPECT_EQ(sum.z, static_cast<float>(12.0 / 13.0));
  // A normalized right operand is made plain first; the result is plain.
  expect_vector(Vector3(0, 0, 12) + left, 3, 4, 12, 0, false);
  expect_vector(Vector3(0, 0, 12) - left, -3, -4, 12, 0, false);
  Vector3 acc = left;
  acc += Vector3(0, 0, 12);
  EXPECT_TRUE(acc.is_normalized);
  EXPECT_EQ(acc.w, 13.0f);
  Vector3 plain(1, 1, 1);
  plain += left;
  expect_vector(plain, 4, 5, 1, 0, false);
}

TEST(Vector3, ScaledWorksOnTheRawFieldsAndIsPlain) {
  const Vector3 n = Vector3(3, 4, 0).normalized();
  expect_vector(n.scaled(2.0f), 1.2f, 1.6f, 0.0f, 0.0f, false);
  expect_vector(Vector3(1, -2, 3).scaled(0.5f), 0.5f, -1.0f, 1.5f, 0, false);
}

TEST(Vector3, FreeFunctionsIgnoreTheFlag) {
  const Vector3 n = Vector3(3, 4, 0).normalized();
  EXPECT_NEAR(length_squared(n), 1.0, 1e-7);
  EXPECT_EQ(length_squared(Vector3(3, 4, 12)), 169.0);
  EXPECT_EQ(distance_squared(n, Vector3(0, 0, 0)), length_squared(n));
  expect_vector(cross(Vector3(1, 0, 0), Vector3(0, 1, 0)), 0, 0, 1, 0, false);
  expect_vector(cross(n, Vector3(0, 0, 1)), 0.8f, -0.6f, 0.0f, 0, false);
  // Results are unrounded doubles: 0.1f squared is not representable as a float.
  const double tenth = 0.1f;
  EXPECT_EQ(length_squared(Vector3(0.1f, 0, 0)), tenth * tenth);
  // Differences are formed in double: 1e8 - 1 is not representable as a float.
  EXPECT_EQ(distance_squared(Vector3(1e8f, 0, 0), Vector3(1, 0, 0)), 99999999.0 * 99999999.0);
}

TEST(Vector3, CrossRoundsOnceFromDouble) {
  // Products and difference in double (the products of two floats are exact there),
  // rounded once. For these components float products, and a float multiply-add, both
  // give z one unit lower in the last place.
  const Vector3 a(0x1.baad74p+0f, 0x1.297676p+0f, 0);
  const Vector3 b(0x1.ba4562p-1f, 0x1.7994fcp-1f, 0);
  const float once = static_cast<float>(static_cast<double>(a.x) * b.y - static_cast<double>(a.y) * b.x);
  volatile float ax_by = a.x * b.y, ay_bx = a.y * b.x;  // kept apart: no contraction
  ASSERT_NE(once, ax_by - ay_bx);
  ASSERT_NE(once, std::fma(a.x, b.y, -(a.y * b.x)));
  EXPECT_EQ(cross(a, b).z, once);
  EXPECT_EQ(cross(b, a).z, -once);
}

TEST(Matrix4, DefaultIsIdentityAndAtReachesEveryElement) {
  Matrix4 m;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(m.at(r, c), r == c ? 1.0 : 0.0);
  m.at(3, 0) = 5.0;
  const Vector3 moved = m.transform(Vector3(1, 2, 3));
  expect_vector(moved, 6, 2, 3, 0, false);
}

TEST(Matrix4DeathTest, IndexOutOfRangeEndsTheProcessWithMinusOne) {
  Matrix4 m;
  EXPECT_EXIT(m.at(4, 0), ::testing::ExitedWithCode(255), "");
  EXPECT_EXIT(m.at(0, -1), ::testing::ExitedWithCode(255), "");
  const Matrix4 c;
  EXPECT_EXIT((void)c.at(-1, 2), ::testing::ExitedWithCode(255), "");
}

TEST(Matrix4, RotationsTurnTheAxesRightHanded) {
  expect_near(rotation_y(90).transform(Vector3(1, 0, 0)), 0, 0, -1);
  expect_near(rotation_y(90).transform(Vector3(0, 0, 1)), 1, 0, 0);
  expect_near(rotation_z(90).transform(Vector3(1, 0, 0)), 0, 1, 0);
  expect_near(rotation_x(90).transform(Vector3(0, 1, 0)), 0, 0, 1);
  const Matrix4 y = rotation_y(30);
  const double t = 30 / 57.29577951308232;
  EXPECT_EQ(y.at(0, 0), std::cos(t));
  EXPECT_EQ(y.at(2, 0), std::sin(t));
  EXPECT_EQ(y.at(0, 2), -std::sin(t));
  EXPECT_EQ(y.at(1, 1), 1.0);
  EXPECT_EQ(y.at(3, 3), 1.0);
}

TEST(Matrix4, OrbitStepsCancelWithinFloatRounding) {
  const Vector3 start(0, 1500, -1250);
  const Vector3 back = rotation_y(-0.1).transform(rotation_y(0.1).transform(start));
  expect_near(back, 0, 1500, -1250, 1e-3);
}

TEST(Matrix4, TransformSumsInDoubleAndRoundsEachComponentOnce) {
  const Matrix4 m = rotation_y(0.1);
  const Vector3 v(0, 1500, -1250);
  const Vector3 r = m.transform(v);
  const double x = 0.0 * m.at(0, 0) + 1500.0 * m.at(1, 0) + -1250.0 * m.at(2, 0) + m.at(3, 0);
  const double z = 0.0 * m.at(0, 2) + 1500.0 * m.at(1, 2) + -1250.0 * m.at(2, 2) + m.at(3, 2);
  EXPECT_EQ(r.x, static_cast<float>(x));
  EXPECT_EQ(r.y, 1500.0f);
  EXPECT_EQ(r.z, static_cast<float>(z));
  EXPECT_FALSE(r.is_normalized);
}

TEST(Matrix4, NormalizedInputComesBackRenormalized) {
  const Vector3 n = Vector3(3, 4, 0).normalized();
  const Vector3 same = Matrix4().transform(n);
  EXPECT_TRUE(same.is_normalized);
  EXPECT_NEAR(same.w, 1.0f, 1e-6);
  EXPECT_NEAR(same.x, 0.6f, 1e-6);
  const Vector3 turned = rotation_z(90).transform(n);
  EXPECT_TRUE(turned.is_normalized);
  expect_near(turned, -0.8, 0.6, 0);
}

}  // namespace
}  // namespace aerolume
