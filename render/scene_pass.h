// The scene pass: the camera, one pass of the simulation, then every balloon (material,
// rope, body) from oldest to newest, and last the sky dome.
#pragma once

#include "sim/tether.h"

namespace aerolume {

// Clear, load the camera, step_stream(), then draw every balloon's rope and body in list
// order, and last the sky dome (draw_scene_dome()).
void draw_scene();
// The same picture again without moving the stream (no step_stream()): for another
// surface that shows the frame the last pass made, from the current camera.
void draw_scene_again();
// The sky dome where the scene pass puts it: its grid of 9 x 9 lowered by 450 000 units,
// drawn in the current model-view frame, which it leaves as it found it.
void draw_scene_dome();
// A rope as one GL line strip of its points, each shifted by -1 in x. Sets no GL state.
void draw_rope(const Tether& tether);

// Timing of the simulation inside the scene pass, for the renderer's statistics. While
// enabled, draw_scene() reads the steady clock before and after its step_stream() call
// and stores the difference in last_pass_us (microseconds); while disabled (the default)
// it reads no clock and leaves last_pass_us alone. Either way the pass itself is the same.
struct StreamTiming {
  bool enabled = false;
  double last_pass_us = 0.0;
};
extern StreamTiming stream_timing;

}  // namespace aerolume
