// Ownership of what Xlib hands out to be freed with XFree (properties, window lists,
// visuals, GLX configurations): std::unique_ptr<T, XFreer>.
#pragma once

#include <X11/Xlib.h>

namespace aerolume {

struct XFreer {
  void operator()(void* data) const { XFree(data); }
};

}  // namespace aerolume
