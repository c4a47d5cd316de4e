// Test support: the offscreen GL context fixture and the state-table reset.
#include "tests/gl_fixture.h"

#include <string>

#include "app/state.h"

namespace aerolume::testing {

void restore_initial_state() {
  eye = Vector3();
  look_at = Vector3();
  orbit_right = rotation_y(0.1);
  orbit_left = rotation_y(-0.1);
  step_scale = 0.07f;
  frame_counter = 0;
  auto_orbit = false;
  timed_steps = false;
  fullscreen = true;
  lod_lists = {0, 0, 0, 0};
  cloud_texture = 0;
  balloon_colour[0] = 0.7f;
  balloon_colour[1] = 0.0f;
  balloon_colour[2] = 0.0f;
  balloon_colour[3] = 1.0f;
}

void GlTest::SetUp() {
  restore_initial_state();
  resize_context(width, height);
}

void GlTest::resize_context(int w, int h) {
  std::string error;
  ASSERT_TRUE(context_.create(w, h, &error)) << "no offscreen GL context: " << error;
}

}  // namespace aerolume::testing
