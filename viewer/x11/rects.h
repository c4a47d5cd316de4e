// Rectangles on an X screen and which window covers it: the arithmetic behind the X11
// shell's view of its window, kept apart from Xlib so that it can be tested alone.
#pragma once

#include <vector>

namespace aerolume {

// A rectangle in screen pixels; width or height 0 or less is empty.
struct Rect {
  long x = 0, y = 0, width = 0, height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
  // Whether this rectangle holds all of `other` (its edges may touch).
  bool covers(const Rect& other) const;
  // The part of this rectangle inside `other` (empty where they do not meet).
  Rect clipped_to(const Rect& other) const;
  bool operator==(const Rect&) const = default;
};

// A child of the root window as the screen's cover is judged: its rectangle with the
// border, whether it is viewable (mapped, under the always viewable root) and whether it
// draws (InputOutput; an InputOnly window hides nothing).
struct ScreenChild {
  Rect rect;
  bool viewable = false;
  bool input_output = false;
  unsigned long window = 0;  // the X window described (0 where none is named)
  int stack = 0;             // its place among the root's children, from the bottom
};

// The index of the first child that alone hides the whole screen, or -1 when none does.
// Every child of the root lies above it, so the stacking order among them does not
// matter; covers made of several windows together are not counted.
int child_covering_screen(const Rect& screen, const std::vector<ScreenChild>& children);

}  // namespace aerolume
