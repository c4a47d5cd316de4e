// aerolume_stop_at: preloaded (LD_PRELOAD) into aerolume by the end-to-end tests to
// make races happen at a known point. AEROLUME_STOP="before|after FUNCTION [N]" stops the
// process (SIGSTOP) just before or just after its N-th call (the first by default) of
// FUNCTION: XOpenDisplay, XSelectInput, glXMakeCurrent or glXSwapBuffers. The test changes
// the window (or sends a signal) meanwhile and then lets the program go on with SIGCONT.
// glXSwapBuffers stands for every way a frame is shown: a swap, or the copies of the
// frame's damage (glXCopySubBufferMESA, one a rectangle), which count as one, before the
// first of them and after the last (at the glClear that starts the next frame's drawing).
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct StopPoint {
  char moment[8] = "";
  char function[32] = "";
  int call = 1;
  int calls_seen = 0;
};

StopPoint& stop_point() {
  static StopPoint point = [] {
    StopPoint parsed;
    const char* text = std::getenv("AEROLUME_STOP");
    if (text != nullptr) std::sscanf(text, "%7s %31s %d", parsed.moment, parsed.function, &parsed.call);
    return parsed;
  }();
  return point;
}

// Whether this call of the function is the one to stop at, at this moment.
bool stop_here(const char* function, const char* moment, bool counted) {
  StopPoint& point = stop_point();
  if (std::strcmp(point.function, function) != 0) return false;
  if (counted) ++point.calls_seen;
  return point.calls_seen == point.call && std::strcmp(point.moment, moment) == 0;
}

// Around each call: counted once, before it.
void before(const char* function) {
  if (stop_here(function, "before", true)) std::raise(SIGSTOP);
}
void after(const char* function) {
  if (stop_here(function, "after", false)) std::raise(SIGSTOP);
}

template <typename Function>
Function next_definition(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" Display* XOpenDisplay(const char* name) {
  static const auto real = next_definition<Display* (*)(const char*)>("XOpenDisplay");
  before("XOpenDisplay");
  Display* const display = real(name);
  after("XOpenDisplay");
  return display;
}

extern "C" int XSelectInput(Display* display, Window window, long mask) {
  static const auto real = next_definition<int (*)(Display*, Window, long)>("XSelectInput");
  before("XSelectInput");
  const int result = real(display, window, mask);
  after("XSelectInput");
  return result;
}

extern "C" Bool glXMakeCurrent(Display* display, GLXDrawable drawable, GLXContext context) {
  static const auto real =
      next_definition<Bool (*)(Display*, GLXDrawable, GLXContext)>("glXMakeCurrent");
  before("glXMakeCurrent");
  const Bool result = real(display, drawable, context);
  after("glXMakeCurrent");
  return result;
}

// Drawn since the last frame was shown: the next copy starts showing a frame.
bool drawn_since_shown = false;
// A frame is being shown by copies: the next drawing (or swap) ends that.
bool copies_open = false;

void end_copies() {
  if (copies_open) after("glXSwapBuffers");
  copies_open = false;
}

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable) {
  static const auto real = next_definition<void (*)(Display*, GLXDrawable)>("glXSwapBuffers");
  end_copies();
  // A swap with nothing drawn since the last frame was shown shows no new frame: the one
  // that brings the back buffer, which already holds the shown picture, to a window whose
  // picture was lost before the copies go on.
  if (!drawn_since_shown) {
    real(display, drawable);
    return;
  }
  before("glXSwapBuffers");
  drawn_since_shown = false;
  real(display, drawable);
  after("glXSwapBuffers");
}

extern "C" void glClear(GLbitfield mask) {
  static const auto real = next_definition<void (*)(GLbitfield)>("glClear");
  end_copies();
  drawn_since_shown = true;
  real(mask);
}

using CopySubBuffer = void (*)(Display*, GLXDrawable, int, int, int, int);
CopySubBuffer real_copy_sub_buffer = nullptr;

void copy_sub_buffer(Display* display, GLXDrawable drawable, int x, int y, int width,
                     int height) {
  if (drawn_since_shown) {
    before("glXSwapBuffers");
    copies_open = true;
  }
  drawn_since_shown = false;
  real_copy_sub_buffer(display, drawable, x, y, width, height);
}

// The program finds the copy through glXGetProcAddress, which is answered here.
extern "C" __GLXextFuncPtr glXGetProcAddressARB(const GLubyte* name) {
  static const auto real =
      next_definition<__GLXextFuncPtr (*)(const GLubyte*)>("glXGetProcAddressARB");
  const __GLXextFuncPtr found = real(name);
  if (found == nullptr ||
      std::strcmp(reinterpret_cast<const char*>(name), "glXCopySubBufferMESA") != 0)
    return found;
  real_copy_sub_buffer = reinterpret_cast<CopySubBuffer>(found);
  return reinterpret_cast<__GLXextFuncPtr>(copy_sub_buffer);
}

extern "C" __GLXextFuncPtr glXGetProcAddress(const GLubyte* name) {
  return glXGetProcAddressARB(name);
}
