// PNG reading and writing through libpng; writes go where ReplacingFile takes them.
#include "renderer/png_io.h"

#include <GL/gl.h>
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "renderer/replacing_file.h"

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

namespace {

// Where a write stands: the stream, and the errno of the write that failed.
struct PngSink {
  std::FILE* file;
  int write_errno = 0;
};

void write_to_sink(png_structp png, png_bytep data, png_size_t length) {
  PngSink* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  if (std::fwrite(data, 1, length, sink->file) != length) {
    sink->write_errno = errno;
    png_error(png, "write failed");
  }
}

void flush_sink(png_structp png) { std::fflush(static_cast<PngSink*>(png_get_io_ptr(png))->file); }

// libpng's errors end the encoding through longjmp without a line of libpng's own on
// stderr: the caller says what went wrong, once.
[[noreturn]] void quiet_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quiet_warning(png_structp, png_const_charp) {}

// libpng reports errors through longjmp; these functions keep no C++ objects with
// destructors alive across the setjmp points.
bool encode(PngSink* sink, const RgbImage& image) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_error, quiet_warning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, sink, write_to_sink, flush_sink);
  png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y)
    png_write_row(png, const_cast<png_bytep>(image.at(0, y)));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool decode(std::FILE* file, RgbImage* image) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  png_read_update_info(png, info);
  const int width = static_cast<int>(png_get_image_width(png, info));
  const int height = static_cast<int>(png_get_image_height(png, info));
  image->width = width;
  image->height = height;
  image->pixels.assign(static_cast<std::size_t>(width) * height * 3, 0);
  for (int y = 0; y < height; ++y)
    png_read_row(png, &image->pixels[static_cast<std::size_t>(y) * width * 3], nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

bool write_png(ReplacingFile& out, const RgbImage& image, std::string* error) {
  PngSink sink{out.stream()};
  if (!encode(&sink, image)) {
    *error = out.failure(sink.write_errno != 0 ? std::strerror(sink.write_errno)
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
