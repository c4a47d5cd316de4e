// What every shell does around the frames it draws, whatever its kind of surface: the
// scene started on the first frame, the surface's size held to what GL can draw, and the
// frames paused while nobody can see them and resumed without a jump in the scene.
#pragma once

#include "run/frame.h"
#include "viewer/options/options.h"

namespace aerolume {

// The scene starts on a shell's first frame, with the shell's GL context current: the
// shell calls before_frame() before each frame it draws, and the first call starts it
// (start_scene: the chosen seed, the clock by default, and the modes asked for). A fresh
// scene asked for before then (SIGUSR1, see run/scene_setup.h) is dropped, as there is
// nothing to renew yet.
class FirstFrame {
 public:
  void before_frame(const ViewerOptions& options);
  bool done() const { return done_; }

 private:
  bool done_ = false;
};

// The size of the surface a shell draws on, against the largest that GL can draw into
// here (GL_MAX_VIEWPORT_DIMS). llvmpipe ends in SIGSEGV drawing into a surface as large
// as X allows (32767 x 32767), so a shell draws no frame while its surface does not fit:
// it asks a window of its own to shrink to the largest, and refuses another program's.
class SurfaceSize {
 public:
  // Reads the largest size: once, with the shell's GL context current, before resize().
  void read_largest();
  // The surface now measures width x height; true when GL can draw it.
  bool resize(int width, int height);
  // Whether the size last given fits (true before the first resize()).
  bool fits() const { return fits_; }
  int width() const { return width_; }
  int height() const { return height_; }
  int largest_width() const { return largest_width_; }
  int largest_height() const { return largest_height_; }
  // The whole surface as the one view of a frame (render_views).
  View view() const { return {0, 0, width_, height_}; }

 private:
  int width_ = 0, height_ = 0;
  int largest_width_ = 0, largest_height_ = 0;
  bool fits_ = true;
};

// Whether a shell draws frames now: only while its surface can be seen and the pace draws
// any (a battery pace of 0 draws none). The shell asks whenever either may have changed.
// When frames go on after a pause, the next timed step measures its scene pass alone
// (restart_frame_interval, run/frame.h): the pause is no part of any frame's interval, so
// the scene goes on from where it stopped instead of jumping ahead.
class FrameGate {
 public:
  bool frames_run(bool surface_seen, bool pace_stopped);

 private:
  bool running_ = true;
};

}  // namespace aerolume
