// The offscreen shell: one EGL pbuffer of the frames' size (Mesa's surfaceless platform,
// no display), the shared frame drawn into it at the saver's pace, and each frame read
// back straight into the next buffer of the frames file (shared_frames.h), then
// published. The pbuffer keeps its pixels, so a frame redraws only what moved. While the
// frames are held (paused from outside, a battery pace of 0) the loop sleeps on the
// buses alone, and the newest frame stays in the file for the reader to show.
#include <GL/gl.h>

#include <string>
#include <vector>

#include "render/offscreen_context.h"
#include "run/failure.h"
#include "run/frame.h"
#include "run/options.h"
#include "viewer/offscreen/offscreen.h"
#include "viewer/offscreen/shared_frames.h"
#include "viewer/pace/poll_wait.h"

// GL 1.2's name for the order Qt's RGB32 keeps in memory; GL 1.1's header may lack it.
#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif

namespace aerolume {

namespace {

// The one view is the pbuffer, current from the start; its pixels go to the file once
// drawn.
class FileFrames final : public ViewSurfaces {
 public:
  FileFrames(const ViewerOptions& options, FirstFrame& first, SharedFramesWriter& file)
      : options_(options), first_(first), file_(file) {}
  bool begin_view(std::size_t) override {
    first_.before_frame(options_);
    return true;
  }
  int buffer_age(std::size_t) override { return options_.full_frames || !drawn_once_ ? 0 : 1; }
  bool end_view(std::size_t) override {
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, file_.width(), file_.height(), GL_BGRA, GL_UNSIGNED_BYTE,
                 file_.begin_frame());
    file_.publish();
    drawn_once_ = true;
    return glGetError() == GL_NO_ERROR;
  }

 private:
  const ViewerOptions& options_;
  FirstFrame& first_;
  SharedFramesWriter& file_;
  bool drawn_once_ = false;
};

}  // namespace

int run_frames_to_file(const ShellRun& run) {
  const ViewerOptions& options = run.options;
  const int width = options.frames_width, height = options.frames_height;
  OffscreenContext context;
  std::string why;
  if (!context.create(width, height, &why, options.samples))
    return report_failure("cannot draw offscreen: %s", why.c_str());
  report_samples_taken(options.samples, context.samples());
  SurfaceSize size;
  size.read_largest();
  if (!size.resize(width, height))
    return report_failure("frames of %dx%d are larger than GL draws here (%dx%d at most)", width,
                          height, size.largest_width(), size.largest_height());
  SharedFramesWriter file;
  if (!file.open(options.frames_path, width, height, &why)) return report_failure("%s", why.c_str());

  FirstFrame first;
  FrameGate gate;
  FileFrames frames(options, first, file);
  const std::vector<View> views{size.view()};
  for (;;) {
    follow_outside(run);
    report_views(run, {{"frames", width, height, ViewState::drawn}});
    if (!gate.frames_run(true, frames_held(run))) {
      // Held: nothing to draw until the pause or the pace changes.
      std::array<pollfd, 2> buses = outside_entries(run);
      poll_until(buses, outside_deadline(run));
      continue;
    }
    if (!render_views(views, frames)) return report_failure("drawing a frame offscreen failed");
    pace_after_frame(run);
  }
}

}  // namespace aerolume
