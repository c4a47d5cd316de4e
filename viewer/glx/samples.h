// The multisampled framebuffers an X display offers for windows, so that --samples can
// take the nearest one at or below the count asked for.
#pragma once

#include <X11/Xlib.h>

#include <vector>

namespace aerolume {

// The samples a pixel of each GLX framebuffer configuration on the display's default
// screen that can hold a window: RGBA, double-buffered, with a depth buffer and sample
// buffers. Empty when there is none.
std::vector<int> glx_window_sample_counts(Display* display);

}  // namespace aerolume
