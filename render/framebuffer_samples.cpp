// The choice of a multisampled framebuffer's sample count.
#include "render/framebuffer_samples.h"

namespace aerolume {

int samples_to_take(int asked, const std::vector<int>& offered) {
  int taken = 0;
  for (int count : offered)
    if (count <= asked && count > taken) taken = count;
  return taken;
}

std::string samples_taken_note(const std::string& program, int asked, int taken) {
  if (taken == asked) return std::string();
  return program + ": " + std::to_string(asked) +
         " samples a pixel are not available here; using " +
         (taken > 0 ? std::to_string(taken) : std::string("none")) + "\n";
}

}  // namespace aerolume
