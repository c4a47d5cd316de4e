// Test support: the offscreen GL context fixture and the state-table reset.
#include "tests/gl_fixture.h"

#include <string>

#include "core/state.h"
#include "run/frame.h"

// In the sanitizer build, LeakSanitizer reads these: Mesa's llvmpipe loses about 1 MiB
// of its own when a multisampled pbuffer and its context are destroyed (as
// tests/render/gl_driver_leaks.supp says for the renderer), and the GL tests make such
// contexts. Leaks of our own still show.
extern "C" const char* __lsan_default_suppressions() { return "leak:swrast_dri.so\n"; }

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
