// One picture the renderer writes, whatever its format: opened before the first frame,
// given the frames of the run it keeps, finished after the last one.
#pragma once

#include <string>

#include "renderer/rgb_image.h"

namespace aerolume {

// Every output writes its file as ReplacingFile does: complete or not at all. One
// destroyed before finish() leaves a plain file as it was and no temporary file.
// Every failure returns false and puts one line saying why in *error.
class PictureOutput {
 public:
  virtual ~PictureOutput() = default;
  // Opens the file at once, so that a path that cannot be written fails before any
  // frame is rendered (and a FIFO's reader is met at the start).
  virtual bool open(const std::string& path, std::string* error) = 0;
  // Whether the frame numbered frame (0 for the run's first) goes into the picture.
  virtual bool keeps(int frame) const = 0;
  // A frame it keeps, at the run's size, in the order they were rendered.
  virtual bool add_frame(RgbImage frame, std::string* error) = 0;
  // Writes the picture and puts it in place.
  virtual bool finish(std::string* error) = 0;
};

}  // namespace aerolume
