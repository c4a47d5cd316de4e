// The balloon shape: a Hermite profile lathed about the y axis, computed as plain data
// (BalloonMesh), emitted in immediate mode and compiled into four display lists, one per
// level of detail, with the rule that picks a level from the squared eye distance.
#pragma once

#include <vector>

#include "geometry/vector3.h"

namespace aerolume {

// The profile's Hermite control vectors: the top of the balloon, the bottom tip, and the
// tangents there. Plain vectors, fixed before main runs.
extern const Vector3 profile_top;             // (0, 1, 0)
extern const Vector3 profile_bottom;          // (0, 0, 0)
extern const Vector3 profile_top_tangent;     // (1, 0, 0)
extern const Vector3 profile_bottom_tangent;  // (-2, -1, 0)

// The profile curve at t in 0..1, from the top (t = 0) to the tip (t = 1). Plain.
Vector3 profile_point(float t);

// One mesh of n segments: n + 1 profile samples, and n meridians of rings 2..n-1 (sample 1
// is skipped so the top cap reaches straight to ring 2). Meridian j is meridian j - 1
// turned by 360/n degrees about y, rounded to float at every step. Normals are held in
// normalized form. A mesh of fewer than 3 segments has no samples and no rings.
struct BalloonMesh {
  explicit BalloonMesh(int n);

  const Vector3& sample(int k) const;         // k = 0..n
  const Vector3& vertex(int j, int k) const;  // meridian j = 0..n-1, ring k = 2..n-1
  const Vector3& normal(int j, int k) const;  // same indices, normalized form
  int segments() const { return n_; }

 private:
  int index(int j, int k) const { return j * (n_ - 2) + (k - 2); }

  int n_;
  std::vector<Vector3> samples_;
  std::vector<Vector3> vertices_;  // meridian by meridian, rings top to bottom
  std::vector<Vector3> normals_;   // same layout
};

// Segment count of level 1..4: 35 / (level * level) + 8 in integer division, so
// 43, 16, 11 and 10.
int segments_for_level(int level);

// Emits one mesh of n segments with glBegin/glEnd: the top fan, n side strips, the bottom
// fan, each vertex preceded by its own normal. Meant to run while a list is compiled.
void build_balloon_mesh(int n);

// Compiles the mesh of `level` into the list `name`. A name of 0 (no list was reserved)
// compiles and emits nothing.
void compile_lod_list(unsigned int name, int level);

// Reserves one list per level (1 to 4, in order), stores its name in lod_lists[level - 1]
// and compiles the level's mesh into it. A level whose reservation fails keeps the name 0.
void build_lod_lists();

// The level (1 to 4) for a squared eye distance: R = (integer part of d2) / 100000 in
// integer division; R < 5 gives 1, R < 15 gives 2, R < 25 gives 3, anything else 4.
// Defined for every double: any distance however large (and +inf) gives 4, a negative
// one 1, and NaN, which no distance can be, gives 4.
int lod_for_distance(double d2);

}  // namespace aerolume
