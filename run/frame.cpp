// The frame: clear, scene pass, timed step, auto-orbit, frame count; and what a timed
// step is measured over.
#include "run/frame.h"

#include <GL/gl.h>

#include <optional>

#include "core/clock.h"
#include "core/state.h"
#include "render/scene_pass.h"

namespace aerolume {

namespace {

constexpr double step_per_ms = 0.015;
constexpr double step_cap = 0.4;

StepClock step_clock = StepClock::scene_pass;
// The end of the previous timed scene pass, while frames are measured over their interval.
std::optional<std::uint32_t> previous_pass_end;
// The camera the last full frame drew from.
Vector3 camera_of_last_frame;

}  // namespace

void set_step_clock(StepClock clock) {
  step_clock = clock;
  previous_pass_end.reset();
}

void restart_frame_interval() { previous_pass_end.reset(); }

std::uint32_t timed_step_interval(std::uint32_t pass_start, std::uint32_t pass_end) {
  if (step_clock == StepClock::scene_pass) return elapsed_ms(pass_start, pass_end);
  const std::uint32_t since = previous_pass_end.value_or(pass_start);
  previous_pass_end = pass_end;
  return elapsed_ms(since, pass_end);
}

void apply_timed_step(std::uint32_t elapsed) {
  const double r = static_cast<double>(elapsed) * step_per_ms;
  const double new_step = r < step_cap ? r : step_cap;
  step_scale = static_cast<float>((static_cast<double>(step_scale) + new_step) / 2.0);
  orbit_right = rotation_y(step_scale);
  orbit_left = rotation_y(-step_scale);
}

void render_frame() {
  camera_of_last_frame = eye;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (timed_steps) {
    const std::uint32_t t0 = clock_ms();
    draw_scene();
    const std::uint32_t t1 = clock_ms();
    apply_timed_step(timed_step_interval(t0, t1));
  } else {
    draw_scene();
    restart_frame_interval();
  }
  if (auto_orbit) eye = orbit_right.transform(eye);
  advance_frame_counter();
}

void render_frame_again() {
  const Vector3 camera_now = eye;
  eye = camera_of_last_frame;
  draw_scene_again();
  eye = camera_now;
}

}  // namespace aerolume
