// The renderer's run statistics: what was measured, the summary of the frame times,
// and the two ways of printing them (a table for people, one JSON object for scripts).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace aerolume {

struct RunFigures {
  int frames = 0;
  int width = 0;
  int height = 0;
  std::uint32_t seed = 0;
  double startup_ms = 0;  // context creation and scene start-up, up to the first frame
  double wall_ms = 0;     // all frames, start to end
  std::vector<double> frame_ms;  // each frame, GL work included (glFinish)
  std::vector<double> simulation_us;  // each frame's simulation pass (step_stream)
  int balloons = 0;                   // balloons in the list after the last frame
  double drawn_percent_sum = 0;       // each frame's share of the pixels drawn, in percent
  long peak_rss_kib = 0;
  long heap_kib = 0;  // heap in use after the last frame
};

struct Summary {
  double median = 0;
  double p95 = 0;  // nearest rank: the smallest sample with at least 95% at or below it
  double max = 0;
};

// Summary of the samples (all zero when there are none).
Summary summarize(std::vector<double> samples);

std::string format_stats_table(const RunFigures& figures);
std::string format_stats_json(const RunFigures& figures);

// The process's peak resident set so far, in KiB (0 if it cannot be read).
long peak_resident_kib();
// The heap in use now, every malloc arena together, in KiB. Unlike the peak resident
// set, it does not move with how much transient memory GL's threads held at some moment,
// so two runs of different lengths can be compared closely.
long heap_in_use_kib();

}  // namespace aerolume
