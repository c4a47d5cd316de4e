// Partial frames on a GLX drawable: how it shows a frame of which only the damage was
// drawn, and the age of the buffer each frame is drawn into. One record per drawable,
// since each keeps a history of its own.
#pragma once

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <span>
#include <vector>

#include "render/damage.h"

namespace aerolume {

// buffer_age: GLX_EXT_buffer_age says what the back buffer holds, and frames are swapped.
// copy_sub_buffer: GLX_MESA_copy_sub_buffer copies the damage from the back buffer to the
// front, so the back buffer always holds the last whole picture (age 1).
// whole: neither is offered, the drawable has no back buffer, or --full-frames.
enum class PartialPath { whole, buffer_age, copy_sub_buffer };

// The path from GLX's extension string (whole names only); buffer age before the copy,
// since a swap keeps the swap interval's pace. has_copy_function: glXGetProcAddress
// found glXCopySubBufferMESA.
PartialPath partial_path_from(const char* extensions, bool has_copy_function,
                              bool double_buffered, bool full_frames);

class GlxPresent {
 public:
  GlxPresent(Display* display, GLXDrawable drawable, bool double_buffered, bool full_frames);

  PartialPath path() const { return path_; }
  // What the drawable showed may be gone (an exposure, a resize, the window mapped
  // again): its next frame is drawn whole.
  void picture_lost() { lost_ = true; }
  // With the drawable current, before a view of it is drawn: the age of the buffer the
  // frame goes into, the same for every view of the drawable until present().
  // swap_paced: the swap interval paces the frames, so the frame is swapped, as a copy
  // would not wait for the interval and some frames would show longer than others.
  // width x height: the drawable's size as the shell knows it; a new one is a lost picture.
  int buffer_age(bool swap_paced, int width, int height);
  // What a view of the drawable drew this frame (rows from the bottom).
  void drawn(std::span<const DamageRect> rects);
  // Shows the frame: the damage copied to the front, else a swap (the toolkit's own swap
  // where one is given), or a glFlush where the drawable has no back buffer.
  void present(void (*swap)() = nullptr);

 private:
  // Whether the drawable measures what this frame was drawn at, as the server has it now.
  bool same_size_as_drawn() const;
  using CopySubBuffer = void (*)(Display*, GLXDrawable, int, int, int, int);

  Display* display_;
  GLXDrawable drawable_;
  bool double_buffered_;
  CopySubBuffer copy_ = nullptr;
  PartialPath path_;
  bool lost_ = false;
  bool frame_open_ = false;  // buffer_age() was asked and present() has not come yet
  int age_ = 0;
  bool copying_ = false;     // this frame is shown by copying
  bool copied_last_ = false;  // the last frame was: the back buffer holds its picture
  int width_ = 0, height_ = 0;  // the size at the last frame
  std::vector<DamageRect> damage_;
};

}  // namespace aerolume
