// The program's command line and its frame pacing: the options it shares with the
// renderer fail with the same words, window ids and the screen-saver variable are read
// as X programs write them, GLUT keeps its own options, and the frame-rate line and the
// limiter count time as promised, and a frame cap puts timed steps on the wall clock;
// the sample count taken of those offered; what xscreensaver's settings dialog writes is
// accepted.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "render/framebuffer_samples.h"
#include "run/frame.h"
#include "viewer/frame_pacing.h"
#include "viewer/viewer_options.h"
#include "renderer/render_options.h"

namespace aerolume {
namespace {

ParsedViewerCommandLine parse(std::vector<std::string> args, const char* environment = nullptr) {
  args.insert(args.begin(), "aerolume");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return parse_viewer_options(static_cast<int>(argv.size()), argv.data(), environment);
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
    ASSERT_FALSE(viewer.run);
    EXPECT_EQ(viewer.exit_status, 2);
    EXPECT_EQ(problem_of(viewer), problem_of(render)) << args[0];
    EXPECT_EQ(viewer.err_text.rfind("aerolume: ", 0), 0u) << viewer.err_text;
  }
  const ParsedViewerCommandLine p = parse({"--seed", "007", "--timed", "--auto-orbit", "--fps",
                                           "--max-fps", "60", "--windowed"});
  ASSERT_TRUE(p.run) << p.err_text;
  EXPECT_EQ(*p.options.scene.seed, 7u);
  EXPECT_TRUE(p.options.scene.timed && p.options.scene.auto_orbit && p.options.fps &&
              p.options.windowed);
  EXPECT_EQ(p.options.max_fps, 60);
  for (const char* bad : {"1001", "0x10", "-5"})
    EXPECT_EQ(parse({"--max-fps", bad}).exit_status, 2) << bad;
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

// Of the sample counts a driver offers, the one asked, else the nearest below it.
TEST(Samples, TheNearestCountBelowTheOneAskedIsTaken) {
  struct Case {
    int asked;
    std::vector<int> offered;
    int taken;
  };
  const Case cases[] = {{8, {16, 2, 4, 0}, 4},  {16, {2, 8, 4, 8}, 8}, {4, {4, 8}, 4},
                        {2, {4, 8, 16}, 0},     {0, {2, 4}, 0},        {16, {}, 0}};
  for (const Case& c : cases) EXPECT_EQ(samples_to_take(c.asked, c.offered), c.taken) << c.asked;
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
                           {{"--windowed", "--samples", "16"}, "0x600002", 0, 16}};
  for (const Case& c : accepted) {
    const ParsedViewerCommandLine p = parse(c.args, c.environment);
    ASSERT_TRUE(p.run) << p.err_text;
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
  EXPECT_TRUE(parse({"--root"}).options.root);
  // The host's variable is used only when no window is asked for on the command line.
  EXPECT_EQ(*parse({}, "0x600002").options.window_id, 0x600002u);
  EXPECT_EQ(*parse({"--window-id", "7"}, "0x600002").options.window_id, 7u);
  // Hosts start their saver with -root: their window stands in for the root window.
  const ViewerOptions hosted = parse({"--root"}, "0x600002").options;
  EXPECT_EQ(*hosted.window_id, 0x600002u);
  EXPECT_FALSE(hosted.root);
  // xscreensaver's settings preview names its window beside -root.
  const ViewerOptions preview = parse({"--root", "--window-id", "0x5"}, "0x600002").options;
  EXPECT_EQ(*preview.window_id, 5u);
  EXPECT_FALSE(preview.root);
  EXPECT_FALSE(parse({"--windowed"}, "0x600002").options.window_id.has_value());
  EXPECT_FALSE(parse({}, "").options.window_id.has_value());
  EXPECT_EQ(parse({}, "nonsense").exit_status, 2);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--windowed", "--root"}, {"--windowed", "--window-id", "5"},
        {"--window-id", "0"}}) {
    const ParsedViewerCommandLine p = parse(args);
    EXPECT_FALSE(p.run) << args[1];
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
    const ParsedViewerCommandLine p = parse(c.args, "0x600002");
    ASSERT_TRUE(p.run) << p.err_text;
    EXPECT_EQ(p.options.layer, c.layer) << c.args[0];
    EXPECT_EQ(p.options.frame_cap(), c.cap) << c.args[0];
    EXPECT_EQ(p.options.samples, c.samples);
    EXPECT_EQ(p.options.output, c.output);
    EXPECT_FALSE(p.options.in_host_window()) << c.args[0];
  }
  EXPECT_EQ(parse({}).options.layer, Layer::none);
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"--background", "--overlay"}, "--background and --overlay are two roles; give one of them"},
      {{"--background", "--root"}, "--background draws on surfaces of its own; it cannot go with --root"},
      {{"--overlay", "--window-id", "5"}, "--overlay draws on surfaces of its own; it cannot go with --window-id"},
      {{"--windowed", "--overlay"}, "--overlay draws on surfaces of its own; it cannot go with --windowed"},
      {{"--output", "DP-1"}, "--output chooses the output of --background or --overlay; give one of them"},
      {{"--background", "--output"}, "--output needs a value"}};
  for (const auto& [args, problem] : refused) {
    const ParsedViewerCommandLine p = parse(args);
    EXPECT_EQ(p.exit_status, 2) << problem;
    EXPECT_EQ(problem_of(p), problem);
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
  EXPECT_EQ(text(split.glut), "aerolume -geometry 640x480+5+6 -display :3 -sync ");
  EXPECT_EQ(text(split.ours), "aerolume --windowed --fps --root --window-id 0x5 ");
  EXPECT_STREQ(split.display, ":3");
  EXPECT_TRUE(split.geometry);
  EXPECT_TRUE(split.problem.empty());
  std::string last = "-geometry";
  std::vector<char*> lacking = {argv[0], last.data()};
  EXPECT_EQ(split_glut_options(2, lacking.data()).problem, "-geometry needs a value");
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
        static_cast<int>(split.ours.size()), split.ours.data(), environment);
    EXPECT_TRUE(p.run) << p.err_text;
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
// the frame-rate control reaches the cap.
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
  ASSERT_EQ(choices.size(), 5u) << "the frame rate's three ends, orbiting and timed steps";
  for (const std::string& words : choices) {
    std::istringstream line("aerolume " + attribute(command.str(), "arg") + " " + words);
    std::vector<std::string> text{std::istream_iterator<std::string>(line), {}};
    std::vector<char*> argv;
    for (std::string& w : text) argv.push_back(w.data());
    const SplitCommandLine split = split_glut_options(static_cast<int>(argv.size()), argv.data());
    const ParsedViewerCommandLine p =
        parse_viewer_options(static_cast<int>(split.ours.size()), split.ours.data(), "0x600002");
    ASSERT_TRUE(p.run && p.options.in_host_window()) << words << ": " << p.err_text;
    EXPECT_TRUE(words.rfind("--max-fps ", 0) != 0 ||
                p.options.frame_cap() == std::stoi(words.substr(10))) << words;
  }
}

// A shell that waits in its own event loop is told when the next frame may start instead
// of being put to sleep: a slot after the last under a cap, at once without one.
TEST(FramePacing, AnEventLoopIsToldTheNextStartInsteadOfSleeping) {
  using std::chrono::seconds;
  FramePacing capped(false, 1);
  const PacingClock::time_point first = capped.after_frame_next_start();
  EXPECT_EQ(capped.after_frame_next_start() - first, seconds(1));
  EXPECT_GT(first, PacingClock::now());  // no sleep: the slot still lies ahead
  set_step_clock(StepClock::scene_pass);  // as the cap left it for the other tests
  FramePacing uncapped(false, 0);
  const PacingClock::time_point before = PacingClock::now();
  const PacingClock::time_point next = uncapped.after_frame_next_start();
  EXPECT_GE(next, before);
  EXPECT_LE(next, PacingClock::now());
}

TEST(FramePacing, TheLimiterSleepsOutEachSlotAndNeverBursts) {
  using std::chrono::milliseconds;
  const PacingClock::time_point t0{};
  FrameLimiter limiter(50, t0);  // slots of 20 ms
  EXPECT_EQ(limiter.next_start(t0 + milliseconds(5)), t0 + milliseconds(20));
  EXPECT_EQ(limiter.next_start(t0 + milliseconds(21)), t0 + milliseconds(40));
  // A frame that overran its slot starts the next one at once, and the slots follow it.
  EXPECT_EQ(limiter.next_start(t0 + milliseconds(75)), t0 + milliseconds(75));
  EXPECT_EQ(limiter.next_start(t0 + milliseconds(76)), t0 + milliseconds(95));
}

TEST(FramePacing, TheFrameRateLineComesEveryFiveSeconds) {
  using std::chrono::milliseconds;
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  const PacingClock::time_point t0{};
  FrameRateLine line(out, t0);
  for (int i = 1; i <= 1290; ++i) line.frame_done(t0 + milliseconds(i * 5000 / 1290));
  for (int i = 1; i <= 50; ++i) line.frame_done(t0 + milliseconds(5000 + i * 100));
  // The third period runs long: a slow frame ends it at 7 seconds, and the rate is over those.
  for (int i = 1; i <= 21; ++i) line.frame_done(t0 + milliseconds(10000 + i * 50));
  line.frame_done(t0 + milliseconds(17000));
  std::rewind(out);
  char text[256] = {};
  const std::size_t n = std::fread(text, 1, sizeof text - 1, out);
  std::fclose(out);
  EXPECT_EQ(std::string(text, n),
            "1290 frames in 5.0 seconds = 258.0 FPS\n50 frames in 5.0 seconds = 10.0 FPS\n"
            "22 frames in 7.0 seconds = 3.1 FPS\n");
}

}  // namespace
}  // namespace aerolume
