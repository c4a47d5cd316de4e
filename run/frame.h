// One frame of the scene, drawn into one view or several (the outputs of a compositor,
// the monitors of an X screen), and the timed-step rule. The scene steps once a frame
// however many views show it; the shells present the views their own way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "render/damage.h"

namespace aerolume {

// Where one picture of the frame goes: a viewport of a drawable, its lower-left corner
// at (x, y) (GL counts rows from the bottom of the drawable, so a monitor at the top of
// an X screen has the largest y). The picture takes the viewport's aspect.
struct View {
  int x = 0, y = 0, width = 0, height = 0;
  // Other views share the drawable: the view's clears and drawing are held inside it by
  // the scissor test, so that it wipes none of the others and nothing outside them.
  bool shares_drawable = false;
  bool operator==(const View&) const = default;
};

// What a shell does around each view of a frame: make the view's surface current before
// it is drawn, present it after. A false return ends the frame there (the surface failed).
//
// Partial frames: while the camera stands still only balloons and ropes move, so a view
// whose buffer still holds an earlier frame of the same picture needs only the damage
// redrawn. A shell that knows its buffers' age says so through buffer_age() and learns
// what was drawn through drawn(); the defaults draw every frame whole, as a shell that
// knows nothing of its buffers must.
class ViewSurfaces {
 public:
  virtual bool begin_view(std::size_t index) = 0;
  virtual bool end_view(std::size_t index) = 0;

  // Asked after begin_view: how many frames of this view ago the buffer about to be drawn
  // was drawn (1: the last frame, as a pbuffer or a copying swap keeps it; 2: the frame
  // before, as with two buffers), as EGL_EXT_buffer_age and GLX_EXT_buffer_age count.
  // 0: unknown, or lost (a new buffer, a resize, --full-frames): the view is drawn whole.
  virtual int buffer_age(std::size_t /*index*/) { return 0; }
  // Which picture the view is, the same value frame after frame for the same surface
  // and place, so that its history follows it when a frame draws only some views (the
  // surfaces due). Default: its index in the frame's views.
  virtual std::uint64_t view_identity(std::size_t index) { return index; }
  // Called after the view is drawn and before end_view: the rectangles drawn (rows from
  // the bottom of the drawable, as glScissor counts them), which hold every pixel that
  // changed since the buffer's frame, or the view's own rectangle with whole set. What
  // to present as the frame's damage (eglSwapBuffersWithDamageKHR takes these rows).
  virtual void drawn(std::size_t /*index*/, std::span<const DamageRect> /*rects*/,
                     bool /*whole*/) {}

 protected:
  ~ViewSurfaces() = default;
};

// The drawable already current, presented by the caller (the renderer's pbuffer, a test's
// context): the one view of a frame needs nothing made current and nothing presented.
class CurrentDrawable final : public ViewSurfaces {
 public:
  bool begin_view(std::size_t) override { return true; }
  bool end_view(std::size_t) override { return true; }
};

// One frame into every view, in this order: the first view's surface is made current
// and a fresh scene asked for (request_fresh_scene) is made; the scene steps once; each
// view is drawn at its viewport and aspect from this frame's camera by the scene pass,
// which clears it (the level of detail reads the camera while drawing), whole or only
// its damage (DrawnFrames::next_frame, with the surface's buffer age); the timed step
// measures the step and every view; auto-orbit moves the camera; the frame is counted.
// The viewport and projection are sent only where a view differs from the last one set
// (use_viewport), so frames of one view of a constant size send the scene pass's calls
// and nothing else. Every shell and the renderer draw through here. False when a surface
// failed.
bool render_views(std::span<const View> views, ViewSurfaces& surfaces);

// The views drawn again, whole, from the scene as it stands: no step, no timed step, no
// count, the same pixels as the last frame. For a shell whose picture was lost while its
// frames are held (an exposure while paused): the last picture comes back, and the scene
// stays where it stopped. The next frame is drawn whole. False when a surface failed.
bool redraw_views(std::span<const View> views, ViewSurfaces& surfaces);

// The share of its views' pixels that the last frame drew, in percent: 100 for whole
// frames, less where only the damage was drawn (the --fps line and the statistics).
double drawn_percent_of_last_frame();

// Timed mode: the scene pass took elapsed_ms. The new step is 0.015 per millisecond,
// capped at 0.4; step_scale becomes the mean of the old and the new step (in double,
// stored as float), and both orbit matrices are rebuilt from the stored step.
void apply_timed_step(std::uint32_t elapsed_ms);

// What a timed step is measured over. By default the scene pass alone: frames run back
// to back, so the pass is nearly the whole frame. When a frame cap paces the frames, the
// whole frame interval, sleep included, so that the stream keeps to real time.
enum class StepClock { scene_pass, frame_interval };
void set_step_clock(StepClock clock);

// The milliseconds the step of a timed frame is measured over, from the clock read
// before and after its scene pass: the pass itself, or with StepClock::frame_interval the
// time since the end of the previous timed pass (the pass itself for the first one, and
// after restart_frame_interval() or an untimed frame).
std::uint32_t timed_step_interval(std::uint32_t pass_start, std::uint32_t pass_end);

// The next timed frame measures its scene pass alone: used after the shell slept while
// nobody could see the window, which is no part of any frame's interval. Every view's
// next frame is drawn whole, since what its buffer held may be gone.
void restart_frame_interval();

}  // namespace aerolume
