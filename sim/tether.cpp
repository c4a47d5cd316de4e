// The tether rope: construction and one explicit spring step.
#include "sim/tether.h"

#include <utility>

namespace aerolume {

const Vector3 tether_gravity(0.0f, -0.05f, 0.0f);

namespace {

constexpr float spacing = 5.0f;
constexpr double rest_length_squared = 25.0;
constexpr double spring_constant = 0.01;  // applied in double
constexpr float damping = 0.99f;

// The spring factor along d: (|d|^2 - 25) * 0.01, with |d|^2 rounded to float first and
// the product rounded to float.
float spring_factor(const Vector3& d) {
  const float length2 = static_cast<float>(length_squared(d));
  return static_cast<float>((length2 - rest_length_squared) * spring_constant);
}

void limit_vertical_speed(Vector3& v) {
  if (v.y >= -tether_gravity.y) v.y = -tether_gravity.y;
  if (v.y < tether_gravity.y) v.y = tether_gravity.y;
}

// One step of every free point: velocities from the old positions, then positions.
void step_points(Vector3* positions, Vector3* velocities, std::int32_t count) {
  // Interior points: both springs, then gravity, then damping.
  for (std::int32_t i = 1; i + 1 < count; ++i) {
    const Vector3 up = positions[i - 1] - positions[i];
    const Vector3 down = positions[i + 1] - positions[i];
    const float k_up = spring_factor(up);
    const float k_down = spring_factor(down);
    Vector3& v = velocities[i];
    v += up.scaled(k_up);
    v += down.scaled(k_down);
    v += tether_gravity;
    v = v.scaled(damping);
    limit_vertical_speed(v);
  }

  // The last point: its one spring, then damping, then gravity (the reverse order).
  const std::int32_t last = count - 1;
  const Vector3 up = positions[last - 1] - positions[last];
  Vector3& v = velocities[last];
  v += up.scaled(spring_factor(up));
  v = v.scaled(damping);
  v += tether_gravity;
  limit_vertical_speed(v);

  // Positions move only after every velocity has been formed from the old positions.
  for (std::int32_t j = 1; j < count; ++j) positions[j] += velocities[j];
}

}  // namespace

Tether::Tether(std::int32_t count_, Vector3 anchor) {
  if (count_ < 1) return;
  count = count_;
  positions = std::make_unique<Vector3[]>(count);   // all zero
  velocities = std::make_unique<Vector3[]>(count);  // all zero
  positions[0] = anchor;
  for (std::int32_t i = 1; i < count; ++i) {
    positions[i] = positions[i - 1];
    positions[i].y -= spacing;
  }
}

Tether::Tether(Tether&& other) noexcept
    : count(std::exchange(other.count, 0)),
      positions(std::move(other.positions)),
      velocities(std::move(other.velocities)) {}

Tether& Tether::operator=(Tether&& other) noexcept {
  if (this != &other) {
    count = std::exchange(other.count, 0);
    positions = std::move(other.positions);
    velocities = std::move(other.velocities);
  }
  return *this;
}

void Tether::step(Vector3 anchor) {
  if (count < 2) return;
  positions[0] = anchor;
  step_points(positions.get(), velocities.get(), count);
}

}  // namespace aerolume
