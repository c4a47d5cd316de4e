// The rounds of the Wayland shell under a refresh-divided pace.
#include "viewer/pace/refresh_rounds.h"

#include <algorithm>

#include "viewer/pace/power_pace.h"

namespace aerolume {

int callbacks_per_frame(const SurfaceBeat& surface, int max_fps) {
  return std::max(refreshes_per_frame(surface.refresh_hz, max_fps), 1);
}

bool holds_swap(const SurfaceBeat& surface, int max_fps) {
  return surface.drawn && refreshes_per_frame(surface.refresh_hz, max_fps) >= 2;
}

bool ready_to_draw(const SurfaceBeat& surface, int max_fps) {
  if (surface.waiting || surface.held) return false;
  const int k = callbacks_per_frame(surface, max_fps);
  const int ahead = holds_swap(surface, max_fps) ? std::clamp(surface.ahead, 1, k - 1) : 0;
  return !surface.drawn || surface.callbacks >= k - ahead;
}

bool swap_due(const SurfaceBeat& surface, int max_fps) {
  return surface.held && !surface.waiting && surface.callbacks >= callbacks_per_frame(surface, max_fps);
}

bool wants_callback(const SurfaceBeat& surface, int max_fps) {
  return surface.drawn && !surface.waiting && surface.callbacks < callbacks_per_frame(surface, max_fps);
}

RoundPlan plan_round(std::span<const SurfaceBeat> surfaces, int max_fps) {
  RoundPlan plan;
  for (std::size_t i = 0; i < surfaces.size(); ++i) {
    const SurfaceBeat& s = surfaces[i];
    if (!s.shown || refreshes_per_frame(s.refresh_hz, max_fps) == 0) continue;
    if (!plan.clock || s.refresh_hz > surfaces[*plan.clock].refresh_hz) plan.clock = i;
  }
  if (plan.clock && !ready_to_draw(surfaces[*plan.clock], max_fps)) return plan;
  for (std::size_t i = 0; i < surfaces.size(); ++i)
    if (ready_to_draw(surfaces[i], max_fps)) plan.due.push_back(i);
  return plan;
}

}  // namespace aerolume
