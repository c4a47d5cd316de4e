// Definitions and initial values of the process-wide state table.
#include "app/state.h"

namespace aerolume {

Vector3 eye;
Vector3 look_at;
Matrix4 orbit_right = rotation_y(0.1);
Matrix4 orbit_left = rotation_y(-0.1);
float step_scale = 0.07f;
std::int32_t frame_counter = 0;
bool auto_orbit = false;
bool timed_steps = false;
bool fullscreen = true;
std::array<unsigned int, 4> lod_lists = {0, 0, 0, 0};
unsigned int cloud_texture = 0;
float balloon_colour[4] = {0.7f, 0.0f, 0.0f, 1.0f};
const float drift_damping = 20.0f;

void advance_frame_counter() {
  // Conversion of an out-of-range unsigned value to a signed type is modular in C++20.
  frame_counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(frame_counter) + 1u);
}

}  // namespace aerolume
