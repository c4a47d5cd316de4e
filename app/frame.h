// One frame of the scene, without the buffer swap (the window and the headless
// renderer each present it their own way), and the timed-step rule.
#pragma once

#include <cstdint>

namespace aerolume {

// Clear; the scene pass (timed when timed steps are on); auto-orbit; count the frame.
void render_frame();

// Timed mode: the scene pass took elapsed_ms. The new step is 0.015 per millisecond,
// capped at 0.4; step_scale becomes the mean of the old and the new step (in double,
// stored as float), and both orbit matrices are rebuilt from the stored step.
void apply_timed_step(std::uint32_t elapsed_ms);

}  // namespace aerolume
