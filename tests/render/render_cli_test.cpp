// aerolume-render run as a user runs it: exit statuses, the messages on stderr, what is
// left on disk after a failure, identical pictures from identical runs, and the picture
// and statistics a successful run produces.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
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

  // Starts the renderer with stdout and stderr going to files; extra_env is added to the
  // environment as NAME=value entries, and a file_size_limit (bytes) is set when not 0,
  // as `ulimit -f` sets it: SIGXFSZ keeps its default action. The signals that end a run
  // have their default actions whatever the test's own are, those in ignored aside, which
  // the renderer starts with ignored, as under nohup. No core file is written.
  pid_t start(const std::vector<std::string>& args, const std::vector<std::string>& extra_env = {},
              rlim_t file_size_limit = 0, const std::vector<int>& ignored = {}) {
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
    const std::string out_path = (scratch_ / "stdout").string();
    const std::string err_path = (scratch_ / "stderr").string();
    const pid_t pid = fork();
    if (pid == 0) {  // only async-signal-safe calls until exec
      const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
      for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ})
        signal(signal_number, SIG_DFL);
      for (const int signal_number : ignored) signal(signal_number, SIG_IGN);
      const rlimit no_core{0, 0};
      if (setrlimit(RLIMIT_CORE, &no_core) != 0) _exit(126);
      if (file_size_limit != 0) {
        const rlimit limit{file_size_limit, file_size_limit};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
      }
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    EXPECT_GT(pid, 0) << "cannot start " << argv[0];
    return pid;
  }

  // Waits for the renderer to end; its status, and what it wrote.
  Outcome finish(pid_t pid, int* wait_status = nullptr) {
    Outcome outcome;
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return outcome;
    if (wait_status != nullptr) *wait_status = status;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.out = slurp(scratch_ / "stdout");
    outcome.err = slurp(scratch_ / "stderr");
    return outcome;
  }

  Outcome run(const std::vector<std::string>& args,
              const std::vector<std::string>& extra_env = {}, rlim_t file_size_limit = 0) {
    return finish(start(args, extra_env, file_size_limit));
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
      {{"--bogus"}, "'--bogus' is not an option"},
      {{"stray"}, "'stray' is not an option"},
      {{"--timed=false"}, "--timed takes no value"},
      {{"--json=1"}, "--json takes no value"},
      {{"--frames"}, "--frames needs a value"},
      {{"--seed="}, "--seed needs a value"},
      {{"--seed", "--timed"}, "--seed needs a value"},
      {{"--seed", "1", "--seed", "2"}, "--seed was given twice"},
      {{"--every", "2"}, "--every goes with --animation"},
      {{"--animation", "-"}, "only one of --output -, --animation - and the statistics can go"},
      {{"--animation", "pictures/x.PNG"},
       "/pictures/x.PNG' does not end in .webp (a PNG picture is written by --output)"},
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
      {{"--seed"}, "--seed needs a value"},
      {{"--output", ""}, "--output: '' names no file"},
      {{"--animation", ""}, "--animation: '' names no file"},
      // WebP times a frame in 24 bits of milliseconds: 419430 frames of 40 ms at most.
      {{"--animation", "pictures/x.webp", "--every", "419431"},
       "'419431' is not a frame interval from 1 to 419430"},
      {{"--animation", "pictures/x.webp", "--size", "16384x16"},
       "--animation: a WebP animation is at most 16383 pixels on each side, not 16384x16"},
  };
  const std::string output = (pictures_ / "out.png").string();
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--stats"};
    if (c.args.front() != "--output") args.insert(args.end(), {"--output", output});
    for (const std::string& a : c.args)  // names in pictures/ are made absolute
      args.push_back(a.rfind("pictures/", 0) == 0 ? (scratch_ / a).string() : a);
    SCOPED_TRACE(c.args.front() + " " + (c.args.size() > 1 ? c.args.back() : ""));
    expect_usage_error(run(args), c.problem);
    EXPECT_TRUE(pictures_left().empty());
    for (const auto& entry : fs::directory_iterator(pictures_)) fs::remove(entry.path());
  }
}

TEST_F(RenderCli, UnwritableOutputFailsWithStatusOneBeforeRendering) {
  std::ofstream(scratch_ / "plain-file") << "not a folder";
  for (const auto& [option, extension] : {std::pair{"--output", ".png"}, {"--animation", ".webp"}})
  for (const std::string& output : {
           (scratch_ / "missing-folder" / "out").string() + extension,
           (scratch_ / "plain-file" / "out").string() + extension,
           "/proc/aerolume-render-test" + std::string(extension),  // not writable, even by root
           pictures_.string(),                                      // a folder, not a file
       }) {
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

// More samples than the driver offers: the picture is drawn with the nearest below, and
// one line says so, the program's name once (llvmpipe offers 4 at most).
TEST_F(RenderCli, SamplesNotOfferedAreSaidInOneLine) {
  // In the sanitizer build, leaks are checked except the GL driver's own (see the file).
  const Outcome r = run({"--samples", "16", "--size", "32x32", "--frames", "1", "--output",
                         (pictures_ / "s.png").string()},
                        {"LSAN_OPTIONS=suppressions=" AEROLUME_TEST_DIR
                         "/render/gl_driver_leaks.supp"});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string said = "aerolume-render: 16 samples a pixel are not available here; using ";
  // Only the program's own lines: the sanitizer build adds its leak check's summary.
  std::vector<std::string> lines;
  for (const std::string& line : lines_of(r.err))
    if (line.rfind("aerolume-render: ", 0) == 0) lines.push_back(line);
  ASSERT_EQ(lines.size(), 1u) << r.err;
  EXPECT_EQ(lines[0].substr(0, said.size()), said);
  EXPECT_NE(std::string("8 4 2 none").find(lines[0].substr(said.size())), std::string::npos)
      << lines[0];
}

// What a picture's path names decides how it is written: "-" is standard output, a
// symbolic link leads to the file it points to (replaced, the link kept), a FIFO is
// written into and stays a FIFO, a new file gets the mode the umask leaves; a name that
// says another format is refused, and a write that fails says why.
TEST_F(RenderCli, PicturesGoWhereThePathPoints) {
  const fs::path real = pictures_ / "real.png", link = pictures_ / "link.png";
  std::ofstream(real) << "old";
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("real.png", link);
  const fs::path fifo = pictures_ / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Opened read-write it never blocks, and keeps the renderer's open from blocking; a
  // small picture fits in the pipe's buffer, to be read after the run.
  const int fifo_fd = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fifo_fd, 0);
  const auto fifo_bytes = [fifo_fd] {
    std::string bytes(1 << 16, '\0');
    const ssize_t n = read(fifo_fd, bytes.data(), bytes.size());
    return bytes.substr(0, n > 0 ? static_cast<std::size_t>(n) : 0);
  };
  const auto is_png = [](const std::string& bytes) { return bytes.rfind("\x89PNG\r\n", 0) == 0; };
  const std::string big = (pictures_ / "big.png").string(), webp = (pictures_ / "x.webp").string();
  const std::string gif = (pictures_ / "x.gif").string();
  // The longest name a folder holds, with no room left for a temporary suffix.
  const std::string longest_name = std::string(251, 'n') + ".png";

  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;  // all of stderr
    std::vector<std::string> left;  // in pictures/, sorted
    std::function<void(const Outcome&)> check;
    rlim_t file_size_limit = 0;
  };
  const std::vector<Case> cases = {
      {{"--output", "-"}, 0, "", {"link.png", "pipe", "real.png"},
       [&](const Outcome& r) { EXPECT_TRUE(is_png(r.out)); }},
      {{"--animation", "-"}, 0, "", {"link.png", "pipe", "real.png"},
       [&](const Outcome& r) { EXPECT_EQ(r.out.substr(8, 4), "WEBP"); }},
      {{"--output", link.string()}, 0, "", {"link.png", "pipe", "real.png"},
       [&](const Outcome&) {
         EXPECT_TRUE(fs::is_symlink(link));
         EXPECT_TRUE(is_png(slurp(real)));
         EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
                   fs::perms::owner_read | fs::perms::owner_write);  // the file's own mode
       }},
      {{"--output", fifo.string()}, 0, "", {"link.png", "pipe", "real.png"},
       [&](const Outcome&) {
         EXPECT_TRUE(fs::is_fifo(fifo));
         EXPECT_TRUE(is_png(fifo_bytes()));
       }},
      {{"--output", (pictures_ / "new.png").string()}, 0, "",
       {"link.png", "new.png", "pipe", "real.png"},
       [&](const Outcome&) {  // made under the umask 027 the test sets
         EXPECT_EQ(fs::status(pictures_ / "new.png").permissions() & fs::perms::all,
                   fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
       }},
      {{"--output", webp}, 2,
       "aerolume-render: --output: '" + webp + "' does not end in .png (an animated WebP is "
       "written by --animation)\n" + std::string(hint) + "\n",
       {"link.png", "new.png", "pipe", "real.png"}, nullptr},
      {{"--animation", gif}, 2,  // no format's extension: no other option named
       "aerolume-render: --animation: '" + gif + "' does not end in .webp\n" +
           std::string(hint) + "\n",
       {"link.png", "new.png", "pipe", "real.png"}, nullptr},
      {{"--size", "400x300", "--output", big}, 1,
       "aerolume-render: cannot write " + big + ": File too large\n",
       {"link.png", "new.png", "pipe", "real.png"}, nullptr, 4096},
      {{"--output", (pictures_ / longest_name).string()}, 0, "",
       {"link.png", "new.png", longest_name, "pipe", "real.png"},
       [&](const Outcome&) { EXPECT_TRUE(is_png(slurp(pictures_ / longest_name))); }},
      // The longest interval WebP can time; one kept frame makes a still picture.
      {{"--every", "419430", "--animation", webp}, 0, "",
       {"link.png", "new.png", longest_name, "pipe", "real.png", "x.webp"},
       [&](const Outcome&) {
         const std::string bytes = slurp(webp);
         const WebPData data{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
         WebPDemuxer* demuxer = WebPDemux(&data);
         ASSERT_NE(demuxer, nullptr) << "not a WebP file";
         EXPECT_FALSE(WebPDemuxGetI(demuxer, WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG);
         EXPECT_EQ(WebPDemuxGetI(demuxer, WEBP_FF_FRAME_COUNT), 1u);
         EXPECT_EQ(WebPDemuxGetI(demuxer, WEBP_FF_CANVAS_WIDTH), 40u);
         WebPDemuxDelete(demuxer);
       }},
  };
  const mode_t umask_before = umask(027);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[c.args.size() - 2] + " " + c.args.back());
    std::vector<std::string> args = {"--seed", "2"};
    if (c.args.front() != "--size") args.insert(args.end(), {"--size", "40x30"});
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome r = run(args, {}, c.file_size_limit);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.err, c.err);
    std::vector<std::string> left = pictures_left();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, c.left);
    if (c.check) c.check(r);
  }
  umask(umask_before);
  close(fifo_fd);
}

// SIGINT, SIGTERM, SIGHUP or SIGQUIT: the run ends by that signal, its temporary files
// gone, and the file it would have replaced untouched. A signal the run was started with
// ignored (nohup, a caller's own choice) stays ignored: the run goes on until SIGINT.
TEST_F(RenderCli, AnInterruptedRenderLeavesNothingBehind) {
  const fs::path kept = pictures_ / "kept.webp";
  struct Case {
    int signal_number;
    bool ignored_by_caller;
  };
  for (const Case& c : {Case{SIGINT, false}, Case{SIGTERM, false}, Case{SIGHUP, false},
                        Case{SIGQUIT, false}, Case{SIGHUP, true}, Case{SIGTERM, true}}) {
    SCOPED_TRACE(std::string(strsignal(c.signal_number)) +
                 (c.ignored_by_caller ? ", ignored by the caller" : ""));
    for (const auto& entry : fs::directory_iterator(pictures_))  // a failed row's files
      fs::remove(entry.path());
    std::ofstream(kept) << "the picture of an earlier run";
    const pid_t pid = start({"--size", "32x24", "--frames", "10000000", "--animation",
                             kept.string(), "--output", (pictures_ / "new.png").string()},
                            {}, 0,
                            c.ignored_by_caller ? std::vector<int>{c.signal_number}
                                                : std::vector<int>{});
    // Both temporary files are made before the first frame.
    for (int i = 0; i < 1000 && pictures_left().size() < 3; ++i) usleep(10'000);
    EXPECT_EQ(pictures_left().size(), 3u);
    kill(pid, c.signal_number);
    int ending_signal = c.signal_number;
    int wait_status = 0;
    if (c.ignored_by_caller) {
      usleep(300'000);  // time enough to end, had the signal been taken
      if (waitpid(pid, &wait_status, WNOHANG) != 0) {
        ADD_FAILURE() << "the run ended on an ignored signal: " << wait_status;
        continue;
      }
      ending_signal = SIGINT;
      kill(pid, ending_signal);
    }
    const Outcome r = finish(pid, &wait_status);
    EXPECT_TRUE(WIFSIGNALED(wait_status) && WTERMSIG(wait_status) == ending_signal)
        << r.status << " " << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(pictures_left(), std::vector<std::string>{"kept.webp"});
    EXPECT_EQ(slurp(kept), "the picture of an earlier run");
  }
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

// Frames that redraw only what moved give the pictures of frames drawn whole, to the
// byte: the PNG of the last frame and every kept frame of the animation, for several
// seeds and sizes, with and without multisampling; and they draw a small share of the
// pixels (a body bounded by a box around it, not a sphere around its tip), where
// --full-frames draws them all.
TEST_F(RenderCli, PartialFramesGiveTheBytesOfFullFrames) {
  struct Case {
    const char* seed;
    const char* size;
    const char* samples;
    const char* frames;
    double most_drawn;  // percent of the pixels, the first frame's whole included
  };
  // A small picture's balloons crowd it more: a larger share of it is damage.
  const Case cases[] = {{"7", "640x480", "0", "60", 8},
                        {"7", "640x480", "4", "60", 8},
                        {"3", "333x217", "4", "80", 9},
                        {"12", "160x120", "0", "150", 20}};
  for (const Case& c : cases) {
    const std::string row = std::string("seed ") + c.seed + ", " + c.size + ", " + c.samples + " samples";
    std::string pictures[2][2];  // PNG and WebP, partial then full
    double drawn[2] = {0, 0};
    for (int full = 0; full < 2; ++full) {
      const fs::path png = pictures_ / "last.png", webp = pictures_ / "frames.webp";
      std::vector<std::string> args = {"--seed", c.seed, "--size", c.size, "--samples", c.samples,
                                       "--frames", c.frames, "--output", png.string(), "--animation",
                                       webp.string(), "--every", "7", "--json"};
      if (full == 1) args.push_back("--full-frames");
      // In the sanitizer build, leaks are checked except the GL driver's own with samples.
      const Outcome r = run(args, {"LSAN_OPTIONS=suppressions='" AEROLUME_TEST_DIR
                                   "/render/gl_driver_leaks.supp'"});
      ASSERT_EQ(r.status, 0) << row << ": " << r.err;
      pictures[full][0] = slurp(png);
      pictures[full][1] = slurp(webp);
      drawn[full] = number_after(r.out, "\"drawn_share_percent_mean\": ");
    }
    EXPECT_FALSE(pictures[0][0].empty() || pictures[0][1].empty()) << row;
    EXPECT_TRUE(pictures[0][0] == pictures[1][0]) << row << ": the PNG pictures differ";
    EXPECT_TRUE(pictures[0][1] == pictures[1][1]) << row << ": the animations differ";
    EXPECT_LT(drawn[0], c.most_drawn) << row;
    EXPECT_EQ(drawn[1], 100.0) << row;
  }
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
                          "simulation median", "drawn share mean", "start-up", "peak memory"})
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
                            "\"drawn_share_percent_mean\": ", "\"startup_ms\": ",
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
