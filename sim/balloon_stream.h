// The balloon stream and the scene pass that moves and draws it.
#pragma once

namespace aerolume {

// The scene pass: clear, load the camera, then move and draw the scene.
void draw_scene();

}  // namespace aerolume
