// One run of the headless renderer: context, scene start-up, N frames, the picture and
// the statistics. Errors are reported on stderr as one line; the result is the exit status.
#pragma once

#include <string>

#include "renderer/render_options.h"

namespace aerolume {

// Whether a picture can be created at path: not a directory, and a file can be made
// beside it (the picture is written to a temporary file there, then renamed). Checked
// before rendering so a long run does not end in a failed write.
bool check_output_writable(const std::string& path, std::string* error);

int run_render(const RenderOptions& options);

}  // namespace aerolume
