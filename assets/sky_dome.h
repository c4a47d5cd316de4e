// The sky dome: a spherical cap of textured triangle strips, high above the scene, that
// carries the cloud texture.
#pragma once

#include <vector>

#include "geometry/vector3.h"

namespace aerolume {

extern const float dome_span;    // degrees; the grid step is dome_span / n
extern const Vector3 dome_apex;  // (0, 500000, 0); every dome vertex is it rotated

// The n x n dome vertices, row-major (element r * n + s): dome_apex rotated about z by
// (r - n/2) steps, then about x by (s - n/2) steps. The grid is defined for odd n only;
// an even or non-positive n gives an empty grid.
std::vector<Vector3> build_dome_grid(int n);

// Draws the dome grid as n - 1 textured triangle strips in the current model-view
// frame, white and unlit, with cloud_texture replacing the colour. Leaves lighting on,
// 2-D texturing off, GL_REPLACE as texture mode and cloud_texture bound. An even or
// non-positive n draws nothing and changes no GL state.
void draw_sky_dome(int n);

}  // namespace aerolume
