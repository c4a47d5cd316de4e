// A real GL context without a display: Mesa's surfaceless EGL platform with a pbuffer
// of the requested size, desktop GL in the compatibility profile. Used by the headless
// renderer, the GL tests and the benchmarks.
#pragma once

#include <string>

namespace aerolume {

class OffscreenContext {
 public:
  OffscreenContext() = default;
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  // Creates the context and makes it current. On failure returns false and says why
  // in *error (one line); nothing is left current. Once a context has been made, Mesa's
  // driver stays loaded until the process ends, even after the context is gone.
  bool create(int width, int height, std::string* error);
  bool valid() const { return context_ != nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  void release();

  void* display_ = nullptr;  // EGLDisplay
  void* surface_ = nullptr;  // EGLSurface
  void* context_ = nullptr;  // EGLContext
  int width_ = 0;
  int height_ = 0;
};

}  // namespace aerolume
