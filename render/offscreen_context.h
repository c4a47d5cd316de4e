// A real GL context without a display: Mesa's surfaceless EGL platform with a pbuffer
// of the requested size, desktop GL in the compatibility profile. Used by the headless
// renderer, the viewer's frames for a desktop's plugin, the GL tests and the benchmarks.
#pragma once

#include <string>

namespace aerolume {

class OffscreenContext {
 public:
  OffscreenContext() = default;
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  // Creates the context and makes it current. samples > 0 asks for a multisampled
  // pbuffer with that many samples a pixel; where the driver has none with that count,
  // the nearest it has below is taken (see samples()), down to none. On failure returns
  // false and says why in *error (one line); nothing is left current. Once a context has
  // been made, Mesa's driver stays loaded until the process ends, even after the context
  // is gone.
  bool create(int width, int height, std::string* error, int samples = 0);
  // A new pbuffer of width x height for the same context (its lists and textures kept),
  // made current; the old one's pixels are gone. False with the reason in *error, the
  // old pbuffer then still current.
  bool resize(int width, int height, std::string* error);
  bool valid() const { return context_ != nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }
  // The samples a pixel of the pbuffer taken (0: not multisampled).
  int samples() const { return samples_; }

 private:
  void release();

  void* display_ = nullptr;  // EGLDisplay
  void* surface_ = nullptr;  // EGLSurface
  void* context_ = nullptr;  // EGLContext
  void* config_ = nullptr;   // EGLConfig
  int width_ = 0;
  int height_ = 0;
  int samples_ = 0;
};

}  // namespace aerolume
