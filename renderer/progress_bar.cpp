// The progress bar: one line redrawn in place with a carriage return.
#include "renderer/progress_bar.h"

#include <unistd.h>

namespace aerolume {

ProgressBar::ProgressBar(int total) : ProgressBar(total, stderr, isatty(STDERR_FILENO) == 1) {}

ProgressBar::ProgressBar(int total, std::FILE* out, bool enabled)
    : total_(total > 0 ? total : 1), out_(out), enabled_(enabled) {}

void ProgressBar::update(int done, double elapsed_ms) {
  if (!enabled_ || elapsed_ms < delay_ms) return;
  if (shown_ && done < total_ && elapsed_ms - last_draw_ms_ < redraw_interval_ms) return;
  shown_ = true;
  last_draw_ms_ = elapsed_ms;
  const double fraction = static_cast<double>(done) / total_;
  const int filled = static_cast<int>(fraction * bar_width);
  char bar[bar_width + 1];
  for (int i = 0; i < bar_width; ++i) bar[i] = i < filled ? '#' : '-';
  bar[bar_width] = '\0';
  const double remaining_s = done > 0 ? elapsed_ms * (total_ - done) / done / 1000.0 : 0.0;
  std::fprintf(out_, "\r[%s] %3d%%  %d/%d frames  %.0f s left ", bar,
               static_cast<int>(fraction * 100.0), done, total_, remaining_s);
  std::fflush(out_);
}

void ProgressBar::finish() {
  if (!shown_) return;
  std::fputs("\r\033[K", out_);  // back to the start of the line and clear it
  std::fflush(out_);
  shown_ = false;
}

}  // namespace aerolume
