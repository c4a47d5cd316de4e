// Keyboard and camera controls, driven through the key handlers.
#include <gtest/gtest.h>

#include <cmath>

#include "assets/sky.h"
#include "core/state.h"
#include "noise/noise.h"
#include "run/frame.h"
#include "run/scene_setup.h"
#include "tests/gl_fixture.h"
#include "viewer/glut/controls.h"

#include <GL/gl.h>
#include <algorithm>
#include <vector>

namespace aerolume {
namespace {

double distance_to_target() { return std::sqrt(distance_squared(eye, look_at)); }

int leave_calls = 0;
int enter_calls = 0;

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_state();
    eye.set(0, 1500, -1250);
    look_at.set(0, 1250, 0);
    leave_calls = enter_calls = 0;
    set_window_control({[] { ++leave_calls; }, [] { ++enter_calls; }});
  }
  void TearDown() override { set_window_control({}); }
};

void expect_same_state(const Vector3& e, const Vector3& l) {
  EXPECT_EQ(eye.x, e.x);
  EXPECT_EQ(eye.y, e.y);
  EXPECT_EQ(eye.z, e.z);
  EXPECT_EQ(look_at.x, l.x);
  EXPECT_EQ(look_at.y, l.y);
  EXPECT_EQ(look_at.z, l.z);
  EXPECT_FALSE(auto_orbit);
  EXPECT_FALSE(timed_steps);
  EXPECT_TRUE(fullscreen);
  EXPECT_EQ(step_scale, 0.07f);
}

TEST_F(Controls, UnhandledKeysDoNothing) {
  const Vector3 e = eye, l = look_at;
  for (int key = 0; key < 256; ++key) {
    if (key == 27 || key == '+' || key == '-' || key == 'a' || key == 'c' || key == 't') continue;
    on_key(static_cast<unsigned char>(key), 0, 0);
  }
  // F2..F12, Page Up/Down, Home, End, Insert and anything else that is not handled.
  for (int key : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 104, 105, 106, 107, 108, 0, -1, 99, 200})
    on_special_key(key, 0, 0);
  expect_same_state(e, l);
  EXPECT_EQ(leave_calls + enter_calls, 0);
}

TEST_F(Controls, ZoomMovesTheEyeAlongTheLineToTheTarget) {
  const double start = distance_to_target();
  on_key('+', 0, 0);
  const Vector3 expected = look_at + (Vector3(0, 1500, -1250) - look_at).scaled(0.99f);
  EXPECT_EQ(eye.x, expected.x);
  EXPECT_EQ(eye.y, expected.y);
  EXPECT_EQ(eye.z, expected.z);
  on_key('-', 0, 0);
  EXPECT_LT(distance_to_target(), start);  // 0.99 x 1.01 < 1
  EXPECT_NEAR(distance_to_target(), start * 0.99 * 1.01, 1e-3);
  EXPECT_EQ(look_at.y, 1250.0f);
}

TEST_F(Controls, About69PressesHalveAnd70Double) {
  const double start = distance_to_target();
  for (int i = 0; i < 68; ++i) on_key('+', 0, 0);
  EXPECT_GT(distance_to_target(), start / 2);
  on_key('+', 0, 0);
  EXPECT_LT(distance_to_target(), start / 2);
  eye.set(0, 1500, -1250);
  for (int i = 0; i < 69; ++i) on_key('-', 0, 0);
  EXPECT_LT(distance_to_target(), start * 2);
  on_key('-', 0, 0);
  EXPECT_GT(distance_to_target(), start * 2);
}

TEST_F(Controls, ZoomNeverReachesTheTargetNorGoesBeyondTheFarPlane) {
  for (int i = 0; i < 5000; ++i) on_key('+', 0, 0);
  EXPECT_GE(distance_to_target(), 1.0);
  EXPECT_LT(distance_to_target(), 1.0 / 0.99 + 1e-3);
  const Vector3 nearest = eye;
  on_key('+', 0, 0);
  EXPECT_EQ(eye.x, nearest.x);
  EXPECT_EQ(eye.y, nearest.y);
  EXPECT_EQ(eye.z, nearest.z);
  on_key('-', 0, 0);  // and the way back is open
  EXPECT_GT(distance_to_target(), 1.0);
  for (int i = 0; i < 5000; ++i) on_key('-', 0, 0);
  EXPECT_LE(distance_to_target(), 1.0e6);
  EXPECT_GT(distance_to_target(), 1.0e6 / 1.01 - 1);
  EXPECT_TRUE(std::isfinite(eye.x) && std::isfinite(eye.y) && std::isfinite(eye.z));
  on_key('+', 0, 0);
  EXPECT_LT(distance_to_target(), 1.0e6 / 1.01);
}

TEST_F(Controls, ArrowsOrbitTwiceAndTiltByTen) {
  on_special_key(key_right, 0, 0);
  const Vector3 once = orbit_right.transform(Vector3(0, 1500, -1250));
  const Vector3 twice = orbit_right.transform(once);
  EXPECT_EQ(eye.x, twice.x);
  EXPECT_EQ(eye.z, twice.z);
  EXPECT_EQ(eye.y, 1500.0f);
  on_special_key(key_left, 0, 0);
  EXPECT_NEAR(eye.x, 0.0f, 1e-3f);
  EXPECT_NEAR(eye.z, -1250.0f, 1e-3f);
  on_special_key(key_up, 0, 0);
  EXPECT_EQ(look_at.y, 1260.0f);
  on_special_key(key_down, 0, 0);
  on_special_key(key_down, 0, 0);
  EXPECT_EQ(look_at.y, 1240.0f);
  EXPECT_EQ(look_at.x, 0.0f);
  EXPECT_EQ(look_at.z, 0.0f);
}

TEST_F(Controls, LettersToggleInLowerCaseOnly) {
  on_key('A', 0, 0);
  on_key('T', 0, 0);
  EXPECT_FALSE(auto_orbit);
  EXPECT_FALSE(timed_steps);
  on_key('a', 0, 0);
  EXPECT_TRUE(auto_orbit);
  on_key('a', 0, 0);
  EXPECT_FALSE(auto_orbit);
}

TEST_F(Controls, TimedStepsKeepTheOrbitOfTheLastTimedFrame) {
  on_key('t', 0, 0);
  EXPECT_TRUE(timed_steps);
  EXPECT_EQ(step_scale, 0.07f);
  apply_timed_step(10);  // what a timed frame of 10 ms does
  const float last = step_scale;
  on_key('t', 0, 0);
  EXPECT_FALSE(timed_steps);
  EXPECT_EQ(step_scale, 0.07f);
  const Matrix4 expected = rotation_y(last);
  EXPECT_EQ(orbit_right.at(0, 2), expected.at(0, 2));
  EXPECT_EQ(orbit_left.at(0, 2), -expected.at(0, 2));
  // Two presses with no frame between leave the matrices alone.
  on_key('t', 0, 0);
  on_key('t', 0, 0);
  EXPECT_EQ(orbit_right.at(0, 2), expected.at(0, 2));
}

TEST_F(Controls, F1LeavesAndReentersFullScreenWithoutMovingTheCamera) {
  const Vector3 e = eye, l = look_at;
  on_special_key(key_f1, 0, 0);
  EXPECT_FALSE(fullscreen);
  EXPECT_EQ(leave_calls, 1);
  EXPECT_EQ(enter_calls, 0);
  on_special_key(key_f1, 0, 0);
  EXPECT_TRUE(fullscreen);
  EXPECT_EQ(enter_calls, 1);
  expect_same_state(e, l);
}

TEST_F(Controls, EscapeQuitsWithStatusZero) {
  EXPECT_EXIT(on_key(27, 0, 0), ::testing::ExitedWithCode(0), "");
}

class CloudKey : public gltest::GlTest {};

TEST_F(CloudKey, RegeneratesTheCloudsIntoTheSameTexture) {
  init_scene_from_seed(7);
  const unsigned int texture = cloud_texture;
  const std::vector<float> lattice(std::begin(NoiseLattice), std::end(NoiseLattice));
  std::vector<float> image(512 * 512 * 3);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_FLOAT, image.data());
  on_key('c', 0, 0);
  EXPECT_EQ(cloud_texture, texture);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<unsigned int>(bound), texture);
  // Reseeded from the clock: a new lattice, and the texture shows the new clouds.
  EXPECT_FALSE(std::equal(lattice.begin(), lattice.end(), std::begin(NoiseLattice)));
  std::vector<float> after(image.size());
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_FLOAT, after.data());
  EXPECT_NE(image, after);
  // The GL may store the texels at 8 bits per channel.
  float worst = 0;
  for (std::size_t i = 0; i < after.size(); ++i)
    worst = std::max(worst, std::fabs(after[i] - (&cloud_pixels[0][0][0])[i]));
  EXPECT_LE(worst, 0.5f / 255 + 1e-6f);
}

}  // namespace
}  // namespace aerolume
