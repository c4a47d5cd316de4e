// The program's command line: what is left once GLUT has taken its own options.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/options.h"
#include "viewer/options/glut_words.h"
#include "viewer/pace/power_pace.h"

namespace aerolume {

// The frame-rate cap in a host's window unless --max-fps says otherwise: the pace screen
// savers commonly keep.
constexpr int host_window_fps = 30;
constexpr int max_fps_cap = 1000;

// Where the scene is drawn, decided once by the parse from the words and the environment;
// each role has a shell of its own.
enum class Role {
  own_window,          // the program's own window (GLUT): full screen, or --windowed
  host_window,         // another program's X window: --window-id, or XSCREENSAVER_WINDOW
  root_window,         // the X root window: --root
  x_desktop,           // desktop windows of its own, one per monitor: --background on X
  wayland_background,  // layer surfaces under every window: --background on Wayland
  wayland_overlay,     // layer surfaces over every window until the first input: --overlay
  frames_to_file,      // offscreen, each frame into a file another program maps: --frames-to
};

// What the parse reads of the environment (null: unset).
struct ViewerEnvironment {
  const char* screensaver_window = nullptr;  // XSCREENSAVER_WINDOW: a host's window
  const char* wayland_display = nullptr;     // WAYLAND_DISPLAY: a compositor to reach
};
// The two variables as this process has them.
ViewerEnvironment environment_of_process();

struct ViewerOptions {
  SceneOptions scene;
  Role role = Role::own_window;
  bool windowed = false;  // own window: start in the 1024 x 768 window instead of full screen
  bool fps = false;       // the frame-rate line every 5 seconds
  bool full_frames = false;  // every frame draws every pixel, none only what moved
  // --max-fps: 0 is no cap; not given, the role decides (frame_cap()).
  std::optional<int> max_fps;
  // --battery-fps: the pace on battery or in power-saver mode (0: no frames); not given,
  // default_battery_fps, in every role but the program's own window.
  std::optional<int> battery_fps;
  // host_window: the window drawn into.
  std::optional<unsigned long> window_id;
  // samples a pixel asked of the program's own window, its desktop windows or its layer
  // surfaces
  int samples = 0;
  // The Wayland roles' layer (none in the others), as the layer shell names it; the role
  // decides it. --output keeps the layer surfaces to the output of that name, and the X
  // desktop and the root window to the RandR monitor of that name.
  enum class Layer { none, background, overlay };
  Layer layer = Layer::none;
  std::string output;
  // --background in one ordinary window (xdg_toplevel) per output instead of layer
  // surfaces, for a desktop shell's extension to show as each output's background.
  bool shell_windows = false;
  // frames_to_file: the files the frames go to (a desktop's wallpaper plugin maps each),
  // one a view of the one scene, each with its size in pixels (--size).
  struct FramesFile {
    std::string path;
    int width = 0, height = 0;
    bool operator==(const FramesFile&) const = default;
  };
  std::vector<FramesFile> frames_files;

  bool in_host_window() const { return role == Role::host_window || role == Role::root_window; }
  bool on_layer_surfaces() const {
    return role == Role::wayland_background || role == Role::wayland_overlay;
  }
  // Every role but the program's own window draws as a screen saver or a background: a
  // saver's pace, following the power source.
  bool saver_paced() const { return role != Role::own_window; }
  // Frames a second at most (0: no cap): --max-fps, else no cap in the program's own
  // window and host_window_fps in every other role.
  int frame_cap() const { return max_fps.value_or(saver_paced() ? host_window_fps : 0); }
  // Whether the pace follows the power source: in every role but the program's own
  // window, and there when --battery-fps is given.
  bool follows_power() const { return saver_paced() || battery_fps; }
  Pace pace(PowerState power) const {
    return pace_for(frame_cap(), battery_fps, saver_paced(), power);
  }
};

struct ParsedViewerCommandLine : ParseOutcome {
  ViewerOptions options;
  SplitCommandLine command_line;  // as split by read_viewer_command_line
};

// Our own words (GLUT's taken out) and the environment: the role and its settings, or a
// refusal. Words that do not go together, or with the role, end with status 2;
// --overlay without a compositor to reach ends with 1 and its line. XSCREENSAVER_WINDOW
// is used unless --window-id, --windowed or a Wayland role is given; with --root or
// --background on X it stands in for the root window and the desktop, as hosts expect.
ParsedViewerCommandLine parse_viewer_options(int argc, const char* const* argv,
                                             const ViewerEnvironment& environment);

// The whole command line: GLUT's options split off, ours parsed, and GLUT's judged
// against the role (glut_options_problem). What main runs or ends with.
ParsedViewerCommandLine read_viewer_command_line(int argc, char** argv,
                                                 const ViewerEnvironment& environment);

// A window id as X programs write it: decimal, or hexadecimal after 0x; not 0, at most
// 32 bits. False for anything else. (Whether such a window exists is the X server's
// to say.)
bool parse_window_id(const std::string& text, unsigned long* id);

// What is wrong with frames files asked for, from the command line or from outside
// (the control's SetFrames): none, an empty path, a path twice, a side of 0 or over
// max_side. One line, or an empty string.
std::string frames_files_problem(const std::vector<ViewerOptions::FramesFile>& files);

// GLUT's options act on the program's own window; with another program's window only
// -display means anything there. The refusal of the first other one in that role, or an
// empty string.
std::string glut_options_problem(const SplitCommandLine& split, const ViewerOptions& options);

}  // namespace aerolume
