// aerolume-render: the Aerolume scene rendered offscreen, for pictures, reproducible
// runs and timings. See --help for the options.
#include <cstdio>
#include <exception>

#include "renderer/render_options.h"
#include "renderer/render_run.h"

int main(int argc, char** argv) {
  aerolume::set_program_name(aerolume::render_program);
  try {
    const aerolume::ParsedRenderCommandLine parsed = aerolume::parse_render_options(argc, argv);
    std::fputs(parsed.out_text.c_str(), stdout);
    std::fputs(parsed.err_text.c_str(), stderr);
    if (!parsed.should_run) return parsed.exit_status;
    return aerolume::run_render(parsed.options);
  } catch (const std::exception& e) {
    return aerolume::report_failure("%s", e.what());
  }
}
