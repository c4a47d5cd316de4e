// The damage of a frame: the balloons' screen rectangles from the frame's matrices, and
// the rectangles of several frames merged into a few.
#include "render/damage.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "assets/balloon_mesh.h"
#include "render/render_state.h"
#include "sim/balloon_stream.h"

namespace aerolume {

namespace {

// The body is drawn at 30 times the mesh, tilted by 10 degrees per unit of drift (the
// scene pass's scale and tilt).
constexpr double body_scale = 30.0;
constexpr float body_tilt_per_drift = 10.0f;
// Added to each side of the body's box, in world units: GL turns, scales and moves the
// mesh with float matrices, which this bound in double does not follow digit for digit.
constexpr double body_slack = 1.0;
// A point nearer the eye plane than this (in clip w, world units) is not bounded: GL's
// float transform may then place it several pixels from where the double one does, and
// a balloon that near covers much of the view anyway. Far beyond the near plane (0.1).
constexpr double nearest_w = 16.0;

// The window extent of a set of points: smallest and largest x and y.
struct Extent {
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
};

// A 4x4 column-major product out = a * b.
void multiply(const double* a, const double* b, double* out) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += a[k * 4 + r] * b[c * 4 + k];
      out[c * 4 + r] = sum;
    }
}

// Adds the window position of (x, y, z) to the extent; false when the point lies too
// near the eye plane (or behind it) or its position is not finite.
bool add_point(const double* clip, const DamageRect& viewport, double x, double y, double z,
               Extent* e) {
  const double cx = clip[0] * x + clip[4] * y + clip[8] * z + clip[12];
  const double cy = clip[1] * x + clip[5] * y + clip[9] * z + clip[13];
  const double cw = clip[3] * x + clip[7] * y + clip[11] * z + clip[15];
  if (!(cw >= nearest_w)) return false;
  const double wx = viewport.x + (cx / cw + 1.0) * 0.5 * viewport.width;
  const double wy = viewport.y + (cy / cw + 1.0) * 0.5 * viewport.height;
  if (!std::isfinite(wx) || !std::isfinite(wy)) return false;
  e->x0 = std::min(e->x0, wx);
  e->y0 = std::min(e->y0, wy);
  e->x1 = std::max(e->x1, wx);
  e->y1 = std::max(e->y1, wy);
  return true;
}

// The pixels the extent touches, rounded outward, widened by the margin and clipped to
// the viewport; clamped in double first, so the conversion to int is always in range.
DamageRect pixels_of(const Extent& e, const DamageRect& viewport) {
  const double vx = viewport.x, vy = viewport.y;
  const double left = std::max(std::floor(e.x0) - damage_margin, vx);
  const double bottom = std::max(std::floor(e.y0) - damage_margin, vy);
  const double right = std::min(std::ceil(e.x1) + damage_margin, vx + viewport.width);
  const double top = std::min(std::ceil(e.y1) + damage_margin, vy + viewport.height);
  if (!(left < right && bottom < top)) return DamageRect{};
  const int x = static_cast<int>(left), y = static_cast<int>(bottom);
  return DamageRect{x, y, static_cast<int>(right) - x, static_cast<int>(top) - y};
}

}  // namespace

bool rects_meet(const DamageRect& a, const DamageRect& b) {
  if (a.empty() || b.empty()) return false;
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

DamageRect bounding_rect(const DamageRect& a, const DamageRect& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  const int x = std::min(a.x, b.x), y = std::min(a.y, b.y);
  const int right = std::max(a.x + a.width, b.x + b.width);
  const int top = std::max(a.y + a.height, b.y + b.height);
  return DamageRect{x, y, right - x, top - y};
}

DamageCamera damage_camera(const DamageRect& viewport, const Vector3& eye, const Vector3& look_at) {
  DamageCamera camera;
  camera.viewport = viewport;
  // As gluPerspective builds it, the aspect as reshape_viewport gives it.
  const double aspect = static_cast<double>(viewport.width) / std::max(viewport.height, 1);
  const double half = field_of_view / 2.0 * std::numbers::pi / 180.0;
  const double cotangent = std::cos(half) / std::sin(half);
  double* p = camera.projection;
  p[0] = cotangent / aspect;
  p[5] = cotangent;
  p[10] = -(far_plane + near_plane) / (far_plane - near_plane);
  p[11] = -1.0;
  p[14] = -2.0 * near_plane * far_plane / (far_plane - near_plane);
  // As gluLookAt builds it: forward, side = forward x up, up = side x forward, then the
  // eye moved to the origin.
  double f[3] = {double{look_at.x} - eye.x, double{look_at.y} - eye.y, double{look_at.z} - eye.z};
  const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
  for (double& c : f) c /= fl;
  double s[3] = {-f[2], 0.0, f[0]};  // forward x (0, 1, 0)
  const double sl = std::sqrt(s[0] * s[0] + s[2] * s[2]);
  for (double& c : s) c /= sl;
  const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2],
                       s[0] * f[1] - s[1] * f[0]};
  double* m = camera.model_view;
  for (int i = 0; i < 3; ++i) {
    m[i * 4 + 0] = s[i];
    m[i * 4 + 1] = u[i];
    m[i * 4 + 2] = -f[i];
  }
  const double e[3] = {eye.x, eye.y, eye.z};
  for (int r = 0; r < 3; ++r) m[12 + r] = -(m[r] * e[0] + m[4 + r] * e[1] + m[8 + r] * e[2]);
  m[15] = 1.0;
  multiply(camera.projection, camera.model_view, camera.clip);
  return camera;
}

MeshBox balloon_mesh_box() {
  static const MeshBox box = [] {
    MeshBox b;
    auto take = [&b](const Vector3& v) {
      b.half_width = std::max({b.half_width, std::abs(double{v.x}), std::abs(double{v.z})});
      b.bottom = std::min(b.bottom, double{v.y});
      b.top = std::max(b.top, double{v.y});
    };
    for (int level = 1; level <= 4; ++level) {
      const BalloonMesh mesh(segments_for_level(level));
      const int n = mesh.segments();
      for (int k = 0; k <= n; ++k) take(mesh.sample(k));
      for (int j = 0; j < n; ++j)
        for (int k = 2; k < n; ++k) take(mesh.vertex(j, k));
    }
    return b;
  }();
  return box;
}

std::optional<DamageRect> balloon_rect(const Vector3& position, const Vector3& drift,
                                       std::span<const Vector3> rope, const DamageCamera& camera) {
  const double* clip = camera.clip;
  Extent extent;
  for (const Vector3& p : rope)
    if (!add_point(clip, camera.viewport, double{p.x} - 1.0, p.y, p.z, &extent))
      return std::nullopt;
  // The body as the scene pass places it: scaled, turned about x by the drift in z, then
  // about z by the drift in x (the angles formed in float, as glRotatef is given them),
  // then moved to the position. The mesh lies inside its box, so the turned box holds it.
  const MeshBox box = balloon_mesh_box();
  const double w = box.half_width * body_scale + body_slack;
  const double y0 = box.bottom * body_scale - body_slack, y1 = box.top * body_scale + body_slack;
  const double to_radians = std::numbers::pi / 180.0;
  const double about_z = static_cast<double>(drift.x * body_tilt_per_drift) * to_radians;
  const double about_x = static_cast<double>(drift.z * body_tilt_per_drift) * to_radians;
  const double cz = std::cos(about_z), sz = std::sin(about_z);
  const double cx = std::cos(about_x), sx = std::sin(about_x);
  for (int corner = 0; corner < 8; ++corner) {
    const double x = (corner & 1) != 0 ? w : -w;
    const double y = (corner & 2) != 0 ? y1 : y0;
    const double z = (corner & 4) != 0 ? w : -w;
    // About x, then about z.
    const double ty = cx * y - sx * z, tz = sx * y + cx * z;
    const double ux = cz * x - sz * ty, uy = sz * x + cz * ty;
    if (!add_point(clip, camera.viewport, position.x + ux, position.y + uy, position.z + tz,
                   &extent))
      return std::nullopt;
  }
  return pixels_of(extent, camera.viewport);
}

BalloonDamage stream_damage(const DamageCamera& camera) {
  BalloonDamage damage;
  for (const Balloon* b = balloon_head.get(); b != nullptr; b = b->next.get()) {
    const std::span<const Vector3> rope(b->tether.positions.get(),
                                        static_cast<std::size_t>(std::max(b->tether.count, 0)));
    const std::optional<DamageRect> rect = balloon_rect(b->position, b->drift, rope, camera);
    if (!rect) {
      damage.balloons.clear();
      damage.whole = true;
      return damage;
    }
    damage.balloons.push_back(*rect);
  }
  return damage;
}

std::vector<DamageRect> merge_rects(std::vector<DamageRect> rects) {
  std::erase_if(rects, [](const DamageRect& r) { return r.empty(); });
  for (;;) {
    // Join overlapping rectangles until none overlap: a pixel is then drawn once.
    bool joined = true;
    while (joined) {
      joined = false;
      for (std::size_t i = 0; i < rects.size() && !joined; ++i)
        for (std::size_t j = i + 1; j < rects.size(); ++j)
          if (rects_meet(rects[i], rects[j])) {
            rects[i] = bounding_rect(rects[i], rects[j]);
            rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(j));
            joined = true;
            break;
          }
    }
    if (rects.size() <= max_damage_rects) break;
    // Too many: join the pair whose union adds the fewest pixels, then look again.
    std::size_t best_i = 0, best_j = 1;
    std::int64_t best_cost = INT64_MAX;
    for (std::size_t i = 0; i < rects.size(); ++i)
      for (std::size_t j = i + 1; j < rects.size(); ++j) {
        const std::int64_t cost =
            bounding_rect(rects[i], rects[j]).area() - rects[i].area() - rects[j].area();
        if (cost < best_cost) best_cost = cost, best_i = i, best_j = j;
      }
    rects[best_i] = bounding_rect(rects[best_i], rects[best_j]);
    rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(best_j));
  }
  return rects;
}

std::optional<std::vector<DamageRect>> merge_damage(std::vector<DamageRect> rects,
                                                    const DamageRect& view) {
  rects = merge_rects(std::move(rects));
  std::int64_t covered = 0;
  for (const DamageRect& r : rects) covered += r.area();
  if (static_cast<double>(covered) > max_damage_share * static_cast<double>(view.area()))
    return std::nullopt;
  return rects;
}

}  // namespace aerolume
