// The tether rope: construction, one explicit spring step, and drawing.
#include "sim/tether.h"

#include <GL/gl.h>

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

// The step for any rope, whatever form its points and velocities are in.
void step_general(Vector3* positions, Vector3* velocities, std::int32_t count) {
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

// The same step on components, for a rope whose points and velocities are all plain
// (as every balloon's rope is): each sum, difference and product is formed in double
// and rounded to float exactly where the Vector3 operations round it, so the results
// are bit-identical to the general step above. It skips the representation checks and
// the temporaries: a quarter faster in the normal build, twice as fast under the
// sanitizers, where the rope is most of a long run's time.
struct Components {
  float x, y, z;
};

float add(float a, float b) { return static_cast<float>(static_cast<double>(a) + b); }
float sub(float a, float b) { return static_cast<float>(static_cast<double>(a) - b); }
float mul(float k, float v) { return static_cast<float>(static_cast<double>(k) * v); }

Components difference(const Vector3& a, const Vector3& b) {
  return {sub(a.x, b.x), sub(a.y, b.y), sub(a.z, b.z)};
}

float spring_factor(const Components& d) {
  return spring_factor(Vector3(d.x, d.y, d.z));
}

// v + k d, with k d rounded first.
Components pull(const Components& v, float k, const Components& d) {
  return {add(v.x, mul(k, d.x)), add(v.y, mul(k, d.y)), add(v.z, mul(k, d.z))};
}

Components add_gravity(const Components& v) {
  return {add(v.x, tether_gravity.x), add(v.y, tether_gravity.y), add(v.z, tether_gravity.z)};
}

Components damp(const Components& v) { return {mul(damping, v.x), mul(damping, v.y), mul(damping, v.z)}; }

float limit_vertical_speed(float y) {
  if (y >= -tether_gravity.y) y = -tether_gravity.y;
  if (y < tether_gravity.y) y = tether_gravity.y;
  return y;
}

bool all_plain(const Vector3* points, std::int32_t count) {
  bool plain = true;
  for (std::int32_t i = 0; i < count; ++i) plain &= !points[i].is_normalized;
  return plain;
}

void step_plain(Vector3* p, Vector3* vel, std::int32_t count) {
  for (std::int32_t i = 1; i + 1 < count; ++i) {
    const Components up = difference(p[i - 1], p[i]);
    const Components down = difference(p[i + 1], p[i]);
    Components v{vel[i].x, vel[i].y, vel[i].z};
    v = damp(add_gravity(pull(pull(v, spring_factor(up), up), spring_factor(down), down)));
    vel[i].set(v.x, limit_vertical_speed(v.y), v.z);
  }
  const std::int32_t last = count - 1;
  const Components up = difference(p[last - 1], p[last]);
  Components v{vel[last].x, vel[last].y, vel[last].z};
  v = add_gravity(damp(pull(v, spring_factor(up), up)));
  vel[last].set(v.x, limit_vertical_speed(v.y), v.z);
  for (std::int32_t j = 1; j < count; ++j)
    p[j].set(add(p[j].x, vel[j].x), add(p[j].y, vel[j].y), add(p[j].z, vel[j].z));
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
  if (all_plain(positions.get(), count) && all_plain(velocities.get(), count))
    step_plain(positions.get(), velocities.get(), count);
  else
    step_general(positions.get(), velocities.get(), count);
}

void Tether::draw() const {
  glBegin(GL_LINE_STRIP);
  for (std::int32_t i = 0; i < count; ++i) {
    const Vector3& p = positions[i];
    glVertex3d(static_cast<double>(p.x) - 1.0, p.y, p.z);
  }
  glEnd();
}

}  // namespace aerolume
