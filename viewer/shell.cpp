// What the viewer's shells share around the frame: the start of the scene.
#include "viewer/shell.h"

#include "core/state.h"
#include "run/scene_setup.h"

namespace aerolume {

void start_viewer_scene(const ViewerOptions& options) {
  start_scene(options.scene);
  if (options.windowed) fullscreen = false;
}

}  // namespace aerolume
