// The EGL configuration to draw with: the configurations EGL offers for a set of
// attributes, read into what the chooser weighs (render/framebuffer_samples.h), and the
// one it takes. The renderer's pbuffer and the viewer's Wayland surfaces choose here.
#pragma once

#include <EGL/egl.h>

#include "render/framebuffer_samples.h"

namespace aerolume {

// Of the configurations of `display` that match `attributes` (EGL_NONE-terminated), in
// EGL's order, the one config_to_take picks for `asked_samples` and `colour`; *taken is
// its sample count. Null when EGL offers none or none fits.
EGLConfig choose_egl_config(EGLDisplay display, const EGLint* attributes, int asked_samples,
                            ColourChoice colour, int* taken);

}  // namespace aerolume
