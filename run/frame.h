// One frame of the scene, without the buffer swap (the window and the headless
// renderer each present it their own way), and the timed-step rule.
#pragma once

#include <cstdint>

namespace aerolume {

// Clear; the scene pass (timed when timed steps are on); auto-orbit; count the frame.
// Keeps the camera the pass drew from, for render_frame_again().
void render_frame();

// The picture of the last render_frame() again, from the camera it drew from (auto-orbit
// has moved the camera since), for another surface that shows the same frame: the
// stream does not move, the frame is not counted and the camera is left as it is.
void render_frame_again();

// Timed mode: the scene pass took elapsed_ms. The new step is 0.015 per millisecond,
// capped at 0.4; step_scale becomes the mean of the old and the new step (in double,
// stored as float), and both orbit matrices are rebuilt from the stored step.
void apply_timed_step(std::uint32_t elapsed_ms);

// What a timed step is measured over. By default the scene pass alone: frames run back
// to back, so the pass is nearly the whole frame. When a frame cap paces the frames, the
// whole frame interval, sleep included, so that the stream keeps to real time.
enum class StepClock { scene_pass, frame_interval };
void set_step_clock(StepClock clock);

// The milliseconds the step of a timed frame is measured over, from the clock read
// before and after its scene pass: the pass itself, or with StepClock::frame_interval the
// time since the end of the previous timed pass (the pass itself for the first one, and
// after restart_frame_interval() or an untimed frame).
std::uint32_t timed_step_interval(std::uint32_t pass_start, std::uint32_t pass_end);

// The next timed frame measures its scene pass alone: used after the shell slept while
// nobody could see the window, which is no part of any frame's interval.
void restart_frame_interval();

}  // namespace aerolume
