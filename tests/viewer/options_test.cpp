// The viewer's command line: the options it shares with the renderer fail with the same
// words, window ids and the screen-saver variable are read as X programs write them, one
// role comes from the words and the environment, GLUT keeps its own options, the power
// source sets the pace, and what xscreensaver's settings dialog writes is accepted.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "renderer/render_options.h"
#include "viewer/options/options.h"

namespace aerolume {
namespace {

// Our own words, with XSCREENSAVER_WINDOW and WAYLAND_DISPLAY as given (null: unset).
ParsedViewerCommandLine parse(std::vector<std::string> args, const char* screensaver_window = nullptr,
                              const char* wayland_display = nullptr) {
  args.insert(args.begin(), "aerolume");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return parse_viewer_options(static_cast<int>(argv.size()), argv.data(),
                              {screensaver_window, wayland_display});
}

// The first line of a refusal without the program's name.
std::string problem_of(const ParseOutcome& p) {
  const std::string line = p.err_text.substr(0, p.err_text.find('\n'));
  return line.substr(line.find(": ") + 2);
}

TEST(ViewerOptions, SharedOptionsFailWithTheRenderersWords) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--seed", "x"}, {"--seed", "4294967296"}, {"--seed"}}) {
    const ParsedViewerCommandLine viewer = parse(args);
    std::vector<const char*> argv = {"aerolume-render"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    const ParsedRenderCommandLine render =
        parse_render_options(static_cast<int>(argv.size()), argv.data());
    ASSERT_FALSE(viewer.should_run);
    EXPECT_EQ(viewer.exit_status, 2);
    EXPECT_EQ(problem_of(viewer), problem_of(render)) << args[0];
    EXPECT_EQ(viewer.err_text.rfind("aerolume: ", 0), 0u) << viewer.err_text;
  }
  const ParsedViewerCommandLine p = parse({"--seed", "007", "--timed", "--auto-orbit", "--fps",
                                           "--max-fps", "60", "--windowed"});
  ASSERT_TRUE(p.should_run) << p.err_text;
  EXPECT_EQ(*p.options.scene.seed, 7u);
  EXPECT_TRUE(p.options.scene.timed && p.options.scene.auto_orbit && p.options.fps &&
              p.options.windowed);
  EXPECT_EQ(p.options.max_fps, 60);
  for (const char* option : {"--max-fps", "--battery-fps"})
    for (const char* bad : {"1001", "0x10", "-5"})
      EXPECT_EQ(parse({option, bad}).exit_status, 2) << option << " " << bad;
  // Misused words, one line each in the program's own words; switches take no value.
  const std::pair<std::vector<std::string>, std::string> misuses[] = {
      {{"--fps=3"}, "--fps takes no value"},
      {{"--fps=false"}, "--fps takes no value"},
      {{"--max-fps"}, "--max-fps needs a value"},
      {{"--max-fps", "--fps"}, "--max-fps needs a value"},
      {{"--seed", "1", "--seed=2"}, "--seed was given twice"},
      {{"--bogus"}, "'--bogus' is not an option"},
      {{"-x"}, "'-x' is not an option"},
      {{"--", "--fps"}, "'--fps' is not an option"}};
  for (const auto& [args, problem] : misuses) {
    const ParsedViewerCommandLine refused = parse(args);
    EXPECT_EQ(refused.exit_status, 2) << problem;
    EXPECT_EQ(refused.err_text,
              "aerolume: " + problem + "\nrun 'aerolume --help' for the options\n");
  }
}

// A host's window is paced like a screen saver unless --max-fps says otherwise (0: no
// cap), and its samples are the host's: --samples there is refused.
TEST(ViewerOptions, PaceAndSamplesFollowTheRole) {
  struct Case {
    std::vector<std::string> args;
    const char* environment;
    int cap, samples;
  };
  const Case accepted[] = {{{}, nullptr, 0, 0},
                           {{"--window-id", "5"}, nullptr, 30, 0},
                           {{"--root"}, "0x600002", 30, 0},
                           {{"--root", "--max-fps", "0"}, nullptr, 0, 0},
                           {{"--max-fps", "60", "--samples", "4"}, nullptr, 60, 4},
                           {{"--windowed", "--samples", "16"}, "0x600002", 0, 16},
                           {{"--background", "--samples", "4"}, nullptr, 30, 4}};
  for (const Case& c : accepted) {
    const ParsedViewerCommandLine p = parse(c.args, c.environment);
    ASSERT_TRUE(p.should_run) << p.err_text;
    EXPECT_EQ(p.options.frame_cap(), c.cap) << p.options.in_host_window();
    EXPECT_EQ(p.options.samples, c.samples);
  }
  for (const char* bad : {"1", "3", "32", "04", "-4", "x"})
    EXPECT_EQ(problem_of(parse({"--samples", bad})),
              std::string("--samples: '") + bad + "' is not a sample count (0, 2, 4, 8 or 16)");
  for (const Case& c : {Case{{"--root", "--samples", "4"}, nullptr, 0, 0},
                        Case{{"--window-id", "5", "--samples", "0"}, nullptr, 0, 0},
                        Case{{"--samples", "2"}, "0x600002", 0, 0}}) {
    const ParsedViewerCommandLine p = parse(c.args, c.environment);
    EXPECT_EQ(p.exit_status, 2);
    EXPECT_EQ(problem_of(p).rfind("--samples cannot go with another program's window", 0), 0u)
        << p.err_text;
  }
}

TEST(ViewerOptions, WindowsComeFromTheOptionsOrTheScreenSaverVariable) {
  unsigned long id = 0;
  EXPECT_TRUE(parse_window_id("0x1c00004", &id));
  EXPECT_EQ(id, 0x1c00004u);
  EXPECT_TRUE(parse_window_id("29360132", &id));
  EXPECT_EQ(id, 29360132u);
  for (const char* bad : {"", "0", "0x", "-5", "12abc", "0x100000000", "99999999999999999999"})
    EXPECT_FALSE(parse_window_id(bad, &id)) << bad;

  EXPECT_EQ(*parse({"--window-id", "0x400001"}).options.window_id, 0x400001u);
  EXPECT_EQ(parse({"--root"}).options.role, Role::root_window);
  // The host's variable is used only when no window is asked for on the command line.
  EXPECT_EQ(*parse({}, "0x600002").options.window_id, 0x600002u);
  EXPECT_EQ(*parse({"--window-id", "7"}, "0x600002").options.window_id, 7u);
  // Hosts start their saver with -root: their window stands in for the root window.
  const ViewerOptions hosted = parse({"--root"}, "0x600002").options;
  EXPECT_EQ(*hosted.window_id, 0x600002u);
  EXPECT_EQ(hosted.role, Role::host_window);
  // xscreensaver's settings preview names its window beside -root.
  const ViewerOptions preview = parse({"--root", "--window-id", "0x5"}, "0x600002").options;
  EXPECT_EQ(*preview.window_id, 5u);
  EXPECT_EQ(preview.role, Role::host_window);
  EXPECT_FALSE(parse({"--windowed"}, "0x600002").options.window_id.has_value());
  EXPECT_FALSE(parse({}, "").options.window_id.has_value());
  EXPECT_EQ(parse({}, "nonsense").exit_status, 2);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--windowed", "--root"}, {"--windowed", "--window-id", "5"},
        {"--window-id", "0"}}) {
    const ParsedViewerCommandLine p = parse(args);
    EXPECT_FALSE(p.should_run) << args[1];
    EXPECT_EQ(p.exit_status, 2) << args[1];
    EXPECT_EQ(std::count(p.err_text.begin(), p.err_text.end(), '\n'), 2) << p.err_text;
  }
}

// The Wayland layer surfaces are a role of their own: a saver's pace, samples of their
// own, an output to keep to; the screen-saver variable does not redirect them, and they
// never go with another role.
TEST(ViewerOptions, LayerSurfacesAreARoleOfTheirOwn) {
  using Layer = ViewerOptions::Layer;
  struct Case {
    std::vector<std::string> args;
    Layer layer;
    int cap, samples;
    std::string output;
  };
  const Case accepted[] = {
      {{"--background"}, Layer::background, 30, 0, ""},
      {{"--overlay", "--output", "HEADLESS-2", "--samples", "4"}, Layer::overlay, 30, 4, "HEADLESS-2"},
      {{"--background", "--max-fps", "0", "--output=DP-1"}, Layer::background, 0, 0, "DP-1"}};
  for (const Case& c : accepted) {
    const ParsedViewerCommandLine p = parse(c.args, "0x600002", "wayland-1");
    ASSERT_TRUE(p.should_run) << p.err_text;
    EXPECT_EQ(p.options.layer, c.layer) << c.args[0];
    EXPECT_EQ(p.options.frame_cap(), c.cap) << c.args[0];
    EXPECT_EQ(p.options.samples, c.samples);
    EXPECT_EQ(p.options.output, c.output);
    EXPECT_FALSE(p.options.in_host_window()) << c.args[0];
  }
  EXPECT_EQ(parse({}).options.layer, Layer::none);
  EXPECT_TRUE(parse({"--background", "--shell-windows"}, nullptr, "wayland-1").options.shell_windows);
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"--background", "--overlay"}, "--background and --overlay are two roles; give one of them"},
      {{"--background", "--root"}, "--background draws on surfaces of its own; it cannot go with --root"},
      {{"--overlay", "--window-id", "5"}, "--overlay draws on surfaces of its own; it cannot go with --window-id"},
      {{"--windowed", "--overlay"}, "--overlay draws on surfaces of its own; it cannot go with --windowed"},
      {{"--output", "DP-1"}, "--output chooses the output of --background, --overlay or --root; give one of them"},
      {{"--background", "--output"}, "--output needs a value"},
      {{"--overlay", "--shell-windows"},
       "--shell-windows draws the background in windows; it goes with --background"},
      {{"--background", "--shell-windows"},
       "--shell-windows needs a Wayland compositor (WAYLAND_DISPLAY); on X, --background draws "
       "in desktop windows of its own"}};
  for (const auto& [args, problem] : refused) {
    const ParsedViewerCommandLine p = parse(args);
    EXPECT_EQ(p.exit_status, 2) << problem;
    EXPECT_EQ(problem_of(p), problem);
  }
}

// One role, from the words and the environment together: every refusal is judged against
// it; --background without Wayland is the X desktop (its own windows: --samples and
// --output go with it), and the screen-saver variable still stands in for it.
TEST(ViewerOptions, TheRoleComesFromTheWordsAndTheEnvironment) {
  constexpr const char* wayland = "wayland-1";
  constexpr const char* saver = "0x600002";
  struct Case {
    std::vector<std::string> words;
    const char* screensaver_window;
    const char* wayland_display;
    Role role;
    unsigned long window = 0;  // the window of host_window
    int status = 0;            // refused: the status, and how its first line begins
    std::string problem = "";
  };
  const std::string host_samples = "--samples cannot go with another program's window";
  const std::string geometry_in_host =
      "-geometry acts on the program's own window; it cannot go with another program's window";
  const Case cases[] = {
      {{}, nullptr, nullptr, Role::own_window},
      {{"--windowed"}, saver, wayland, Role::own_window},
      {{}, saver, nullptr, Role::host_window, 0x600002},
      {{"--root"}, nullptr, wayland, Role::root_window},
      {{"--root"}, saver, nullptr, Role::host_window, 0x600002},
      {{"--background"}, saver, wayland, Role::wayland_background},
      {{"--background"}, "junk", wayland, Role::wayland_background},
      {{"--overlay"}, saver, wayland, Role::wayland_overlay},
      {{"--background"}, nullptr, nullptr, Role::x_desktop},
      {{"--background"}, nullptr, "", Role::x_desktop},
      {{"--background", "--samples", "4", "--output", "MonB"}, nullptr, nullptr, Role::x_desktop},
      {{"--root", "--output", "DUMMY0"}, nullptr, nullptr, Role::root_window},
      {{"--background"}, saver, nullptr, Role::host_window, 0x600002},
      {{"--background", "--samples", "4"}, saver, nullptr, {}, 0, 2, host_samples},
      {{"--root", "--samples", "4"}, nullptr, wayland, {}, 0, 2, host_samples},
      {{"--background", "--output", "DP-1"}, saver, nullptr, {}, 0, 2,
       "--output chooses a monitor of the desktop; in another program's window"},
      {{"-geometry", "640x480", "--root"}, nullptr, nullptr, {}, 0, 2, geometry_in_host},
      {{"--background"}, "junk", nullptr, {}, 0, 2, "XSCREENSAVER_WINDOW: 'junk' is not a window id"},
      {{"-geometry", "640x480", "--background"}, nullptr, nullptr, {}, 0, 2,
       "-geometry acts on the program's own window; it cannot go with --background (desktop"},
      {{"-geometry", "640x480", "--background"}, nullptr, wayland, {}, 0, 2,
       "-geometry acts on the program's own window; it cannot go with --background or --overlay"},
      {{"--background", "--output", ""}, nullptr, wayland, {}, 0, 2, "--output needs a value"},
      {{"--output", ""}, nullptr, wayland, {}, 0, 2, "--output needs a value"},
      {{"--output", "DP-1"}, nullptr, wayland, {}, 0, 2, "--output chooses the output of"},
      {{"--overlay"}, nullptr, nullptr, {}, 0, 1, "--overlay needs a Wayland compositor"},
      {{"--overlay", "--samples", "4"}, saver, "", {}, 0, 1, "--overlay needs a Wayland compositor"},
      {{"--frames-to", "/run/f", "--size", "640x480", "--samples", "4"}, saver, wayland,
       Role::frames_to_file},
      {{"--frames-to", "/run/f", "--size", "640x480", "--frames-to", "/run/g", "--size", "800x600"},
       nullptr, wayland, Role::frames_to_file},
      {{"--frames-to", "/run/f"}, nullptr, nullptr, {}, 0, 2,
       "each --frames-to needs its --size WxH, the frames' size in pixels (1 --frames-to, 0 "
       "--size)"},
      {{"--frames-to", "/run/f", "--frames-to", "/run/g", "--size", "64x48"}, nullptr, nullptr, {},
       0, 2, "each --frames-to needs its --size WxH, the frames' size in pixels (2 --frames-to, 1"},
      {{"--frames-to", "/run/f", "--size", "64x48", "--frames-to", "/run/f", "--size", "64x48"},
       nullptr, nullptr, {}, 0, 2, "--frames-to: /run/f is named twice"},
      {{"--frames-to", "", "--size", "640x480"}, nullptr, nullptr, {}, 0, 2,
       "--frames-to: a frames file needs a path"},
      {{"--size", "640x480"}, nullptr, wayland, {}, 0, 2,
       "--size gives the size of --frames-to's frames; give --frames-to"},
      {{"--frames-to", "/run/f", "--size", "640x0"}, nullptr, nullptr, {}, 0, 2,
       "--size: the height must be at least 1 pixel"},
      {{"--frames-to", "/run/f", "--size", "640"}, nullptr, nullptr, {}, 0, 2,
       "--size: '640' is not a size of the form WxH"},
      {{"--frames-to", "/run/f", "--size", "64x48", "--background"}, nullptr, wayland, {}, 0, 2,
       "--frames-to draws offscreen, on no surface; it cannot go with --background"},
      {{"--frames-to", "/run/f", "--size", "64x48", "--output", "DP-1"}, nullptr, wayland, {}, 0,
       2, "--frames-to draws offscreen, on no surface; it cannot go with --output"},
      {{"-geometry", "640x480", "--frames-to", "/run/f", "--size", "64x48"}, nullptr, nullptr, {},
       0, 2, "-geometry acts on the program's own window; it cannot go with --frames-to"}};
  for (const Case& c : cases) {
    std::vector<std::string> words = c.words;
    words.insert(words.begin(), "aerolume");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    std::string row;
    for (const std::string& w : words) row += w + " ";
    row += std::string("/ ") + (c.screensaver_window ? c.screensaver_window : "-") + " / " +
           (c.wayland_display ? c.wayland_display : "-");
    const ParsedViewerCommandLine p = read_viewer_command_line(
        static_cast<int>(argv.size()), argv.data(), {c.screensaver_window, c.wayland_display});
    if (c.status != 0) {
      EXPECT_FALSE(p.should_run) << row;
      EXPECT_EQ(p.exit_status, c.status) << row;
      EXPECT_EQ(p.err_text.rfind("aerolume: " + c.problem, 0), 0u) << row << ": " << p.err_text;
      EXPECT_EQ(std::count(p.err_text.begin(), p.err_text.end(), '\n'), c.status) << p.err_text;
      continue;
    }
    ASSERT_TRUE(p.should_run) << row << ": " << p.err_text;
    EXPECT_EQ(p.options.role, c.role) << row;
    EXPECT_EQ(p.options.window_id.value_or(0), c.window) << row;
    if (c.role == Role::frames_to_file) {
      // Each file with the size in its place.
      std::vector<ViewerOptions::FramesFile> files{{"/run/f", 640, 480}};
      if (std::find(c.words.begin(), c.words.end(), "/run/g") != c.words.end())
        files.push_back({"/run/g", 800, 600});
      EXPECT_EQ(p.options.frames_files, files) << row;
      EXPECT_EQ(p.options.frame_cap(), host_window_fps);  // a saver's pace
    }
  }
}

TEST(ViewerOptions, GlutKeepsItsOwnOptionsAndHostsMayUseOneDash) {
  std::vector<std::string> words = {"aerolume", "-geometry", "640x480+5+6", "--windowed",
                                    "-display", ":3", "-sync", "--fps", "-root",
                                    "-window-id", "0x5"};
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  const SplitCommandLine split = split_glut_options(static_cast<int>(argv.size()), argv.data());
  const auto text = [](const std::vector<char*>& v) {
    std::string all;
    for (const char* w : v) all += std::string(w) + " ";
    return all;
  };
  EXPECT_EQ(text(split.glut), "aerolume -sync ");
  EXPECT_EQ(text(split.ours), "aerolume --windowed --fps --root --window-id 0x5 ");
  EXPECT_STREQ(split.display, ":3");
  EXPECT_STREQ(split.geometry, "640x480+5+6");
  EXPECT_STREQ(split.own_window_option, "-geometry");
  EXPECT_TRUE(split.problem.empty());
  std::string last = "-geometry";
  std::vector<char*> lacking = {argv[0], last.data()};
  EXPECT_EQ(split_glut_options(2, lacking.data()).problem, "-geometry needs a value");
}

// -geometry as GLUT programs take it: a size, a place or both, the missing half from
// --windowed's 1024 x 768 at (10, 30), places from the right or bottom edge after '-'.
TEST(ViewerOptions, GeometryTakesASizeAPlaceOrBoth) {
  struct Case {
    const char* text;
    WindowPlace place;  // on a 1280 x 1024 screen
  };
  const Case accepted[] = {{"640x480+20+40", {20, 40, 640, 480}}, {"+100+100", {100, 100, 1024, 768}},
                           {"-0-0", {256, 256, 1024, 768}},       {"800x", {10, 30, 800, 768}},
                           {"x600", {10, 30, 1024, 600}},         {"=300x200-10+5", {970, 5, 300, 200}},
                           {"640X480", {10, 30, 640, 480}},       {"32767x32767", {10, 30, 32767, 32767}},
                           {"+0-32767", {0, -32767 + 256, 1024, 768}}};
  for (const Case& c : accepted) {
    WindowGeometry geometry;
    ASSERT_TRUE(parse_window_geometry(c.text, &geometry)) << c.text;
    const WindowPlace p = windowed_place(geometry, 1280, 1024);
    EXPECT_EQ(std::vector<int>({p.x, p.y, p.width, p.height}),
              std::vector<int>({c.place.x, c.place.y, c.place.width, c.place.height}))
        << c.text;
  }
  for (const char* bad : {"", "x", "=", "abc", "0x0", "640x0", "32768x1", "100000x1", "+5",
                          "640x480+1", "+1+2+3", "640x480 ", "+-1+2", "1x1+32768+0"}) {
    WindowGeometry geometry;
    EXPECT_FALSE(parse_window_geometry(bad, &geometry)) << bad;
  }
}

// GLUT's options act on the program's own window only: in another program's window and on
// layer surfaces the ones that would do nothing there are refused, and -display still
// names the display.
TEST(ViewerOptions, GlutsWindowOptionsAreRefusedInAnotherProgramsWindow) {
  const auto problem = [](std::vector<std::string> words, const char* environment) {
    words.insert(words.begin(), "aerolume");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    const SplitCommandLine split = split_glut_options(static_cast<int>(argv.size()), argv.data());
    const ParsedViewerCommandLine p = parse_viewer_options(
        static_cast<int>(split.ours.size()), split.ours.data(), {environment, "wayland-1"});
    EXPECT_TRUE(p.should_run) << p.err_text;
    return glut_options_problem(split, p.options);
  };
  struct Role {
    std::vector<std::string> args;
    const char* environment;
    std::string refused_with = "another program's window (--window-id, --root or "
                               "XSCREENSAVER_WINDOW)";
  };
  const std::string layer = "--background or --overlay (a compositor's layer surfaces)";
  const Role host_windows[] = {{{"--root"}, nullptr},
                               {{"-window-id", "5"}, nullptr},
                               {{"-root"}, "0x600002"},
                               {{"--background"}, nullptr, layer},
                               {{"--overlay", "--output", "HDMI-A-1"}, "0x600002", layer}};
  const std::vector<std::string> window_options[] = {
      {"-geometry", "640x480+0+0"}, {"-iconic"}, {"-direct"}, {"-indirect"}, {"-gldebug"},
      {"-sync"}};
  for (const Role& role : host_windows)
    for (const std::vector<std::string>& option : window_options) {
      std::vector<std::string> words = {"-display", ":3"};
      words.insert(words.end(), option.begin(), option.end());
      words.insert(words.end(), role.args.begin(), role.args.end());
      EXPECT_EQ(problem(words, role.environment),
                option[0] + " acts on the program's own window; it cannot go with " +
                    role.refused_with)
          << role.args[0] << " " << option[0];
    }
  for (const Role& own_or_display : {Role{{"-display", ":3", "--root"}, "0x600002"},
                                     Role{{"-geometry", "640x480", "--windowed"}, "0x600002"},
                                     Role{{"-iconic", "-sync", "-gldebug"}, nullptr}})
    EXPECT_EQ(problem(own_or_display.args, own_or_display.environment), "")
        << own_or_display.args[0];
}

// Every command line that xscreensaver's settings dialog can make from the description
// the package installs is accepted as the host runs it (its window in the variable), and
// the frame-rate controls reach the cap and the battery pace.
TEST(ScreenSaverFiles, EveryCommandTheSettingsDialogMakesIsAccepted) {
  std::ifstream file(std::string(AEROLUME_SOURCE_DIR) + "/data/xscreensaver/aerolume.xml");
  const std::string xml{std::istreambuf_iterator<char>(file), {}};
  const auto attribute = [](const std::string& element, const std::string& name) {
    std::smatch m;
    return std::regex_search(element, m, std::regex("\\s" + name + "=\"([^\"]*)\""))
               ? m[1].str() : std::string();
  };
  std::smatch command;
  ASSERT_TRUE(std::regex_search(xml, command, std::regex("<command [^>]*>"))) << xml;
  // A boolean's words; a number control's at its low, default and high ends.
  std::vector<std::string> choices;
  const std::regex control("<(number|boolean) [^>]*>");
  for (std::sregex_iterator c(xml.begin(), xml.end(), control), last; c != last; ++c) {
    const std::string element = c->str(), words = attribute(element, "arg-set");
    if (!words.empty()) choices.push_back(words);
    const std::string number = attribute(element, "arg");
    if (const std::size_t at = number.find('%'); at != std::string::npos)
      for (const char* end : {"low", "default", "high"})
        choices.push_back(number.substr(0, at) + attribute(element, end) + number.substr(at + 1));
  }
  ASSERT_EQ(choices.size(), 8u)
      << "the frame rate's and the battery pace's three ends, orbiting and timed steps";
  for (const std::string& words : choices) {
    std::istringstream line("aerolume " + attribute(command.str(), "arg") + " " + words);
    std::vector<std::string> text{std::istream_iterator<std::string>(line), {}};
    std::vector<char*> argv;
    for (std::string& w : text) argv.push_back(w.data());
    const SplitCommandLine split = split_glut_options(static_cast<int>(argv.size()), argv.data());
    const ParsedViewerCommandLine p =
        parse_viewer_options(static_cast<int>(split.ours.size()), split.ours.data(), {"0x600002"});
    ASSERT_TRUE(p.should_run && p.options.in_host_window()) << words << ": " << p.err_text;
    EXPECT_TRUE(words.rfind("--max-fps ", 0) != 0 ||
                p.options.frame_cap() == std::stoi(words.substr(10))) << words;
    EXPECT_TRUE(words.rfind("--battery-fps ", 0) != 0 ||
                p.options.battery_fps == std::stoi(words.substr(14))) << words;
  }
}

// On battery or in power-saver mode every role but the program's own window slows to
// --battery-fps (10 unless given; 0 stops the frames), never above its own pace; the own
// window only when --battery-fps is given. On mains the role's own pace returns.
TEST(ViewerOptions, ThePowerSourceSetsThePace) {
  const PowerState mains, battery{true, false}, saver{false, true}, both{true, true};
  struct Case {
    std::vector<std::string> args;
    PowerState power;
    Pace pace;
    bool follows_power;  // whether the power source is watched at all
  };
  const Case cases[] = {{{"--root"}, mains, {30, false}, true},
                        {{"--root"}, battery, {10, false}, true},
                        {{"--window-id", "5"}, saver, {10, false}, true},
                        {{"--background"}, both, {10, false}, true},
                        {{"--overlay", "--battery-fps", "0"}, battery, {0, true}, true},
                        {{"--window-id", "5", "--battery-fps", "0"}, mains, {30, false}, true},
                        {{"--root", "--battery-fps", "24"}, saver, {24, false}, true},
                        {{"--root", "--max-fps", "5"}, battery, {5, false}, true},
                        {{"--root", "--max-fps", "0"}, battery, {10, false}, true},
                        {{"--background"}, both, {10, false}, true},
                        {{"--background", "--battery-fps", "0"}, saver, {0, true}, true},
                        {{"--background", "--max-fps", "60"}, mains, {60, false}, true},
                        {{}, both, {0, false}, false},
                        {{"--windowed", "--max-fps", "60"}, saver, {60, false}, false},
                        {{"--battery-fps", "15"}, battery, {15, false}, true},
                        {{"--windowed", "--battery-fps", "0"}, saver, {0, true}, true},
                        {{"--battery-fps", "0"}, mains, {0, false}, true}};
  for (const Case& c : cases) {
    const ParsedViewerCommandLine p = parse(c.args, nullptr, "wayland-0");
    ASSERT_TRUE(p.should_run) << p.err_text;
    const Pace pace = p.options.pace(c.power);
    std::string line;
    for (const std::string& a : c.args) line += a + " ";
    EXPECT_EQ(pace, c.pace) << line << "gave " << pace.max_fps << (pace.stopped ? " stopped" : "");
    EXPECT_EQ(p.options.follows_power(), c.follows_power) << line;
  }
}

}  // namespace
}  // namespace aerolume
