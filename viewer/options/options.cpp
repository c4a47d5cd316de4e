// The program's options: the shared ones, the window and the frame pacing.
#include "viewer/options/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>
#include <utility>

#ifndef AEROLUME_VERSION
#define AEROLUME_VERSION "unknown"
#endif

namespace aerolume {

namespace {

constexpr const char* program = "aerolume";

CLI::Validator window_id_check() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        unsigned long id = 0;
        if (parse_window_id(text, &id)) return std::string();
        return "'" + text + "' is not a window id (decimal, or hexadecimal after 0x)";
      },
      "", "window id");
}

}  // namespace

bool parse_window_id(const std::string& text, unsigned long* id) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string_view digits = hex ? std::string_view(text).substr(2) : std::string_view(text);
  if (digits.empty()) return false;
  for (char c : digits)
    if (!(c >= '0' && c <= '9') && !(hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))))
      return false;
  std::uint64_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, ec] = std::from_chars(digits.data(), end, value, hex ? 16 : 10);
  if (ec != std::errc() || stop != end || value == 0 || value > UINT32_MAX) return false;
  *id = static_cast<unsigned long>(value);
  return true;
}

namespace {

// The words that choose the role, and the options judged against it once it is known.
struct RoleWords {
  bool root = false, background = false, overlay = false;
  const CLI::Option* samples = nullptr;
  const CLI::Option* shell_windows = nullptr;
  const CLI::Option* output = nullptr;
  std::vector<std::string> frames_paths, sizes;  // --frames-to and --size, in order
};

// What --help says after the options, and --version.
void describe_viewer(CLI::App& app) {
  app.footer(
      "With --window-id or --root, or when XSCREENSAVER_WINDOW holds a window id (which "
      "then stands in for the root window), the scene is drawn into that window (as a "
      "screen saver or a desktop background) until the window goes away or SIGTERM or "
      "SIGINT arrives; the keys then belong to the host. Screen-saver hosts may write "
      "-root and -window-id with one dash, and a window id given beside --root stands in "
      "for the root window too.\n"
      "On X, --background draws in desktop windows of its own, one per monitor, under every "
      "other window (compositing managers show them as any window); --root draws on the "
      "root window itself, one scene per monitor, and refuses to while a compositing "
      "manager owns the screen.\n"
      "Nothing is drawn while the window is minimized (unmapped) or fully covered, nor on a "
      "monitor that one window covers, nor while the server's screen saver or DPMS blanks "
      "the screen; the scene goes on from where it stopped once it is seen again.\n"
      "SIGUSR1 makes a fresh scene, as the c key does (new clouds and a new wind), in "
      "every role, asleep too: the new clouds show with the next frame drawn, and one "
      "that arrives before the first frame changes nothing (xsecurelock sends it to reset "
      "its saver). SIGTERM and SIGINT end the program with status 0.\n"
      "As the first word, --control pause, resume, toggle, new-scene or status [--json] acts "
      "on every aerolume on the session's D-Bus (status 1 with a line when none runs "
      "there); status names each view and why it is not drawn.\n"
      "Exit status: 0 done (Esc, the window gone, SIGTERM or SIGINT, the display lost, the "
      "Wayland compositor gone, the overlay's first input), 1 failure (no display, no such "
      "window, no GL, a window larger than GL can draw, no Wayland compositor with the "
      "layer shell, no monitor of the --output name, --root under a compositing manager), "
      "2 bad options or an XSCREENSAVER_WINDOW that is not a window id.");
  app.set_version_flag("--version", std::string(program) + " " + AEROLUME_VERSION);
}

// The options, each with its help: the values land in o, the role's words in words.
void add_viewer_options(CLI::App& app, ViewerOptions& o, RoleWords& words) {
  app.add_flag("--windowed", o.windowed,
               "Start in a 1024 x 768 window at (10, 30) instead of full screen (F1 switches)");
  add_scene_options(app, &o.scene);
  app.add_flag("--fps", o.fps, "Every 5 seconds, print the frame rate on stdout");
  app.add_option_function<int>(
         "--max-fps", [&o](const int& fps) { o.max_fps = fps; },
         "At most N frames a second, sleeping out the rest; 0: no cap [default: no cap in "
         "its own window, " + std::to_string(host_window_fps) +
             " in another program's, on the X desktop's or on layer surfaces]")
      ->type_name("N")
      ->transform(decimal_check(0, max_fps_cap, "a frame rate"));
  app.add_option_function<int>(
         "--battery-fps", [&o](const int& fps) { o.battery_fps = fps; },
         "On battery or in power-saver mode (UPower, power-profiles-daemon), at most N frames "
         "a second; 0: draw nothing and leave the last picture [default: " +
             std::to_string(default_battery_fps) +
             " in another program's window, on the X desktop and on layer surfaces; its own "
             "window keeps its pace unless this is given]")
      ->type_name("N")
      ->transform(decimal_check(0, max_fps_cap, "a frame rate"));
  words.samples = add_samples_option(app, &o.samples);
  add_full_frames_option(app, &o.full_frames);
  app.add_option_function<std::string>(
         "--window-id",
         [&o](const std::string& text) {
           unsigned long id = 0;
           parse_window_id(text, &id);  // the check has accepted the text
           o.window_id = id;
         },
         "Draw into the existing X window ID, decimal or 0x hexadecimal")
      ->type_name("ID")
      ->check(window_id_check());
  app.add_flag("--root", words.root,
               "Draw on the root window (the desktop background), or on the screen saver's "
               "window when XSCREENSAVER_WINDOW names one");
  app.add_flag("--background", words.background,
               "Draw under every window on each output (Wayland: the layer shell's "
               "background layer; X: a desktop window of its own on each monitor)");
  app.add_flag("--overlay", words.overlay,
               "On Wayland, draw over every window on each output until the first key, "
               "button, pointer motion or scroll (a saver for idle daemons such as "
               "swayidle); one at a time");
  words.shell_windows =
      app.add_flag("--shell-windows", o.shell_windows,
                   "With --background on Wayland, draw in one window per output, for a "
                   "desktop shell's extension to show as each output's background (the "
                   "Aerolume GNOME Shell extension starts it so)");
  words.output =
      app.add_option("--output", o.output,
                     "With --background, --overlay or --root, only the output NAME: a "
                     "Wayland output (as swaymsg -t get_outputs names it), or on X a RandR "
                     "monitor (as xrandr --listmonitors names it)")
          ->type_name("NAME");
  app.add_option("--frames-to", words.frames_paths,
                 "Draw offscreen, each frame into the file PATH (made afresh; 0600) that "
                 "another program maps and shows, at its --size (the first --size for the "
                 "first file, and so on); given again, one scene into each file, a view "
                 "each: the Aerolume wallpaper plugin of KDE Plasma starts it so, with a "
                 "file for each screen")
      ->type_name("PATH")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--size", words.sizes,
                 "With --frames-to, the frames' size in pixels, one for each --frames-to")
      ->type_name("WxH")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            int w = 0, h = 0;
            std::string error;
            return parse_size(text, &w, &h, &error) ? std::string() : error;
          },
          "", "size"));
}

}  // namespace

std::string frames_files_problem(const std::vector<ViewerOptions::FramesFile>& files) {
  if (files.empty()) return "no frames file";
  for (std::size_t i = 0; i < files.size(); ++i) {
    const ViewerOptions::FramesFile& file = files[i];
    if (file.path.empty()) return "a frames file needs a path";
    for (std::size_t j = 0; j < i; ++j)
      if (files[j].path == file.path) return file.path + " is named twice";
    if (file.width < 1 || file.height < 1 || file.width > max_side || file.height > max_side)
      return file.path + ": " + std::to_string(file.width) + "x" + std::to_string(file.height) +
             " is not a size from 1x1 to " + std::to_string(max_side) + "x" +
             std::to_string(max_side);
  }
  return std::string();
}

namespace {

// --frames-to among the words: it is a role of its own, drawn on no surface. Each path
// takes the size of the same place in order.
std::string frames_problem(ViewerOptions& o, const RoleWords& words) {
  if (words.frames_paths.empty()) {
    return words.sizes.empty() ? std::string()
                               : "--size gives the size of --frames-to's frames; give --frames-to";
  }
  if (words.sizes.size() != words.frames_paths.size())
    return "each --frames-to needs its --size WxH, the frames' size in pixels (" +
           std::to_string(words.frames_paths.size()) + " --frames-to, " +
           std::to_string(words.sizes.size()) + " --size)";
  o.frames_files.clear();
  for (std::size_t i = 0; i < words.frames_paths.size(); ++i) {
    ViewerOptions::FramesFile file{words.frames_paths[i]};
    std::string error;
    parse_size(words.sizes[i], &file.width, &file.height, &error);  // checked by --size
    o.frames_files.push_back(file);
  }
  const std::string problem = frames_files_problem(o.frames_files);
  if (!problem.empty()) return "--frames-to: " + problem;
  const char* other = words.background   ? "--background"
                      : words.overlay    ? "--overlay"
                      : words.root       ? "--root"
                      : o.window_id      ? "--window-id"
                      : o.windowed       ? "--windowed"
                      : words.output->count() > 0 ? "--output"
                                                  : nullptr;
  if (other != nullptr)
    return std::string("--frames-to draws offscreen, on no surface; it cannot go with ") + other;
  return std::string();
}

// The words among themselves: two roles named at once, or words that go with neither.
std::string words_problem(ViewerOptions& o, const RoleWords& words) {
  if (words.background && words.overlay)
    return "--background and --overlay are two roles; give one of them";
  if (words.background || words.overlay) {
    const char* other = o.windowed    ? "--windowed"
                        : o.window_id ? "--window-id"
                        : words.root  ? "--root"
                                      : nullptr;
    if (other != nullptr)
      return std::string(words.background ? "--background" : "--overlay") +
             " draws on surfaces of its own; it cannot go with " + other;
  }
  if (o.windowed && (o.window_id || words.root))
    return "--windowed opens a window of its own; it cannot go with --window-id or --root";
  if (words.output->count() > 0 && o.output.empty()) return "--output needs a value";
  if (o.shell_windows && !words.background)
    return "--shell-windows draws the background in windows; it goes with --background";
  return frames_problem(o, words);
}

// The role, from the words and the environment; a problem when the screen-saver variable
// that would decide it holds no window id.
std::string choose_role(ViewerOptions& o, const RoleWords& words, bool on_wayland,
                        const char* screensaver_window) {
  if (!o.frames_files.empty()) {
    // Drawn on no surface: neither the compositor nor a screen saver's window decides.
    o.role = Role::frames_to_file;
  } else if (words.overlay) {
    o.role = Role::wayland_overlay;
  } else if (words.background && on_wayland) {
    o.role = Role::wayland_background;
  } else if (o.window_id) {
    // A host may name its window beside -root (xscreensaver's settings preview does):
    // the window stands in for the root window, as the variable's does.
    o.role = Role::host_window;
  } else if (!o.windowed && screensaver_window != nullptr && *screensaver_window != '\0') {
    // Screen-saver hosts start their saver with -root and name their own window in the
    // variable: it stands in for the root window.
    unsigned long id = 0;
    if (!parse_window_id(screensaver_window, &id))
      return std::string("XSCREENSAVER_WINDOW: '") + screensaver_window + "' is not a window id";
    o.window_id = id;
    o.role = Role::host_window;
  } else if (words.background) {
    // On X the desktop background is a window of the program's own on each monitor.
    o.role = Role::x_desktop;
  } else if (words.root) {
    o.role = Role::root_window;
  }
  o.layer = o.role == Role::wayland_overlay      ? ViewerOptions::Layer::overlay
            : o.role == Role::wayland_background ? ViewerOptions::Layer::background
                                                 : ViewerOptions::Layer::none;
  return std::string();
}

// What the role cannot take.
std::string role_problem(const ViewerOptions& o, const RoleWords& words) {
  const bool on_monitors = o.role == Role::x_desktop || o.role == Role::root_window;
  if (words.output->count() > 0 && !o.on_layer_surfaces() && !on_monitors)
    return o.role == Role::host_window
               ? "--output chooses a monitor of the desktop; in another program's window "
                 "(--window-id or XSCREENSAVER_WINDOW) the host decides"
               : "--output chooses the output of --background, --overlay or --root; give one "
                 "of them";
  if (o.shell_windows && o.role != Role::wayland_background)
    return "--shell-windows needs a Wayland compositor (WAYLAND_DISPLAY); on X, --background "
           "draws in desktop windows of its own";
  // The desktop windows are the program's own, with a visual of its choosing: --samples
  // goes with them as with its own window.
  if (words.samples->count() > 0 && o.in_host_window())
    return "--samples cannot go with another program's window (--window-id, --root or "
           "XSCREENSAVER_WINDOW): that window's visual decides its samples";
  return std::string();
}

}  // namespace

ParsedViewerCommandLine parse_viewer_options(int argc, const char* const* argv,
                                             const ViewerEnvironment& environment) {
  ParsedViewerCommandLine parsed;
  ViewerOptions& o = parsed.options;
  CLI::App app("The Aerolume scene: balloons on ropes rising under a dome of clouds. It "
               "opens full screen and runs until Esc; GLUT's own options (-display, "
               "-geometry, -iconic, -direct, -indirect, -gldebug, -sync) come first; in "
               "another program's window and on layer surfaces only -display is accepted.",
               program);
  describe_viewer(app);
  RoleWords words;
  add_viewer_options(app, o, words);
  static_cast<ParseOutcome&>(parsed) = parse_command_line(app, argc, argv);
  if (!parsed.should_run) return parsed;

  // First the words among themselves, then the role, then what the role cannot take.
  const bool on_wayland =
      environment.wayland_display != nullptr && *environment.wayland_display != '\0';
  std::string problem = words_problem(o, words);
  if (problem.empty() && words.overlay && !on_wayland) {
    parsed.should_run = false;
    parsed.exit_status = 1;
    parsed.err_text =
        "aerolume: --overlay needs a Wayland compositor with the layer shell (WAYLAND_DISPLAY "
        "is not set); on X, screen-saver hosts such as xscreensaver start aerolume -root\n";
    return parsed;
  }
  if (problem.empty()) problem = choose_role(o, words, on_wayland, environment.screensaver_window);
  if (problem.empty()) problem = role_problem(o, words);
  if (!problem.empty()) static_cast<ParseOutcome&>(parsed) = usage_error(app, problem);
  return parsed;
}

ParsedViewerCommandLine read_viewer_command_line(int argc, char** argv,
                                                 const ViewerEnvironment& environment) {
  SplitCommandLine split = split_glut_options(argc, argv);
  ParsedViewerCommandLine parsed = parse_viewer_options(
      static_cast<int>(split.ours.size()), split.ours.data(), environment);
  if (parsed.should_run) {
    const std::string problem =
        split.problem.empty() ? glut_options_problem(split, parsed.options) : split.problem;
    if (!problem.empty()) {
      parsed.should_run = false;
      parsed.exit_status = usage_error_status;
      parsed.err_text = std::string(program) + ": " + problem + "\n" + usage_hint(program) + "\n";
    }
  }
  parsed.command_line = std::move(split);
  return parsed;
}

ViewerEnvironment environment_of_process() {
  return {std::getenv("XSCREENSAVER_WINDOW"), std::getenv("WAYLAND_DISPLAY")};
}

std::string glut_options_problem(const SplitCommandLine& split, const ViewerOptions& options) {
  const char* surface = options.role == Role::frames_to_file ? "--frames-to (offscreen frames)"
                        : options.on_layer_surfaces()
                            ? "--background or --overlay (a compositor's layer surfaces)"
                        : options.role == Role::x_desktop
                            ? "--background (desktop windows, one per monitor)"
                        : options.in_host_window()
                            ? "another program's window (--window-id, --root or XSCREENSAVER_WINDOW)"
                            : nullptr;
  if (surface == nullptr || split.own_window_option == nullptr) return std::string();
  return std::string(split.own_window_option) +
         " acts on the program's own window; it cannot go with " + surface;
}

}  // namespace aerolume
