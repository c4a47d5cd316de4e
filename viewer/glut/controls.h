// Keyboard and camera controls. The two key handlers act at once on the state table:
// zoom, orbit and tilt the camera, flip the modes, regenerate the clouds, or quit.
// The window-system side (full screen on and off) is reached through WindowControl, so
// the handlers themselves need no window and can be driven directly by tests.
#pragma once

namespace aerolume {

// GLUT's special-key codes for the keys handled here.
inline constexpr int key_f1 = 1;
inline constexpr int key_left = 100;
inline constexpr int key_up = 101;
inline constexpr int key_right = 102;
inline constexpr int key_down = 103;

// The window operations behind F1. Either may be null (nothing happens).
struct WindowControl {
  void (*leave_fullscreen)() = nullptr;  // a 1024 x 768 window at (10, 30)
  void (*enter_fullscreen)() = nullptr;
};
void set_window_control(const WindowControl& control);

// Esc ends the process at once with status 0 (a requested quit is a success).
// + and - zoom by 0.99 and 1.01; a step that would bring the eye nearer than 1 unit to
// the target, or farther than 1,000,000 from it, is refused and changes nothing.
// a toggles auto-orbit, c regenerates the clouds, t toggles timed steps and sets the
// step back to 0.07. Letters count in lower case only; every other code does nothing.
void on_key(unsigned char key, int x, int y);
// F1 toggles full screen; Left and Right orbit the eye (two applications of the orbit
// matrix per press); Up and Down move the target 10 units up or down. Every other code
// does nothing.
void on_special_key(int key, int x, int y);

}  // namespace aerolume
