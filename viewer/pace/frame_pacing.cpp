// The frame-rate line and the frame limiter.
#include "viewer/pace/frame_pacing.h"

#include "run/frame.h"

namespace aerolume {

namespace {

constexpr auto report_period = std::chrono::seconds(5);

}  // namespace

FrameRateLine::FrameRateLine(std::FILE* out, PacingClock::time_point start)
    : out_(out), period_start_(start) {}

void FrameRateLine::frame_done(PacingClock::time_point now, double drawn_percent) {
  ++frames_;
  drawn_percent_sum_ += drawn_percent;
  const auto elapsed = now - period_start_;
  if (elapsed < report_period) return;
  const double seconds = std::chrono::duration<double>(elapsed).count();
  std::fprintf(out_, "%ld frames in %.1f seconds = %.1f FPS, %.1f %% of the pixels drawn\n",
               frames_, seconds, static_cast<double>(frames_) / seconds,
               drawn_percent_sum_ / static_cast<double>(frames_));
  std::fflush(out_);
  frames_ = 0;
  drawn_percent_sum_ = 0.0;
  period_start_ = now;
}

FrameLimiter::FrameLimiter(int max_fps, PacingClock::time_point start)
    : FrameLimiter(std::chrono::duration_cast<PacingClock::duration>(std::chrono::duration<double>(1.0 / max_fps)),
                   start) {}

FrameLimiter::FrameLimiter(PacingClock::duration slot, PacingClock::time_point start)
    : slot_(slot), slot_end_(start + slot_) {}

PacingClock::time_point FrameLimiter::next_start(PacingClock::time_point now) {
  const PacingClock::time_point start = now < slot_end_ ? slot_end_ : now;
  slot_end_ = start + slot_;
  return start;
}


FramePacing::FramePacing(bool rate_line, Pace pace) {
  if (rate_line) rate_line_.emplace(stdout);
  set_pace(pace);
}

void FramePacing::set_pace(Pace pace) {
  // A new clock starts a new interval, so time without frames is no part of a step.
  set_step_clock(pace.max_fps > 0 ? StepClock::frame_interval : StepClock::scene_pass);
  if (pace == pace_) return;
  pace_ = pace;
  swap_paced_seconds_ = 0.0;
  limiter_.reset();
  if (pace.max_fps > 0) limiter_.emplace(pace.max_fps);
}

void FramePacing::set_swap_paced(double frame_seconds) {
  if (frame_seconds == swap_paced_seconds_ || pace_.max_fps <= 0) return;
  swap_paced_seconds_ = frame_seconds;
  if (frame_seconds > 0.0)
    limiter_.emplace(std::chrono::duration_cast<PacingClock::duration>(
                         std::chrono::duration<double>(0.75 * frame_seconds)),
                     PacingClock::now());
  else
    limiter_.emplace(pace_.max_fps);
}

void DrawnRate::frame_done(PacingClock::time_point now) {
  constexpr auto second = std::chrono::seconds(1);
  if (now - last_frame_ > second) {
    counted_since_ = now;
    frames_ = 0;
    rate_ = 0.0;
  } else if (now - counted_since_ >= second) {
    rate_ = static_cast<double>(frames_) /
            std::chrono::duration<double>(now - counted_since_).count();
    counted_since_ = now;
    frames_ = 0;
  }
  ++frames_;
  last_frame_ = now;
}

double DrawnRate::per_second(PacingClock::time_point now) const {
  return now - last_frame_ > std::chrono::seconds(1) ? 0.0 : rate_;
}

PacingClock::time_point FramePacing::next_start_after_frame() {
  const PacingClock::time_point now = PacingClock::now();
  if (rate_line_) rate_line_->frame_done(now, drawn_percent_of_last_frame());
  const PacingClock::time_point next = limiter_ ? limiter_->next_start(now) : now;
  // Counted at the slots the limiter keeps, which are even where the frames' ends jitter.
  drawn_.frame_done(next);
  return next;
}

}  // namespace aerolume
