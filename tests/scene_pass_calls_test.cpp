// What the scene pass sends to GL for each balloon, call by call: its material with the
// balloon's fade, its rope as an unlit grey line strip, then its body moved, tilted by
// its drift, scaled and drawn with the list of its level of detail; the dome comes last.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "run/scene_setup.h"
#include "assets/balloon_mesh.h"
#include "core/state.h"
#include "render/damage.h"
#include "render/render_state.h"
#include "render/scene_pass.h"
#include "run/frame.h"
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

// The scene pass of a frame of one view: the move, then the drawing.
void scene_pass() {
  step_scene_stream();
  draw_scene_view();
}

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
  for (int pass = 0; pass < 3; ++pass) scene_pass();

  gltest::start_gl_call_log();
  scene_pass();
  const std::vector<GlCall> got = gltest::stop_gl_call_log();

  // The pass clears and loads the identity before its camera.
  std::vector<GlCall> want = {{"glClear", {GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT}}, {"glLoadIdentity", {}}};
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

// Frames of one view the size of the drawable send the scene pass's calls and nothing
// else: one clear a view, and no viewport while the size stays.
TEST_F(ScenePassCalls, OneViewSendsTheScenePassAndNothingElse) {
  CurrentDrawable surfaces;
  const View whole{0, 0, width, height};
  std::vector<GlCall> frames[2];
  for (int run = 0; run < 2; ++run) {
    reset_state();
    init_scene_from_seed(3);
    reshape_viewport(width, height);
    gltest::start_gl_call_log();
    for (int frame = 0; frame < 3; ++frame) {
      if (run == 0) {
        scene_pass();
        advance_frame_counter();  // as the frame counts itself
      } else {
        ASSERT_TRUE(render_views({&whole, 1}, surfaces));
      }
    }
    frames[run] = gltest::stop_gl_call_log();
    // Each start compiles the lists anew: a list is compared by its level of detail.
    for (GlCall& call : frames[run])
      if (call.name == "glCallList")
        call.args[0] = double(std::find(lod_lists.begin(), lod_lists.end(), call.args[0]) - lod_lists.begin());
    clear_balloons();
  }
  EXPECT_EQ(std::count_if(frames[1].begin(), frames[1].end(),
                          [](const GlCall& call) { return call.name == "glClear"; }),
            3);
  ASSERT_EQ(frames[1].size(), frames[0].size());
  for (std::size_t i = 0; i < frames[0].size(); ++i)
    ASSERT_EQ(frames[1][i], frames[0][i]) << "call " << i << ": got " << gltest::describe(frames[1][i])
                                         << ", expected " << gltest::describe(frames[0][i]);
}

// A partial frame draws each damaged part in turn inside the scissor: the clear, the
// camera, only the balloons whose rectangle meets the part (each sending what it sends
// in a whole frame, in list order), then the dome; and leaves the scissor off.
TEST_F(ScenePassCalls, APartialFrameSendsEachPartWithTheBalloonsThatMeetIt) {
  init_scene_from_seed(3);
  reshape_viewport(width, height);
  for (int pass = 0; pass < 3; ++pass) scene_pass();
  step_scene_stream();
  const BalloonDamage damage = stream_damage(damage_camera({0, 0, width, height}, eye, look_at));
  ASSERT_FALSE(damage.whole);
  const DamageRect parts[] = {{0, 0, width / 2, height}, {width / 2 + 10, 40, 30, 50}};
  gltest::start_gl_call_log();
  draw_scene_parts(parts, damage.balloons);
  const std::vector<GlCall> got = gltest::stop_gl_call_log();

  std::vector<GlCall> want = {{"glEnable", {GL_SCISSOR_TEST}}};
  int met = 0, missed = 0;
  for (const DamageRect& part : parts) {
    want.push_back({"glScissor", {double(part.x), double(part.y), double(part.width), double(part.height)}});
    want.push_back({"glClear", {GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT}});
    want.push_back({"glLoadIdentity", {}});
    std::size_t k = 0;
    for (const Balloon* b = balloon_head.get(); b != nullptr; b = b->next.get(), ++k) {
      if (!rects_meet(damage.balloons[k], part)) {
        ++missed;
        continue;
      }
      ++met;
      expect_balloon_calls(*b, &want);
    }
    // The dome's calls are its own; it begins with its matrix lowered far below.
    want.push_back({"glPushMatrix", {}});
    want.push_back({"glTranslatef", {0, -450000, 0}});
  }
  want.push_back({"glDisable", {GL_SCISSOR_TEST}});
  EXPECT_GE(met, 2);
  EXPECT_GE(missed, 2);
  // The calls in order, the dome's own between its first two and the next part.
  std::size_t g = 0;
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (i > 0 && want[i - 1].name == "glTranslatef" && want[i - 1].args[1] == -450000)
      while (g < got.size() && !(got[g] == want[i])) ++g;  // the dome's own calls
    ASSERT_LT(g, got.size()) << "missing " << gltest::describe(want[i]);
    ASSERT_EQ(got[g], want[i]) << "call " << g << ": got " << gltest::describe(got[g])
                               << ", expected " << gltest::describe(want[i]);
    ++g;
  }
  EXPECT_EQ(g, got.size());
}

}  // namespace
}  // namespace aerolume
