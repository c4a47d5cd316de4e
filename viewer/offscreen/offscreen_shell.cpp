// The offscreen shell: one EGL pbuffer (Mesa's surfaceless platform, no display) that
// holds a view for each frames file, stacked; the frame drawn into the views whose
// readers see them, at the saver's pace, and each view read back straight into the next
// buffer of its file (shared_frames.h), then published. One scene, stepped once a frame,
// for every file: a plugin that shows a file on each screen shows one scene across them.
// The pbuffer keeps its pixels, so a view redraws only what moved since it was last
// drawn. While the frames are held (paused from outside, a battery pace of 0) or no
// reader sees its picture, the loop sleeps on the buses, and each file keeps its newest
// frame for its reader to show.
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
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

// How often a loop with no picture seen, and not held, looks again at what the readers
// say: they pause the program once none sees its picture, and resume it, so this is only
// the fallback for a reader that says seen without resuming.
constexpr auto unseen_recheck = std::chrono::milliseconds(500);

// Why a file's view is not drawn, as the status says it.
ViewState state_of(FramesSeen seen) {
  switch (seen) {
    case FramesSeen::seen: return ViewState::drawn;
    case FramesSeen::covered: return ViewState::covered;
    case FramesSeen::locked: return ViewState::blanked;
    case FramesSeen::hidden: break;
  }
  return ViewState::hidden;
}

// The views of a frame are the files seen now; each is its own picture, followed by
// the file's place in the list. Views are current from the start (one pbuffer); each
// view's pixels go to its file once drawn.
class FileFrames final : public ViewSurfaces {
 public:
  FileFrames(const ViewerOptions& options, FirstFrame& first,
             std::vector<SharedFramesWriter>& files, const std::vector<View>& places)
      : options_(options), first_(first), files_(files), places_(places),
        drawn_once_(files.size(), false) {}
  // The files to draw this frame, by their place in the list.
  void choose(std::vector<std::size_t> due) { due_ = std::move(due); }
  bool begin_view(std::size_t) override {
    first_.before_frame(options_);
    return true;
  }
  int buffer_age(std::size_t index) override {
    return options_.full_frames || !drawn_once_[due_[index]] ? 0 : 1;
  }
  std::uint64_t view_identity(std::size_t index) override { return due_[index]; }
  bool end_view(std::size_t index) override {
    const std::size_t f = due_[index];
    const View& place = places_[f];
    SharedFramesWriter& file = files_[f];
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(place.x, place.y, file.width(), file.height(), GL_BGRA, GL_UNSIGNED_BYTE,
                 file.begin_frame());
    file.publish();
    drawn_once_[f] = true;
    return glGetError() == GL_NO_ERROR;
  }

 private:
  const ViewerOptions& options_;
  FirstFrame& first_;
  std::vector<SharedFramesWriter>& files_;
  const std::vector<View>& places_;
  std::vector<bool> drawn_once_;
  std::vector<std::size_t> due_;
};

// Each file's view in the pbuffer: stacked from the bottom, the first file lowest, so
// that the pbuffer is as wide as the widest and as tall as all together.
std::vector<View> stack_views(const std::vector<ViewerOptions::FramesFile>& files) {
  std::vector<View> views;
  int y = 0;
  for (const ViewerOptions::FramesFile& file : files) {
    views.push_back({0, y, file.width, file.height, files.size() > 1});
    y += file.height;
  }
  return views;
}

}  // namespace

int run_frames_to_file(const ShellRun& run) {
  const ViewerOptions& options = run.options;
  const std::vector<View> places = stack_views(options.frames_files);
  int width = 0, height = 0;
  for (const View& place : places) {
    width = std::max(width, place.width);
    height = place.y + place.height;
  }
  OffscreenContext context;
  std::string why;
  if (!context.create(width, height, &why, options.samples))
    return report_failure("cannot draw offscreen: %s", why.c_str());
  report_samples_taken(options.samples, context.samples());
  SurfaceSize size;
  size.read_largest();
  if (!size.resize(width, height))
    return report_failure("frames of %dx%d (every file's, stacked) are larger than GL draws here "
                          "(%dx%d at most)",
                          width, height, size.largest_width(), size.largest_height());
  std::vector<SharedFramesWriter> files(options.frames_files.size());
  for (std::size_t f = 0; f < files.size(); ++f) {
    const ViewerOptions::FramesFile& file = options.frames_files[f];
    if (!files[f].open(file.path, file.width, file.height, &why))
      return report_failure("%s", why.c_str());
  }

  FirstFrame first;
  FrameGate gate;
  FileFrames frames(options, first, files, places);
  std::vector<ViewStatus> statuses;
  std::vector<std::size_t> due;
  std::vector<View> views;
  for (;;) {
    follow_outside(run);
    statuses.clear();
    due.clear();
    views.clear();
    for (std::size_t f = 0; f < files.size(); ++f) {
      const FramesSeen seen = files[f].seen();
      const std::string name = files.size() > 1 ? "frames-" + std::to_string(f + 1) : "frames";
      statuses.push_back({name, places[f].width, places[f].height, state_of(seen)});
      if (seen != FramesSeen::seen) continue;
      due.push_back(f);
      views.push_back(places[f]);
    }
    report_views(run, statuses);
    if (!gate.frames_run(!due.empty(), frames_held(run))) {
      // Held, or nothing seen: nothing to draw until the pause, the pace or a reader
      // changes.
      std::array<pollfd, 2> buses = outside_entries(run);
      Deadline deadline = outside_deadline(run);
      if (due.empty() && !frames_held(run))
        deadline = earlier(deadline, PacingClock::now() + unseen_recheck);
      poll_until(buses, deadline);
      continue;
    }
    frames.choose(due);
    if (!render_views(views, frames)) return report_failure("drawing a frame offscreen failed");
    pace_after_frame(run);
  }
}

}  // namespace aerolume
