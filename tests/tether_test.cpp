// Tether rope: construction, the order of spring, gravity, damping and limit in a step,
// ownership of its arrays, and the line strip it hands to a Mesa GL context.
#include "render/scene_pass.h"
#include "sim/tether.h"

#include "tests/gl_capture.h"  // first of the GL headers

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <type_traits>
#include <utility>
#include <vector>

#include "tests/gl_fixture.h"

namespace aerolume {
namespace {

static_assert(!std::is_copy_constructible_v<Tether> && !std::is_copy_assignable_v<Tether>);
static_assert(std::is_nothrow_move_constructible_v<Tether> && std::is_nothrow_move_assignable_v<Tether>);

// float(0.99f · v): the damping of one component.
float damped(float v) { return static_cast<float>(static_cast<double>(0.99f) * v); }
// float(a + b) formed in double.
float sum(double a, double b) { return static_cast<float>(a + b); }
// The spring factor for a squared length, with the hundredth given as a double or a float.
float spring(float length2, double hundredth) { return static_cast<float>((length2 - 25.0) * hundredth); }

// A tether laid out by hand: point i at (xs[i], 0, 0), all velocities zero.
Tether horizontal(std::vector<float> xs) {
  Tether t(static_cast<std::int32_t>(xs.size()), Vector3());
  for (std::size_t i = 0; i < xs.size(); ++i) t.positions[i] = Vector3(xs[i], 0, 0);
  return t;
}

bool is_plain_zero(const Vector3& v) { return v.x == 0 && v.y == 0 && v.z == 0 && v.w == 0 && !v.is_normalized; }

TEST(Tether, HangsStraightDownFromTheAnchorAtRest) {
  const Tether t(15, Vector3(10, 100, 20));
  ASSERT_EQ(t.count, 15);
  for (int i = 0; i < 15; ++i) {
    EXPECT_EQ(t.positions[i].x, 10.0f);
    EXPECT_EQ(t.positions[i].y, 100.0f - 5.0f * i);
    EXPECT_EQ(t.positions[i].z, 20.0f);
    EXPECT_TRUE(is_plain_zero(t.velocities[i])) << i;
  }
}

TEST(Tether, EmptyAndOnePointTethersStepAsNoOp) {
  Tether none;
  none.step(Vector3(1, 2, 3));
  EXPECT_EQ(none.count, 0);
  EXPECT_EQ(none.positions.get(), nullptr);
  EXPECT_EQ(none.velocities.get(), nullptr);
  for (const std::int32_t count : {0, -1, -2147483647 - 1}) EXPECT_EQ(Tether(count, Vector3()).count, 0) << count;
  Tether single(1, Vector3(1, 2, 3));
  single.step(Vector3(7, 8, 9));
  EXPECT_EQ(single.positions[0].x, 1.0f);
  EXPECT_TRUE(is_plain_zero(single.velocities[0]));
}

TEST(Tether, FirstStepAtRestAppliesGravityBeforeDampingExceptAtTheEnd) {
  Tether t(15, Vector3(10, 100, 20));
  t.step(Vector3(10, 100, 20));
  const float interior = damped(-0.05f);
  EXPECT_NEAR(interior, -0.0495, 1e-8);
  for (int i = 1; i < 14; ++i) {
    EXPECT_TRUE(t.velocities[i].x == 0 && t.velocities[i].y == interior && t.velocities[i].z == 0) << i;
    EXPECT_EQ(t.positions[i].y, sum(100.0f - 5.0f * i, interior)) << i;
  }
  EXPECT_EQ(t.velocities[14].y, -0.05f);
  EXPECT_EQ(t.positions[14].y, sum(30.0, -0.05f));
  EXPECT_EQ(t.positions[0].y, 100.0f);
}

TEST(Tether, SpringsPullAtSixApartAndPushAtFourFromTheOldPositions) {
  // Interior point 1 is 6 from the anchor and at rest length from the last point.
  Tether pulled = horizontal({0, 6, 11});
  pulled.step(Vector3());
  const float pull = static_cast<float>(-6.0 * spring(36.0f, 0.01));
  EXPECT_NEAR(spring(36.0f, 0.01), 0.11, 1e-8);
  EXPECT_NEAR(pull, -0.66, 1e-6);
  EXPECT_EQ(pulled.velocities[1].x, damped(pull));
  EXPECT_EQ(pulled.velocities[1].y, damped(-0.05f));
  EXPECT_EQ(pulled.positions[1].x, sum(6.0, damped(pull)));
  // The last point sees point 1 where it was before the step: its spring is at rest.
  EXPECT_EQ(pulled.velocities[2].x, 0.0f);

  // The last point, 4 from its neighbour, is pushed away; damping comes before gravity.
  Tether pushed = horizontal({0, 4});
  pushed.step(Vector3());
  const float push = static_cast<float>(-4.0 * spring(16.0f, 0.01));
  EXPECT_NEAR(spring(16.0f, 0.01), -0.09, 1e-8);
  EXPECT_NEAR(push, 0.36, 1e-6);
  EXPECT_EQ(pushed.velocities[1].x, damped(push));
  EXPECT_EQ(pushed.velocities[1].y, -0.05f);

  // At 3.02 apart the factor with a float hundredth would round differently.
  const float separation = 3.02f;
  const float length2 = static_cast<float>(static_cast<double>(separation) * separation);
  ASSERT_NE(spring(length2, 0.01), spring(length2, static_cast<double>(0.01f)));
  Tether tight = horizontal({0, separation});
  tight.step(Vector3());
  EXPECT_EQ(tight.velocities[1].x, damped(static_cast<float>(-double(separation) * spring(length2, 0.01))));
}

TEST(Tether, OnlyTheVerticalSpeedIsLimited) {
  Tether t(15, Vector3());
  t.velocities[1] = Vector3(100, 10, -100);  // far above the bound
  t.velocities[2].y = -10;                   // far below it
  t.velocities[3].y = 0.08f;                 // inside once gravity and damping are applied
  t.velocities[13].y = -0.06f;               // just outside
  t.velocities[14].y = 10;
  t.step(Vector3());
  EXPECT_EQ(t.velocities[1].x, damped(100));
  EXPECT_EQ(t.velocities[1].y, 0.05f);
  EXPECT_EQ(t.velocities[1].z, damped(-100));
  EXPECT_EQ(t.velocities[2].y, -0.05f);
  EXPECT_EQ(t.velocities[3].y, damped(sum(0.08f, -0.05f)));
  EXPECT_NEAR(t.velocities[3].y, 0.0297, 1e-6);
  EXPECT_EQ(t.velocities[13].y, -0.05f);
  EXPECT_EQ(t.velocities[14].y, 0.05f);
  EXPECT_EQ(t.positions[1].y, sum(-5.0, 0.05f));  // the limited velocity moves the point
}

TEST(Tether, AnchorFollowsTheBalloonAndItsVelocityStaysZero) {
  Tether t(15, Vector3());
  Vector3 anchor;
  for (int i = 0; i < 500; ++i) {
    anchor = Vector3(static_cast<float>(5 * std::sin(i * 0.01)), 0.07f * i, static_cast<float>(5 * std::cos(i * 0.01)));
    t.step(anchor);
    ASSERT_TRUE(is_plain_zero(t.velocities[0])) << i;
  }
  EXPECT_TRUE(t.positions[0].x == anchor.x && t.positions[0].y == anchor.y && t.positions[0].z == anchor.z);
  for (int i = 1; i < 15; ++i) {
    EXPECT_LE(std::fabs(t.velocities[i].y), 0.05f) << i;
    EXPECT_LT(t.positions[i].y, anchor.y) << i;
  }
}

TEST(Tether, MovesItsArraysAndLeavesTheSourceEmpty) {
  Tether a(15, Vector3(10, 100, 20));
  const Vector3* positions = a.positions.get();
  Tether b(std::move(a));
  EXPECT_TRUE(b.count == 15 && b.positions.get() == positions);
  EXPECT_TRUE(a.count == 0 && a.positions == nullptr && a.velocities == nullptr);
  a.step(Vector3());  // steps as an empty tether
  Tether c;
  c = std::move(b);
  EXPECT_TRUE(c.count == 15 && c.positions.get() == positions);
  EXPECT_TRUE(b.count == 0 && b.positions == nullptr && b.velocities == nullptr);
}

// One step written out with Vector3 arithmetic, as the rope's rules read: every
// velocity from the old positions (interior: both springs, gravity, damping; last
// point: its spring, damping, gravity; then the vertical limit), then every point moves.
void reference_step(std::vector<Vector3>& p, std::vector<Vector3>& v, const Vector3& anchor) {
  const auto factor = [](const Vector3& d) {
    return static_cast<float>((static_cast<float>(length_squared(d)) - 25.0) * 0.01);
  };
  const auto limit = [](Vector3& u) {
    if (u.y >= 0.05f) u.y = 0.05f;
    if (u.y < -0.05f) u.y = -0.05f;
  };
  p[0] = anchor;
  const std::size_t last = p.size() - 1;
  for (std::size_t i = 1; i < last; ++i) {
    const Vector3 up = p[i - 1] - p[i];
    const Vector3 down = p[i + 1] - p[i];
    v[i] = ((v[i] + up.scaled(factor(up)) + down.scaled(factor(down))) + tether_gravity).scaled(0.99f);
    limit(v[i]);
  }
  const Vector3 up = p[last - 1] - p[last];
  v[last] = (v[last] + up.scaled(factor(up))).scaled(0.99f) + tether_gravity;
  limit(v[last]);
  for (std::size_t j = 1; j <= last; ++j) p[j] = p[j] + v[j];
}

bool same_bits(const Vector3& a, const Vector3& b) {
  return std::memcmp(&a.x, &b.x, sizeof(float)) == 0 && std::memcmp(&a.y, &b.y, sizeof(float)) == 0 &&
         std::memcmp(&a.z, &b.z, sizeof(float)) == 0 && std::memcmp(&a.w, &b.w, sizeof(float)) == 0 &&
         a.is_normalized == b.is_normalized;
}

TEST(Tether, StepsBitForBitAsTheVectorArithmeticForPlainAndNormalizedAnchors) {
  // A swinging rope, far from rest, with a moving anchor; then the same with the anchor
  // handed over in normalized form, which the rope must treat by the vector rules too.
  std::mt19937 random(11);
  std::uniform_real_distribution<float> jitter(-1.0f, 1.0f);
  for (const bool normalized_anchor : {false, true}) {
    Tether t(15, Vector3(300, 2000, 400));
    for (int k = 1; k < 15; ++k) {
      t.positions[k] = t.positions[k] + Vector3(jitter(random), jitter(random), jitter(random));
      t.velocities[k] = Vector3(jitter(random) / 10, jitter(random) / 30, jitter(random) / 10);
    }
    std::vector<Vector3> p(t.positions.get(), t.positions.get() + 15);
    std::vector<Vector3> v(t.velocities.get(), t.velocities.get() + 15);
    for (int step = 0; step < 300; ++step) {
      Vector3 anchor(300 + 2 * std::sin(step * 0.05f), 2000 + 0.03f * step, 400 - 0.5f * step);
      if (normalized_anchor) anchor = anchor.normalized();
      t.step(anchor);
      reference_step(p, v, anchor);
      for (int k = 0; k < 15; ++k) {
        ASSERT_TRUE(same_bits(t.positions[k], p[k])) << "point " << k << ", step " << step;
        ASSERT_TRUE(same_bits(t.velocities[k], v[k])) << "velocity " << k << ", step " << step;
      }
    }
    EXPECT_TRUE(std::isfinite(t.positions[14].x) && std::isfinite(t.positions[14].y));
  }
}

class TetherDraw : public gltest::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (!HasFatalFailure()) capture_ = std::make_unique<gltest::PrimitiveCapture>();
  }
  void TearDown() override { capture_.reset(); }
  std::vector<std::vector<gltest::CapturedVertex>> lines_of(const Tether& t) {
    return capture_->capture(GL_LINES, [&t] { draw_rope(t); });
  }

  std::unique_ptr<gltest::PrimitiveCapture> capture_;
};

TEST_F(TetherDraw, OneUnbrokenLineThroughEveryPointShiftedOneToTheLeft) {
  Tether t(15, Vector3(10, 100, 20));
  for (int i = 0; i < 40; ++i) t.step(Vector3(10.3f + 0.25f * i, 100.0f + 0.07f * i, 20.0f));
  const auto segments = lines_of(t);
  // 15 points in one strip make 14 segments, each starting where the last one ended.
  ASSERT_EQ(segments.size(), 14u);
  for (std::size_t i = 0; i < segments.size(); ++i)
    for (std::size_t end = 0; end < 2; ++end) {
      const Vector3& p = t.positions[i + end];
      const Vector3& drawn = segments[i][end].position;
      EXPECT_TRUE(drawn.x == sum(p.x, -1.0) && drawn.y == p.y && drawn.z == p.z) << "point " << i + end;
    }
  EXPECT_TRUE(lines_of(Tether()).empty());
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace aerolume
