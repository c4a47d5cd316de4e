// The renderer's options through CLI11. Numbers are read as strict decimals (no sign,
// no hex or octal prefixes, no empty text) so that a typo is reported, not guessed at.
#include "tools/render_options.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdint>
#include <sstream>

#ifndef AEROLUME_VERSION
#define AEROLUME_VERSION "unknown"
#endif

namespace aerolume {

const char* const usage_hint = "run 'aerolume-render --help' for the options";

namespace {

constexpr const char* program = "aerolume-render";

bool all_digits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// A decimal in [low, high]. Values past the type's range count as too large.
bool parse_decimal(std::string_view text, std::uint64_t low, std::uint64_t high,
                   std::uint64_t* value) {
  if (!all_digits(text)) return false;
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  if (v < low || v > high) return false;
  *value = v;
  return true;
}

// One side of a size: "-" and "0" are called out as such rather than as malformed.
bool parse_side(std::string_view text, const char* name, int* side, std::string* error) {
  const bool negative = !text.empty() && text.front() == '-';
  const std::string_view digits = negative ? text.substr(1) : text;
  if (!all_digits(digits)) {
    *error = "the " + std::string(name) + " '" + std::string(text) + "' is not a number";
    return false;
  }
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
  const bool too_large = ec == std::errc::result_out_of_range || v > max_side;
  if (negative || (ec == std::errc() && v == 0)) {
    *error = "the " + std::string(name) + " must be at least 1 pixel, not " + std::string(text);
    return false;
  }
  if (too_large) {
    *error = "the " + std::string(name) + " must be at most " + std::to_string(max_side) +
             " pixels, not " + std::string(text);
    return false;
  }
  *side = static_cast<int>(v);
  return true;
}

CLI::Validator size_check() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        int w = 0, h = 0;
        std::string error;
        return parse_size(text, &w, &h, &error) ? std::string() : error;
      },
      "", "size");
}

CLI::Validator decimal_check(std::uint64_t low, std::uint64_t high, std::string what) {
  return CLI::Validator(
      [low, high, what](std::string& text) -> std::string {
        std::uint64_t v = 0;
        if (parse_decimal(text, low, high, &v)) return std::string();
        return "'" + text + "' is not " + what + " from " + std::to_string(low) + " to " +
               std::to_string(high);
      },
      "", "decimal");
}

}  // namespace

bool parse_size(const std::string& text, int* width, int* height, std::string* error) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos || text.find_first_of("xX", x + 1) != std::string::npos) {
    *error = "'" + text + "' is not a size of the form WxH (e.g. 1024x768)";
    return false;
  }
  const std::string_view view(text);
  return parse_side(view.substr(0, x), "width", width, error) &&
         parse_side(view.substr(x + 1), "height", height, error);
}

ParsedCommandLine parse_render_options(int argc, const char* const* argv) {
  ParsedCommandLine parsed;
  RenderOptions& o = parsed.options;
  std::string frames_text = std::to_string(o.frames);
  std::string size_text = std::to_string(o.width) + "x" + std::to_string(o.height);
  std::string seed_text;

  CLI::App app("Renders the Aerolume scene offscreen (EGL, no display needed): N frames of "
               "the real frame function, optionally saving the last one as a PNG picture.",
               program);
  app.footer(
      "--stats prints a table of timings and memory after the run; --json prints the same "
      "figures as one JSON object on stdout instead (alone or with --stats).\n"
      "Runs with the same seed, size and frame count and without --timed give identical "
      "pictures.\n"
      "Exit status: 0 done, 1 failure (no GL context, picture not written), 2 bad options.");
  app.set_version_flag("--version", std::string(program) + " " + AEROLUME_VERSION);
  app.add_option("--frames", frames_text, "Number of frames to render")
      ->type_name("N")
      ->capture_default_str()
      ->check(decimal_check(1, max_frames, "a frame count"));
  app.add_option("--size", size_text, "Picture size in pixels, width x height")
      ->type_name("WxH")
      ->capture_default_str()
      ->check(size_check());
  app.add_option("--seed", seed_text,
                 "Seed of the random sequence behind clouds, wind and balloons "
                 "[default: the millisecond clock]")
      ->type_name("S")
      ->check(decimal_check(0, UINT32_MAX, "a seed"));
  app.add_flag("--timed", o.timed, "Timed steps: the simulation step follows frame time");
  app.add_flag("--auto-orbit", o.auto_orbit, "Orbit the camera by one step every frame");
  app.add_option("--output", o.output, "Write the last frame to this PNG file")
      ->type_name("FILE.png");
  app.add_flag("--stats", o.stats, "Print timings and peak memory after the run");
  app.add_flag("--json", o.json, "Print the statistics as one JSON object instead of a table");

  std::ostringstream out, err;
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      parsed.exit_status = app.exit(e, out, err);  // --help or --version
    } else {
      parsed.exit_status = usage_error_status;
      err << program << ": " << e.what() << "\n" << usage_hint << "\n";
    }
    parsed.out_text = out.str();
    parsed.err_text = err.str();
    return parsed;
  }

  // The validators above accepted these texts; the checks below only guard the
  // conversions (CLI11 does not pass an empty value through a validator).
  std::uint64_t value = 0;
  std::string problem;
  if (!parse_decimal(frames_text, 1, max_frames, &value))
    problem = "--frames: '" + frames_text + "' is not a frame count";
  o.frames = static_cast<int>(value);
  if (problem.empty() && !parse_size(size_text, &o.width, &o.height, &problem))
    problem = "--size: " + problem;
  if (problem.empty() && app.count("--seed") > 0) {
    if (parse_decimal(seed_text, 0, UINT32_MAX, &value))
      o.seed = static_cast<std::uint32_t>(value);
    else
      problem = "--seed: '" + seed_text + "' is not a seed";
  }
  if (!problem.empty()) {
    parsed.exit_status = usage_error_status;
    parsed.err_text = std::string(program) + ": " + problem + "\n" + usage_hint + "\n";
    return parsed;
  }
  parsed.run = true;
  return parsed;
}

}  // namespace aerolume
