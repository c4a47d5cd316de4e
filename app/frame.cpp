// The frame: clear, scene pass, timed step, auto-orbit, frame count.
#include "app/frame.h"

#include <GL/gl.h>

#include "core/clock.h"
#include "core/state.h"
#include "render/scene_pass.h"

namespace aerolume {

namespace {

constexpr double step_per_ms = 0.015;
constexpr double step_cap = 0.4;

}  // namespace

void apply_timed_step(std::uint32_t elapsed) {
  const double r = static_cast<double>(elapsed) * step_per_ms;
  const double new_step = r < step_cap ? r : step_cap;
  step_scale = static_cast<float>((static_cast<double>(step_scale) + new_step) / 2.0);
  orbit_right = rotation_y(step_scale);
  orbit_left = rotation_y(-step_scale);
}

void render_frame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (timed_steps) {
    const std::uint32_t t0 = clock_ms();
    draw_scene();
    const std::uint32_t t1 = clock_ms();
    apply_timed_step(elapsed_ms(t0, t1));
  } else {
    draw_scene();
  }
  if (auto_orbit) eye = orbit_right.transform(eye);
  advance_frame_counter();
}

}  // namespace aerolume
