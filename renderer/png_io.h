// PNG files of 8-bit RGB images, rows top to bottom, and reading back the GL frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "renderer/replacing_file.h"

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

// Writes the image to path as ReplacingFile does (a plain file whole or not at all). On
// failure returns false and says why in one line in *error, naming the cause of a failed
// write ("No space left on device").
bool write_png(const std::string& path, const RgbImage& image, std::string* error);
// The same into a file already opened, which is committed, or abandoned on failure.
bool write_png(ReplacingFile& out, const RgbImage& image, std::string* error);
bool read_png(const std::string& path, RgbImage* image, std::string* error);

}  // namespace aerolume
