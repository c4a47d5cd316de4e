// The balloon stream: population, retirement, spawning and the simulation pass.
#include "sim/balloon_stream.h"

#include "core/state.h"
#include "noise/noise.h"
#include "noise/random.h"

namespace aerolume {

std::unique_ptr<Balloon> balloon_head;
Balloon* balloon_tail = nullptr;

namespace {

constexpr int rope_points = 15;
constexpr float start_spacing = 100.0f;
constexpr float retire_height = 3000.0f;
constexpr float spawn_height = 100.0f;
constexpr double wind_centre = 0.5;
constexpr double reference_step = 0.07;
// The start-up step as it is stored: the rope climbs at most this far per rope step.
constexpr double start_step = static_cast<double>(0.07f);
// A bound no step of the system comes near (it would take a step above 35); it keeps a
// corrupt step from turning one pass into an endless loop.
constexpr int max_rope_steps = 1000;
constexpr float fade_low = 50.0f;
constexpr float fade_high = 2900.0f;
constexpr double fade_band_scale = 10.0;

// r / 32767 x 1000, formed in double and rounded once.
float ground_coordinate() {
  return static_cast<float>(static_cast<double>(next_random()) / 32767.0 * 1000.0);
}

// drift + step x (n - 0.5 - drift / damping), evaluated in double with the old drift.
float relax_drift(float drift, float noise) {
  const double d = drift;
  return static_cast<float>(
      d + static_cast<double>(step_scale) *
              (static_cast<double>(noise) - wind_centre - d / static_cast<double>(drift_damping)));
}

float limit_drift(float drift) {
  if (drift >= 1.0f) drift = 1.0f;
  if (drift < -1.0f) drift = -1.0f;
  return drift;
}

void retire_head() {
  // The newest balloon is never retired, so the list is never left empty.
  if (balloon_head && balloon_head->next && balloon_head->position.y > retire_height)
    balloon_head = std::move(balloon_head->next);
}

void move_balloon(Balloon& b) {
  const float w = static_cast<float>(frame_counter);
  const Vector3 at = b.position;
  const float wind_x = fractal_noise4(at.x, at.y, at.z, w, true);
  b.drift.x = relax_drift(b.drift.x, wind_x);
  b.drift.y = step_scale;
  const float wind_z = fractal_noise4(at.x, at.y, at.z, w, false);
  b.drift.z = relax_drift(b.drift.z, wind_z);
  b.drift.x = limit_drift(b.drift.x);
  b.drift.z = limit_drift(b.drift.z);
  b.position += b.drift;
  const int steps = rope_steps(step_scale);
  for (int i = 0; i < steps; ++i) b.tether.step(b.position);
  b.alpha = fade_alpha(b.position.y);
}

void spawn_after(Balloon& b) {
  b.next = std::make_unique<Balloon>();
  spawn_balloon(*b.next);
  balloon_tail = b.next.get();
}

}  // namespace

void clear_balloons() {
  balloon_tail = nullptr;
  while (balloon_head) balloon_head = std::move(balloon_head->next);
}

int balloon_count() {
  int count = 0;
  for (const Balloon* b = balloon_head.get(); b != nullptr; b = b->next.get()) ++count;
  return count;
}

void spawn_balloon(Balloon& balloon) {
  const float z = ground_coordinate();
  const float x = ground_coordinate();
  balloon.position.set(x, 0.0f, z);
  balloon.tether = Tether(rope_points, balloon.position);
  balloon.next = nullptr;
}

void populate_balloons() {
  clear_balloons();
  auto head = std::make_unique<Balloon>();
  Balloon* current = head.get();
  for (int i = 0; i < 39; ++i) {
    const float z = ground_coordinate();
    const float y = static_cast<float>(i) * start_spacing;
    const float x = ground_coordinate();
    current->position.set(x, y, z);
    current->tether = Tether(rope_points, current->position);
    current->next = std::make_unique<Balloon>();
    current = current->next.get();
  }
  // The fortieth stays at the origin with its rope hanging from there.
  current->tether = Tether(rope_points, current->position);
  balloon_head = std::move(head);
  balloon_tail = current;
}

int rope_steps(float step) {
  const double s = step;
  double c = 1.0;
  if (s / reference_step > c) c = s / reference_step;
  if (2.0 * s / start_step > c) c = 2.0 * s / start_step;
  int steps = 0;
  while (steps < c && steps < max_rope_steps) ++steps;
  return steps;
}

float fade_alpha(float y) {
  float t = 1.0f;
  if (y > fade_high)
    t = static_cast<float>((static_cast<double>(y) - fade_high) / fade_band_scale);
  else if (y < fade_low)
    t = static_cast<float>((fade_low - static_cast<double>(y)) / fade_band_scale);
  return static_cast<float>(1.0 / static_cast<double>(t));
}

void step_stream() {
  retire_head();
  for (Balloon* b = balloon_head.get(); b != nullptr; b = b->next.get()) {
    move_balloon(*b);
    if (b == balloon_tail && b->position.y > spawn_height) spawn_after(*b);
  }
}

}  // namespace aerolume
