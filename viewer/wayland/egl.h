// The one EGL display, configuration and context the Wayland shell draws every surface
// with: made on the connection once the compositor is known, released with the session;
// and how a surface's partial frame is presented, where the display can.
#pragma once

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <wayland-client.h>

#include <optional>

#include "viewer/options/options.h"

namespace aerolume {

struct EglObjects {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  EGLContext context = EGL_NO_CONTEXT;
  // Presents a surface's frame with its damage, where the display offers it with the
  // buffers' age: its surfaces then draw partial frames. None: every frame is whole.
  PFNEGLSWAPBUFFERSWITHDAMAGEKHRPROC swap_with_damage = nullptr;
};

// Which swap with damage partial frames are presented by, from the display's extension
// string (whole names only): eglSwapBuffersWithDamageKHR or ...EXT where
// EGL_EXT_buffer_age comes with EGL_KHR_swap_buffers_with_damage or
// EGL_EXT_swap_buffers_with_damage (the KHR one first); none without the age or
// the swap, or with --full-frames. Mesa's software driver on Wayland offers neither.
const char* swap_with_damage_name(const char* extensions, bool full_frames);

// The age of the surface's back buffer (EGL_EXT_buffer_age): the frames since it was
// drawn, 0 when unknown or new. The surface is current.
int buffer_age(const EglObjects& egl, EGLSurface surface);

// EGL on the Wayland platform: the display, desktop GL bound, an opaque RGB configuration
// with depth (and the samples asked for, as offered; the note on what was taken goes to
// stderr), and a compatibility-profile context. The failure status, with its line, or
// nothing when all are made.
std::optional<int> make_egl(EglObjects& egl, wl_display* display, const ViewerOptions& options);

// Makes the context current on the surface. False when EGL refuses.
bool make_current(const EglObjects& egl, EGLSurface surface);

// The failure line of an EGL call on the Wayland display, with EGL's error; returns the
// failure status.
int egl_fail(const char* what);

// Releases the context and the display (after the surfaces on them).
void release_egl(EglObjects& egl);

}  // namespace aerolume
