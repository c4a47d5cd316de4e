// The command-line options of both programs, declared once through CLI11 (which also
// builds --help from them): the options they share, their defaults, checks and messages,
// and the way a parse ends (run, help or version, or one line naming the problem).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "run/scene_setup.h"

namespace CLI {
class App;
class Option;
class Validator;
}  // namespace CLI

namespace aerolume {

// Adds --seed, --timed and --auto-orbit; the values land in *options once parsed.
void add_scene_options(CLI::App& app, SceneOptions* options);

// Adds --samples N: the samples a pixel asked of the framebuffer (0, 2, 4, 8 or 16;
// 0, the default, is today's framebuffer without multisampling).
CLI::Option* add_samples_option(CLI::App& app, int* samples);
// Adds --full-frames: every frame draws every pixel, as shells that know nothing of
// their buffers do, instead of only what moved since the frame a buffer holds.
CLI::Option* add_full_frames_option(CLI::App& app, bool* full_frames);
// The one line that says so when the samples taken are not those --samples asked for
// (samples_taken_note), through the program's reporter. Every shell and the renderer
// say it here, once they know what their framebuffer took.
void report_samples_taken(int asked, int taken);

// True for a non-empty text of the digits 0 to 9 alone.
bool all_digits(std::string_view text);

// A transform for a strict decimal from low to high: digits only (no sign, no hex or
// octal prefix, no empty text), so that a typo is reported rather than guessed at; an
// accepted text is rewritten without leading zeros for CLI11 to convert. Refusal reads
// "'TEXT' is not WHAT from LOW to HIGH".
CLI::Validator decimal_check(std::uint64_t low, std::uint64_t high, const std::string& what);

// The largest side of a picture or a frame the programs accept, in pixels, before a
// context is made; GL's largest viewport is checked against the size once it is.
constexpr int max_side = 16384;
// "WxH" with both sides decimal, 1 to max_side. On failure says why in *error.
bool parse_size(const std::string& text, int* width, int* height, std::string* error);

// The error status for bad input, and the hint printed under every such error.
constexpr int usage_error_status = 2;
std::string usage_hint(const std::string& program);

// What parsing decided. When should_run is false the process exits with exit_status
// after printing out_text on stdout and err_text on stderr (help, version, or an error).
struct ParseOutcome {
  bool should_run = false;
  int exit_status = 0;
  std::string out_text;
  std::string err_text;
};

// The first misuse of the command line's words, in the programs' own words, or an empty
// text: "'WORD' is not an option", "--fps takes no value" (switches take none),
// "--seed needs a value", "--seed was given twice" (but for an option whose policy takes
// all, which gathers every value, as --frames-to does). What each value means is left to
// the options' own checks.
// It reads the words before CLI11 does because CLI11 2.1 takes a known option's name as
// the value of the option before it: `--output --fps` would set the output to "--fps"
// and never turn the frame-rate line on, where a person meant two options and forgot a
// value. Do not fold it into the parse without a test of that case.
std::string misuse_of(const CLI::App& app, int argc, const char* const* argv);

// Parses argv with app. --help and --version end with status 0 and their text; an error
// (a misuse, or a value an option's check refuses) ends with usage_error_status,
// "PROGRAM: problem" and the hint.
ParseOutcome parse_command_line(CLI::App& app, int argc, const char* const* argv);
// The same ending for a problem found after parsing (options that exclude each other).
ParseOutcome usage_error(const CLI::App& app, const std::string& problem);

}  // namespace aerolume
