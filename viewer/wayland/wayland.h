// The wayland wing: the scene on a Wayland compositor's layer surfaces, one per output,
// under every window (--background) or over them until the first input (--overlay).
#pragma once

#include "viewer/shell/shell.h"

namespace aerolume {

// Runs the scene on the layer surfaces until the compositor goes or the run ends.
int run_on_layer_surfaces(const ShellRun& run);

}  // namespace aerolume
