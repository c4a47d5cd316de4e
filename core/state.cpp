// Definitions of the process-wide state table and its start-up values.
#include "core/state.h"

namespace aerolume {

Vector3 eye;
Vector3 look_at;
Matrix4 orbit_right;
Matrix4 orbit_left;
float step_scale;
std::int32_t frame_counter;
bool auto_orbit;
bool timed_steps;
bool fullscreen;
std::array<unsigned int, 4> lod_lists;
unsigned int cloud_texture;
float balloon_colour[4];
const float drift_damping = 20.0f;

void reset_state() {
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

namespace {

// The start-up values are in force before main runs: set here, after the definitions
// above, by the same function that puts them back.
const bool state_ready = (reset_state(), true);

}  // namespace

void advance_frame_counter() {
  // Conversion of an out-of-range unsigned value to a signed type is modular in C++20.
  frame_counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(frame_counter) + 1u);
}

}  // namespace aerolume
