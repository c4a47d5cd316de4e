// The program's command line: what is left once GLUT has taken its own options.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "run/options.h"
#include "viewer/power_pace.h"

namespace aerolume {

// The frame-rate cap in a host's window unless --max-fps says otherwise: the pace screen
// savers commonly keep.
constexpr int host_window_fps = 30;
constexpr int max_fps_cap = 1000;

struct ViewerOptions {
  SceneOptions scene;
  bool windowed = false;  // start in the 1024 x 768 window instead of full screen
  bool fps = false;       // the frame-rate line every 5 seconds
  // --max-fps: 0 is no cap; not given, the role decides (frame_cap()).
  std::optional<int> max_fps;
  // --battery-fps: the pace on battery or in power-saver mode (0: no frames); not given,
  // default_battery_fps, in every role but the program's own window.
  std::optional<int> battery_fps;
  // Draw into a window another program owns: its id, or the root window.
  std::optional<unsigned long> window_id;
  bool root = false;
  int samples = 0;  // samples a pixel asked of the program's own window
  // Layer surfaces of a Wayland compositor, one on each output: under every window
  // (--background) or over them until the first input (--overlay); --output keeps to the
  // output of that name.
  enum class Layer { none, background, overlay };
  Layer layer = Layer::none;
  std::string output;

  bool in_host_window() const { return window_id.has_value() || root; }
  bool on_layer_surfaces() const { return layer != Layer::none; }
  // Frames a second at most (0: no cap): --max-fps, else no cap in the program's own
  // window and host_window_fps in a host's window and on layer surfaces.
  int frame_cap() const {
    return max_fps.value_or(in_host_window() || on_layer_surfaces() ? host_window_fps : 0);
  }
  // Whether the pace follows the power source: in every role but the program's own
  // window, and there when --battery-fps is given.
  bool follows_power() const { return in_host_window() || on_layer_surfaces() || battery_fps; }
  Pace pace(PowerState power) const {
    return pace_for(frame_cap(), battery_fps, in_host_window() || on_layer_surfaces(), power);
  }
};

struct ParsedViewerCommandLine : ParseOutcome {
  ViewerOptions options;
};

// environment_window is the value of XSCREENSAVER_WINDOW (null when unset): the window
// a screen-saver host asks to be drawn into. It is used unless --window-id or
// --windowed is given; with --root it stands in for the root window, as hosts expect.
ParsedViewerCommandLine parse_viewer_options(int argc, const char* const* argv,
                                             const char* environment_window);

// A window id as X programs write it: decimal, or hexadecimal after 0x; not 0, at most
// 32 bits. False for anything else. (Whether such a window exists is the X server's
// to say.)
bool parse_window_id(const std::string& text, unsigned long* id);

// GLUT's own options (-display NAME, -geometry WxH+X+Y, -iconic, -direct, -indirect,
// -gldebug, -sync) taken out of a command line, and the rest, where the screen-saver
// hosts' -root and -window-id become --root and --window-id; both keep argv[0] first.
struct SplitCommandLine {
  std::vector<char*> glut;
  std::vector<char*> ours;
  std::string problem;  // set when a GLUT option lacks its value
  const char* display = nullptr;  // the value of -display, if given
  bool geometry = false;          // -geometry was given
};
SplitCommandLine split_glut_options(int argc, char** argv);

// GLUT's options act on the program's own window; with another program's window only
// -display means anything there. The refusal of the first other one in that role, or an
// empty string.
std::string glut_options_problem(const SplitCommandLine& split, const ViewerOptions& options);

}  // namespace aerolume
