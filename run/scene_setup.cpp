// Start-up of the scene in the current GL context: render state, the generated assets,
// the balloons, the camera and the lighting, in the order the scene relies on.
#include "run/scene_setup.h"

#include "assets/balloon_mesh.h"
#include "assets/clouds.h"
#include "core/clock.h"
#include "core/state.h"
#include "noise/noise.h"
#include "render/render_state.h"
#include "run/partial_frames.h"
#include "sim/balloon_stream.h"

#include <csignal>

namespace aerolume {

namespace {

// Set from a signal handler, read and cleared between frames.
volatile std::sig_atomic_t fresh_scene_requested = 0;

}  // namespace

void init_scene() { init_scene_from_seed(clock_ms()); }

void init_scene_from_seed(std::uint32_t seed) {
  forget_drawn_frames();  // no buffer holds a picture of this scene yet
  init_render_state();
  // The lattice (and the random sequence) is seeded before anything samples noise or
  // places a balloon.
  seed_noise(seed);
  create_cloud_texture();
  populate_balloons();
  build_lod_lists();
  reset_camera();
  init_lighting();
}

std::uint32_t start_scene(const SceneOptions& options) {
  const std::uint32_t seed = options.seed ? *options.seed : clock_ms();
  fresh_scene_requested = 0;
  init_scene_from_seed(seed);
  timed_steps = options.timed;
  auto_orbit = options.auto_orbit;
  return seed;
}

void renew_clouds_and_wind() {
  forget_drawn_frames();  // the dome changes: every view's next frame is whole
  seed_noise();
  generate_cloud_texture();
}

void request_fresh_scene() { fresh_scene_requested = 1; }

bool take_fresh_scene_request() {
  if (fresh_scene_requested == 0) return false;
  fresh_scene_requested = 0;
  return true;
}

void reset_camera() {
  eye.x = 0.0f;
  eye.y = 1500.0f;
  eye.z = -1250.0f;
  look_at.x = 0.0f;
  look_at.y = 1250.0f;
  look_at.z = 0.0f;
}

}  // namespace aerolume
