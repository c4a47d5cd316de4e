// The scene pass in a real GL context: what a frame shows at 1024 x 768, and the level
// of detail a balloon is drawn with, counted by GL itself.
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "run/frame.h"
#include "run/scene_setup.h"
#include "assets/sky.h"
#include "core/state.h"
#include "render/render_state.h"
#include "render/scene_pass.h"
#include "sim/balloon_stream.h"
#include "tests/gl_fixture.h"

namespace aerolume {
namespace {

class StreamGl : public gltest::GlTest {
 protected:
  void TearDown() override { clear_balloons(); }
};

bool near(int value, int target, int tolerance) { return std::abs(value - target) <= tolerance; }

TEST_F(StreamGl, AFrameShowsSkyCloudsBalloonsAndRopes) {
  resize_context(1024, 768);
  init_scene_from_seed(1);
  reshape_viewport(1024, 768);
  for (int i = 0; i < 5; ++i) draw_frame();
  const RgbImage image = frame();
  int sky = 0, cloud = 0, red = 0, rope = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p = image.at(x, y);
      const int r = p[0], g = p[1], b = p[2];
      if (near(r, 51, 1) && near(g, 128, 1) && b == 255) ++sky;
      // Cloud: whiter than the sky along the texture's red : green ratio of 0.8 : 0.5.
      else if (b == 255 && r >= 60 && near((g - 128) * 8, (r - 51) * 5, 24)) ++cloud;
      else if (r >= 90 && g <= 60 && b <= 60) ++red;
      else if (near(r, 179, 1) && near(g, 179, 1) && near(b, 179, 1)) ++rope;
    }
  EXPECT_GT(sky, image.width * image.height / 4);
  EXPECT_GT(cloud, 1000);
  EXPECT_GT(red, 200);
  EXPECT_GT(rope, 50);
}

bool has_pipeline_statistics() {
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  return extensions != nullptr &&
         std::strstr(extensions, "GL_ARB_pipeline_statistics_query") != nullptr;
}

// The scene pass of one frame of one view: the move, then the drawing.
void scene_pass() {
  step_scene_stream();
  draw_scene_view();
}

template <typename Draw>
GLuint vertices_submitted(Draw draw) {
  GLuint query = 0;
  glGenQueries(1, &query);
  glBeginQuery(GL_VERTICES_SUBMITTED_ARB, query);
  draw();
  glEndQuery(GL_VERTICES_SUBMITTED_ARB);
  GLuint count = 0;
  glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
  glDeleteQueries(1, &query);
  return count;
}

// One balloon at the given distance straight ahead of the eye, with its rope. Eye and
// balloon are at height 50, below the spawn height, so the pass spawns no other balloon.
void place_single_balloon(float distance) {
  eye.set(0.0f, 50.0f, -1250.0f);
  look_at.set(0.0f, 50.0f, 0.0f);
  clear_balloons();
  balloon_head = std::make_unique<Balloon>();
  balloon_tail = balloon_head.get();
  balloon_head->position.set(eye.x, eye.y, eye.z + distance);
  balloon_head->tether = Tether(15, balloon_head->position);
}

TEST_F(StreamGl, ABalloonIsDrawnWithTheListItsDistanceCallsFor) {
  init_scene_from_seed(3);
  reshape_viewport(width, height);
  if (!has_pipeline_statistics()) GTEST_SKIP() << "GL cannot count submitted vertices here";
  step_scale = 0.0f;  // the balloon stays where it is put
  GLuint per_level[4];
  for (int level = 1; level <= 4; ++level)
    per_level[level - 1] = vertices_submitted([&] { glCallList(lod_lists[level - 1]); });
  ASSERT_GT(per_level[0], per_level[1]);
  ASSERT_GT(per_level[2], per_level[3]);

  // Squared distances 3000^2 (far beyond the last threshold) and 600^2 (the nearest band).
  place_single_balloon(3000.0f);
  // Besides its body, the pass draws the balloon's rope and the sky dome.
  const GLuint surroundings = vertices_submitted([] {
    draw_rope(balloon_head->tether);
    draw_sky_dome(9);
  });
  EXPECT_EQ(vertices_submitted(scene_pass), surroundings + per_level[3]) << "far: coarsest list";
  place_single_balloon(600.0f);
  EXPECT_EQ(vertices_submitted(scene_pass), surroundings + per_level[0]) << "near: finest list";
  place_single_balloon(1300.0f);
  EXPECT_EQ(vertices_submitted(scene_pass), surroundings + per_level[2]) << "1300: third list";
}

}  // namespace
}  // namespace aerolume
