// The fixed GL state the scene is drawn with: render state and projection at start-up,
// the light and the material, and the viewport and projection after a resize.
#pragma once

namespace aerolume {

// The perspective every view is drawn with: its vertical field of view in degrees and
// its clipping planes (the single-precision 0.1, passed on as a double:
// 0.10000000149011612). The aspect is the viewport's own.
constexpr double field_of_view = 45.0;
constexpr double near_plane = static_cast<double>(0.1f);
constexpr double far_plane = 1000000.0;

// Filled polygons, depth test, the sky-blue clear colour, clear depth, the perspective
// hint, and the start-up projection (45 degrees, 4:3, near 0.1f, far 1,000,000) on the
// identity projection matrix. Leaves the model-view matrix current.
void init_render_state();
// Light 0, material, shading, normalisation and blending state.
void init_lighting();
// Viewport and perspective for a window of width x height pixels (a height of 0 counts
// as 1); leaves the model-view matrix current and loaded with the identity.
void reshape_viewport(int width, int height);
// The same for a viewport of width x height pixels whose lower-left corner lies at (x, y)
// in the drawable (GL counts rows from the bottom): the aspect is the viewport's own.
void reshape_viewport(int x, int y, int width, int height);
// reshape_viewport(x, y, width, height) unless the context already has that viewport and
// its projection from the last reshape (init_render_state() forgets it): a frame of
// views sets what each view needs and sends nothing while one view keeps its size.
void use_viewport(int x, int y, int width, int height);

}  // namespace aerolume
