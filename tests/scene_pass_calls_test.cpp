// What the scene pass sends to GL for each balloon, call by call: its material with the
// balloon's fade, its rope as an unlit grey line strip, then its body moved, tilted by
// its drift, scaled and drawn with the list of its level of detail; the dome comes last.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "run/scene_setup.h"
#include "assets/balloon_mesh.h"
#include "core/state.h"
#include "render/scene_pass.h"
#include "sim/balloon_stream.h"
#include "tests/gl_call_log.h"
#include "tests/gl_fixture.h"

namespace aerolume {
namespace {

using gltest::GlCall;

class ScenePassCalls : public gltest::GlTest {
 protected:
  void TearDown() override { clear_balloons(); }
};

// The calls for one balloon, written out from its state after the pass.
void expect_balloon_calls(const Balloon& b, std::vector<GlCall>* out) {
  const double a = b.alpha;
  const float f = 0.7f;
  out->push_back({"glMaterialfv", {GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, f, 0, 0, a}});
  out->push_back({"glPushMatrix", {}});
  out->push_back({"glDisable", {GL_LIGHTING}});
  out->push_back({"glColor4f", {f, f, f, a}});
  out->push_back({"glBegin", {GL_LINE_STRIP}});
  for (int i = 0; i < b.tether.count; ++i) {
    const Vector3& p = b.tether.positions[i];
    out->push_back({"glVertex3d", {double(p.x) - 1.0, p.y, p.z}});
  }
  out->push_back({"glEnd", {}});
  out->push_back({"glEnable", {GL_LIGHTING}});
  out->push_back({"glTranslatef", {b.position.x, b.position.y, b.position.z}});
  out->push_back({"glRotatef", {b.drift.x * 10.0f, 0, 0, 1}});
  out->push_back({"glRotatef", {b.drift.z * 10.0f, 1, 0, 0}});
  out->push_back({"glScalef", {30, 30, 30}});
  const int level = lod_for_distance(distance_squared(eye, b.position));
  out->push_back({"glCallList", {double(lod_lists[level - 1])}});
  out->push_back({"glPopMatrix", {}});
}

TEST_F(ScenePassCalls, EachBalloonSendsMaterialRopeTransformAndListInOrder) {
  init_scene_from_seed(3);
  // Move the camera in among the balloons so that several levels of detail are drawn.
  eye.set(400.0f, 300.0f, 300.0f);
  for (int pass = 0; pass < 3; ++pass) draw_scene();

  gltest::start_gl_call_log();
  draw_scene();
  const std::vector<GlCall> got = gltest::stop_gl_call_log();

  std::vector<GlCall> want;
  std::vector<int> levels_seen(5, 0);
  for (const Balloon* b = balloon_head.get(); b != nullptr; b = b->next.get()) {
    expect_balloon_calls(*b, &want);
    ++levels_seen[lod_for_distance(distance_squared(eye, b->position))];
  }
  // Then the dome: its own matrix, lowered far below the scene.
  want.push_back({"glPushMatrix", {}});
  want.push_back({"glTranslatef", {0, -450000, 0}});
  EXPECT_GE(levels_seen[1] + levels_seen[2] + levels_seen[3], 1) << "the camera sees no near balloon";
  EXPECT_GE(levels_seen[4], 1);

  ASSERT_GE(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i)
    ASSERT_EQ(got[i], want[i]) << "call " << i << ": got " << gltest::describe(got[i])
                               << ", expected " << gltest::describe(want[i]);
  // Nothing of a balloon comes after the dome.
  for (std::size_t i = want.size(); i < got.size(); ++i)
    ASSERT_NE(got[i].name, "glCallList") << "call " << i << " after the dome";
}

// A second surface in the same frame gets the same calls as the pass just made: the
// stream is not moved again.
TEST_F(ScenePassCalls, DrawingAgainRepeatsTheLastPassWithoutMovingTheStream) {
  init_scene_from_seed(3);
  for (int pass = 0; pass < 3; ++pass) draw_scene();
  gltest::start_gl_call_log();
  draw_scene();
  const std::vector<GlCall> pass = gltest::stop_gl_call_log();
  gltest::start_gl_call_log();
  draw_scene_again();
  const std::vector<GlCall> again = gltest::stop_gl_call_log();
  ASSERT_EQ(again.size(), pass.size());
  for (std::size_t i = 0; i < pass.size(); ++i)
    ASSERT_EQ(again[i], pass[i]) << "call " << i << ": got " << gltest::describe(again[i])
                                 << ", expected " << gltest::describe(pass[i]);
}

}  // namespace
}  // namespace aerolume
