// The offscreen shell: one EGL pbuffer (Mesa's surfaceless platform, no display) that
// holds a view for each frames file, stacked; the frame drawn into the views whose
// readers see them, at the saver's pace, and each view read back straight into the next
// buffer of its file (shared_frames.h), then published. One scene, stepped once a frame,
// for every file: a plugin that shows a file on each screen shows one scene across them.
// The pbuffer keeps its pixels, so a view redraws only what moved since it was last
// drawn. While the frames are held (paused from outside, a battery pace of 0) or no
// reader sees its picture, the loop sleeps on the buses, and each file keeps its newest
// frame for its reader to show. New files and sizes asked for from outside (SetFrames:
// a screen came or went) take the place of the old ones, and the scene goes on.
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "render/offscreen_context.h"
#include "run/failure.h"
#include "run/frame.h"
#include "run/options.h"
#include "run/partial_frames.h"
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

// The files drawn into, each with its view's place in the pbuffer: stacked from the
// bottom, the first file lowest, so that the pbuffer is as wide as the widest and as
// tall as all together.
struct FileViews {
  std::vector<ViewerOptions::FramesFile> asked;
  std::vector<std::unique_ptr<SharedFramesWriter>> files;
  std::vector<View> places;
  std::vector<std::string> names;  // as the status names the views
  std::vector<bool> drawn_once;
  int width = 0, height = 0;

  explicit FileViews(std::vector<ViewerOptions::FramesFile> files_asked)
      : asked(std::move(files_asked)) {
    for (const ViewerOptions::FramesFile& file : asked) {
      names.push_back(asked.size() > 1 ? "frames-" + std::to_string(places.size() + 1)
                                       : "frames");
      places.push_back({0, height, file.width, file.height, asked.size() > 1});
      width = std::max(width, file.width);
      height += file.height;
    }
    drawn_once.assign(asked.size(), false);
  }

  // Each file opened, or taken over from `before` where it names the same path at the
  // same size (its reader reads on); before's others are retired first, so that their
  // readers let them go and a path may be made afresh.
  bool open(FileViews* before, std::string* why) {
    files.resize(asked.size());
    if (before != nullptr) {
      for (std::size_t f = 0; f < asked.size(); ++f)
        for (std::size_t b = 0; b < before->asked.size(); ++b)
          if (before->files[b] != nullptr && before->asked[b] == asked[f])
            files[f] = std::move(before->files[b]);
      for (const auto& left : before->files)
        if (left != nullptr) left->retire();
    }
    for (std::size_t f = 0; f < asked.size(); ++f) {
      if (files[f] != nullptr) continue;
      files[f] = std::make_unique<SharedFramesWriter>();
      if (!files[f]->open(asked[f].path, asked[f].width, asked[f].height, why)) return false;
    }
    return true;
  }
};

// The views of a frame are the files seen now; each is its own picture, followed by
// the file's place in the list. Views are current from the start (one pbuffer); each
// view's pixels go to its file once drawn.
class FileFrames final : public ViewSurfaces {
 public:
  FileFrames(const ViewerOptions& options, FirstFrame& first) : options_(options), first_(first) {}
  // The files to draw this frame, by their place in the list (kept by the caller until
  // the frame is drawn).
  void choose(FileViews* views, std::span<const std::size_t> due) {
    views_ = views;
    due_ = due;
  }
  bool begin_view(std::size_t) override {
    first_.before_frame(options_);
    return true;
  }
  int buffer_age(std::size_t index) override {
    return options_.full_frames || !views_->drawn_once[due_[index]] ? 0 : 1;
  }
  std::uint64_t view_identity(std::size_t index) override { return due_[index]; }
  bool end_view(std::size_t index) override {
    const std::size_t f = due_[index];
    const View& place = views_->places[f];
    SharedFramesWriter& file = *views_->files[f];
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(place.x, place.y, file.width(), file.height(), GL_BGRA, GL_UNSIGNED_BYTE,
                 file.begin_frame());
    file.publish();
    views_->drawn_once[f] = true;
    return glGetError() == GL_NO_ERROR;
  }

 private:
  const ViewerOptions& options_;
  FirstFrame& first_;
  FileViews* views_ = nullptr;
  std::span<const std::size_t> due_;
};

// GL draws the views' pbuffer here: one line when it does not.
bool fits(SurfaceSize& size, const FileViews& views) {
  if (size.resize(views.width, views.height)) return true;
  report_failure("frames of %dx%d (every file's, stacked) are larger than GL draws here "
                 "(%dx%d at most)",
                 views.width, views.height, size.largest_width(), size.largest_height());
  return false;
}

}  // namespace

int run_frames_to_file(const ShellRun& run) {
  const ViewerOptions& options = run.options;
  auto views = std::make_unique<FileViews>(options.frames_files);
  OffscreenContext context;
  std::string why;
  if (!context.create(views->width, views->height, &why, options.samples))
    return report_failure("cannot draw offscreen: %s", why.c_str());
  report_samples_taken(options.samples, context.samples());
  SurfaceSize size;
  size.read_largest();
  if (!fits(size, *views)) return 1;
  if (!views->open(nullptr, &why)) return report_failure("%s", why.c_str());

  FirstFrame first;
  FrameGate gate;
  FileFrames frames(options, first);
  std::vector<ViewStatus> statuses;
  std::vector<std::size_t> due;
  std::vector<View> drawn;
  for (;;) {
    follow_outside(run);
    if (std::optional<std::vector<ViewerOptions::FramesFile>> asked =
            run.control.take_frames_files()) {
      // Other files from now on (a screen came or went): a pbuffer of the new size,
      // each view drawn whole into it, the scene going on.
      auto next = std::make_unique<FileViews>(std::move(*asked));
      if (!fits(size, *next)) return 1;
      if (next->width != views->width || next->height != views->height) {
        if (!context.resize(next->width, next->height, &why))
          return report_failure("cannot draw offscreen at %dx%d: %s", next->width, next->height,
                                why.c_str());
      }
      if (!next->open(views.get(), &why)) return report_failure("%s", why.c_str());
      views = std::move(next);
      forget_drawn_frames();
    }
    statuses.clear();
    due.clear();
    drawn.clear();
    for (std::size_t f = 0; f < views->files.size(); ++f) {
      const FramesSeen seen = views->files[f]->seen();
      const View& place = views->places[f];
      statuses.push_back({views->names[f], place.width, place.height, state_of(seen)});
      if (seen != FramesSeen::seen) continue;
      due.push_back(f);
      drawn.push_back(place);
    }
    report_views(run, statuses);
    if (!gate.frames_run(!due.empty(), frames_held(run))) {
      // Held, or nothing seen: nothing to draw until the pause, the pace, the files or a
      // reader changes.
      std::array<pollfd, 2> buses = outside_entries(run);
      Deadline deadline = outside_deadline(run);
      if (due.empty() && !frames_held(run))
        deadline = earlier(deadline, PacingClock::now() + unseen_recheck);
      poll_until(buses, deadline);
      continue;
    }
    frames.choose(views.get(), due);
    if (!render_views(drawn, frames)) return report_failure("drawing a frame offscreen failed");
    pace_after_frame(run);
  }
}

}  // namespace aerolume
