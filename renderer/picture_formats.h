// The picture formats the renderer writes, one row each. The options, the checks of a
// picture's name and size, and the run all read this table, so that a new format is
// its output's own file and one row.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "renderer/picture_output.h"
#include "renderer/render_options.h"

namespace aerolume {

struct PictureFormat {
  const char* option;                // the option that names the file: "--output"
  std::string RenderOptions::*path;  // where the options keep that name; empty: none
  const char* extension;             // the name's ending, in lower case: ".png"
  const char* what;  // named when another option's file ends in the extension: "a PNG picture"
  const char* help;  // the option's line in --help
  // What the format cannot hold at this size, or "" (checked before the run); null when
  // the renderer's own limits are the format's.
  std::string (*unfit)(int width, int height);
  std::unique_ptr<PictureOutput> (*make)(const RenderOptions& options);
};

// In the order the options are declared, checked and opened.
std::span<const PictureFormat> picture_formats();

// The first picture whose name does not say its format or whose format cannot hold the
// size, as the line that refuses it says ("--output: 'x.webp' does not end in .png (an
// animated WebP is written by --animation)"); "" when there is none.
std::string picture_problem(const RenderOptions& options);

}  // namespace aerolume
