// Partial frames on a GLX drawable: buffer age, the copy of the damage, or whole frames.
#include "viewer/glx/partial_present.h"

#include <GL/gl.h>

#include "viewer/glx/swap_pace.h"
#include "viewer/shell/extension_names.h"

namespace aerolume {

PartialPath partial_path_from(const char* extensions, bool has_copy_function,
                              bool double_buffered, bool full_frames) {
  if (full_frames || !double_buffered || extensions == nullptr) return PartialPath::whole;
  if (names_extension(extensions, "GLX_EXT_buffer_age")) return PartialPath::buffer_age;
  if (has_copy_function && names_extension(extensions, "GLX_MESA_copy_sub_buffer"))
    return PartialPath::copy_sub_buffer;
  return PartialPath::whole;
}

GlxPresent::GlxPresent(Display* display, GLXDrawable drawable, bool double_buffered,
                       bool full_frames)
    : display_(display), drawable_(drawable), double_buffered_(double_buffered) {
  copy_ = reinterpret_cast<CopySubBuffer>(
      glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
  path_ = partial_path_from(glXQueryExtensionsString(display, DefaultScreen(display)),
                            copy_ != nullptr, double_buffered, full_frames);
}

int GlxPresent::buffer_age(bool swap_paced, int width, int height) {
  if (frame_open_) return age_;
  frame_open_ = true;
  copying_ = path_ == PartialPath::copy_sub_buffer && !swap_paced;
  age_ = 0;
  if (width != width_ || height != height_) lost_ = true;
  width_ = width;
  height_ = height;
  if (lost_) {
    lost_ = false;
    // Mesa's software drivers read the window's size again only after a swap, and a copy
    // from a back buffer of the old size past its edge is an X error (BadValue). The back
    // buffer holds the picture already shown, so swapping it shows nothing new.
    if (copying_ && copied_last_) glXSwapBuffers(display_, drawable_);
  } else if (path_ == PartialPath::buffer_age) {
    unsigned int age = 0;
    glXQueryDrawable(display_, drawable_, GLX_BACK_BUFFER_AGE_EXT, &age);
    age_ = static_cast<int>(age);
  } else if (copying_ && copied_last_) {
    age_ = 1;
  }
  return age_;
}

bool GlxPresent::same_size_as_drawn() const {
  Window root = None;
  int x = 0, y = 0;
  unsigned int width = 0, height = 0, border = 0, depth = 0;
  return XGetGeometry(display_, drawable_, &root, &x, &y, &width, &height, &border, &depth) &&
         static_cast<int>(width) == width_ && static_cast<int>(height) == height_;
}

void GlxPresent::drawn(std::span<const DamageRect> rects) {
  if (copying_) damage_.insert(damage_.end(), rects.begin(), rects.end());
}

void GlxPresent::present(void (*swap)()) {
  frame_open_ = false;
  // The window may have changed size since the frame began (a toolkit that has not yet
  // said so, a host): a copy of the old size's rectangles past its new edge is an X error
  // (BadValue). The back buffer holds the whole picture, so it is swapped instead, and
  // the next frame is whole.
  if (copying_ && !same_size_as_drawn()) {
    copying_ = false;
    lost_ = true;
    damage_.clear();
  }
  copied_last_ = copying_;
  if (copying_) {
    for (const DamageRect& rect : damage_)
      if (!rect.empty()) copy_(display_, drawable_, rect.x, rect.y, rect.width, rect.height);
    damage_.clear();
  } else if (swap != nullptr) {
    swap();
  } else if (double_buffered_) {
    glXSwapBuffers(display_, drawable_);
  } else {
    glFlush();
  }
}

}  // namespace aerolume
