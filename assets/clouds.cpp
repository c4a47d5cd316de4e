// compute_cloud_pixels: the 512 x 512 cloud image, bit for bit what evaluating
// fractal_noise2(i, j) and the cloud cover pixel by pixel gives, in a fraction of the
// time. Pixel coordinates are whole numbers and the octave scales are powers of two, so
// for octave m (cell width W = 2^(m-1)) the row blend of noise2 depends only on the
// row i and the grid column: it is computed once per row for the 128 grid columns, and
// each pixel only does the column blend, whose weight (j mod W) / W is the same in
// every row. Every rounding to float happens where fractal_noise2 rounds, and the
// octaves are summed in the same order, so the floats are identical. The loops are
// free of data-dependent branches so that they vectorize, and two threads share the
// rows.
#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <thread>

#include "assets/clouds.h"
#include "noise/noise.h"

namespace aerolume {

float cloud_pixels[cloud_size][cloud_size][3];

namespace {

constexpr int octaves = 7;
constexpr int grid_side = 128;

// The cover before the border fade: a minus a threshold that rises steeply as a falls.
float unfaded_cover(float a) {
  const double ad = a;
  return static_cast<float>(ad - (0.05 / (ad * ad * ad) + 0.2));
}

// The cover faded linearly from full at edge = cloud_edge_fade to 0 on the border.
float faded_cover(float cover, float edge) {
  const double c = cover;
  return static_cast<float>(
      c - c * ((static_cast<double>(edge) - (1.0 - static_cast<double>(cloud_edge_fade))) /
               static_cast<double>(cloud_edge_fade)));
}

// Written as a comparison that fails for NaN, so a NaN cover counts as none too.
float non_negative(float cover) { return cover >= 0.0f ? cover : 0.0f; }

float edge_of(int distance) {
  return static_cast<float>(distance / static_cast<double>(cloud_size / 2));
}

// Adds octave M + 1 (scale 2^-M, weight 2^(M-7), grid cells of 2^M pixels) of row i to
// sum. Row i lies in grid row i >> M with weight fa = (i mod 2^M) / 2^M; pixel column
// c * 2^M + t lies in grid column c mod 128 with weight fb = t / 2^M. Both weights are
// exactly what frac gives for the scaled coordinate.
template <int M>
void add_octave(int i, float* sum) {
  constexpr int cell = 1 << M;
  constexpr double weight = 1.0 / static_cast<double>(1 << (octaves - M));
  constexpr double per_pixel = 1.0 / static_cast<double>(cell);
  const int p0 = (i >> M) % grid_side;
  const int p1 = (p0 + 1) % grid_side;
  const double fa = (i & (cell - 1)) * per_pixel;

  // The row blend of noise2 at each grid column, rounded to float as noise2 rounds it.
  float row_blend[grid_side];
  const float* lattice_p0 = &NoiseLattice[grid_side * p0];
  const float* lattice_p1 = &NoiseLattice[grid_side * p1];
  for (int q = 0; q < grid_side; ++q) {
    const double g0 = lattice_p0[q];
    row_blend[q] = static_cast<float>(g0 + (static_cast<double>(lattice_p1[q]) - g0) * fa);
  }

  for (int c = 0; c < cloud_size / cell; ++c) {
    const double b0 = row_blend[c % grid_side];
    const double span = static_cast<double>(row_blend[(c + 1) % grid_side]) - b0;
    float* out = sum + c * cell;
    for (int t = 0; t < cell; ++t) {
      const float v = static_cast<float>(b0 + span * (t * per_pixel));
      out[t] = static_cast<float>(out[t] + static_cast<double>(v) * weight);
    }
  }
}

void compute_row(int i) {
  // Octave 1 (scale 1): both weights are 0, so noise2 returns its corner entry exactly
  // (lattice entries are finite), and the sum starts at entry / 128.
  float sum[cloud_size];
  const float* lattice_row = &NoiseLattice[grid_side * (i % grid_side)];
  for (int j = 0; j < cloud_size; ++j)
    sum[j] = static_cast<float>(static_cast<double>(lattice_row[j % grid_side]) * (1.0 / 128.0));
  add_octave<1>(i, sum);
  add_octave<2>(i, sum);
  add_octave<3>(i, sum);
  add_octave<4>(i, sum);
  add_octave<5>(i, sum);
  add_octave<6>(i, sum);

  // The columns split into runs that are all faded or all not (edge > cloud_edge_fade
  // or not), so each run's loop has no branch and vectorizes.
  const int row_distance = std::abs(i - cloud_size / 2);
  // edge = distance / 256 exceeds cloud_edge_fade exactly when distance exceeds 128.
  const int fade_from = static_cast<int>(cloud_edge_fade * (cloud_size / 2));
  const int clear_first = row_distance > fade_from ? cloud_size / 2 : cloud_size / 2 - fade_from;
  const int clear_last = row_distance > fade_from ? cloud_size / 2 : cloud_size / 2 + fade_from + 1;
  float f[cloud_size];
  for (int j = 0; j < clear_first; ++j) {
    const int distance = std::max(row_distance, cloud_size / 2 - j);
    f[j] = non_negative(faded_cover(unfaded_cover(sum[j]), edge_of(distance)));
  }
  for (int j = clear_first; j < clear_last; ++j) f[j] = non_negative(unfaded_cover(sum[j]));
  for (int j = clear_last; j < cloud_size; ++j) {
    const int distance = std::max(row_distance, j - cloud_size / 2);
    f[j] = non_negative(faded_cover(unfaded_cover(sum[j]), edge_of(distance)));
  }

  for (int j = 0; j < cloud_size; ++j) {
    const double cover = f[j];
    cloud_pixels[i][j][0] = static_cast<float>(0.8 * cover + 0.2);
    cloud_pixels[i][j][1] = static_cast<float>(0.5 * cover + 0.5);
    cloud_pixels[i][j][2] = 1.0f;
  }
}

void compute_rows(int first, int last) {
  for (int i = first; i < last; ++i) compute_row(i);
}

}  // namespace

float cloud_cover(float a, float edge) {
  const float cover = unfaded_cover(a);
  return non_negative(edge > cloud_edge_fade ? faded_cover(cover, edge) : cover);
}

void compute_cloud_pixels() {
  // Rows are independent: another thread computes the first half while this one
  // computes the second. Both only read NoiseLattice, and each writes its own rows.
  // Where no thread can be started, this thread computes both halves.
  std::thread first_half;
  try {
    first_half = std::thread(compute_rows, 0, cloud_size / 2);
  } catch (const std::system_error&) {
    compute_rows(0, cloud_size / 2);
  }
  compute_rows(cloud_size / 2, cloud_size);
  if (first_half.joinable()) first_half.join();
}

}  // namespace aerolume
