// Test support: a real Mesa GL context (offscreen, EGL) for GL tests, and a way to put
// the process-wide state table back to its start-up values between tests.
#pragma once

#include <gtest/gtest.h>

#include "tools/offscreen_context.h"
#include "tools/png_io.h"

namespace aerolume::testing {

// Restores every value of the state table to what it is before main runs.
void restore_initial_state();

class GlTest : public ::testing::Test {
 protected:
  static constexpr int width = 160;
  static constexpr int height = 120;
  void SetUp() override;
  RgbImage frame() const { return read_gl_frame(context_.width(), context_.height()); }
  // Creates the context at another size (call from a test body).
  void resize_context(int w, int h);

  OffscreenContext context_;
};

}  // namespace aerolume::testing
