// The second shell: the scene drawn into an X window that another program owns (a
// screensaver host, the root window), through Xlib and GLX. The scene code is the same
// as in the GLUT window; only the window system around it differs.
#pragma once

#include <string>

namespace aerolume {

// Calls made by a shell around the shared frame: start_scene once the GL context is current
// (before the first reshape_viewport), after_frame after each buffer swap (frame-rate line,
// frame limiter). Either may be null.
struct ShellHooks {
  void (*start_scene)() = nullptr;
  void (*after_frame)() = nullptr;
};

// Draws the scene into an existing X window until the window goes away or SIGTERM/SIGINT
// arrives. window: the X window id; root: use the root window of the default screen instead
// (window ignored). Returns the process exit status: 0 when ended by the window going away,
// the display connection being lost, or a signal; 1 with one line on stderr ("aerolume: ...")
// when the display cannot be opened, the window does not exist, its visual has no usable GL
// (OpenGL, RGBA and a depth buffer are required; a single-buffered visual is drawn with
// glFlush instead of a swap), or an unexpected X error arrives while drawing.
int run_in_x_window(unsigned long window, bool root, const ShellHooks& hooks);

// Parses a window id as given on a command line or in XSCREENSAVER_WINDOW: decimal digits, or
// 0x / 0X followed by hexadecimal digits, nothing else (no sign, no spaces, no trailing text).
// The value must be a possible X resource id: not zero, and the top three of its 32 bits clear
// (at most 0x1fffffff). Returns false, leaving *id alone, if the text is malformed.
bool parse_window_id(const std::string& text, unsigned long* id);

}  // namespace aerolume
