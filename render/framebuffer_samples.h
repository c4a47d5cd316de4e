// Multisampled framebuffers: which sample count to take of those a display or driver
// offers, and the one line that says so when it is not the count asked for. The GLX
// window and the EGL pbuffer both choose through here.
#pragma once

#include <string>
#include <vector>

namespace aerolume {

// The samples a pixel to take when `asked` are wanted and the driver's configurations
// offer `offered` (any order, repeats allowed): asked itself when offered, else the
// largest offered count below it, else 0 (no multisampling). 0 asked is always 0.
int samples_to_take(int asked, const std::vector<int>& offered);

// "PROGRAM: 16 samples a pixel are not available here; using 4" (or "using none"), or
// an empty text when taken equals asked.
std::string samples_taken_note(const std::string& program, int asked, int taken);

}  // namespace aerolume
