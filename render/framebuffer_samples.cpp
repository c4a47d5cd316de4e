// The choice of a framebuffer configuration and its sample count.
#include "render/framebuffer_samples.h"

namespace aerolume {

int samples_to_take(int asked, const std::vector<int>& offered) {
  int taken = 0;
  for (int count : offered)
    if (count <= asked && count > taken) taken = count;
  return taken;
}

int config_to_take(int asked_samples, ColourChoice colour,
                   const std::vector<OfferedConfig>& offered, int* taken_samples) {
  std::vector<int> counts;
  counts.reserve(offered.size());
  for (const OfferedConfig& config : offered) counts.push_back(config.samples);
  *taken_samples = samples_to_take(asked_samples, counts);
  const auto colour_bits = [](const OfferedConfig& config) {
    return config.red + config.green + config.blue;
  };
  int best = -1;
  for (std::size_t i = 0; i < offered.size(); ++i) {
    const OfferedConfig& config = offered[i];
    if (config.samples != *taken_samples || config.red < 8 || config.green < 8 || config.blue < 8)
      continue;
    if (best >= 0 && colour == ColourChoice::as_listed) break;
    if (best >= 0) {
      const OfferedConfig& held = offered[static_cast<std::size_t>(best)];
      const bool alpha = config.alpha > 0, held_alpha = held.alpha > 0;
      if (alpha != held_alpha ? alpha : colour_bits(config) >= colour_bits(held)) continue;
    }
    best = static_cast<int>(i);
  }
  return best;
}

std::string samples_taken_note(int asked, int taken) {
  if (taken == asked) return std::string();
  return std::to_string(asked) + " samples a pixel are not available here; using " +
         (taken > 0 ? std::to_string(taken) : std::string("none"));
}

}  // namespace aerolume
