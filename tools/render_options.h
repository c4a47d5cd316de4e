// The headless renderer's command line: the options, their defaults and their checks,
// declared once through CLI11 (which also builds --help from them).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace aerolume {

struct RenderOptions {
  int frames = 1;
  int width = 1024;
  int height = 768;
  std::optional<std::uint32_t> seed;  // empty: seeded from the millisecond clock
  bool timed = false;
  bool auto_orbit = false;
  std::string output;  // empty: no picture is written
  bool stats = false;
  bool json = false;
};

// Largest frame count and picture side the renderer accepts before it opens a context;
// the GL maximum viewport is checked against the size once the context exists.
constexpr int max_frames = 10'000'000;
constexpr int max_side = 16384;

// What parsing decided. When run is false the process exits with exit_status after
// printing out_text on stdout and err_text on stderr (help, version, or an error).
struct ParsedCommandLine {
  bool run = false;
  int exit_status = 0;
  std::string out_text;
  std::string err_text;
  RenderOptions options;
};

ParsedCommandLine parse_render_options(int argc, const char* const* argv);

// "WxH" with both sides decimal, 1 to max_side. On failure says why in *error.
bool parse_size(const std::string& text, int* width, int* height, std::string* error);

// The error status for bad input, and the hint printed under every such error.
constexpr int usage_error_status = 2;
extern const char* const usage_hint;

}  // namespace aerolume
