// The GL frame read back: GL counts rows from the bottom, a picture from the top.
#include "renderer/rgb_image.h"

#include <GL/gl.h>

#include <cstring>

namespace aerolume {

RgbImage read_gl_frame(int width, int height) {
  RgbImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<std::size_t>(width) * height * 3);
  std::vector<std::uint8_t> bottom_up(image.pixels.size());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
  const std::size_t row = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < height; ++y)
    std::memcpy(&image.pixels[y * row], &bottom_up[(height - 1 - y) * row], row);
  return image;
}

}  // namespace aerolume
