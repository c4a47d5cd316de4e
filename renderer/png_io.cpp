// PNG reading and writing through libpng's simplified API; writes go where
// ReplacingFile takes them.
#include "renderer/png_io.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "renderer/replacing_file.h"

namespace aerolume {

namespace {

// libpng's simplified API: no jumps through our frames, no callbacks to keep. Its
// errors stay in png_image::message, never on stderr; the caller says what went wrong,
// once. A write that fails leaves the cause in errno ("File too large").
bool encode(std::FILE* file, const RgbImage& image) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGB;
  const bool written = png_image_write_to_stdio(&png, file, 0, image.pixels.data(), 0, nullptr);
  png_image_free(&png);
  return written;
}

bool decode(std::FILE* file, RgbImage* image) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_stdio(&png, file)) return false;
  png.format = PNG_FORMAT_RGB;  // grey, palette and 16-bit files are expanded or reduced
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&png);
    return false;
  }
  image->width = static_cast<int>(png.width);
  image->height = static_cast<int>(png.height);
  image->pixels = std::move(pixels);
  return true;
}

}  // namespace

bool write_png(ReplacingFile& out, const RgbImage& image, std::string* error) {
  errno = 0;
  if (!encode(out.stream(), image)) {
    const int write_errno = errno;
    *error = out.failure(write_errno != 0 ? std::strerror(write_errno)
                                          : "the image could not be encoded");
    out.abandon();
    return false;
  }
  return out.commit(error);
}

bool write_png(const std::string& path, const RgbImage& image, std::string* error) {
  ReplacingFile out;
  return out.open(path, error) && write_png(out, image, error);
}

bool read_png(const std::string& path, RgbImage* image, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool ok = decode(file, image);
  std::fclose(file);
  if (!ok) *error = "cannot read " + path + ": not a valid PNG file";
  return ok;
}

}  // namespace aerolume
