// The renderer's command line as parsed: the values a run receives, and what --help
// and --version print. Rejected input is checked on the real binary (render_cli_test).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "renderer/render_options.h"

namespace aerolume {
namespace {

ParsedRenderCommandLine parse(std::vector<std::string> args) {
  args.insert(args.begin(), "aerolume-render");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return parse_render_options(static_cast<int>(argv.size()), argv.data());
}

TEST(RenderOptions, DefaultsAreOneFrameAt1024x768SeededFromTheClock) {
  const ParsedRenderCommandLine p = parse({});
  ASSERT_TRUE(p.should_run);
  EXPECT_EQ(p.options.frames, 1);
  EXPECT_EQ(p.options.width, 1024);
  EXPECT_EQ(p.options.height, 768);
  EXPECT_FALSE(p.options.scene.seed.has_value());
  EXPECT_FALSE(p.options.scene.timed || p.options.scene.auto_orbit || p.options.stats || p.options.json ||
               p.options.full_frames);
  EXPECT_TRUE(p.options.output.empty());
  EXPECT_TRUE(p.err_text.empty());
}

TEST(RenderOptions, EveryOptionReachesTheRun) {
  const ParsedRenderCommandLine p =
      parse({"--frames", "600", "--size", "320X240", "--seed", "4294967295", "--timed",
             "--auto-orbit", "--output", "shot.png", "--stats", "--json", "--full-frames"});
  ASSERT_TRUE(p.should_run) << p.err_text;
  EXPECT_EQ(p.options.frames, 600);
  EXPECT_EQ(p.options.width, 320);
  EXPECT_EQ(p.options.height, 240);
  ASSERT_TRUE(p.options.scene.seed.has_value());
  EXPECT_EQ(*p.options.scene.seed, 4294967295u);
  EXPECT_TRUE(p.options.scene.timed && p.options.scene.auto_orbit && p.options.stats && p.options.json &&
              p.options.full_frames);
  EXPECT_EQ(p.options.output, "shot.png");
}

TEST(RenderOptions, NumbersAreReadAsPlainDecimals) {
  // A leading zero is not octal, and zero is a valid seed.
  ParsedRenderCommandLine p = parse({"--seed", "010", "--frames", "0010"});
  ASSERT_TRUE(p.should_run) << p.err_text;
  EXPECT_EQ(*p.options.scene.seed, 10u);
  EXPECT_EQ(p.options.frames, 10);
  p = parse({"--seed=0", "--frames", std::to_string(max_frames)});
  ASSERT_TRUE(p.should_run) << p.err_text;
  EXPECT_EQ(*p.options.scene.seed, 0u);
  EXPECT_EQ(p.options.frames, max_frames);
  EXPECT_FALSE(parse({"--seed", "0x10"}).should_run);
  EXPECT_FALSE(parse({"--seed", "+5"}).should_run);
  EXPECT_FALSE(parse({"--frames", std::to_string(max_frames + 1)}).should_run);
}

TEST(RenderOptions, SizeAcceptsOneByOneUpToTheCapAndNothingElse) {
  int w = 0, h = 0;
  std::string error;
  EXPECT_TRUE(parse_size("1x1", &w, &h, &error));
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 1);
  const std::string cap = std::to_string(max_side);
  EXPECT_TRUE(parse_size(cap + "x" + cap, &w, &h, &error));
  EXPECT_EQ(w, max_side);
  EXPECT_EQ(h, max_side);
  // The simpler refusals are checked on the binary; these are the edge cases.
  for (const char* bad : {"640x", "x480", "1x1x1", "16385x1", "99999999999999999999x1"}) {
    error.clear();
    EXPECT_FALSE(parse_size(bad, &w, &h, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(RenderOptions, HelpAndVersionPrintOnStdoutAndExitCleanly) {
  const ParsedRenderCommandLine help = parse({"--help"});
  EXPECT_FALSE(help.should_run);
  EXPECT_EQ(help.exit_status, 0);
  for (const char* option : {"--frames", "--size", "--seed", "--timed", "--auto-orbit",
                             "--output", "--stats", "--json", "--full-frames", "--version", "1024x768"})
    EXPECT_NE(help.out_text.find(option), std::string::npos) << option;
  const ParsedRenderCommandLine version = parse({"--version"});
  EXPECT_FALSE(version.should_run);
  EXPECT_EQ(version.exit_status, 0);
  EXPECT_EQ(version.out_text, "aerolume-render " AEROLUME_VERSION "\n");
}

}  // namespace
}  // namespace aerolume
