// Test support: a real Mesa GL context (offscreen, EGL) for GL tests, with the
// process-wide state table put back to its start-up values before each test.
#pragma once

#include <gtest/gtest.h>

#include "render/offscreen_context.h"
#include "renderer/rgb_image.h"

namespace aerolume::gltest {

class GlTest : public ::testing::Test {
 protected:
  static constexpr int width = 160;
  static constexpr int height = 120;
  void SetUp() override;
  RgbImage frame() const { return read_gl_frame(context_.width(), context_.height()); }
  // Creates the context at another size (call from a test body).
  void resize_context(int w, int h);
  // One frame of the scene into the whole context, as the renderer draws its frames.
  void draw_frame();

  OffscreenContext context_;
};

}  // namespace aerolume::gltest
