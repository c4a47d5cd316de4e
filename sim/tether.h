// The tether rope under a balloon: a chain of points joined by springs of rest length 5,
// pinned to the balloon at point 0, pulled down by gravity, damped and speed-limited
// vertically. A tether owns its two arrays; it can be moved but never copied.
#pragma once

#include <cstdint>
#include <memory>

#include "geometry/vector3.h"

namespace aerolume {

// Gravity added to every free point once per step, (0, -0.05, 0). Its y also bounds the
// vertical speed to [y, -y].
extern const Vector3 tether_gravity;

struct Tether {
  std::int32_t count = 0;
  std::unique_ptr<Vector3[]> positions;   // point 0 is the anchor
  std::unique_ptr<Vector3[]> velocities;  // per-step displacement; element 0 stays zero

  // Holds no points.
  Tether() = default;
  // A straight rope of `count` points hanging down from `anchor`, 5 apart, at rest. A
  // count below 1 gives a tether with no points.
  Tether(std::int32_t count, Vector3 anchor);

  Tether(Tether&& other) noexcept;
  Tether& operator=(Tether&& other) noexcept;
  Tether(const Tether&) = delete;
  Tether& operator=(const Tether&) = delete;
  ~Tether() = default;

  // Pins point 0 to `anchor` and advances every other point by one step. A tether of
  // fewer than 2 points has nothing to advance: the step leaves it as it is.
  void step(Vector3 anchor);
};

}  // namespace aerolume
