// Keyboard handlers: camera moves, mode flags, cloud regeneration, quit.
#include "viewer/glut/controls.h"

#include <cstdlib>

#include "core/state.h"
#include "run/scene_setup.h"

namespace aerolume {

namespace {

constexpr float zoom_in_factor = 0.99f;
constexpr float zoom_out_factor = 1.01f;
constexpr float tilt_step = 10.0f;
constexpr float reset_step = 0.07f;
// The zoom keeps the eye between these squared distances from the target: nearer and
// the view degenerates, farther and the scene lies beyond the far plane.
constexpr double nearest_squared = 1.0;
constexpr double farthest_squared = 1.0e12;

WindowControl window_control;

void zoom(float factor) {
  const Vector3 moved = look_at + (eye - look_at).scaled(factor);
  const double d2 = distance_squared(moved, look_at);
  if (factor < 1.0f && !(d2 >= nearest_squared)) return;
  if (factor > 1.0f && !(d2 <= farthest_squared)) return;
  eye = moved;
}

void orbit(const Matrix4& step) {
  eye = step.transform(eye);
  eye = step.transform(eye);
}

void toggle_fullscreen() {
  fullscreen = !fullscreen;
  void (*change)() = fullscreen ? window_control.enter_fullscreen : window_control.leave_fullscreen;
  if (change != nullptr) change();
}

}  // namespace

void set_window_control(const WindowControl& control) { window_control = control; }

void on_key(unsigned char key, int, int) {
  switch (key) {
    case 27:
      std::exit(0);
    case '+':
      zoom(zoom_in_factor);
      break;
    case '-':
      zoom(zoom_out_factor);
      break;
    case 'a':
      auto_orbit = !auto_orbit;
      break;
    case 'c':
      renew_clouds_and_wind();
      break;
    case 't':
      // The orbit matrices are left as they are: they keep the last timed step.
      timed_steps = !timed_steps;
      step_scale = reset_step;
      break;
    default:
      break;
  }
}

void on_special_key(int key, int, int) {
  switch (key) {
    case key_f1:
      toggle_fullscreen();
      break;
    case key_left:
      orbit(orbit_left);
      break;
    case key_right:
      orbit(orbit_right);
      break;
    case key_up:
      look_at.y = static_cast<float>(static_cast<double>(look_at.y) + tilt_step);
      break;
    case key_down:
      look_at.y = static_cast<float>(static_cast<double>(look_at.y) - tilt_step);
      break;
    default:
      break;
  }
}

}  // namespace aerolume
