// The frame: a fresh scene when asked, one step of the stream, each view drawn by the
// scene pass (which clears it), whole or its damage, the timed step, auto-orbit, the
// frame count; and what a timed step is measured over.
#include "run/frame.h"

#include <GL/gl.h>

#include <optional>

#include "core/clock.h"
#include "core/state.h"
#include "render/render_state.h"
#include "render/scene_pass.h"
#include "run/partial_frames.h"
#include "run/scene_setup.h"

namespace aerolume {

namespace {

constexpr double step_per_ms = 0.015;
constexpr double step_cap = 0.4;

StepClock step_clock = StepClock::scene_pass;
// The end of the previous timed scene pass, while frames are measured over their interval.
std::optional<std::uint32_t> previous_pass_end;

// The timed step from the clock read before the step and after the last view, or none
// when timed steps are off; then auto-orbit and the frame count.
void end_frame(bool timed, std::uint32_t start, std::uint32_t end) {
  if (timed)
    apply_timed_step(timed_step_interval(start, end));
  else
    previous_pass_end.reset();
  if (auto_orbit) eye = orbit_right.transform(eye);
  advance_frame_counter();
}

// The pixels the frame drew and those its views hold, for the share drawn.
struct FrameShare {
  std::int64_t drawn = 0, whole = 0;
};
FrameShare this_frame;
double last_drawn_percent = 100.0;

// The view whole, or the damage since the frame its buffer holds; the shell learns which.
// The scene pass clears the view: inside the scissor where the view shares its drawable
// (the damage lies inside the view, so its own scissor holds it there too).
void draw_view(const View& view, ViewSurfaces& surfaces, std::size_t index) {
  use_viewport(view.x, view.y, view.width, view.height);
  const ViewPicture picture{{view.x, view.y, view.width, view.height}, eye, look_at};
  const BalloonDamage balloons = stream_damage(damage_camera(picture.area, eye, look_at));
  const ViewDamage damage = drawn_frames().next_frame(
      surfaces.view_identity(index), picture, surfaces.buffer_age(index), balloons);
  this_frame.whole += picture.area.area();
  if (!damage.whole) {
    for (const DamageRect& rect : damage.rects) this_frame.drawn += rect.area();
    draw_scene_parts(damage.rects, balloons.balloons);
    surfaces.drawn(index, damage.rects, false);
    return;
  }
  if (view.shares_drawable) {
    glScissor(view.x, view.y, view.width, view.height);
    glEnable(GL_SCISSOR_TEST);
  }
  draw_scene_view();
  if (view.shares_drawable) glDisable(GL_SCISSOR_TEST);
  this_frame.drawn += picture.area.area();
  surfaces.drawn(index, {&picture.area, 1}, true);
}

}  // namespace

void set_step_clock(StepClock clock) {
  step_clock = clock;
  previous_pass_end.reset();
}

void restart_frame_interval() {
  previous_pass_end.reset();
  forget_drawn_frames();
}

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

bool render_views(std::span<const View> views, ViewSurfaces& surfaces) {
  if (views.empty()) return true;
  if (!surfaces.begin_view(0)) return false;
  if (take_fresh_scene_request()) renew_clouds_and_wind();  // forgets the drawn frames
  const bool timed = timed_steps;
  const std::uint32_t start = timed ? clock_ms() : 0;
  step_scene_stream();
  this_frame = {};
  std::uint32_t end = start;
  for (std::size_t i = 0; i < views.size(); ++i) {
    if (i > 0 && !surfaces.begin_view(i)) return false;
    draw_view(views[i], surfaces, i);
    if (timed && i + 1 == views.size()) end = clock_ms();
    if (!surfaces.end_view(i)) return false;
  }
  end_frame(timed, start, end);
  if (this_frame.whole > 0)
    last_drawn_percent = 100.0 * static_cast<double>(this_frame.drawn) /
                         static_cast<double>(this_frame.whole);
  return true;
}

bool redraw_views(std::span<const View> views, ViewSurfaces& surfaces) {
  forget_drawn_frames();
  for (std::size_t i = 0; i < views.size(); ++i) {
    if (!surfaces.begin_view(i)) return false;
    const View& view = views[i];
    use_viewport(view.x, view.y, view.width, view.height);
    if (view.shares_drawable) {
      glScissor(view.x, view.y, view.width, view.height);
      glEnable(GL_SCISSOR_TEST);
    }
    draw_scene_view();
    if (view.shares_drawable) glDisable(GL_SCISSOR_TEST);
    const DamageRect area{view.x, view.y, view.width, view.height};
    surfaces.drawn(i, {&area, 1}, true);
    if (!surfaces.end_view(i)) return false;
  }
  return true;
}

double drawn_percent_of_last_frame() { return last_drawn_percent; }

}  // namespace aerolume
