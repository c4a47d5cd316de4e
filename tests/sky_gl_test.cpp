// The sky in a real GL context: the uploaded cloud texture, the dome's strips as GL
// counts them, start-up creating the clouds, and a frame showing sky and clouds.
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "run/frame.h"
#include "run/scene_setup.h"
#include "assets/sky.h"
#include "core/clock.h"
#include "core/state.h"
#include "noise/noise.h"
#include "render/render_state.h"
#include "tests/gl_fixture.h"

namespace aerolume {
namespace {

class SkyGl : public gltest::GlTest {
 protected:
  void make_clouds(std::uint32_t seed) {
    seed_noise(seed);
    create_cloud_texture();
  }
};

// Vertices and primitives GL counts while the dome is drawn (ARB_pipeline_statistics_query).
struct DrawCounts {
  GLuint vertices = 0;
  GLuint primitives = 0;
};

bool has_pipeline_statistics() {
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  return extensions != nullptr && std::strstr(extensions, "GL_ARB_pipeline_statistics_query") != nullptr;
}

DrawCounts count_dome(int n) {
  GLuint queries[2];
  glGenQueries(2, queries);
  glBeginQuery(GL_VERTICES_SUBMITTED_ARB, queries[0]);
  glBeginQuery(GL_PRIMITIVES_SUBMITTED_ARB, queries[1]);
  draw_sky_dome(n);
  glEndQuery(GL_PRIMITIVES_SUBMITTED_ARB);
  glEndQuery(GL_VERTICES_SUBMITTED_ARB);
  DrawCounts counts;
  glGetQueryObjectuiv(queries[0], GL_QUERY_RESULT, &counts.vertices);
  glGetQueryObjectuiv(queries[1], GL_QUERY_RESULT, &counts.primitives);
  glDeleteQueries(2, queries);
  return counts;
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
  if (!has_pipeline_statistics()) GTEST_SKIP() << "this GL cannot count submitted vertices";
  make_clouds(5);
  glBindTexture(GL_TEXTURE_2D, 0);
  glColor3f(0.1f, 0.2f, 0.3f);
  // k strips of m vertices submit k m vertices and k (m - 2) triangles: 144 and 128
  // hold only for 8 strips of 18.
  const DrawCounts counts = count_dome(9);
  EXPECT_EQ(counts.vertices, 144u);
  EXPECT_EQ(counts.primitives, 128u);
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), cloud_texture);
  GLfloat mode = 0;
  glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
  EXPECT_EQ(mode, GL_REPLACE);
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  for (float c : colour) EXPECT_EQ(c, 1.0f);
}

TEST_F(SkyGl, EvenOrNonPositiveGridDrawsNothingAndChangesNothing) {
  if (!has_pipeline_statistics()) GTEST_SKIP() << "this GL cannot count submitted vertices";
  make_clouds(5);
  for (int n : {8, 0, -3}) {
    glDisable(GL_LIGHTING);
    glColor3f(0.1f, 0.2f, 0.3f);
    EXPECT_EQ(count_dome(n).vertices, 0u) << n;
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
  // Balloons and clouds from a fixed seed, not the clock: the same picture every run.
  init_scene_from_seed(1);
  reshape_viewport(320, 240);
  draw_frame();
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
