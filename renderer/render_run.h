// One run of the headless renderer: context, scene start-up, N frames, the picture and
// the statistics. Errors are reported on stderr as one line; the result is the exit status.
// SIGINT, SIGTERM, SIGHUP and SIGQUIT end the run by the same signal, its temporary files
// removed first.
#pragma once

#include "renderer/render_options.h"

namespace aerolume {

int run_render(const RenderOptions& options);

// The status of a run that failed, and its report: one line on stderr, the program's
// name and the message. Returns failure_status, so that a failure reads
// `return report_failure("cannot ...: %s", why);`.
constexpr int failure_status = 1;
[[gnu::format(printf, 1, 2)]] int report_failure(const char* format, ...);

}  // namespace aerolume
