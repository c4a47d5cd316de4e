// The multisampled framebuffers an X display offers for the program's own window, so
// that --samples can take the nearest one at or below the count asked for.
#pragma once

#include <vector>

namespace aerolume {

// The samples a pixel of each GLX framebuffer configuration on the default screen of
// the named display (null: DISPLAY) that can hold the window: RGBA, double-buffered,
// with a depth buffer and sample buffers. Empty when there is none or no display.
std::vector<int> glx_window_sample_counts(const char* display_name);

}  // namespace aerolume
