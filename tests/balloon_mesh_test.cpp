// Balloon mesh: the profile curve, the lathed grids, the choice of level by distance, and
// what each emission and compiled display list really hands to a Mesa GL context.
#include "assets/balloon_mesh.h"

#include "tests/gl_capture.h"  // first of the GL headers

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "run/scene_setup.h"
#include "core/state.h"
#include "geometry/matrix4.h"
#include "tests/gl_fixture.h"

namespace aerolume {
namespace {

using gltest::CapturedVertex;
using gltest::PrimitiveCapture;
using Triangle = std::vector<CapturedVertex>;

constexpr int level_segments[4] = {43, 16, 11, 10};

void expect_near(const Vector3& v, double x, double y, double z, double tolerance) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}

bool same_values(const Vector3& a, const Vector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// The profile written out for these control vectors, x = h10 - 2·h11 and y = h00 - h11,
// with each weight a stored float; the cube from t, or (wrongly) from the rounded square.
Vector3 reference_profile(float t, bool cube_from_rounded_square) {
  const double td = t;
  const float t2 = static_cast<float>(td * td);
  const float t3 = static_cast<float>(cube_from_rounded_square ? t2 * td : td * td * td);
  const double h00 = static_cast<float>(2.0 * t3 - 3.0 * t2 + 1.0);
  const double h10 = static_cast<float>(t3 - 2.0 * t2 + td);
  const double h11 = static_cast<float>(static_cast<double>(t3) - t2);
  return Vector3(static_cast<float>(h10 - 2.0 * h11), static_cast<float>(h00 - h11), 0.0f);
}

TEST(ProfilePoint, RunsFromTheTopThroughTheMiddleToTheTipWithStoredWeights) {
  const Vector3 top = profile_point(0.0f), middle = profile_point(0.5f), tip = profile_point(1.0f);
  EXPECT_TRUE(same_values(top, Vector3(0, 1, 0)));
  EXPECT_TRUE(same_values(middle, Vector3(0.375f, 0.625f, 0)));
  EXPECT_TRUE(same_values(tip, Vector3(0, 0, 0)));
  EXPECT_FALSE(middle.is_normalized);
  EXPECT_EQ(middle.w, 0.0f);
  // At t = 0.088 a cube taken from the rounded square would round differently.
  const Vector3 right = reference_profile(0.088f, false);
  ASSERT_NE(right.x, reference_profile(0.088f, true).x);
  EXPECT_TRUE(same_values(profile_point(0.088f), right));
  // Widest at t = 1/sqrt(3), radius 2/(3·sqrt(3)).
  const Vector3 widest = profile_point(static_cast<float>(1.0 / std::sqrt(3.0)));
  EXPECT_NEAR(widest.x, 2.0 / (3.0 * std::sqrt(3.0)), 1e-6);
  EXPECT_NEAR(widest.y, 0.526, 1e-3);
}

TEST(LevelOfDetail, SegmentCountsTruncateTheDivision) {
  for (int level = 1; level <= 4; ++level) EXPECT_EQ(segments_for_level(level), level_segments[level - 1]);
}

TEST(LevelOfDetail, ChangesAtFiveFifteenAndTwentyFiveHundredThousandAndStaysCoarsest) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  const struct {
    double d2;
    int level;
  } cases[] = {
      {0.0, 1}, {std::nextafter(500000.0, 0.0), 1}, {500000.0, 2}, {500000.5, 2},
      {std::nextafter(1500000.0, 0.0), 2}, {1500000.0, 3}, {std::nextafter(2500000.0, 0.0), 3},
      {2500000.0, 4}, {4294967296.0 * 4.0, 4},  // beyond 32 bits
      {2147483648.0 * 100000.0, 4},              // R itself beyond 32 bits
      {1.0e19, 4}, {1.0e300, 4}, {inf, 4},       // beyond 64 bits
      {std::numeric_limits<double>::quiet_NaN(), 4},
      {-1.0e30, 1}, {-inf, 1},                   // never a squared distance, still defined
  };
  for (const auto& c : cases) EXPECT_EQ(lod_for_distance(c.d2), c.level) << c.d2;
}

TEST(BalloonMesh, TenSegmentShapeMatchesTheReferenceBalloon) {
  const BalloonMesh mesh(10);
  EXPECT_EQ(mesh.segments(), 10);
  EXPECT_TRUE(same_values(mesh.sample(0), Vector3(0, 1, 0)));
  EXPECT_TRUE(same_values(mesh.sample(10), Vector3(0, 0, 0)));
  expect_near(mesh.sample(1), 0.099, 0.981, 0, 1e-6);
  expect_near(mesh.vertex(0, 2), 0.192, 0.928, 0, 1e-6);
  expect_near(mesh.normal(0, 2), 0.489, 0.872, 0, 1e-3);
  expect_near(mesh.vertex(0, 5), 0.375, 0.625, 0, 1e-6);
  expect_near(mesh.normal(0, 5), 0.982, 0.190, 0, 1e-3);
  expect_near(mesh.vertex(0, 9), 0.171, 0.109, 0, 1e-6);
  expect_near(mesh.normal(0, 9), 0.627, -0.779, 0, 1e-3);
}

TEST(BalloonMesh, MeridiansTurnOneStepAtATimeCounterClockwiseFromAbove) {
  for (const int n : level_segments) {
    const BalloonMesh mesh(n);
    const Matrix4 step = rotation_y(360.0 / n);
    int differs_from_fresh_rotation = 0;
    for (int j = 1; j < n; ++j)
      for (int k = 2; k < n; ++k) {
        const Vector3 chained = step.transform(mesh.vertex(j - 1, k));
        EXPECT_TRUE(same_values(mesh.vertex(j, k), chained)) << n << ": " << j << ", " << k;
        if (!same_values(rotation_y(j * (360.0 / n)).transform(mesh.vertex(0, k)), chained))
          ++differs_from_fresh_rotation;
      }
    EXPECT_GT(differs_from_fresh_rotation, 0) << n;  // the chaining is visible in the bits
    EXPECT_LT(mesh.vertex(1, n / 2).z, 0.0f);        // from +x toward -z
  }
}

// A normal worked out in plain float and double arithmetic: differences toward the next
// meridian, the ring below, the previous meridian and the ring above; the cross products
// of the given pairs summed in float in that order; divided by the double length.
Vector3 reference_normal(const BalloonMesh& mesh, int j, int k, const int (&pairs)[4][2]) {
  const int n = mesh.segments();
  const Vector3& v = mesh.vertex(j, k);
  const Vector3 neighbours[4] = {mesh.vertex((j + 1) % n, k), k + 1 < n ? mesh.vertex(j, k + 1) : mesh.sample(n),
                                 mesh.vertex((j + n - 1) % n, k), k > 2 ? mesh.vertex(j, k - 1) : mesh.sample(0)};
  // Components by name: x, y and z are separate members, not an array.
  const auto components = [](const Vector3& p) { return std::array<float, 3>{p.x, p.y, p.z}; };
  const std::array<float, 3> at = components(v);
  // Every rounded value is held in a float: GCC 12's vectorizer drops a float rounding
  // whose result goes straight back into a double.
  std::array<float, 3> d[4];
  for (int q = 0; q < 4; ++q) {
    const std::array<float, 3> other = components(neighbours[q]);
    for (int c = 0; c < 3; ++c) d[q][c] = static_cast<float>(double(at[c]) - other[c]);
  }
  float sum[3] = {0, 0, 0};
  // Each component of a x b written out in double, rounded to float, and added to the
  // float sum.
  const auto add = [&sum](int c, double product) {
    sum[c] = static_cast<float>(double(sum[c]) + static_cast<float>(product));
  };
  for (const auto& pair : pairs) {
    const std::array<float, 3>& a = d[pair[0]];
    const std::array<float, 3>& b = d[pair[1]];
    add(0, double(a[1]) * b[2] - double(a[2]) * b[1]);
    add(1, double(a[2]) * b[0] - double(a[0]) * b[2]);
    add(2, double(a[0]) * b[1] - double(a[1]) * b[0]);
  }
  const double length = std::sqrt(double(sum[0]) * sum[0] + double(sum[1]) * sum[1] +
                                  double(sum[2]) * sum[2]);
  return Vector3(static_cast<float>(sum[0] / length), static_cast<float>(sum[1] / length),
                 static_cast<float>(sum[2] / length));
}

TEST(BalloonMesh, NormalsSumFourCrossProductsInOrderAndAreRotationallySymmetric) {
  static constexpr int in_order[4][2] = {{1, 0}, {2, 1}, {3, 2}, {0, 3}};
  static constexpr int last_two_swapped[4][2] = {{1, 0}, {2, 1}, {0, 3}, {3, 2}};
  for (const int n : level_segments) {
    const BalloonMesh mesh(n);
    int order_matters = 0;
    // Every meridian, the seam meridian n - 1 and the last ring n - 1 included.
    for (int j = 0; j < n; ++j)
      for (int k = 2; k < n; ++k) {
        const Vector3& normal = mesh.normal(j, k);
        const Vector3 want = reference_normal(mesh, j, k, in_order);
        ASSERT_TRUE(same_values(normal, want)) << n << ": meridian " << j << ", ring " << k;
        if (!same_values(reference_normal(mesh, j, k, last_two_swapped), want)) ++order_matters;
        EXPECT_TRUE(normal.is_normalized);
        EXPECT_GT(normal.w, 0.0f);
        const Vector3 turned = rotation_y(j * (360.0 / n)).transform(mesh.normal(0, k));
        expect_near(normal, turned.x, turned.y, turned.z, 2e-5);
        // Out of the surface: away from the axis.
        EXPECT_GT(double(normal.x) * mesh.vertex(j, k).x + double(normal.z) * mesh.vertex(j, k).z, 0.0);
      }
    EXPECT_GT(order_matters, 0) << n;  // the order of the sum reaches the stored bits
    EXPECT_GT(mesh.normal(0, 2).y, 0.0f);
    EXPECT_LT(mesh.normal(0, n - 1).y, 0.0f);
  }
}

// GL side: what GL receives, read back through transform feedback vertex by vertex.
class BalloonLists : public gltest::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (!HasFatalFailure()) capture_ = std::make_unique<PrimitiveCapture>();
  }
  void TearDown() override { capture_.reset(); }
  template <class Draw>
  std::vector<Triangle> triangles_of(Draw draw) {
    return capture_->capture(GL_TRIANGLES, draw);
  }
  std::vector<Triangle> triangles_of_list(GLuint name) {
    return triangles_of([name] { glCallList(name); });
  }

  std::unique_ptr<PrimitiveCapture> capture_;
};

// The mesh's triangles in order, each in GL's vertex order for its fan or strip: the top
// fan, the n side strips, the bottom fan.
std::vector<Triangle> expected_triangles(const BalloonMesh& mesh) {
  const int n = mesh.segments();
  const auto at = [&mesh, n](int j, int k) { return CapturedVertex{mesh.vertex(j % n, k), mesh.normal(j % n, k)}; };
  std::vector<Triangle> triangles;
  const auto fan = [&](CapturedVertex centre, int ring) {
    for (int j = 0; j < n; ++j) triangles.push_back({centre, at(j, ring), at(j + 1, ring)});
  };
  fan({mesh.sample(0), Vector3(0, 1, 0)}, 2);
  for (int j = 0; j < n; ++j)
    for (int k = 2; k + 1 < n; ++k) {
      triangles.push_back({at(j, k), at(j + 1, k), at(j, k + 1)});
      triangles.push_back({at(j, k + 1), at(j + 1, k), at(j + 1, k + 1)});
    }
  fan({mesh.sample(n), Vector3(0, -1, 0)}, n - 1);
  return triangles;
}

std::size_t triangle_count(int n) { return static_cast<std::size_t>(n + n * 2 * (n - 3) + n); }

bool same_vertex(const CapturedVertex& a, const CapturedVertex& b) {
  return same_values(a.position, b.position) && same_values(a.normal, b.normal);
}

bool same_in_any_order(const Triangle& got, const Triangle& want) {
  for (const CapturedVertex& w : want) {
    bool found = false;
    for (const CapturedVertex& g : got) found = found || same_vertex(g, w);
    if (!found) return false;
  }
  return true;
}

// GL may store a list's consecutive strips as one strip joined by zero-area triangles;
// those draw nothing and are no part of the shape.
std::vector<Triangle> without_zero_area(std::vector<Triangle> triangles) {
  std::erase_if(triangles, [](const Triangle& t) {
    return same_values(t[0].position, t[1].position) || same_values(t[1].position, t[2].position) ||
           same_values(t[0].position, t[2].position);
  });
  return triangles;
}

// Counts the triangles that differ, reporting the first few.
int mismatches(const std::vector<Triangle>& got, const std::vector<Triangle>& want, bool any_order) {
  int count = 0;
  for (std::size_t i = 0; i < want.size() && i < got.size(); ++i) {
    const bool same = any_order ? same_in_any_order(got[i], want[i])
                                : same_vertex(got[i][0], want[i][0]) && same_vertex(got[i][1], want[i][1]) &&
                                      same_vertex(got[i][2], want[i][2]);
    if (!same && ++count <= 3) ADD_FAILURE() << "triangle " << i << " differs";
  }
  return count;
}

TEST_F(BalloonLists, EmitsTheTopFanOneStripPerMeridianAndTheBottomFan) {
  for (const int n : level_segments) {
    const std::vector<Triangle> want = expected_triangles(BalloonMesh(n));
    ASSERT_EQ(want.size(), triangle_count(n));
    // The mesh itself has no zero-area triangle, so separate strips are visible as such.
    ASSERT_EQ(without_zero_area(want).size(), want.size());
    const std::vector<Triangle> got = triangles_of([n] { build_balloon_mesh(n); });
    ASSERT_EQ(got.size(), want.size()) << n;
    EXPECT_EQ(mismatches(got, want, false), 0) << n;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(BalloonLists, EachListDrawsItsLevelAndNoListHoldsSampleOne) {
  build_lod_lists();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  for (int level = 1; level <= 4; ++level) {
    const GLuint name = lod_lists[level - 1];
    ASSERT_NE(name, 0u) << level;
    EXPECT_TRUE(glIsList(name)) << level;
    const BalloonMesh mesh(level_segments[level - 1]);
    const std::vector<Triangle> got = without_zero_area(triangles_of_list(name));
    ASSERT_EQ(got.size(), triangle_count(mesh.segments())) << level;
    EXPECT_EQ(mismatches(got, expected_triangles(mesh), true), 0) << level;
    // Turning about y keeps heights: sample 1 of any meridian would be at exactly this y.
    for (const Triangle& t : got)
      for (const CapturedVertex& v : t) ASSERT_NE(v.position.y, mesh.sample(1).y) << level;
  }
  EXPECT_NE(lod_lists[0], lod_lists[1]);
  EXPECT_NE(lod_lists[1], lod_lists[2]);
  EXPECT_NE(lod_lists[2], lod_lists[3]);
}

TEST_F(BalloonLists, AZeroListNameDrawsNothingWhileTheOtherLevelsDraw) {
  lod_lists = {glGenLists(1), 0, glGenLists(1), glGenLists(1)};  // level 2's reservation failed
  for (int level = 1; level <= 4; ++level) {
    const GLuint name = lod_lists[level - 1];
    // Nothing reaches GL outside a list, not even for the missing name.
    EXPECT_TRUE(triangles_of([name, level] { compile_lod_list(name, level); }).empty()) << level;
  }
  for (int level = 1; level <= 4; ++level) {
    const std::size_t expected = level == 2 ? 0 : triangle_count(level_segments[level - 1]);
    EXPECT_EQ(without_zero_area(triangles_of_list(lod_lists[level - 1])).size(), expected) << level;
  }
  // Too few segments for a closed shape: nothing is emitted.
  for (const int n : {2, 1, 0, -1}) EXPECT_TRUE(triangles_of([n] { build_balloon_mesh(n); }).empty()) << n;
}

TEST_F(BalloonLists, InitSceneCompilesTheFourLists) {
  init_scene();
  for (const GLuint name : lod_lists) EXPECT_TRUE(name != 0 && glIsList(name)) << name;
}

}  // namespace
}  // namespace aerolume
