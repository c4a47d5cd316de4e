// The renderer's options through CLI11. Numbers are read as strict decimals (no sign,
// no hex or octal prefixes, no empty text) so that a typo is reported, not guessed at.
#include "renderer/render_options.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdint>
#include <vector>

#include "renderer/picture_formats.h"

#ifndef AEROLUME_VERSION
#define AEROLUME_VERSION "unknown"
#endif

namespace aerolume {

namespace {

constexpr const char* program = render_program;

// Reads the size once: on success the sides go straight into the options.
CLI::Validator size_reader(RenderOptions* options) {
  return CLI::Validator(
      [options](std::string& text) -> std::string {
        std::string error;
        return parse_size(text, &options->width, &options->height, &error) ? std::string() : error;
      },
      "", "size");
}

}  // namespace

ParsedRenderCommandLine parse_render_options(int argc, const char* const* argv) {
  ParsedRenderCommandLine parsed;
  RenderOptions& o = parsed.options;

  CLI::App app("Renders the Aerolume scene offscreen (EGL, no display needed): N frames of "
               "the real frame function, optionally saving the last one as a PNG picture, "
               "the frames as an animated WebP, or their timings.",
               program);
  app.footer(
      "--animation writes the frames as a looping animated WebP; with --every K only "
      "every K-th frame is kept. A single kept frame is written as a still WebP.\n"
      "--stats prints a table of timings and memory after the run; --json prints the same "
      "figures as one JSON object on stdout instead (alone or with --stats).\n"
      "A frame redraws only the balloons and ropes that moved since the last one (the "
      "pbuffer keeps its pixels), the first frame whole; the statistics say what share of "
      "the pixels the frames drew. --full-frames draws every pixel of every frame instead; "
      "the pictures are the same to the byte.\n"
      "Runs with the same seed, size and frame count and without --timed give identical "
      "pictures.\n"
      "A picture replaces its file whole once complete (through a symbolic link, the file it "
      "points to); a FIFO or a device such as /dev/null is written into as it is. SIGINT, "
      "SIGTERM, SIGHUP or SIGQUIT ends a run by that signal and leaves no partial file.\n"
      "Exit status: 0 done, 1 failure (no GL context, picture not written), 2 bad options.");
  app.set_version_flag("--version", std::string(program) + " " + AEROLUME_VERSION);
  app.add_option("--frames", o.frames, "Number of frames to render")
      ->type_name("N")
      ->capture_default_str()
      ->transform(decimal_check(1, max_frames, "a frame count"));
  app.add_option("--size", "Picture size in pixels, width x height")
      ->type_name("WxH")
      ->default_str(std::to_string(o.width) + "x" + std::to_string(o.height))
      ->check(size_reader(&o));
  add_scene_options(app, &o.scene);
  add_samples_option(app, &o.samples);
  add_full_frames_option(app, &o.full_frames);
  std::vector<const CLI::Option*> pictures;
  for (const PictureFormat& f : picture_formats())
    pictures.push_back(app.add_option(f.option, o.*f.path, f.help)
                           ->type_name(std::string("FILE") + f.extension));
  const CLI::Option* every =
      app.add_option("--every", o.every,
                     "Keep one frame in K for the animation (frames 1, K + 1, 2K + 1, ...), "
                     "each shown K times as long")
          ->type_name("K")
          ->capture_default_str()
          ->transform(decimal_check(1, max_every, "a frame interval"));
  app.add_flag("--stats", o.stats, "Print timings and peak memory after the run");
  app.add_flag("--json", o.json, "Print the statistics as one JSON object instead of a table");

  static_cast<ParseOutcome&>(parsed) = parse_command_line(app, argc, argv);
  if (!parsed.should_run) return parsed;
  int to_stdout = o.stats || o.json;
  std::string stdout_options;  // "--output -, --animation -"
  std::string problem;
  for (std::size_t i = 0; i < picture_formats().size(); ++i) {
    const PictureFormat& f = picture_formats()[i];
    to_stdout += o.*f.path == "-";
    stdout_options += std::string(i == 0 ? "" : ", ") + f.option + " -";
    if (problem.empty() && pictures[i]->count() > 0 && (o.*f.path).empty())
      problem = std::string(f.option) + ": '' names no file";
  }
  if (problem.empty() && every->count() > 0 && o.animation.empty())
    problem = "--every goes with --animation";
  if (problem.empty() && to_stdout > 1)
    problem = "only one of " + stdout_options + " and the statistics can go to standard output";
  if (problem.empty()) problem = picture_problem(o);
  if (!problem.empty()) static_cast<ParseOutcome&>(parsed) = usage_error(app, problem);
  return parsed;
}

}  // namespace aerolume
