// The sky: the cloud texture (a 512 x 512 RGB image of cloud cover made from the
// seven-octave 2-D noise, faded toward its border) and the sky dome, a spherical cap of
// textured triangle strips that carries it.
#pragma once

#include <vector>

#include "geometry/vector3.h"

namespace aerolume {

inline constexpr int cloud_size = 512;

// Row i, column j, then red, green, blue. Rewritten whole by compute_cloud_pixels.
extern float cloud_pixels[cloud_size][cloud_size][3];

extern const float dome_span;    // degrees; the grid step is dome_span / n
extern const Vector3 dome_apex;  // (0, 500000, 0); every dome vertex is it rotated
// The fraction of the half-width of the image over which clouds fade out toward the
// border.
inline constexpr float cloud_edge_fade = 0.5f;

// Cloud cover f of a pixel whose noise value is a and whose edge is the larger of its
// two axis distances from the image centre over 256 (0 at the centre, 1 on the border,
// so the fade has square contours): a minus a threshold that rises steeply as a falls,
// faded linearly to 0 beyond cloud_edge_fade. Negative and not-a-number covers (a = 0
// gives -inf, and NaN in the faded border) count as 0.
float cloud_cover(float a, float edge);

// Fills cloud_pixels afresh from NoiseLattice: pixel (i, j) is
// (0.8 f + 0.2, 0.5 f + 0.5, 1) with f the cloud cover at fractal_noise2(i, j).
// Pure CPU, no GL. Uses a second thread for half of the rows and returns when both
// halves are done.
void compute_cloud_pixels();

// Computes cloud_pixels and loads them into cloud_texture (bound on return) with
// linear filters. Needs a current GL context and cloud_texture generated.
void generate_cloud_texture();

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
