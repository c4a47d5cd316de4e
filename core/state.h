// The process-wide state table: camera, orbit matrices, simulation step, frame count,
// mode flags, GL object names and the balloon colour. Everything here lives for the
// whole process; reset_state() gives the start-up values, which are in force before
// main runs.
#pragma once

#include <array>
#include <cstdint>

#include "geometry/matrix4.h"
#include "geometry/vector3.h"

namespace aerolume {

extern Vector3 eye;      // camera position, always plain
extern Vector3 look_at;  // camera target, always plain
extern Matrix4 orbit_right;  // rotation_y(+step) about the vertical axis
extern Matrix4 orbit_left;   // rotation_y(-step)
extern float step_scale;     // rise per frame; scales wind drift and rope steps
extern std::int32_t frame_counter;  // frames completed; advanced by advance_frame_counter()
extern bool auto_orbit;
extern bool timed_steps;
extern bool fullscreen;
// Display-list names of the balloon levels of detail: lod_lists[level - 1] for levels
// 1 to 4. A name of 0 means that level has no list.
extern std::array<unsigned int, 4> lod_lists;
extern unsigned int cloud_texture;      // the one 2-D texture object
extern float balloon_colour[4];         // RGBA; alpha rewritten for each balloon drawn
extern const float drift_damping;       // pulls the wind drift back toward zero

// Puts every value of the table back to its start-up value (tests call it between cases).
void reset_state();

// Counts one more frame. The count is a 32-bit signed integer that wraps from
// 2^31 - 1 to -2^31 (done in unsigned arithmetic, so the wrap is well defined).
void advance_frame_counter();

}  // namespace aerolume
