// The pieces every shell shares around its frames: the scene's start on the first one,
// the size GL can draw, the pause and the resume.
#include "viewer/shell/frames.h"

#include <GL/gl.h>

#include "run/scene_setup.h"

namespace aerolume {

void FirstFrame::before_frame(const ViewerOptions& options) {
  if (done_) return;
  start_scene(options.scene);
  done_ = true;
}

void SurfaceSize::read_largest() {
  GLint largest[2] = {0, 0};
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, largest);
  largest_width_ = largest[0];
  largest_height_ = largest[1];
}

bool SurfaceSize::resize(int width, int height) {
  width_ = width;
  height_ = height;
  fits_ = width <= largest_width_ && height <= largest_height_;
  return fits_;
}

bool FrameGate::frames_run(bool surface_seen, bool pace_stopped) {
  const bool running = surface_seen && !pace_stopped;
  if (running && !running_) restart_frame_interval();
  running_ = running;
  return running;
}

}  // namespace aerolume
