// A progress bar on stderr for long renders. It appears only once a run has taken
// about a second and only on a terminal, so logs and pipes get nothing extra.
#pragma once

#include <cstdio>

namespace aerolume {

class ProgressBar {
 public:
  // Draws on out when enabled; by default enabled when stderr is a terminal.
  explicit ProgressBar(int total);
  ProgressBar(int total, std::FILE* out, bool enabled);
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // done of total frames after elapsed_ms. Nothing is drawn during the first second;
  // after that the bar is redrawn at most ten times a second.
  void update(int done, double elapsed_ms);
  // Erases the bar, if one was drawn, so that the line is clean for what follows.
  void finish();

 private:
  static constexpr double delay_ms = 1000.0;
  static constexpr double redraw_interval_ms = 100.0;
  static constexpr int bar_width = 30;

  int total_;
  std::FILE* out_;
  bool enabled_;
  bool shown_ = false;
  double last_draw_ms_ = 0.0;
};

}  // namespace aerolume
