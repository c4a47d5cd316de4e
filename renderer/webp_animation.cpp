// Animated WebP through libwebpmux's WebPAnimEncoder: each frame is encoded when it is
// added; finish() assembles the file and writes it where ReplacingFile takes it.
#include "renderer/webp_animation.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace aerolume {

namespace {

// Lossy quality and effort: a 320x240 scene at 30 frames a second comes to a few
// hundred KiB for a few seconds.
constexpr float frame_quality = 70.0f;
constexpr int frame_method = 4;
// A key frame at least every this many frames, so a player can seek.
constexpr int key_frame_max = 30;

}  // namespace

void WebpAnimation::EncoderDeleter::operator()(WebPAnimEncoder* encoder) const {
  WebPAnimEncoderDelete(encoder);
}

WebpAnimation::WebpAnimation() = default;

WebpAnimation::~WebpAnimation() { discard(); }

void WebpAnimation::discard() {
  encoder_.reset();
  file_.abandon();
  frames_ = 0;
}

bool WebpAnimation::give_up(const std::string& why, std::string* error) {
  *error = file_.failure(why);
  discard();
  return false;
}

bool WebpAnimation::open(const std::string& path, int width, int height, int frame_ms,
                         std::string* error) {
  discard();
  if (!file_.open(path, error)) return false;
  if (width < 1 || height < 1 || width > max_webp_side || height > max_webp_side)
    return give_up("a WebP animation is 1 to 16383 pixels on each side, not " +
                       std::to_string(width) + "x" + std::to_string(height), error);
  if (frame_ms < 1) return give_up("a frame must last at least 1 ms", error);

  WebPAnimEncoderOptions options;
  if (!WebPAnimEncoderOptionsInit(&options))
    return give_up("the installed libwebpmux does not match its headers", error);
  options.anim_params.loop_count = 0;  // loop forever
  options.kmax = key_frame_max;
  options.kmin = key_frame_max / 2 + 1;
  encoder_.reset(WebPAnimEncoderNew(width, height, &options));
  if (!encoder_) return give_up("the WebP encoder could not be created", error);
  width_ = width;
  height_ = height;
  frame_ms_ = frame_ms;
  return true;
}

bool WebpAnimation::add_frame(const RgbImage& frame, std::string* error) {
  if (!encoder_) {
    *error = "cannot add a frame: the animation is not open";
    return false;
  }
  if (frame.width != width_ || frame.height != height_ ||
      frame.pixels.size() != static_cast<std::size_t>(width_) * height_ * 3)
    return give_up("a frame of " + std::to_string(frame.width) + "x" +
                       std::to_string(frame.height) + " does not match the animation's " +
                       std::to_string(width_) + "x" + std::to_string(height_), error);
  // The start of this frame, and of the end marker after it, must fit in an int.
  if (static_cast<long long>(frames_ + 1) * frame_ms_ > INT_MAX)
    return give_up("the animation is too long", error);

  WebPConfig config;
  if (!WebPConfigInit(&config))
    return give_up("the installed libwebp does not match its headers", error);
  config.quality = frame_quality;
  config.method = frame_method;

  WebPPicture picture;
  if (!WebPPictureInit(&picture))
    return give_up("the installed libwebp does not match its headers", error);
  picture.use_argb = 1;
  picture.width = width_;
  picture.height = height_;
  if (!WebPPictureImportRGB(&picture, frame.pixels.data(), width_ * 3)) {
    WebPPictureFree(&picture);
    return give_up("out of memory for a frame", error);
  }
  const bool added = WebPAnimEncoderAdd(encoder_.get(), &picture, frames_ * frame_ms_, &config);
  WebPPictureFree(&picture);
  if (!added)
    return give_up(std::string("a frame could not be encoded: ") +
                       WebPAnimEncoderGetError(encoder_.get()), error);
  ++frames_;
  return true;
}

bool WebpAnimation::finish(std::string* error) {
  if (!encoder_) {
    *error = "cannot finish: the animation is not open";
    return false;
  }
  if (frames_ == 0) return give_up("the animation has no frames", error);
  // The end marker fixes the last frame's duration.
  if (!WebPAnimEncoderAdd(encoder_.get(), nullptr, frames_ * frame_ms_, nullptr))
    return give_up(std::string("the animation could not be ended: ") +
                       WebPAnimEncoderGetError(encoder_.get()), error);
  WebPData data;
  WebPDataInit(&data);
  if (!WebPAnimEncoderAssemble(encoder_.get(), &data)) {
    WebPDataClear(&data);
    return give_up(std::string("the animation could not be assembled: ") +
                       WebPAnimEncoderGetError(encoder_.get()), error);
  }
  const bool written = std::fwrite(data.bytes, 1, data.size, file_.stream()) == data.size;
  const int write_errno = errno;
  WebPDataClear(&data);
  if (!written) return give_up(std::strerror(write_errno), error);
  if (!file_.commit(error)) {
    discard();
    return false;
  }
  const int frames = frames_;
  discard();
  frames_ = frames;
  return true;
}

}  // namespace aerolume
