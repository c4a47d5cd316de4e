// 8-bit RGB images, rows top to bottom, as every picture format takes them, and reading
// one back from the GL frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace aerolume {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * height * 3, rows top to bottom

  const std::uint8_t* at(int x, int y) const {
    return &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
  }
};

// Reads the current GL colour buffer (rows flipped so the top row comes first).
RgbImage read_gl_frame(int width, int height);

}  // namespace aerolume
