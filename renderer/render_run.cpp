// The headless run: the same start-up and frame as the window, in an offscreen context.
#include "renderer/render_run.h"

#include <GL/gl.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "run/frame.h"
#include "run/scene_setup.h"
#include "core/state.h"
#include "render/framebuffer_samples.h"
#include "render/render_state.h"
#include "render/scene_pass.h"
#include "sim/balloon_stream.h"
#include "render/offscreen_context.h"
#include "renderer/picture_formats.h"
#include "renderer/progress_bar.h"
#include "renderer/render_stats.h"
#include "renderer/replacing_file.h"
#include "renderer/rgb_image.h"

namespace aerolume {

namespace {

using Clock = std::chrono::steady_clock;

double ms_between(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// The pbuffer as the frame's one view: current already, nothing to present. It keeps its
// pixels from frame to frame (multisampled or not), so after the first frame its buffer
// holds the last one, age 1, and a frame redraws only what moved; with --full-frames its
// age is never known, and every frame is whole. Counts the share of the pixels drawn.
class PbufferFrames final : public ViewSurfaces {
 public:
  PbufferFrames(const View& whole, bool full_frames) : whole_(whole), full_frames_(full_frames) {}
  bool begin_view(std::size_t) override { return true; }
  bool end_view(std::size_t) override { return true; }
  int buffer_age(std::size_t) override { return full_frames_ || !drawn_once_ ? 0 : 1; }
  void drawn(std::size_t, std::span<const DamageRect> rects, bool) override {
    drawn_once_ = true;
    std::int64_t pixels = 0;
    for (const DamageRect& r : rects) pixels += r.area();
    const double all = static_cast<double>(whole_.width) * whole_.height;
    drawn_percent_sum += 100.0 * static_cast<double>(pixels) / all;
  }

  double drawn_percent_sum = 0.0;  // over the frames drawn

 private:
  View whole_;
  bool full_frames_;
  bool drawn_once_ = false;
};

}  // namespace

int run_render(const RenderOptions& options) {
  // An interrupted run takes its temporary files with it.
  clean_up_on_signals();
  std::string error;
  // Every picture's file is opened now, in the table's order, so a path that cannot be
  // written fails before any frame is rendered; a temporary file is renamed into place
  // once its picture is complete.
  std::vector<std::unique_ptr<PictureOutput>> pictures;
  for (const PictureFormat& format : picture_formats()) {
    const std::string& path = options.*format.path;
    if (path.empty()) continue;
    pictures.push_back(format.make(options));
    if (!pictures.back()->open(path, &error)) return report_failure("%s", error.c_str());
  }

  const Clock::time_point start = Clock::now();
  OffscreenContext context;
  if (!context.create(options.width, options.height, &error, options.samples))
    return report_failure("no GL context could be made: %s", error.c_str());
  report_samples_taken(options.samples, context.samples());
  GLint max_viewport[2] = {0, 0};
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, max_viewport);
  if (options.width > max_viewport[0] || options.height > max_viewport[1]) {
    report_failure("--size: %dx%d is larger than this GL's maximum of %dx%d", options.width,
                   options.height, max_viewport[0], max_viewport[1]);
    std::fprintf(stderr, "%s\n", usage_hint(render_program).c_str());
    return usage_error_status;
  }

  // As the program does: start-up, then frames of one view, the whole picture. Its viewport
  // is set before the first frame, so that no frame's time holds it.
  const std::uint32_t seed = start_scene(options.scene);
  const View whole{0, 0, options.width, options.height};
  reshape_viewport(whole.x, whole.y, whole.width, whole.height);
  PbufferFrames pbuffer(whole, options.full_frames);
  glFinish();

  RunFigures figures;
  figures.frames = options.frames;
  figures.width = options.width;
  figures.height = options.height;
  figures.seed = seed;
  const Clock::time_point frames_start = Clock::now();
  figures.startup_ms = ms_between(start, frames_start);

  const bool want_stats = options.stats || options.json;
  if (want_stats) {
    figures.frame_ms.reserve(static_cast<std::size_t>(options.frames));
    figures.simulation_us.reserve(static_cast<std::size_t>(options.frames));
  }
  stream_timing.enabled = want_stats;  // the simulation pass inside each frame
  ProgressBar progress(options.frames);
  for (int i = 0; i < options.frames; ++i) {
    const Clock::time_point t0 = Clock::now();
    render_views({&whole, 1}, pbuffer);
    glFinish();  // the frame's GL work belongs to its time
    const Clock::time_point t1 = Clock::now();
    if (want_stats) {
      figures.frame_ms.push_back(ms_between(t0, t1));
      figures.simulation_us.push_back(stream_timing.last_pass_us);
    }
    for (const std::unique_ptr<PictureOutput>& picture : pictures)
      if (picture->keeps(i) &&
          !picture->add_frame(read_gl_frame(options.width, options.height), &error))
        return report_failure("%s", error.c_str());
    progress.update(i + 1, ms_between(frames_start, t1));
  }
  figures.wall_ms = ms_between(frames_start, Clock::now());
  figures.drawn_percent_sum = pbuffer.drawn_percent_sum;
  progress.finish();
  stream_timing.enabled = false;
  figures.balloons = balloon_count();

  // The last opened is finished first: the animation, then the still picture.
  for (auto picture = pictures.rbegin(); picture != pictures.rend(); ++picture)
    if (!(*picture)->finish(&error)) return report_failure("%s", error.c_str());

  if (want_stats) {
    figures.peak_rss_kib = peak_resident_kib();
    figures.heap_kib = heap_in_use_kib();
    std::fputs(options.json ? format_stats_json(figures).c_str()
                            : format_stats_table(figures).c_str(),
               stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : report_failure("cannot write the statistics to stdout");
}

}  // namespace aerolume
