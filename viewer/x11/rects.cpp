// Rectangle arithmetic for the X11 shell.
#include "viewer/x11/rects.h"

#include <algorithm>

namespace aerolume {

bool Rect::covers(const Rect& other) const {
  return x <= other.x && y <= other.y && x + width >= other.x + other.width &&
         y + height >= other.y + other.height;
}

Rect Rect::clipped_to(const Rect& other) const {
  const long left = std::max(x, other.x), top = std::max(y, other.y);
  const long right = std::min(x + width, other.x + other.width);
  const long bottom = std::min(y + height, other.y + other.height);
  return {left, top, right - left, bottom - top};
}

int child_covering_screen(const Rect& screen, const std::vector<ScreenChild>& children) {
  for (std::size_t i = 0; i < children.size(); ++i) {
    const ScreenChild& child = children[i];
    if (child.viewable && child.input_output && child.rect.covers(screen))
      return static_cast<int>(i);
  }
  return -1;
}

}  // namespace aerolume
