// Frame pacing for the program's shells: the frame-rate line (--fps) and the frame
// limiter (--max-fps, and the slower pace on battery). Both run after a frame is
// presented, never inside it.
#pragma once

#include <chrono>
#include <cstdio>
#include <optional>

#include "viewer/pace/power_pace.h"

namespace aerolume {

using PacingClock = std::chrono::steady_clock;

// Counts presented frames and, every 5 seconds, writes one line such as
// "1290 frames in 5.0 seconds = 258.0 FPS, 8.2 % of the pixels drawn" (the mean share of
// their views' pixels the frames drew: 100 where every frame is whole) and flushes it.
class FrameRateLine {
 public:
  explicit FrameRateLine(std::FILE* out, PacingClock::time_point start = PacingClock::now());
  void frame_done(PacingClock::time_point now, double drawn_percent);

 private:
  std::FILE* out_;
  PacingClock::time_point period_start_;
  long frames_ = 0;
  double drawn_percent_sum_ = 0.0;
};

// Keeps frames at most max_fps a second: each frame has a slot of 1 / max_fps seconds,
// and the shell waits out what is left of it. A frame that overran its slot starts
// the next slot afresh, so a slow frame is never followed by a burst.
class FrameLimiter {
 public:
  explicit FrameLimiter(int max_fps, PacingClock::time_point start = PacingClock::now());
  FrameLimiter(PacingClock::duration slot, PacingClock::time_point start);
  // The moment the current frame's slot ends and the next frame may start.
  PacingClock::time_point next_start(PacingClock::time_point now);

 private:
  PacingClock::duration slot_;
  PacingClock::time_point slot_end_;
};

// The frames a second drawn lately, for the status: those of the last whole second, each
// counted at the moment the next may start; 0 once none has come for a second (asleep,
// paused). A gap of more than a second starts the count afresh, so the first second after
// it is no mean over the sleep.
class DrawnRate {
 public:
  void frame_done(PacingClock::time_point now);
  double per_second(PacingClock::time_point now) const;

 private:
  PacingClock::time_point counted_since_{}, last_frame_{};
  long frames_ = 0;
  double rate_ = 0.0;
};

// What every shell runs after each presented frame: the frame-rate line when asked for,
// then the wait for the next slot when frames are capped. The pace may change while the
// program runs (the power source); a stopped pace draws no frames at all.
class FramePacing {
 public:
  FramePacing(bool rate_line, Pace pace);
  // From now on: the first slot of a new cap begins now. The pace is kept here alone, and
  // sets the clock of timed steps (run/frame.h): under a cap the whole frame interval
  // (paced frames sleep, and the sleep is part of the time that passed), else the scene
  // pass alone.
  void set_pace(Pace pace);
  const Pace& pace() const { return pace_; }
  // The buffer swaps keep the cap themselves, each frame lasting frame_seconds (a swap
  // interval of k refreshes, see viewer/glx/swap_pace.h): the slot then shrinks to three
  // quarters of that, so it never holds back a frame the swaps paced, and only keeps a
  // driver that does not wait for the refreshes (Mesa with vblank_mode=0, say) to 4/3 of
  // the pace. 0: the cap's own slot again. A new pace (set_pace) ends it.
  void set_swap_paced(double frame_seconds);
  // After a presented frame: counts it for the frame-rate line and returns the moment the
  // next frame may start (now, without a cap). It never sleeps: each shell waits in its
  // own loop.
  PacingClock::time_point next_start_after_frame();
  // The frames a second drawn lately (DrawnRate).
  double drawn_fps() const { return drawn_.per_second(PacingClock::now()); }

 private:
  std::optional<FrameRateLine> rate_line_;
  std::optional<FrameLimiter> limiter_;
  DrawnRate drawn_;
  Pace pace_;
  double swap_paced_seconds_ = 0.0;
};

}  // namespace aerolume
