// compute_cloud_pixels: the 512 x 512 cloud image, bit for bit what evaluating
// fractal_noise2(i, j) and the cloud cover pixel by pixel gives, in a fraction of the
// time. Pixel coordinates are whole numbers and the octave scales are powers of two, so
// for octave m (cell width W = 2^(m-1)) the row blend of noise2 depends only on the
// row i and the grid column: it is computed once per row for the 128 grid columns, and
// each pixel only does the column blend. The column weights (j mod W) / W are the same
// in every row. Every rounding to float happens where fractal_noise2 rounds, and the
// octaves are summed in the same order, so the floats are identical.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <thread>

#include "assets/sky.h"
#include "noise/noise.h"

namespace aerolume {

float cloud_pixels[cloud_size][cloud_size][3];

namespace {

constexpr int octaves = 7;
constexpr int grid_side = 128;
constexpr int largest_cell = 1 << (octaves - 1);

// Column weights of every octave: column_weight[m][t] = t / 2^m for t < 2^m. The same
// value as frac(j * scale) for any pixel column j with j mod 2^m = t.
struct ColumnWeights {
  float weight[octaves][largest_cell];
  ColumnWeights() {
    for (int m = 0; m < octaves; ++m)
      for (int t = 0; t < largest_cell; ++t)
        weight[m][t] = static_cast<float>(static_cast<double>(t) / static_cast<double>(1 << m));
  }
};

void compute_row(int i, const ColumnWeights& columns) {
  float sum[cloud_size];

  // Octave 1 (scale 1): both weights are 0, so noise2 returns its corner entry exactly
  // (the lattice holds finite values), and sum = 0 + entry / 128.
  const float* lattice_row = &NoiseLattice[grid_side * (i % grid_side)];
  for (int j = 0; j < cloud_size; ++j)
    sum[j] = static_cast<float>(0.0 + static_cast<double>(lattice_row[j % grid_side]) * (1.0 / 128.0));

  for (int m = 1; m < octaves; ++m) {
    const int cell = 1 << m;
    const double weight = 1.0 / static_cast<double>(1 << (octaves - m));
    const int p0 = (i >> m) % grid_side;
    const int p1 = (p0 + 1) % grid_side;
    const double fa = columns.weight[m][i & (cell - 1)];

    // b(q): the row blend of noise2 at grid column q, rounded to float as noise2 does.
    float row_blend[grid_side];
    const float* lattice_p0 = &NoiseLattice[grid_side * p0];
    const float* lattice_p1 = &NoiseLattice[grid_side * p1];
    for (int q = 0; q < grid_side; ++q) {
      const double g0 = lattice_p0[q];
      const double g1 = lattice_p1[q];
      row_blend[q] = static_cast<float>(g0 + (g1 - g0) * fa);
    }

    const float* fb = columns.weight[m];
    const int cells = cloud_size >> m;
    for (int c = 0; c < cells; ++c) {
      const int q0 = c % grid_side;
      const int q1 = (q0 + 1) % grid_side;
      const double b0 = row_blend[q0];
      const double span = static_cast<double>(row_blend[q1]) - b0;
      float* out = &sum[c * cell];
      for (int t = 0; t < cell; ++t) {
        const float v = static_cast<float>(b0 + span * fb[t]);
        out[t] = static_cast<float>(out[t] + static_cast<double>(v) * weight);
      }
    }
  }

  const int row_distance = std::abs(i - cloud_size / 2);
  for (int j = 0; j < cloud_size; ++j) {
    const int distance = std::max(row_distance, std::abs(j - cloud_size / 2));
    const float edge = static_cast<float>(distance / static_cast<double>(cloud_size / 2));
    const double f = cloud_cover(sum[j], edge);
    cloud_pixels[i][j][0] = static_cast<float>(0.8 * f + 0.2);
    cloud_pixels[i][j][1] = static_cast<float>(0.5 * f + 0.5);
    cloud_pixels[i][j][2] = 1.0f;
  }
}

void compute_rows(int first, int last, const ColumnWeights& columns) {
  for (int i = first; i < last; ++i) compute_row(i, columns);
}

}  // namespace

void compute_cloud_pixels() {
  static const ColumnWeights columns;
  // Rows are independent: the other thread computes the first half while this one
  // computes the second. Both only read NoiseLattice, and each writes its own rows.
  std::thread first_half(compute_rows, 0, cloud_size / 2, std::cref(columns));
  compute_rows(cloud_size / 2, cloud_size, columns);
  first_half.join();
}

}  // namespace aerolume
