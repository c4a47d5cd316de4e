// aerolume_host_window: a window owned by another program, for the end-to-end tests of
// drawing into a foreign window. Creates and maps a window, prints its id (decimal) on
// stdout and waits until killed; the X server destroys the window with the connection.
//   aerolume_host_window WxH+X+Y [double|single|no-depth|child|override] [RRGGBB]
// double (the default): a double-buffered RGBA visual with the deepest depth buffer;
// single: the same but single-buffered; no-depth: an RGBA visual without a depth buffer
// (on Xvfb every visual supports GL, so this is the nearest to one the scene cannot use);
// child: as double, but the window is the child of a top-level window of the same size
// (as a preview inside a settings dialog), whose id follows on a second line; override: as
// double, but override-redirect (as a lock screen's or a screen saver's window).
// RRGGBB is the window's background colour (black by default).
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct XFreer {
  void operator()(void* data) const { XFree(data); }
};

int config(Display* display, XVisualInfo* visual, int attribute) {
  int value = 0;
  return glXGetConfig(display, visual, attribute, &value) == 0 ? value : 0;
}

bool fits(Display* display, XVisualInfo* visual, const std::string& kind) {
  if (visual->c_class != TrueColor || !config(display, visual, GLX_USE_GL) ||
      !config(display, visual, GLX_RGBA))
    return false;
  const bool double_buffered = config(display, visual, GLX_DOUBLEBUFFER) != 0;
  const bool depth = config(display, visual, GLX_DEPTH_SIZE) > 0;
  if (kind == "double" || kind == "child" || kind == "override") return double_buffered && depth;
  if (kind == "single") return !double_buffered && depth;
  return kind == "no-depth" && !depth;
}

// The visual of the wanted kind with the deepest depth buffer, or nothing.
bool find_visual(Display* display, const std::string& kind, XVisualInfo* found) {
  XVisualInfo wanted{};
  wanted.screen = DefaultScreen(display);
  int count = 0;
  const std::unique_ptr<XVisualInfo, XFreer> list(
      XGetVisualInfo(display, VisualScreenMask, &wanted, &count));
  int best = -1;
  for (int i = 0; i < count; ++i) {
    XVisualInfo* visual = &list.get()[i];
    if (!fits(display, visual, kind)) continue;
    if (best < 0 || config(display, visual, GLX_DEPTH_SIZE) >
                        config(display, &list.get()[best], GLX_DEPTH_SIZE))
      best = i;
  }
  if (best >= 0) *found = list.get()[best];
  return best >= 0;
}

// The pixel value of an 8-bit-per-channel colour in a TrueColor visual.
unsigned long pixel_of(const XVisualInfo& visual, unsigned long rgb) {
  const auto channel = [](unsigned long value, unsigned long mask) {
    return (value << __builtin_ctzl(mask)) & mask;
  };
  return channel((rgb >> 16) & 0xff, visual.red_mask) |
         channel((rgb >> 8) & 0xff, visual.green_mask) | channel(rgb & 0xff, visual.blue_mask);
}

}  // namespace

int main(int argc, char** argv) {
  unsigned width = 0, height = 0;
  int x = 0, y = 0;
  unsigned long background = 0;
  const std::string kind = argc > 2 ? argv[2] : "double";
  if (argc < 2 || argc > 4 || std::sscanf(argv[1], "%ux%u+%d+%d", &width, &height, &x, &y) != 4 ||
      width == 0 || height == 0 || (argc == 4 && std::sscanf(argv[3], "%6lx", &background) != 1)) {
    std::fputs("usage: aerolume_host_window WxH+X+Y [double|single|no-depth|child|override] [RRGGBB]\n",
               stderr);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fputs("aerolume_host_window: cannot open the X display\n", stderr);
    return 1;
  }
  XVisualInfo visual;
  if (!find_visual(display, kind, &visual)) {
    std::fprintf(stderr, "aerolume_host_window: no %s visual on this screen\n", kind.c_str());
    return 1;
  }
  const Window root = RootWindow(display, visual.screen);
  XSetWindowAttributes attributes{};
  attributes.colormap = XCreateColormap(display, root, visual.visual, AllocNone);
  attributes.background_pixel = pixel_of(visual, background);
  attributes.border_pixel = 0;
  attributes.event_mask = StructureNotifyMask;
  attributes.override_redirect = kind == "override";
  const auto create = [&](Window parent, int left, int top) {
    return XCreateWindow(display, parent, left, top, width, height, 0, visual.depth, InputOutput,
                         visual.visual,
                         CWColormap | CWBackPixel | CWBorderPixel | CWEventMask | CWOverrideRedirect,
                         &attributes);
  };
  // The top-level window is the one mapped last, so its MapNotify says all are viewable.
  const Window top_level = create(root, x, y);
  const Window window = kind == "child" ? create(top_level, 0, 0) : top_level;
  XStoreName(display, top_level, "aerolume host");
  if (window != top_level) XMapWindow(display, window);
  XMapWindow(display, top_level);
  XEvent event;
  do XNextEvent(display, &event);
  while (event.type != MapNotify || event.xmap.window != top_level);
  std::fprintf(stderr, "aerolume_host_window: window %lu, visual 0x%lx (%s)\n", window,
               visual.visualid, kind.c_str());
  std::printf("%lu\n", window);
  if (window != top_level) std::printf("%lu\n", top_level);
  std::fflush(stdout);
  for (;;) pause();
}
