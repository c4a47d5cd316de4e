// The headless renderer's command line: its own options beside the ones it shares with
// the program (run/options.h), declared once through CLI11.
#pragma once

#include <string>

#include "run/options.h"

namespace aerolume {

// The name every line of the renderer's own starts with, and its --version names.
constexpr const char* render_program = "aerolume-render";

struct RenderOptions {
  int frames = 1;
  int width = 1024;
  int height = 768;
  SceneOptions scene;  // seed, timed steps, auto-orbit
  std::string output;     // empty: no picture is written
  std::string animation;  // empty: no animation is written
  int every = 1;          // the animation keeps frames 0, K, 2K, ...
  bool stats = false;
  bool json = false;
  int samples = 0;  // samples a pixel asked of the pbuffer; 0: no multisampling
  bool full_frames = false;  // every frame draws every pixel, none only what moved
};

// Largest frame count the renderer accepts before it opens a context; the GL maximum
// viewport is checked against the size (at most max_side, run/options.h) once the context
// exists.
constexpr int max_frames = 10'000'000;

// An animation plays the rendered frames at 25 a second: a kept frame lasts K times
// this with --every K.
constexpr int animation_frame_ms = 40;
// WebP gives a frame 24 bits of milliseconds (4.6 hours): the longest a kept frame lasts.
constexpr int max_webp_frame_ms = 0xFFFFFF;
constexpr int max_every = max_webp_frame_ms / animation_frame_ms;

// What parsing decided, and the options a run receives.
struct ParsedRenderCommandLine : ParseOutcome {
  RenderOptions options;
};

ParsedRenderCommandLine parse_render_options(int argc, const char* const* argv);

}  // namespace aerolume
