// Framebuffer configurations: which sample count to take of those a display or driver
// offers, and the one line that says so when it is not the count asked for; which
// configuration to take of those EGL offers. The GLX window, the EGL pbuffer and the
// Wayland surfaces all choose through here.
#pragma once

#include <string>
#include <vector>

namespace aerolume {

// The samples a pixel to take when `asked` are wanted and the driver's configurations
// offer `offered` (any order, repeats allowed): asked itself when offered, else the
// largest offered count below it, else 0 (no multisampling). 0 asked is always 0.
int samples_to_take(int asked, const std::vector<int>& offered);

// What an offered configuration holds, as the choice weighs it.
struct OfferedConfig {
  int samples = 0;
  int red = 0, green = 0, blue = 0, alpha = 0;  // bits a channel
};

// How the colour of a configuration is chosen, once its sample count is known.
enum class ColourChoice {
  // The first the driver lists (deepest colour first): the pictures written to files,
  // whose colour is rounded to 8 bits once, when read back; the reference pictures were
  // drawn so.
  as_listed,
  // One without alpha before one with (a compositor shows the surface opaque), then the
  // fewest colour bits: exactly 8 a channel where offered, else the nearest deeper. For
  // buffers a compositor shows: it handles 10-bit buffers far more slowly.
  opaque_8_bits,
};

// The index in `offered` (the driver's order) of the configuration to take, or -1 when
// none fits. The sample count is samples_to_take(asked_samples, ...) of the counts
// offered, and *taken_samples says which; of the configurations with that count and at
// least 8 bits in each colour channel, `colour` picks one (ties: the first offered).
int config_to_take(int asked_samples, ColourChoice colour,
                   const std::vector<OfferedConfig>& offered, int* taken_samples);

// "16 samples a pixel are not available here; using 4" (or "using none"), or an empty
// text when taken equals asked.
std::string samples_taken_note(int asked, int taken);

}  // namespace aerolume
