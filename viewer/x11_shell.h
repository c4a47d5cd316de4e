// The second shell: the scene drawn into an X window that another program owns (a
// screensaver host, the root window), through Xlib and GLX. The scene code is the same
// as in the GLUT window; only the window system around it differs.
#pragma once

namespace aerolume {

// Calls made by a shell around the shared frame: start_scene once the GL context is current
// (before the first reshape_viewport), after_frame after each buffer swap (frame-rate line,
// frame limiter). Either may be null.
struct ShellHooks {
  void (*start_scene)() = nullptr;
  void (*after_frame)() = nullptr;
};

// Draws the scene into an existing X window until the window goes away, waiting for events
// instead of drawing while the window is unmapped or fully obscured. window: the X window
// id; root: use the root window of the default screen instead (window ignored). Returns
// the process exit status: 0 when ended by the window going away; 1 with one line on
// stderr ("aerolume: ...") when the display cannot be opened, the window does not exist,
// its visual has no usable GL (OpenGL, RGBA and a depth buffer are required; a
// single-buffered visual is drawn with glFlush instead of a swap), or an unexpected X
// error arrives while drawing. SIGTERM, SIGINT and a lost display are handled by
// end_quietly_on_stop_or_lost_display(), which the caller installs.
int run_in_x_window(unsigned long window, bool root, const ShellHooks& hooks);

}  // namespace aerolume
