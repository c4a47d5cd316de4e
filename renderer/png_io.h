// PNG files of 8-bit RGB images.
#pragma once

#include <string>

#include "renderer/replacing_file.h"
#include "renderer/rgb_image.h"

namespace aerolume {

// Writes the image to path as ReplacingFile does (a plain file whole or not at all). On
// failure returns false and says why in one line in *error, naming the cause of a failed
// write ("No space left on device").
bool write_png(const std::string& path, const RgbImage& image, std::string* error);
// The same into a file already opened, which is committed, or abandoned on failure.
bool write_png(ReplacingFile& out, const RgbImage& image, std::string* error);
bool read_png(const std::string& path, RgbImage* image, std::string* error);

}  // namespace aerolume
