// One run of the headless renderer: context, scene start-up, N frames, the picture and
// the statistics. Errors are reported on stderr as one line; the result is the exit status.
// SIGINT, SIGTERM, SIGHUP and SIGQUIT end the run by the same signal, its temporary files
// removed first.
#pragma once

#include "renderer/render_options.h"
#include "run/failure.h"

namespace aerolume {

int run_render(const RenderOptions& options);

}  // namespace aerolume
