// Test support: the offscreen GL context fixture and the state-table reset.
#include "tests/gl_fixture.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/state.h"

namespace aerolume::testing {

namespace {

// Mesa unloads its GL driver when a context's EGL display is terminated. Memory the
// driver still holds at that point (it draws through LLVM-compiled code) becomes
// unreachable, and LeakSanitizer would report it as a leak of whichever test drew
// first. Marking the loaded driver modules RTLD_NODELETE keeps them, and so keeps that
// memory reachable, for the life of the test process; leaks of our own still show.
void keep_gl_driver_loaded() {
  std::vector<std::string> drivers;
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* out) -> int {
        if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "_dri.so") != nullptr)
          static_cast<std::vector<std::string>*>(out)->push_back(info->dlpi_name);
        return 0;
      },
      &drivers);
  // The handles are deliberately never closed.
  for (const std::string& driver : drivers) dlopen(driver.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace

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
  keep_gl_driver_loaded();
}

}  // namespace aerolume::testing
