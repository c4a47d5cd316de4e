// Run statistics: summary of the frame times and their table and JSON forms.
#include "renderer/render_stats.h"

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace aerolume {

namespace {

double frames_per_second(const RunFigures& f) {
  return f.wall_ms > 0 ? f.frames * 1000.0 / f.wall_ms : 0.0;
}

// JSON has no NaN or infinity; a figure that is not finite is written as null.
std::string json_number(double value) {
  if (!std::isfinite(value)) return "null";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.3f", value);
  return buffer;
}

// The first frame also compiles the drawing code for each new combination of GL state
// (llvmpipe does this on first use), so it is reported apart from the median.
double first_frame_ms(const RunFigures& f) { return f.frame_ms.empty() ? 0.0 : f.frame_ms.front(); }

// The mean share of the pixels a frame drew, in percent: 100 where every frame is whole.
double drawn_percent_mean(const RunFigures& f) {
  return f.frames > 0 ? f.drawn_percent_sum / f.frames : 0.0;
}

}  // namespace

Summary summarize(std::vector<double> samples) {
  Summary s;
  if (samples.empty()) return s;
  std::sort(samples.begin(), samples.end());
  const std::size_t n = samples.size();
  s.median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2.0;
  const std::size_t rank = (95 * n + 99) / 100;  // ceil(0.95 n), at least 1
  s.p95 = samples[rank - 1];
  s.max = samples.back();
  return s;
}

std::string format_stats_table(const RunFigures& f) {
  const Summary frame = summarize(f.frame_ms);
  const Summary simulation = summarize(f.simulation_us);
  char buffer[1024];
  std::snprintf(buffer, sizeof buffer,
                "frames              %d\n"
                "size                %dx%d\n"
                "seed                %u\n"
                "wall time           %.1f ms\n"
                "frames per second   %.1f\n"
                "frame time median   %.2f ms\n"
                "frame time p95      %.2f ms\n"
                "frame time max      %.2f ms\n"
                "first frame         %.2f ms\n"
                "simulation median   %.1f \u00b5s per pass\n"
                "drawn share mean    %.1f %% of the pixels\n"
                "balloons            %d\n"
                "start-up            %.1f ms\n"
                "peak memory         %.1f MiB\n"
                "heap in use         %.1f MiB\n",
                f.frames, f.width, f.height, static_cast<unsigned>(f.seed), f.wall_ms,
                frames_per_second(f), frame.median, frame.p95, frame.max, first_frame_ms(f),
                simulation.median, drawn_percent_mean(f), f.balloons, f.startup_ms,
                static_cast<double>(f.peak_rss_kib) / 1024.0,
                static_cast<double>(f.heap_kib) / 1024.0);
  return buffer;
}

std::string format_stats_json(const RunFigures& f) {
  const Summary frame = summarize(f.frame_ms);
  const Summary simulation = summarize(f.simulation_us);
  return "{\"frames\": " + std::to_string(f.frames) +
         ", \"width\": " + std::to_string(f.width) +
         ", \"height\": " + std::to_string(f.height) +
         ", \"seed\": " + std::to_string(f.seed) +
         ", \"wall_time_ms\": " + json_number(f.wall_ms) +
         ", \"frames_per_second\": " + json_number(frames_per_second(f)) +
         ", \"frame_ms_median\": " + json_number(frame.median) +
         ", \"frame_ms_p95\": " + json_number(frame.p95) +
         ", \"frame_ms_max\": " + json_number(frame.max) +
         ", \"first_frame_ms\": " + json_number(first_frame_ms(f)) +
         ", \"simulation_us_median\": " + json_number(simulation.median) +
         ", \"drawn_share_percent_mean\": " + json_number(drawn_percent_mean(f)) +
         ", \"balloons\": " + std::to_string(f.balloons) +
         ", \"startup_ms\": " + json_number(f.startup_ms) +
         ", \"peak_rss_kib\": " + std::to_string(f.peak_rss_kib) +
         ", \"heap_kib\": " + std::to_string(f.heap_kib) + "}\n";
}

long peak_resident_kib() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return usage.ru_maxrss;  // KiB on Linux
}

long heap_in_use_kib() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

}  // namespace aerolume
