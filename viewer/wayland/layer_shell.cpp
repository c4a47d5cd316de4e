// The Wayland shell: the scene on layer surfaces of a Wayland compositor, one on each
// output (or on the one --output names), under every window (--background) or over them
// until the first input (--overlay); or, with --shell-windows, in one ordinary window per
// output that a desktop shell's extension shows as the output's background (GNOME Shell
// offers third programs no layer shell). One record per output; the listeners only record
// what arrived, and the loop makes surfaces, answers configures and draws what is due.
// A surface is drawn only once the compositor's frame callback has come: under a cap a
// new frame shows on every k-th callback where its output's refresh is known (k
// refreshes a frame; drawn a callback ahead and swapped on the k-th; the scene stepped by
// the fastest output shown), else once the frame slot has begun; with no callback due
// the program sleeps in poll on the connection. Under Plasma's desktop, which hides the
// background layer while KWin still sends it callbacks, nothing is drawn, and that is
// said once each time plasmashell comes (plasma_watch.h says how the program knows).
//
// Returns 0 when the compositor goes away after the first frame was shown, when the
// overlay sees input, and at once when another overlay already shows on the same
// compositor (SIGTERM and SIGINT end the process through the stop signals main
// installs); 1 with one line on stderr when there is no compositor to reach, it closes
// the connection or does not answer before the first frame, it lacks the layer shell,
// EGL cannot draw on its surfaces, or it posts an error. One owner, the session
// (viewer/wayland/session.h), releases the connection, the records and the EGL objects
// on every return.

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "run/failure.h"
#include "run/frame.h"
#include "viewer/pace/poll_wait.h"
#include "viewer/pace/refresh_rounds.h"
#include "viewer/shell/other_desktop.h"
#include "viewer/wayland/connection.h"
#include "viewer/wayland/overlay_lock.h"
#include "viewer/wayland/plasma_watch.h"
#include "viewer/wayland/session.h"
#include "viewer/wayland/wayland.h"

namespace aerolume {

namespace {

// A wait for a frame callback longer than this means nobody could see the surfaces (a
// fullscreen window over the background, the output off): the wait is no part of a
// timed step.
constexpr auto hidden_after = std::chrono::milliseconds(250);

// --- Following what came ---

// Whether the record's output is one to show the scene on: described, and the one
// --output names when it names one.
bool is_output_to_show(const OutputRecord& record, const ViewerOptions& options) {
  return record.described && (options.output.empty() || record.name == options.output);
}

// Drops the records of outputs gone and surfaces closed, makes surfaces on outputs newly
// described, answers configures and scale changes. Returns false when EGL fails on a
// surface.
bool follow_outputs(WaylandSession& session, const ViewerOptions& options) {
  auto& outputs = session.outputs;
  for (auto& record : outputs)
    if (record->gone) drop_output(*record, session.egl);
  std::erase_if(outputs, [](const std::unique_ptr<OutputRecord>& r) { return r->gone; });
  const bool overlay = options.layer == ViewerOptions::Layer::overlay;
  const auto& globals = session.globals;
  for (auto& record : outputs) {
    if (record->surface == nullptr && is_output_to_show(*record, options)) {
      if (options.shell_windows)
        make_shell_window(*record, globals.compositor, globals.wm_base);
      else
        make_layer_surface(*record, globals.compositor, globals.layer_shell, overlay);
    }
    follow_output_place(*record);
    if (!follow_configure(*record, session.egl, globals.compositor_version)) return false;
  }
  return true;
}

// --- Choosing the views ---

// What the pace weighs of a record's surface now: its output's refresh, the callbacks
// since its last frame, and whether they still come.
SurfaceBeat beat_of(const OutputRecord& record, PacingClock::time_point now,
                    PacingClock::duration drawing) {
  SurfaceBeat beat;
  beat.refresh_hz = record.refresh_mhz / 1000.0;
  beat.callbacks = record.callbacks;
  beat.drawn = record.drawn;
  beat.waiting = record.frame_callback != nullptr;
  beat.shown = !beat.waiting || now - record.asked_at < hidden_after;
  beat.held = record.held;
  // The refreshes the drawing takes, rounded up: a frame is drawn that many callbacks
  // before the one it is swapped on.
  if (record.refresh_mhz > 0) {
    const double period_us = 1.0e9 / record.refresh_mhz;
    const double drawing_us = static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(drawing).count());
    beat.ahead = static_cast<int>(std::min(std::ceil(drawing_us / period_us), 1000.0));
  }
  return beat;
}

// One round: the surfaces that can draw, each with its beat, and which of them draw now.
struct Round {
  PacingClock::time_point start;
  Pace pace;
  std::vector<OutputRecord*> surfaces;
  std::vector<SurfaceBeat> beats;  // one a surface
  RoundPlan plan;
  std::vector<OutputRecord*> due;  // drawn in this round, one view each
  std::vector<bool> holds;         // whether each due surface holds its swap
};

// The round's surfaces, those with an EGL surface, and their beats now.
Round start_round(const WaylandSession& session, const ShellRun& run) {
  Round round;
  round.start = PacingClock::now();
  round.pace = run.pacing.pace();
  round.pace.stopped = frames_held(run);  // paused from outside, as by a battery pace of 0
  for (const auto& record : session.outputs) {
    if (record->egl_surface == EGL_NO_SURFACE) continue;
    round.surfaces.push_back(record.get());
    round.beats.push_back(beat_of(*record, round.start, session.rounds.drawing));
  }
  return round;
}

// Swaps the held frames whose k-th callback has come, and beats their surfaces again.
// False when EGL fails.
bool swap_held_frames(const WaylandSession& session, Round& round) {
  for (std::size_t i = 0; i < round.beats.size(); ++i) {
    if (!swap_due(round.beats[i], round.pace.max_fps)) continue;
    if (!swap_held_frame(*round.surfaces[i], session.egl)) return false;
    round.beats[i] = beat_of(*round.surfaces[i], round.start, session.rounds.drawing);
  }
  return true;
}

// Asks the callbacks still to be counted and chooses the surfaces due, none while the
// battery pace draws nothing.
void choose_due(Round& round) {
  if (round.pace.stopped) return;
  const int max_fps = round.pace.max_fps;
  for (std::size_t i = 0; i < round.beats.size(); ++i)
    if (wants_callback(round.beats[i], max_fps)) ask_frame_and_commit(*round.surfaces[i]);
  round.plan = plan_round(round.beats, max_fps);
  for (std::size_t i : round.plan.due) {
    round.due.push_back(round.surfaces[i]);
    round.holds.push_back(round.plan.clock && holds_swap(round.beats[i], max_fps));
  }
}

// The round's surfaces for the control's status, in pixels: drawn, or not shown by the
// compositor while their frame callbacks have stopped (a full-screen window over them,
// the output off), or under Plasma's desktop.
std::vector<ViewStatus> round_statuses(const Round& round, bool under_plasma) {
  std::vector<ViewStatus> statuses;
  for (std::size_t i = 0; i < round.surfaces.size(); ++i) {
    const OutputRecord& record = *round.surfaces[i];
    const ViewState state = under_plasma         ? ViewState::other_desktop
                            : round.beats[i].shown ? ViewState::drawn
                                                   : ViewState::not_shown;
    statuses.push_back({record.name.empty() ? "output" : record.name, record.buffer_width,
                        record.buffer_height, state});
  }
  return statuses;
}

// Under a refresh clock its callbacks pace the rounds; else the wall-clock slot does.
bool draws_now(const Round& round, PacingClock::time_point next_slot) {
  return !round.due.empty() && (round.plan.clock || round.start >= next_slot);
}

// How long the loop may sleep when the round does not draw: until the slot of the due
// surfaces; with a clock awaited while other surfaces are ready, until the clock counts
// as hidden (and the round goes on without it); else until the compositor writes.
Deadline wait_deadline(const Round& round, PacingClock::time_point next_slot) {
  if (!round.due.empty()) return next_slot;
  if (!round.plan.clock || round.pace.stopped) return std::nullopt;
  Deadline deadline;
  for (const SurfaceBeat& beat : round.beats)
    if (ready_to_draw(beat, round.pace.max_fps))
      deadline = round.surfaces[*round.plan.clock]->asked_at + hidden_after;
  return deadline;
}

// --- Drawing ---

// Draws every due surface once, one view each, in one frame (the scene steps once);
// each surface then swaps, or, where it holds its swap for its k-th callback, finishes
// its drawing and keeps it. The scene starts on the first surface made current. Where
// EGL presents damage, a surface draws only what changed since the frame its buffer
// holds, each with a history of its own, and presents that as the frame's damage.
class DueSurfaces final : public ViewSurfaces {
 public:
  DueSurfaces(WaylandSession& session, const ViewerOptions& options, const Round& round)
      : session_(session), options_(options), round_(round) {}
  bool begin_view(std::size_t index) override {
    if (!make_current(session_.egl, round_.due[index]->egl_surface)) return false;
    session_.rounds.first_frame.before_frame(options_);
    return true;
  }
  bool end_view(std::size_t index) override {
    OutputRecord* record = round_.due[index];
    if (!round_.holds[index]) return swap_frame(*record, session_.egl);
    glFinish();  // drawn now, so that the held swap is quick when its callback comes
    record->held = true;
    return true;
  }
  int buffer_age(std::size_t index) override {
    if (session_.egl.swap_with_damage == nullptr) return 0;
    return aerolume::buffer_age(session_.egl, round_.due[index]->egl_surface);
  }
  std::uint64_t view_identity(std::size_t index) override { return round_.due[index]->global_name; }
  void drawn(std::size_t index, std::span<const DamageRect> rects, bool whole) override {
    std::vector<EGLint>& damage = round_.due[index]->damage;
    damage.clear();
    if (whole) return;
    for (const DamageRect& rect : rects)
      damage.insert(damage.end(), {rect.x, rect.y, rect.width, rect.height});
  }

 private:
  WaylandSession& session_;
  const ViewerOptions& options_;
  const Round& round_;
};

// The round's frame on its due surfaces, then the next slot and the smoothed drawing
// time. After a sleep the frame gate restarts the frame interval first.
bool draw_round(WaylandSession& session, const ShellRun& run, const Round& round) {
  auto& rounds = session.rounds;
  rounds.frames.frames_run(true, round.pace.stopped);
  std::vector<View> views;
  for (const OutputRecord* record : round.due)
    views.push_back({0, 0, record->buffer_width, record->buffer_height});
  DueSurfaces surfaces(session, run.options, round);
  if (!render_views(views, surfaces)) return false;
  rounds.drawing = (3 * rounds.drawing + (PacingClock::now() - round.start)) / 4;
  rounds.next_slot = run.pacing.next_start_after_frame();
  return true;
}

// --- The loop ---

// Says once each time Plasma's desktop comes that it hides the background.
void say_plasma(bool under_plasma, bool* said) {
  if (under_plasma && !*said)
    report_note("%s", desktop_cover_line(plasma_desktop_program, "every output").c_str());
  *said = under_plasma;
}

int run_rounds(WaylandSession& session, const ShellRun& run, PlasmaWatch& plasma) {
  bool plasma_said = false;
  for (;;) {
    // Follow what came: outputs, surfaces and configures; the overlay's input.
    const bool under_plasma = plasma.present();
    say_plasma(under_plasma, &plasma_said);
    if (!follow_outputs(session, run.options)) return egl_fail("making a surface");
    if (session.input.seen) return 0;
    // Choose the views: held frames due are swapped, then the surfaces to draw chosen,
    // none under Plasma's desktop (its surfaces, never drawn, are never shown; those
    // drawn before stay under it).
    Round round = start_round(session, run);
    if (!swap_held_frames(session, round)) return egl_fail("drawing");
    if (!under_plasma) choose_due(round);
    report_views(run, round_statuses(round, under_plasma));
    // Draw them once their slot has come.
    if (draws_now(round, session.rounds.next_slot)) {
      if (!draw_round(session, run, round)) return egl_fail("drawing");
      continue;
    }
    // Else wait for the compositor, the slot, the power source or plasmashell. A long
    // wait with nothing due was a sleep: the frame gate closes until the next round draws.
    const Deadline deadline = wait_deadline(round, session.rounds.next_slot);
    const std::array<pollfd, 2> outside = outside_entries(run);
    const std::array<pollfd, 3> others{outside[0], outside[1], plasma.poll_entry()};
    if (!wait_and_dispatch(session.display, others,
                           earlier(earlier(deadline, outside_deadline(run)), plasma.deadline())))
      return connection_end(session.display, session.shown());
    follow_outside(run);
    plasma.dispatch();
    if (round.due.empty() && PacingClock::now() - round.start > hidden_after)
      session.rounds.frames.frames_run(false, round.pace.stopped);
  }
}

}  // namespace

int run_on_layer_surfaces(const ShellRun& run) {
  wl_log_set_handler_client(keep_library_line);
  OverlayLock lock;
  if (run.options.layer == ViewerOptions::Layer::overlay && !lock.take()) return 0;
  // Only the background lies under Plasma's desktop; the overlay is over it.
  PlasmaWatch plasma(run.options.layer == ViewerOptions::Layer::background);
  WaylandSession session;
  if (const std::optional<int> end = open_session(session, run.options)) return *end;
  return run_rounds(session, run, plasma);
}

}  // namespace aerolume
