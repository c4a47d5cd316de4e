// aerolume_xprobe: what a person sees on an X screen, for the end-to-end tests.
//   aerolume_xprobe grab OUT.png           the whole root window as a PNG (what the
//                                          screen shows, under a compositing manager
//                                          too)
//   aerolume_xprobe sky FILE.png [X Y W H] share of pixels in the sky colour (0..1),
//                                          optionally inside a rectangle only
//   aerolume_xprobe diff A.png B.png [X Y W H]
//                                          share of pixels that differ (0..1), optionally
//                                          inside a rectangle only
//   aerolume_xprobe clouds A.png B.png [X Y W H]
//                                          share of the clouded sky (sky in both, clouded
//                                          in either) whose clouds differ (0..1): the
//                                          balloons, their ropes and what they cover are
//                                          left out; status 3 when both show sky over
//                                          half the rectangle and neither a cloud
//   aerolume_xprobe look X Y W H [RRGGBB]  share of the screen's rectangle now in the sky
//                                          colour (or RRGGBB, exactly), read straight
//                                          from the server: no file, fast on big screens
//   aerolume_xprobe changes WINDOW SECONDS share of the window's own picture (under a
//                                          compositing manager, what it drew even
//                                          where other windows cover it) that changes
//                                          over SECONDS
//   aerolume_xprobe owned SELECTION        status 0 when a client owns the selection
//   aerolume_xprobe input WINDOW           the number of rectangles in the window's
//                                          input shape (0: clicks fall through it)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "renderer/png_io.h"

namespace {

using aerolume::RgbImage;

int usage() {
  std::fputs(
      "usage: aerolume_xprobe grab OUT.png | sky FILE.png [X Y W H] | "
      "diff A.png B.png [X Y W H] | clouds A.png B.png [X Y W H] | "
      "look X Y W H [RRGGBB] | changes WINDOW SECONDS | owned SELECTION | input WINDOW\n",
      stderr);
  return 2;
}

bool load(const char* path, RgbImage* image) {
  std::string error;
  if (aerolume::read_png(path, image, &error)) return true;
  std::fprintf(stderr, "aerolume_xprobe: %s\n", error.c_str());
  return false;
}

// A window id as xdotool and xwininfo print it (decimal or 0x hexadecimal); 0 when it is
// none.
Window window_id(const char* text) {
  char* end = nullptr;
  const unsigned long id = std::strtoul(text, &end, 0);
  return end != text && *end == '\0' ? id : 0;
}

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

Display* open_display() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) std::fputs("aerolume_xprobe: cannot open the X display\n", stderr);
  return display;
}

// The window's size (the whole window when rect->w is 0) and whether it exists.
bool window_rect(Display* display, Window window, Rect* rect) {
  XWindowAttributes attributes;
  if (window == 0 || XGetWindowAttributes(display, window, &attributes) == 0) {
    std::fputs("aerolume_xprobe: no such window\n", stderr);
    return false;
  }
  if (rect->w == 0) *rect = {0, 0, attributes.width, attributes.height};
  if (rect->x >= 0 && rect->y >= 0 && rect->w > 0 && rect->h > 0 &&
      static_cast<long long>(rect->x) + rect->w <= attributes.width &&
      static_cast<long long>(rect->y) + rect->h <= attributes.height)
    return true;
  std::fputs("aerolume_xprobe: the rectangle lies outside the window\n", stderr);
  return false;
}

// Reads the rectangle of the window (the root: what the screen shows; a window under a
// compositing manager: its own picture) as RGB.
bool read_window(Display* display, Window window, const Rect& r, RgbImage* image) {
  XImage* shot = XGetImage(display, window, r.x, r.y, r.w, r.h, AllPlanes, ZPixmap);
  if (shot == nullptr) {
    std::fputs("aerolume_xprobe: cannot read the screen\n", stderr);
    return false;
  }
  image->width = r.w;
  image->height = r.h;
  image->pixels.resize(static_cast<std::size_t>(r.w) * r.h * 3);
  for (int y = 0; y < r.h; ++y)
    for (int x = 0; x < r.w; ++x) {
      const unsigned long p = XGetPixel(shot, x, y);
      std::uint8_t* out = &image->pixels[(static_cast<std::size_t>(y) * r.w + x) * 3];
      out[0] = static_cast<std::uint8_t>((p & shot->red_mask) >> __builtin_ctzl(shot->red_mask));
      out[1] = static_cast<std::uint8_t>((p & shot->green_mask) >> __builtin_ctzl(shot->green_mask));
      out[2] = static_cast<std::uint8_t>((p & shot->blue_mask) >> __builtin_ctzl(shot->blue_mask));
    }
  XDestroyImage(shot);
  return true;
}

int grab(const char* path) {
  Display* display = open_display();
  if (display == nullptr) return 1;
  const Window window = DefaultRootWindow(display);
  Rect whole;
  RgbImage image;
  const bool read = window_rect(display, window, &whole) && read_window(display, window, whole, &image);
  XCloseDisplay(display);
  if (!read) return 1;
  std::string error;
  if (!aerolume::write_png(path, image, &error)) {
    std::fprintf(stderr, "aerolume_xprobe: %s\n", error.c_str());
    return 1;
  }
  return 0;
}


// The rectangle X Y W H in argv[first..first+3] when given, else the whole image; false
// (said on stderr) when it does not lie inside the image.
bool rectangle(int argc, char** argv, int first, const RgbImage& image, Rect* rect) {
  *rect = {0, 0, image.width, image.height};
  if (argc == first + 4) {
    rect->x = std::atoi(argv[first]);
    rect->y = std::atoi(argv[first + 1]);
    rect->w = std::atoi(argv[first + 2]);
    rect->h = std::atoi(argv[first + 3]);
  }
  // In 64 bits: a corner far out must not overflow the sum.
  if (rect->x >= 0 && rect->y >= 0 && rect->w > 0 && rect->h > 0 &&
      static_cast<long long>(rect->x) + rect->w <= image.width &&
      static_cast<long long>(rect->y) + rect->h <= image.height)
    return true;
  std::fputs("aerolume_xprobe: the rectangle lies outside the image\n", stderr);
  return false;
}

// The share of the image's rectangle in the sky colour (within one step of red and green,
// as the scene's sky comes out), or exactly in the colour RRGGBB when one is given (>= 0).
double share_of(const RgbImage& image, const Rect& r, long colour) {
  std::size_t count = 0;
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x) {
      const std::uint8_t* p = image.at(x, y);
      if (colour < 0 ? std::abs(p[0] - 51) <= 1 && std::abs(p[1] - 128) <= 1 && p[2] == 255
                     : p[0] == ((colour >> 16) & 0xff) && p[1] == ((colour >> 8) & 0xff) &&
                           p[2] == (colour & 0xff))
        ++count;
    }
  return static_cast<double>(count) / (static_cast<double>(r.w) * r.h);
}

int sky(int argc, char** argv) {
  RgbImage image;
  if (!load(argv[2], &image)) return 1;
  Rect r{0, 0, image.width, image.height};
  if (argc == 7) r = {std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6])};
  if (r.w <= 0 || r.h <= 0 || r.x < 0 || r.y < 0 || r.x + r.w > image.width || r.y + r.h > image.height)
    return usage();
  std::printf("%.4f\n", share_of(image, r, -1));
  return 0;
}

int look(int argc, char** argv) {
  Rect r{std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5])};
  if (r.w <= 0) return usage();
  const long colour = argc == 7 ? std::strtol(argv[6], nullptr, 16) : -1;
  Display* display = open_display();
  if (display == nullptr) return 1;
  const Window root = DefaultRootWindow(display);
  RgbImage image;
  const bool read = window_rect(display, root, &r) && read_window(display, root, r, &image);
  XCloseDisplay(display);
  if (!read) return 1;
  std::printf("%.4f\n", share_of(image, {0, 0, r.w, r.h}, colour));
  return 0;
}

// The share of pixels that differ between two images of one size.
double differing(const RgbImage& a, const RgbImage& b) {
  std::size_t count = 0;
  for (std::size_t i = 0; i + 2 < a.pixels.size(); i += 3)
    if (a.pixels[i] != b.pixels[i] || a.pixels[i + 1] != b.pixels[i + 1] ||
        a.pixels[i + 2] != b.pixels[i + 2])
      ++count;
  return static_cast<double>(count) / (a.pixels.size() / 3);
}

int changes(const char* window_text, const char* seconds) {
  Display* display = open_display();
  if (display == nullptr) return 1;
  const Window window = window_id(window_text);
  Rect whole;
  RgbImage before, after;
  bool read = window_rect(display, window, &whole) && read_window(display, window, whole, &before);
  if (read) {
    std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(seconds)));
    read = window_rect(display, window, &whole) && read_window(display, window, whole, &after) &&
           after.width == before.width && after.height == before.height;
  }
  XCloseDisplay(display);
  if (!read) return 1;
  std::printf("%.4f\n", differing(before, after));
  return 0;
}

// The two images of a comparison and the rectangle compared (the whole image unless
// X Y W H follow); false with a message when they cannot be compared.
struct Comparison {
  RgbImage a, b;
  int x0 = 0, y0 = 0, w = 0, h = 0;
};
bool compared(int argc, char** argv, Comparison* c) {
  if (!load(argv[2], &c->a) || !load(argv[3], &c->b)) return false;
  if (c->a.width != c->b.width || c->a.height != c->b.height) {
    std::fputs("aerolume_xprobe: the two images differ in size\n", stderr);
    return false;
  }
  Rect r;
  if (!rectangle(argc, argv, 4, c->a, &r)) return false;
  c->x0 = r.x;
  c->y0 = r.y;
  c->w = r.w;
  c->h = r.h;
  return true;
}

int diff(int argc, char** argv) {
  Comparison c;
  if (!compared(argc, argv, &c)) return 2;
  std::size_t changed = 0;
  for (int y = c.y0; y < c.y0 + c.h; ++y)
    for (int x = c.x0; x < c.x0 + c.w; ++x) {
      const std::uint8_t* p = c.a.at(x, y);
      const std::uint8_t* q = c.b.at(x, y);
      if (p[0] != q[0] || p[1] != q[1] || p[2] != q[2]) ++changed;
    }
  std::printf("%.4f\n", static_cast<double>(changed) / (static_cast<double>(c.w) * c.h));
  return 0;
}

// The sky is its colour (51, 128, 255) blended toward white where clouds lie: full blue,
// red no more than green. The red balloons are not, and their thin grey ropes hardly
// count. Clouded: redder than the clear sky by more than dithering.
bool sky_or_cloud(const std::uint8_t* p) { return p[2] >= 250 && p[0] <= p[1] + 2; }
bool clouded(const std::uint8_t* p) { return p[0] > 51 + 6; }

// Counted over the sky clouded in either picture, not over all the sky: clear sky is the
// same in any two scenes, so two sets of clouds that both leave much of it clear still
// differ in most of what they cover, and the share does not hang on how cloudy they are.
int clouds(int argc, char** argv) {
  Comparison c;
  if (!compared(argc, argv, &c)) return 2;
  std::size_t sky = 0, cloud = 0, changed = 0;
  for (int y = c.y0; y < c.y0 + c.h; ++y)
    for (int x = c.x0; x < c.x0 + c.w; ++x) {
      const std::uint8_t* p = c.a.at(x, y);
      const std::uint8_t* q = c.b.at(x, y);
      if (!sky_or_cloud(p) || !sky_or_cloud(q)) continue;
      ++sky;
      if (!clouded(p) && !clouded(q)) continue;
      ++cloud;
      // More than dithering: the cloud's density differs here.
      if (std::abs(p[0] - q[0]) > 6 || std::abs(p[1] - q[1]) > 6) ++changed;
    }
  // About one scene in forty leaves a saver-sized view without a cloud: that clear sky
  // is the same in both, which is not a screen with no sky on it.
  if (cloud == 0 && 2 * sky >= static_cast<std::size_t>(c.w) * c.h) {
    std::fputs("aerolume_xprobe: a clear sky without clouds in both images\n", stderr);
    return 3;
  }
  if (cloud == 0) {
    std::fputs("aerolume_xprobe: no clouded sky in either image\n", stderr);
    return 2;
  }
  std::printf("%.4f\n", static_cast<double>(changed) / static_cast<double>(cloud));
  return 0;
}

// Whether a client owns the selection (a compositing manager owns _NET_WM_CM_S0).
int owned(const char* selection) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fputs("aerolume_xprobe: cannot open the X display\n", stderr);
    return 2;
  }
  const bool taken = XGetSelectionOwner(display, XInternAtom(display, selection, False)) != None;
  XCloseDisplay(display);
  return taken ? 0 : 1;
}

// The number of rectangles in the window's input shape: 0 means no click lands on it.
int input(const char* window_text) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fputs("aerolume_xprobe: cannot open the X display\n", stderr);
    return 2;
  }
  int event_base = 0, error_base = 0;
  const Window window = window_id(window_text);
  XWindowAttributes attributes;
  if (!XShapeQueryExtension(display, &event_base, &error_base) || window == 0 ||
      XGetWindowAttributes(display, window, &attributes) == 0) {
    std::fputs("aerolume_xprobe: no such window, or no SHAPE extension\n", stderr);
    XCloseDisplay(display);
    return 2;
  }
  int count = 0, ordering = 0;
  XRectangle* rects = XShapeGetRectangles(display, window, ShapeInput, &count, &ordering);
  if (rects != nullptr) XFree(rects);
  std::printf("%d\n", count);
  XCloseDisplay(display);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string command = argv[1];
  if (command == "grab" && argc == 3) return grab(argv[2]);
  if (command == "owned" && argc == 3) return owned(argv[2]);
  if (command == "input" && argc == 3) return input(argv[2]);
  if (command == "look" && (argc == 6 || argc == 7)) return look(argc, argv);
  if (command == "changes" && argc == 4) return changes(argv[2], argv[3]);
  if (command == "sky" && (argc == 3 || argc == 7)) return sky(argc, argv);
  if (command == "diff" && (argc == 4 || argc == 8)) return diff(argc, argv);
  if (command == "clouds" && (argc == 4 || argc == 8)) return clouds(argc, argv);
  return usage();
}
