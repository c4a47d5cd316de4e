// The shared options and the end of a parse.
#include "run/options.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <map>
#include <sstream>
#include <string>

#include "render/framebuffer_samples.h"
#include "run/failure.h"

namespace aerolume {

bool all_digits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

namespace {

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

CLI::Validator decimal_check(std::uint64_t low, std::uint64_t high, const std::string& what) {
  return CLI::Validator(
      [low, high, what](std::string& text) -> std::string {
        std::uint64_t v = 0;
        const char* end = text.data() + text.size();
        const auto [stop, ec] = std::from_chars(text.data(), end, v);
        if (all_digits(text) && ec == std::errc() && stop == end && v >= low && v <= high) {
          text = std::to_string(v);  // without leading zeros, which CLI11 would read as octal
          return std::string();
        }
        return "'" + text + "' is not " + what + " from " + std::to_string(low) + " to " +
               std::to_string(high);
      },
      "", "decimal");
}

void add_scene_options(CLI::App& app, SceneOptions* options) {
  // CLI11 converts the seed after the transform has accepted and rewritten its text, so
  // the conversion cannot fail; the callback keeps "not given" apart from any seed.
  app.add_option_function<std::uint32_t>(
         "--seed", [options](const std::uint32_t& seed) { options->seed = seed; },
         "Seed of the random sequence behind clouds, wind and balloons "
         "[default: the millisecond clock]")
      ->type_name("S")
      ->transform(decimal_check(0, UINT32_MAX, "a seed"));
  app.add_flag("--timed", options->timed,
               "Timed steps: the simulation step follows frame time");
  app.add_flag("--auto-orbit", options->auto_orbit, "Orbit the camera by one step every frame");
}

CLI::Option* add_samples_option(CLI::App& app, int* samples) {
  const CLI::Validator sample_count(
      [](std::string& text) -> std::string {
        for (const char* count : {"0", "2", "4", "8", "16"})
          if (text == count) return std::string();
        return "'" + text + "' is not a sample count (0, 2, 4, 8 or 16)";
      },
      "", "sample count");
  return app.add_option("--samples", *samples,
                        "Smooth edges: ask for a framebuffer with N samples a pixel (0, 2, 4, 8 "
                        "or 16); where there is none with N, the nearest below is taken "
                        "[default: 0, no multisampling]")
      ->type_name("N")
      ->check(sample_count);
}

CLI::Option* add_full_frames_option(CLI::App& app, bool* full_frames) {
  return app.add_flag("--full-frames", *full_frames,
                      "Draw every pixel of every frame; by default, while the camera stands "
                      "still, a frame redraws only the balloons and ropes that moved (the "
                      "picture is the same)");
}

void report_samples_taken(int asked, int taken) {
  const std::string note = samples_taken_note(asked, taken);
  if (!note.empty()) report_note("%s", note.c_str());
}

std::string usage_hint(const std::string& program) {
  return "run '" + program + " --help' for the options";
}

ParseOutcome usage_error(const CLI::App& app, const std::string& problem) {
  ParseOutcome outcome;
  outcome.exit_status = usage_error_status;
  outcome.err_text = app.get_name() + ": " + problem + "\n" + usage_hint(app.get_name()) + "\n";
  return outcome;
}

std::string misuse_of(const CLI::App& app, int argc, const char* const* argv) {
  std::map<const CLI::Option*, int> given;
  bool options_ended = false;  // after "--" every word is an operand, and none is taken
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (options_ended || word.size() < 2 || word[0] != '-')
      return "'" + word + "' is not an option";
    if (word == "--") {
      options_ended = true;
      continue;
    }
    const std::size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    const CLI::Option* option = app.get_option_no_throw(name);
    if (option == nullptr) return "'" + name + "' is not an option";
    if (option->get_expected_max() == 0) {  // a switch
      if (equals != std::string::npos) return name + " takes no value";
      continue;
    }
    // Only an option that gathers every value it is given may come again.
    if (++given[option] > 1 && option->get_multi_option_policy() != CLI::MultiOptionPolicy::TakeAll)
      return name + " was given twice";
    if (equals != std::string::npos) {
      if (equals + 1 == word.size()) return name + " needs a value";
      continue;
    }
    // The next word is the value, unless there is none or it is an option itself.
    if (i + 1 >= argc) return name + " needs a value";
    const std::string next = argv[i + 1];
    if (next.size() > 2 && next.rfind("--", 0) == 0 &&
        app.get_option_no_throw(next.substr(0, next.find('='))) != nullptr)
      return name + " needs a value";
    ++i;
  }
  return std::string();
}

ParseOutcome parse_command_line(CLI::App& app, int argc, const char* const* argv) {
  if (const std::string misuse = misuse_of(app, argc, argv); !misuse.empty())
    return usage_error(app, misuse);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() != static_cast<int>(CLI::ExitCodes::Success))
      return usage_error(app, e.what());
    ParseOutcome outcome;  // --help or --version
    std::ostringstream out, err;
    outcome.exit_status = app.exit(e, out, err);
    outcome.out_text = out.str();
    outcome.err_text = err.str();
    return outcome;
  }
  ParseOutcome outcome;
  outcome.should_run = true;
  return outcome;
}

}  // namespace aerolume
