// Test support: the offscreen GL context fixture and the state-table reset.
#include "tests/gl_fixture.h"

#include <string>

#include "core/state.h"
#include "run/frame.h"

namespace aerolume::gltest {

void GlTest::SetUp() {
  reset_state();
  resize_context(width, height);
}

void GlTest::resize_context(int w, int h) {
  std::string error;
  ASSERT_TRUE(context_.create(w, h, &error)) << "no offscreen GL context: " << error;
}

void GlTest::draw_frame() {
  const View whole{0, 0, context_.width(), context_.height()};
  CurrentDrawable context;
  ASSERT_TRUE(render_views({&whole, 1}, context));
}

}  // namespace aerolume::gltest
