// aerolume-render run as a user runs it: exit statuses, the messages on stderr, what is
// left on disk after a failure, identical pictures from identical runs, and the picture
// and statistics a successful run produces.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <webp/demux.h>

#include "renderer/png_io.h"

extern char** environ;

namespace aerolume {
namespace {

namespace fs = std::filesystem;

const char* const hint = "run 'aerolume-render --help' for the options";

struct Outcome {
  int status = -1;  // the exit status, or 128 + signal when the process was killed
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The number that follows key in text (NaN when the key is missing).
double number_after(const std::string& text, const std::string& key) {
  const std::size_t at = text.find(key);
  if (at == std::string::npos) return std::nan("");
  return std::strtod(text.c_str() + at + key.size(), nullptr);
}

class RenderCli : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "aerolume-render-test.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    scratch_ = pattern;
    fs::create_directory(scratch_ / "pictures");
    pictures_ = scratch_ / "pictures";
  }
  void TearDown() override { fs::remove_all(scratch_); }

  // Runs the renderer with stdout and stderr captured; extra_env is added to the
  // environment as NAME=value entries.
  Outcome run(const std::vector<std::string>& args,
              const std::vector<std::string>& extra_env = {}) {
    std::vector<std::string> argv_text = {AEROLUME_RENDER_BINARY};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_text(extra_env);
    for (char** e = environ; *e != nullptr; ++e) env_text.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env_text) envp.push_back(e.data());
    envp.push_back(nullptr);

    const fs::path out_path = scratch_ / "stdout", err_path = scratch_ / "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    Outcome outcome;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << argv[0];
      return outcome;
    }
    int wait_status = 0;
    waitpid(pid, &wait_status, 0);
    outcome.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status)
                                            : 128 + WTERMSIG(wait_status);
    outcome.out = slurp(out_path);
    outcome.err = slurp(err_path);
    return outcome;
  }

  std::vector<std::string> pictures_left() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(pictures_))
      names.push_back(entry.path().filename().string());
    return names;
  }

  fs::path scratch_;
  fs::path pictures_;
};

// A bad option: status 2, one line naming the problem then the hint, nothing on stdout,
// and no picture (nor a temporary file) even though an output was asked for.
void expect_usage_error(const Outcome& r, const std::string& problem) {
  EXPECT_EQ(r.status, 2) << r.err;
  const std::vector<std::string> lines = lines_of(r.err);
  ASSERT_EQ(lines.size(), 2u) << r.err;
  EXPECT_EQ(lines[0].rfind("aerolume-render: ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find(problem), std::string::npos) << lines[0];
  EXPECT_EQ(lines[1], hint);
  EXPECT_EQ(r.out, "");
}

TEST_F(RenderCli, BadOptionsAreRefusedWithStatusTwoAndLeaveNoFile) {
  struct Case {
    std::vector<std::string> args;
    std::string problem;
  };
  const std::vector<Case> cases = {
      {{"--bogus"}, "--bogus"},
      {{"stray"}, "stray"},
      {{"--size", "640"}, "WxH"},
      {{"--size", "640xabc"}, "not a number"},
      {{"--size", "0x480"}, "at least 1"},
      {{"--size", "-640x480"}, "at least 1"},
      {{"--size", "640x-480"}, "at least 1"},
      {{"--size", "99999x480"}, "at most"},
      {{"--frames", "0"}, "--frames"},
      {{"--frames", "-3"}, "--frames"},
      {{"--frames", "many"}, "--frames"},
      {{"--seed", "abc"}, "--seed"},
      {{"--seed", "-1"}, "--seed"},
      {{"--seed", "4294967296"}, "--seed"},
      {{"--seed"}, "--seed"},
  };
  const std::string output = (pictures_ / "out.png").string();
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--output", output, "--stats"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(c.args.front() + (c.args.size() > 1 ? " " + c.args[1] : ""));
    expect_usage_error(run(args), c.problem);
    EXPECT_TRUE(pictures_left().empty());
  }
}

TEST_F(RenderCli, UnwritableOutputFailsWithStatusOneBeforeRendering) {
  std::ofstream(scratch_ / "plain-file") << "not a folder";
  const std::vector<std::string> outputs = {
      (scratch_ / "missing-folder" / "out.png").string(),
      (scratch_ / "plain-file" / "out.png").string(),
      "/proc/aerolume-render-test.png",  // not writable, even by root
      pictures_.string(),                // a folder, not a file
  };
  for (const char* option : {"--output", "--animation"})
  for (const std::string& output : outputs) {
    SCOPED_TRACE(std::string(option) + " " + output);
    // Many frames at a large size: the refusal must come before any of them (rendering
    // them first would run past the test's time limit).
    const Outcome r = run({"--size", "2048x2048", "--frames", "10000000", option, output});
    EXPECT_EQ(r.status, 1);
    const std::vector<std::string> lines = lines_of(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_NE(lines[0].find("cannot write " + output), std::string::npos) << lines[0];
    EXPECT_EQ(r.out, "");
    if (output != pictures_.string()) {
      EXPECT_FALSE(fs::exists(output));
    }
  }
  EXPECT_TRUE(pictures_left().empty());
  EXPECT_FALSE(fs::exists(scratch_ / "missing-folder"));
}

TEST_F(RenderCli, AnimationKeepsOneFrameInKAtThePictureSize) {
  const fs::path path = pictures_ / "stream.webp";
  // The camera orbits so that every kept frame differs from the one before (the encoder
  // merges a frame identical to its predecessor into it).
  const Outcome r = run({"--seed", "4", "--auto-orbit", "--frames", "61", "--every", "30",
                         "--size", "64x48", "--animation", path.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  const WebPData data{bytes.data(), bytes.size()};
  WebPAnimDecoderOptions options;
  ASSERT_TRUE(WebPAnimDecoderOptionsInit(&options));
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  ASSERT_NE(decoder, nullptr) << "not an animated WebP";
  WebPAnimInfo info;
  ASSERT_TRUE(WebPAnimDecoderGetInfo(decoder, &info));
  WebPAnimDecoderDelete(decoder);
  EXPECT_EQ(info.frame_count, 3u);  // frames 1, 31 and 61
  EXPECT_EQ(info.canvas_width, 64u);
  EXPECT_EQ(info.canvas_height, 48u);
  EXPECT_EQ(pictures_left(), std::vector<std::string>{"stream.webp"});
}

TEST_F(RenderCli, NoGlContextIsOneClearLineAndStatusOne) {
  // With no EGL vendor library to load there is no display and so no context.
  const fs::path output = pictures_ / "out.png";
  const Outcome r = run({"--size", "32x24", "--output", output.string()},
                        {"__EGL_VENDOR_LIBRARY_FILENAMES=" + (scratch_ / "none.json").string()});
  EXPECT_EQ(r.status, 1);
  const std::vector<std::string> lines = lines_of(r.err);
  ASSERT_EQ(lines.size(), 1u) << r.err;
  EXPECT_NE(lines[0].find("no GL context"), std::string::npos) << lines[0];
  EXPECT_TRUE(pictures_left().empty());
}

TEST_F(RenderCli, SameSeedSizeAndFramesGiveTheSameBytes) {
  const fs::path a = pictures_ / "a.png", b = pictures_ / "b.png";
  const std::vector<std::string> common = {"--seed", "1234", "--size", "96x64", "--frames", "3"};
  std::vector<std::string> args = common;
  args.insert(args.end(), {"--output", a.string()});
  ASSERT_EQ(run(args).status, 0);
  args = common;
  args.insert(args.end(), {"--output", b.string()});
  ASSERT_EQ(run(args).status, 0);
  const std::string first = slurp(a);
  EXPECT_FALSE(first.empty());
  EXPECT_TRUE(first == slurp(b)) << "the two pictures differ";
}

TEST_F(RenderCli, PictureHasTheRequestedSizeAndSkyInTheTopLeftCorner) {
  const fs::path output = pictures_ / "shot.png";
  const Outcome r = run({"--seed", "7", "--size", "120x90", "--frames", "2", "--output",
                         output.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");  // no progress bar when stderr is not a terminal
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(pictures_left(), std::vector<std::string>{"shot.png"});  // no temporary left
  RgbImage image;
  std::string error;
  ASSERT_TRUE(read_png(output.string(), &image, &error)) << error;
  EXPECT_EQ(image.width, 120);
  EXPECT_EQ(image.height, 90);
  const std::uint8_t* corner = image.at(0, 0);
  EXPECT_NEAR(corner[0], 51, 1);
  EXPECT_NEAR(corner[1], 128, 1);
  EXPECT_NEAR(corner[2], 255, 1);
}

TEST_F(RenderCli, StatsAreATableOrOneJsonObject) {
  const std::vector<std::string> common = {"--seed", "99", "--size", "32x24", "--frames", "3"};
  std::vector<std::string> args = common;
  args.push_back("--stats");
  Outcome r = run(args);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("frames              3\n", 0), 0u) << r.out;
  for (const char* row : {"wall time", "frames per second", "frame time median",
                          "frame time p95", "frame time max", "first frame",
                          "simulation median", "start-up", "peak memory"})
    EXPECT_NE(r.out.find(row), std::string::npos) << row;
  // Three passes neither spawn nor retire: the forty start-up balloons remain.
  EXPECT_NE(r.out.find("\nballoons            40\n"), std::string::npos) << r.out;

  // --json alone or with --stats: the same figures as one object on one line.
  for (const std::vector<std::string>& flags :
       {std::vector<std::string>{"--json"}, std::vector<std::string>{"--stats", "--json"}}) {
    args = common;
    args.insert(args.end(), flags.begin(), flags.end());
    r = run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 1u) << r.out;
    const std::string& json = lines[0];
    EXPECT_EQ(json.front(), '{');
    EXPECT_EQ(json.back(), '}');
    EXPECT_EQ(json.find('{', 1), std::string::npos) << "nested or repeated object";
    for (const char* key : {"\"wall_time_ms\": ", "\"frames_per_second\": ",
                            "\"frame_ms_median\": ", "\"frame_ms_p95\": ", "\"frame_ms_max\": ",
                            "\"first_frame_ms\": ", "\"simulation_us_median\": ",
                            "\"startup_ms\": ",
                            "\"peak_rss_kib\": "})
      EXPECT_NE(json.find(key), std::string::npos) << key;
    EXPECT_NE(json.find("\"balloons\": 40,"), std::string::npos) << json;
    // The simulation pass was measured inside the frames, and is a part of them.
    const double simulation_us = number_after(json, "\"simulation_us_median\": ");
    const double frame_ms = number_after(json, "\"frame_ms_median\": ");
    EXPECT_GT(simulation_us, 0.0) << json;
    EXPECT_LT(simulation_us, frame_ms * 1000.0) << json;
    EXPECT_NE(json.find("{\"frames\": 3, \"width\": 32, \"height\": 24, \"seed\": 99,"),
              std::string::npos) << json;
  }
}

}  // namespace
}  // namespace aerolume
