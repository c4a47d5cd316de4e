// The balloon stream: the list of balloons from oldest to newest, its start-up
// population and one pass of its simulation. No GL: the scene pass in render/ draws it.
#pragma once

#include <memory>

#include "geometry/vector3.h"
#include "sim/tether.h"

namespace aerolume {

struct Balloon {
  Vector3 position;  // lower tip of the balloon and anchor of its rope; always plain
  Vector3 drift;     // displacement per pass: wind in x and z (within [-1, 1]), rise in y
  Tether tether;     // empty until the balloon is placed
  std::unique_ptr<Balloon> next;  // the next newer balloon; null for the newest
  float alpha = 1.0f;             // the fade of its last pass
};

// The list owns its balloons: balloon_head owns the oldest, each balloon the next.
extern std::unique_ptr<Balloon> balloon_head;
extern Balloon* balloon_tail;  // the newest balloon, owned through the list

// Replaces the list with the forty start-up balloons: 39 at random ground points at
// heights 0, 100, ..., 3800, then one at the origin. Draws 78 random numbers.
void populate_balloons();
// Places a newly constructed balloon at a random ground point with a fresh rope.
void spawn_balloon(Balloon& balloon);
// Releases every balloon (iteratively, so no long chain of destructors).
void clear_balloons();
// Number of balloons in the list, head to tail.
int balloon_count();

// Number of rope steps in a pass at the given step: the smallest whole number not below
// max(1, step / 0.07, 2 * step / 0.07f), so no rope step has to climb more than at the
// start-up step and the rope keeps up with its balloon at any timed step.
int rope_steps(float step);
// The fade of a balloon at height y: 1 / t with t rising from 0 toward the ground band
// edge at 50 and above 2900.
float fade_alpha(float y);

// One pass of the simulation, no GL: retire the head above 3000, then for every balloon
// in list order (including one spawned during the walk) wind, rise, drift limits, move,
// rope steps and fade, and spawn a new balloon when the newest has risen above 100.
void step_stream();

}  // namespace aerolume
