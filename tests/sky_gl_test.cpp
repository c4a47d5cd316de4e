// The sky in a real GL context: the uploaded cloud texture, the dome's strips read back
// in feedback mode, start-up creating the clouds, and a frame showing sky and clouds.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

#include "app/clock.h"
#include "app/frame.h"
#include "app/scene_setup.h"
#include "app/state.h"
#include "assets/sky.h"
#include "noise/noise.h"
#include "tests/gl_fixture.h"

namespace aerolume {
namespace {

class SkyGl : public testing::GlTest {
 protected:
  void make_clouds(std::uint32_t seed) {
    glGenTextures(1, &cloud_texture);
    seed_noise(seed);
    generate_cloud_texture();
  }
};

// The texture coordinates (s, t) of each triangle GL reports while the dome is drawn
// under an orthographic projection that holds all of it.
std::vector<std::vector<std::pair<float, float>>> dome_triangles(int n) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-600000, 600000, -600000, 600000, -600000, 600000);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  std::vector<GLfloat> buffer(1 << 16);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
  glRenderMode(GL_FEEDBACK);
  draw_sky_dome(n);
  const GLint used = glRenderMode(GL_RENDER);
  std::vector<std::vector<std::pair<float, float>>> triangles;
  // Each vertex: window x, y, z, RGBA colour, texture s, t, r, q.
  for (GLint k = 0; k < used; k += 2 + 3 * 11) {
    if (buffer[k] != GL_POLYGON_TOKEN || buffer[k + 1] != 3) {
      ADD_FAILURE() << "expected a triangle, got token " << buffer[k];
      break;
    }
    auto& triangle = triangles.emplace_back();
    for (const GLfloat* v = &buffer[k + 2]; v < &buffer[k + 2 + 33]; v += 11) {
      EXPECT_EQ(v[3] + v[4] + v[5] + v[6], 4.0f);  // white, unlit
      triangle.emplace_back(v[7], v[8]);
    }
  }
  return triangles;
}

TEST_F(SkyGl, GenerateLoadsTheImageRowByRowWithLinearFilters) {
  make_clouds(5);
  GLint value = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
  EXPECT_EQ(static_cast<GLuint>(value), cloud_texture);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &value);
  EXPECT_EQ(value, 512);
  std::vector<GLfloat> texels(512 * 512 * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_FLOAT, texels.data());
  const float* pixels = &cloud_pixels[0][0][0];
  int clouded = 0;
  for (std::size_t k = 0; k < texels.size(); k += 3) {
    ASSERT_NEAR(texels[k], pixels[k], 0.5 / 255 + 1e-6) << "pixel " << k / 3;  // 8 bits or more
    ASSERT_NEAR(texels[k + 1], pixels[k + 1], 0.5 / 255 + 1e-6) << "pixel " << k / 3;
    clouded += pixels[k] > 0.3f;
  }
  EXPECT_GT(clouded, 100);
}

TEST_F(SkyGl, DomeIsEightStripsOfEighteenVerticesAndLeavesLightingOnTexturingOff) {
  make_clouds(5);
  glBindTexture(GL_TEXTURE_2D, 0);
  glColor3f(0.1f, 0.2f, 0.3f);
  const auto triangles = dome_triangles(9);
  ASSERT_EQ(triangles.size(), 8u * 16u);  // a strip of 18 vertices is 16 triangles
  std::set<float> coordinates;
  int per_strip[8] = {};
  for (const auto& triangle : triangles) {
    float low = 2, high = -1;
    for (const auto& [s, t] : triangle) {
      coordinates.insert({s, t});
      low = std::min(low, s);
      high = std::max(high, s);
    }
    EXPECT_EQ(high - low, 0.125f);  // strip r joins grid row r (s = r/8) to row r + 1
    ++per_strip[static_cast<int>(low * 8)];
  }
  for (int r = 0; r < 8; ++r) EXPECT_EQ(per_strip[r], 16) << "strip " << r;
  EXPECT_EQ(coordinates, (std::set<float>{0, 0.125f, 0.25f, 0.375f, 0.5f, 0.625f, 0.75f, 0.875f, 1}));

  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), cloud_texture);
  GLfloat mode = 0;
  glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
  EXPECT_EQ(mode, GL_REPLACE);
}

TEST_F(SkyGl, EvenOrNonPositiveGridDrawsNothingAndChangesNothing) {
  make_clouds(5);
  for (int n : {8, 0, -3}) {
    glDisable(GL_LIGHTING);
    glColor3f(0.1f, 0.2f, 0.3f);
    EXPECT_TRUE(dome_triangles(n).empty()) << n;
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING)) << n;
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 0.1f) << n;
  }
}

TEST_F(SkyGl, StartUpSeedsFromTheClockThenLoadsCloudsOfThatLattice) {
  const std::uint32_t t0 = clock_ms();
  init_scene();
  const std::uint32_t t1 = clock_ms();
  ASSERT_TRUE(glIsTexture(cloud_texture));
  // Made after seeding: recomputing from the lattice gives the same pixels.
  const std::vector<float> lattice(std::begin(NoiseLattice), std::end(NoiseLattice));
  const std::vector<float> uploaded(&cloud_pixels[0][0][0], &cloud_pixels[0][0][0] + 512 * 512 * 3);
  compute_cloud_pixels();
  EXPECT_TRUE(std::equal(uploaded.begin(), uploaded.end(), &cloud_pixels[0][0][0]));
  bool from_clock = false;
  for (std::uint32_t t = t0; !from_clock && t != t1 + 1; ++t) {
    seed_noise(t);
    from_clock = std::equal(lattice.begin(), lattice.end(), std::begin(NoiseLattice));
  }
  EXPECT_TRUE(from_clock) << "not seeded from a millisecond in [" << t0 << ", " << t1 << "]";
}

TEST_F(SkyGl, AFrameShowsClearSkyAndCloudsOnTheDome) {
  resize_context(320, 240);
  init_scene();
  seed_noise(1);
  generate_cloud_texture();
  reshape_viewport(320, 240);
  render_frame();
  const RgbImage image = frame();
  int sky = 0, cloud = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p = image.at(x, y);
      const int red = p[0] - 51, green = p[1] - 128;
      if (p[2] != 255) continue;
      if (std::abs(red) <= 1 && std::abs(green) <= 1) ++sky;
      else if (red >= 10 && std::abs(green * 8 - red * 5) <= 16) ++cloud;  // 0.8 : 0.5
    }
  EXPECT_GT(sky, image.width * image.height / 4);
  EXPECT_GT(cloud, image.width * image.height / 50);
}

}  // namespace
}  // namespace aerolume
