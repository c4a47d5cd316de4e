// EGL on the Wayland display: one context for every surface, released once at the end, and
// the swap with damage that partial frames are presented by, where the display offers it.
#include "viewer/wayland/egl.h"

#include <EGL/eglext.h>

#include "render/egl_configs.h"
#include "run/options.h"
#include "viewer/shell/extension_names.h"
#include "viewer/wayland/connection.h"

namespace aerolume {

const char* swap_with_damage_name(const char* extensions, bool full_frames) {
  if (full_frames || extensions == nullptr || !names_extension(extensions, "EGL_EXT_buffer_age"))
    return nullptr;
  if (names_extension(extensions, "EGL_KHR_swap_buffers_with_damage"))
    return "eglSwapBuffersWithDamageKHR";
  if (names_extension(extensions, "EGL_EXT_swap_buffers_with_damage"))
    return "eglSwapBuffersWithDamageEXT";
  return nullptr;
}

int buffer_age(const EglObjects& egl, EGLSurface surface) {
  EGLint age = 0;
  if (!eglQuerySurface(egl.display, surface, EGL_BUFFER_AGE_EXT, &age)) return 0;
  return age;
}

std::optional<int> make_egl(EglObjects& egl, wl_display* display, const ViewerOptions& options) {
  auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  egl.display = get_platform_display != nullptr
                    ? get_platform_display(EGL_PLATFORM_WAYLAND_KHR, display, nullptr)
                    : eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(display));
  if (egl.display == EGL_NO_DISPLAY) return egl_fail("eglGetDisplay");
  if (!eglInitialize(egl.display, nullptr, nullptr)) {
    const int status = egl_fail("eglInitialize");
    egl.display = EGL_NO_DISPLAY;  // nothing to terminate
    return status;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) return egl_fail("eglBindAPI(desktop GL)");
  // Desktop GL with RGB and depth, without alpha, so that the compositor shows the surface
  // opaque, and with 8 bits a colour channel where offered (XRGB8888 buffers, which
  // compositors handle far faster than the XRGB2101010 that EGL lists first).
  const EGLint config_attributes[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE,
                                      EGL_OPENGL_BIT,   EGL_RED_SIZE,   8,
                                      EGL_GREEN_SIZE,   8,              EGL_BLUE_SIZE,
                                      8,                EGL_DEPTH_SIZE, 24,
                                      EGL_NONE};
  int taken = 0;
  egl.config = choose_egl_config(egl.display, config_attributes, options.samples,
                                 ColourChoice::opaque_8_bits, &taken);
  if (egl.config == nullptr)
    return fail("EGL offers no RGB window configuration with depth for desktop GL on this "
                "Wayland display");
  report_samples_taken(options.samples, taken);
  const EGLint context_attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                       EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  egl.context = eglCreateContext(egl.display, egl.config, EGL_NO_CONTEXT, context_attributes);
  if (egl.context == EGL_NO_CONTEXT) return egl_fail("eglCreateContext(compatibility profile)");
  // The two entry points share one signature.
  if (const char* name = swap_with_damage_name(eglQueryString(egl.display, EGL_EXTENSIONS),
                                               options.full_frames))
    egl.swap_with_damage =
        reinterpret_cast<PFNEGLSWAPBUFFERSWITHDAMAGEKHRPROC>(eglGetProcAddress(name));
  return std::nullopt;
}

bool make_current(const EglObjects& egl, EGLSurface surface) {
  return eglMakeCurrent(egl.display, surface, surface, egl.context) == EGL_TRUE;
}

int egl_fail(const char* what) {
  return fail("%s failed on the Wayland display (EGL error 0x%04x)", what, eglGetError());
}

void release_egl(EglObjects& egl) {
  if (egl.display == EGL_NO_DISPLAY) return;
  eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (egl.context != EGL_NO_CONTEXT) eglDestroyContext(egl.display, egl.context);
  eglTerminate(egl.display);
  eglReleaseThread();
  egl = EglObjects{};
}

}  // namespace aerolume
