// Animated WebP as a picture output: frames 0, K, 2K, ... of the run (--every K), each
// shown K times as long as a rendered frame, through WebpAnimation.
#include <climits>
#include <memory>

#include "renderer/picture_output.h"
#include "renderer/render_options.h"
#include "renderer/webp_animation.h"

namespace aerolume {

namespace {

class WebpOutput final : public PictureOutput {
 public:
  WebpOutput(int width, int height, int every) : width_(width), height_(height), every_(every) {}
  bool open(const std::string& path, std::string* error) override {
    return animation_.open(path, width_, height_, every_ * animation_frame_ms, error);
  }
  bool keeps(int frame) const override { return frame % every_ == 0; }
  bool add_frame(RgbImage frame, std::string* error) override {
    return animation_.add_frame(frame, error);
  }
  bool finish(std::string* error) override { return animation_.finish(error); }

 private:
  WebpAnimation animation_;
  int width_;
  int height_;
  int every_;
};

}  // namespace

std::unique_ptr<PictureOutput> make_webp_output(const RenderOptions& options) {
  return std::make_unique<WebpOutput>(options.width, options.height, options.every);
}

// What the WebP container cannot hold, found before the first frame rather than at the
// end of the run. A frame's start is an int of milliseconds to libwebp; the longest run
// at the longest interval ends well within it.
static_assert((static_cast<long long>(max_frames) + max_every) * animation_frame_ms <= INT_MAX);
std::string unfit_for_webp(int width, int height) {
  if (width <= max_webp_side && height <= max_webp_side) return std::string();
  return "a WebP animation is at most " + std::to_string(max_webp_side) +
         " pixels on each side, not " + std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace aerolume
