// The cloud image: a 512 x 512 RGB picture of cloud cover made from the seven-octave 2-D
// noise and faded toward its border, computed on the CPU, and the one texture object
// that carries it to the sky dome.
#pragma once

namespace aerolume {

inline constexpr int cloud_size = 512;

// Row i, column j, then red, green, blue. Rewritten whole by compute_cloud_pixels.
extern float cloud_pixels[cloud_size][cloud_size][3];

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

// Creates the texture object (its name goes to cloud_texture) and fills it with
// generate_cloud_texture(). Needs a current GL context; called once, at start-up.
void create_cloud_texture();

// Computes cloud_pixels and loads them into cloud_texture (bound on return) with
// linear filters. Needs a current GL context and the texture object created.
void generate_cloud_texture();

}  // namespace aerolume
