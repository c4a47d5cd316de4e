// The scene pass: the camera, one pass of the simulation, then every balloon (material,
// rope, body) from oldest to newest, and last the sky dome.
#pragma once

#include <span>

#include "render/damage.h"
#include "sim/tether.h"

namespace aerolume {

// A frame runs the scene pass in two halves: its move once, step_scene_stream(), then its
// drawing, draw_scene_view(), once for each view that shows the frame.
//
// The scene pass's move of the stream: step_stream(), timed for the renderer's statistics
// while stream_timing is enabled. No GL.
void step_scene_stream();
// The scene pass's drawing without moving the stream: clear, load the camera, every
// balloon, the dome. One frame draws each of its views with it after one step.
void draw_scene_view();
// The same drawing held to the damaged parts of the view, each in turn inside the
// scissor: clear, load the camera, the balloons whose rectangle (balloons, in list
// order, from stream_damage) meets the part, in list order, then the dome. Every pixel
// inside the parts is the pixel draw_scene_view() gives it; none outside is touched.
// Leaves the scissor test off.
void draw_scene_parts(std::span<const DamageRect> parts, std::span<const DamageRect> balloons);
// The sky dome where the scene pass puts it: its grid of 9 x 9 lowered by 450 000 units,
// drawn in the current model-view frame, which it leaves as it found it.
void draw_scene_dome();
// A rope as one GL line strip of its points, each shifted by -1 in x. Sets no GL state.
void draw_rope(const Tether& tether);

// Timing of the simulation inside the scene pass, for the renderer's statistics. While
// enabled, step_scene_stream() reads the steady clock before and after its step_stream() call
// and stores the difference in last_pass_us (microseconds); while disabled (the default)
// it reads no clock and leaves last_pass_us alone. Either way the pass itself is the same.
struct StreamTiming {
  bool enabled = false;
  double last_pass_us = 0.0;
};
extern StreamTiming stream_timing;

}  // namespace aerolume
