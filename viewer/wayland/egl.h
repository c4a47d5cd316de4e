// The one EGL display, configuration and context the Wayland shell draws every surface
// with: made on the connection once the compositor is known, released with the session.
#pragma once

#include <EGL/egl.h>
#include <wayland-client.h>

#include <optional>

#include "viewer/options/options.h"

namespace aerolume {

struct EglObjects {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  EGLContext context = EGL_NO_CONTEXT;
};

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
