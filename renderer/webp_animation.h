// Animated WebP files of 8-bit RGB frames of one size, encoded frame by frame through
// libwebp's animation encoder and written like the PNGs: complete or not at all.
#pragma once

#include <memory>
#include <string>

#include "renderer/rgb_image.h"
#include "renderer/replacing_file.h"

struct WebPAnimEncoder;

namespace aerolume {

// WebP's own limit on either side of a picture.
constexpr int max_webp_side = 16383;

// Usage: open(), add_frame() for each frame, finish(). open() opens the file at once (a
// temporary file beside a plain file; standard output, a FIFO or a device as it is), so
// a path that cannot be written fails before any frame is rendered; finish() writes the
// animation there and renames a temporary file into place. If finish() is not reached or
// fails, the temporary file is removed and a plain file is left as it was.
// Every failure returns false and puts one line saying why in *error.
class WebpAnimation {
 public:
  WebpAnimation();
  ~WebpAnimation();
  WebpAnimation(const WebpAnimation&) = delete;
  WebpAnimation& operator=(const WebpAnimation&) = delete;

  // Each frame is shown for frame_ms milliseconds; the animation loops forever.
  bool open(const std::string& path, int width, int height, int frame_ms, std::string* error);
  // The frame must be width x height. Frames are encoded as they come (lossy), so only
  // the compressed frames are kept. A frame identical to the one before it lengthens
  // that one instead of being stored again.
  bool add_frame(const RgbImage& frame, std::string* error);
  bool finish(std::string* error);
  // Frames accepted by add_frame() since open().
  int frames() const { return frames_; }

 private:
  struct EncoderDeleter {
    void operator()(WebPAnimEncoder* encoder) const;
  };
  void discard();
  // Discards what was written and puts the file's failure line, saying why, in *error.
  bool give_up(const std::string& why, std::string* error);

  std::unique_ptr<WebPAnimEncoder, EncoderDeleter> encoder_;
  ReplacingFile file_;
  int width_ = 0;
  int height_ = 0;
  int frame_ms_ = 0;
  int frames_ = 0;
};

}  // namespace aerolume
