// GLUT's own options, read with ours in one scan: -geometry and -display taken out, the
// options without a value kept for glutInit; and where the program's own window goes
// when it is not full screen.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace aerolume {

// -geometry as X programs write it, [=][W][xH][{+-}X{+-}Y]: a size, a place, or both; a
// width or a height alone keeps the other side's default. An offset after '-' is
// measured from the right or bottom edge of the screen ("-0-0": the bottom-right corner).
struct WindowGeometry {
  int width = 0, height = 0;  // 0: not given
  bool placed = false;        // the offsets were given
  int x = 0, y = 0;           // the offsets, 0 to 32767
  bool from_right = false, from_bottom = false;
};
// False for anything else, a side of 0 or a number above 32767 (X's limit) among them.
bool parse_window_geometry(std::string_view text, WindowGeometry* geometry);

// Where the program's own window goes when it is not full screen: 1024 x 768 at (10, 30),
// or as much of that as -geometry says otherwise, on a screen of the given size.
struct WindowPlace {
  int x, y, width, height;
};
WindowPlace windowed_place(const WindowGeometry& geometry, int screen_width, int screen_height);

// GLUT's own options (-display NAME, -geometry WxH+X+Y, -iconic, -direct, -indirect,
// -gldebug, -sync) taken out of a command line in one scan, and the rest, where the
// screen-saver hosts' -root and -window-id become --root and --window-id. -display and
// -geometry are read here, for every role and for the window's place, and are not handed
// on: glutInit gets the options without a value. Both word lists keep argv[0] first.
struct SplitCommandLine {
  std::vector<char*> glut;  // for glutInit
  std::vector<char*> ours;
  std::string problem;  // set when a GLUT option lacks its value or -geometry is no geometry
  const char* display = nullptr;   // the value of -display, if given
  const char* geometry = nullptr;  // the value of -geometry, if given
  WindowGeometry window_geometry;  // -geometry as read (nothing given: all defaults)
  // The first of GLUT's options that acts on the program's own window alone (all but
  // -display), if any: refused in the other roles.
  const char* own_window_option = nullptr;
};
SplitCommandLine split_glut_options(int argc, char** argv);

}  // namespace aerolume
