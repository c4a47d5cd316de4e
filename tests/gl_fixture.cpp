// Test support: the offscreen GL context fixture and the state-table reset.
#include "tests/gl_fixture.h"

#include <string>

#include "core/state.h"

namespace aerolume::gltest {

void GlTest::SetUp() {
  reset_state();
  resize_context(width, height);
}

void GlTest::resize_context(int w, int h) {
  std::string error;
  ASSERT_TRUE(context_.create(w, h, &error)) << "no offscreen GL context: " << error;
}

}  // namespace aerolume::gltest
