// Start-up of the scene in the current GL context: fixed render state, projection, the
// generated assets, the camera and the lighting.
#pragma once

#include <cstdint>
#include <optional>

namespace aerolume {

// Render state, projection, noise, clouds, balloons, display lists, camera and
// lighting, in that order. Needs a current GL context. The random sequence behind the
// clouds, the wind and the balloon placement is seeded from the millisecond clock.
void init_scene();
// The same from a given seed, for reproducible runs (the headless renderer, tests).
void init_scene_from_seed(std::uint32_t seed);
// How a run of the scene starts: its seed, timed steps and the camera orbiting by itself.
struct SceneOptions {
  std::optional<std::uint32_t> seed;  // empty: seeded from the millisecond clock
  bool timed = false;
  bool auto_orbit = false;
};
// init_scene_from_seed() with the seed (or the clock), then the two modes. Returns the
// seed it used.
std::uint32_t start_scene(const SceneOptions& options);
// New clouds and a new wind, seeded from the clock: what the c key does. Needs a current
// GL context (the cloud texture is uploaded again).
void renew_clouds_and_wind();
// Asks for renew_clouds_and_wind() before the next frame of views (run/frame.h), which
// has the context current. Only sets a flag, so a signal handler may call it; a scene
// started after the request (start_scene) is fresh already and drops it.
void request_fresh_scene();
// Whether a fresh scene was asked for since the last call (which clears the request).
bool take_fresh_scene_request();

// eye = (0, 1500, -1250), look_at = (0, 1250, 0); only those six components are written.
void reset_camera();

}  // namespace aerolume
