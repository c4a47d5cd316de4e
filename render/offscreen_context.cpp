// The offscreen GL context: EGL on Mesa's surfaceless platform, a pbuffer, desktop GL.
#include "render/offscreen_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <dlfcn.h>
#include <link.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "render/egl_configs.h"

namespace aerolume {

namespace {

std::string egl_failure(const char* what) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%s failed (EGL error 0x%04x)", what, eglGetError());
  return buffer;
}

EGLDisplay open_display() {
  auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (get_platform_display != nullptr) {
    EGLDisplay display =
        get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display != EGL_NO_DISPLAY) return display;
  }
  return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}

// Mesa unloads its GL driver when a context's EGL display is terminated. Memory the
// driver still holds at that point (it draws through LLVM-compiled code) becomes
// unreachable, and LeakSanitizer would report it as a leak of the program (the renderer
// at exit, or whichever test drew first). Marking the loaded driver modules
// RTLD_NODELETE keeps them, and so keeps that memory reachable, for the life of the
// process; leaks of our own still show.
void keep_gl_driver_loaded() {
  std::vector<std::string> drivers;
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* out) -> int {
        if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "_dri.so") != nullptr)
          static_cast<std::vector<std::string>*>(out)->push_back(info->dlpi_name);
        return 0;
      },
      &drivers);
  // The handles are deliberately never closed.
  for (const std::string& driver : drivers)
    dlopen(driver.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace

OffscreenContext::~OffscreenContext() { release(); }

void OffscreenContext::release() {
  if (display_ == nullptr) return;
  eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (context_ != nullptr) eglDestroyContext(display_, context_);
  if (surface_ != nullptr) eglDestroySurface(display_, surface_);
  eglTerminate(display_);
  display_ = surface_ = context_ = config_ = nullptr;
}

bool OffscreenContext::create(int width, int height, std::string* error, int samples) {
  release();
  std::string why;
  EGLDisplay display = open_display();
  if (display == EGL_NO_DISPLAY) {
    *error = "no EGL display is available";
    return false;
  }
  display_ = display;
  EGLint major = 0, minor = 0;
  if (!eglInitialize(display, &major, &minor)) {
    *error = egl_failure("eglInitialize");
    display_ = nullptr;
    return false;
  }
  const EGLint config_attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                                      EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                      EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
                                      EGL_DEPTH_SIZE, 24, EGL_NONE};
  // The first configuration is the deepest colour the driver offers: the reference
  // pictures were drawn with it.
  int samples_taken = 0;
  const EGLConfig config =
      choose_egl_config(display, config_attributes, samples, ColourChoice::as_listed, &samples_taken);
  if (config == nullptr) {
    *error = "no EGL configuration offers an RGB pbuffer with depth for desktop GL";
    release();
    return false;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) {
    *error = egl_failure("eglBindAPI(desktop GL)");
    release();
    return false;
  }
  const EGLint surface_attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  surface_ = eglCreatePbufferSurface(display, config, surface_attributes);
  if (surface_ == EGL_NO_SURFACE) {
    *error = egl_failure("eglCreatePbufferSurface");
    surface_ = nullptr;
    release();
    return false;
  }
  const EGLint context_attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                       EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, context_attributes);
  if (context_ == EGL_NO_CONTEXT) {
    *error = egl_failure("eglCreateContext(compatibility profile)");
    context_ = nullptr;
    release();
    return false;
  }
  if (!eglMakeCurrent(display, surface_, surface_, context_)) {
    *error = egl_failure("eglMakeCurrent");
    release();
    return false;
  }
  keep_gl_driver_loaded();
  config_ = config;
  width_ = width;
  height_ = height;
  samples_ = samples_taken;
  return true;
}

bool OffscreenContext::resize(int width, int height, std::string* error) {
  if (context_ == nullptr) {
    *error = "no offscreen context to resize";
    return false;
  }
  const EGLint surface_attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  EGLSurface surface = eglCreatePbufferSurface(display_, config_, surface_attributes);
  if (surface == EGL_NO_SURFACE) {
    *error = egl_failure("eglCreatePbufferSurface");
    return false;
  }
  if (!eglMakeCurrent(display_, surface, surface, context_)) {
    *error = egl_failure("eglMakeCurrent");
    eglDestroySurface(display_, surface);
    return false;
  }
  eglDestroySurface(display_, surface_);
  surface_ = surface;
  width_ = width;
  height_ = height;
  return true;
}

}  // namespace aerolume
