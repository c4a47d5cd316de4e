// The damage of a frame, as plain data: the screen rectangle each balloon and its rope
// cover, from the frame's projection and camera computed on the CPU, and the rectangles
// of several frames merged into a few. No GL: the scene pass draws what this describes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "geometry/vector3.h"

namespace aerolume {

// A rectangle of a drawable's pixels as glScissor and glViewport take it: its lower-left
// corner at (x, y), rows counted from the bottom. A width or height of 0 is empty.
struct DamageRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
  std::int64_t area() const { return empty() ? 0 : std::int64_t{width} * height; }
  bool operator==(const DamageRect&) const = default;
};

// Whether two rectangles share a pixel (an empty one shares none).
bool rects_meet(const DamageRect& a, const DamageRect& b);
// The smallest rectangle holding both (an empty one adds nothing).
DamageRect bounding_rect(const DamageRect& a, const DamageRect& b);

// Pixels added around every projected extent: GL rasterizes a line one pixel wide (half
// a pixel either side, and past its ends), samples of a multisampled pixel lie anywhere
// in it, and GL's matrices are floats where these are doubles.
constexpr int damage_margin = 2;

// The matrices a view's frame is drawn with, in double and in GL's column-major order:
// the perspective of the viewport's aspect (reshape_viewport), the camera's model-view
// (gluLookAt from eye to look_at, y up), their product, and the viewport itself.
struct DamageCamera {
  DamageRect viewport;
  double projection[16] = {};
  double model_view[16] = {};
  double clip[16] = {};  // projection * model_view
};
DamageCamera damage_camera(const DamageRect& viewport, const Vector3& eye, const Vector3& look_at);

// The damage of the balloons of one frame in one view: for each balloon in list order
// the rectangle its body and rope cover, clipped to the viewport (empty when it is
// outside). whole: some balloon comes too near the eye plane to be bounded (or the
// camera gives no finite picture), so the whole view counts as damaged.
struct BalloonDamage {
  std::vector<DamageRect> balloons;
  bool whole = false;
};

// The box around every vertex of every level-of-detail mesh, in mesh units: the lathe
// turns about y, so x and z lie within +-half_width; y runs from bottom to top (the
// lower tip, where the balloon's position lies, at 0).
struct MeshBox {
  double half_width = 0.0, bottom = 0.0, top = 0.0;
};
MeshBox balloon_mesh_box();

// One balloon: the window positions of its rope's points (as the scene pass sends them,
// shifted by -1 in x) and of the 8 corners of the body's box, turned by its drift and
// placed as the scene pass places the body, rounded outward and widened by
// damage_margin, clipped to the viewport. Empty when it covers none of the viewport;
// none when a point lies too near the eye plane.
std::optional<DamageRect> balloon_rect(const Vector3& position, const Vector3& drift,
                                       std::span<const Vector3> rope, const DamageCamera& camera);
// Every balloon of the stream, head to tail.
BalloonDamage stream_damage(const DamageCamera& camera);

// How much partial drawing is worth: past this many rectangles, or past this share of
// the view, the whole view is drawn instead.
constexpr std::size_t max_damage_rects = 12;
constexpr double max_damage_share = 0.5;

// The rectangles merged until none overlap and there are at most max_damage_rects
// (where more remain, the pair whose union adds the fewest pixels is joined first).
// Empty rectangles drop out.
std::vector<DamageRect> merge_rects(std::vector<DamageRect> rects);
// The same, or none when they cover more than max_damage_share of the view.
std::optional<std::vector<DamageRect>> merge_damage(std::vector<DamageRect> rects,
                                                    const DamageRect& view);

}  // namespace aerolume
