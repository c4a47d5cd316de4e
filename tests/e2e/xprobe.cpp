// aerolume_xprobe: what a person sees on an X screen, for the end-to-end tests.
//   aerolume_xprobe grab OUT.png           the whole root window as a PNG
//   aerolume_xprobe sky FILE.png           share of pixels in the sky colour (0..1)
//   aerolume_xprobe diff A.png B.png [X Y W H]
//                                          share of pixels that differ (0..1), optionally
//                                          inside a rectangle only
//   aerolume_xprobe clouds A.png B.png [X Y W H]
//                                          share of the sky (clear or clouded, in both)
//                                          whose clouds differ (0..1): the balloons, their
//                                          ropes and what they cover are left out
//   aerolume_xprobe owned SELECTION        status 0 when a client owns the selection
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "renderer/png_io.h"

namespace {

using aerolume::RgbImage;

int usage() {
  std::fputs(
      "usage: aerolume_xprobe grab OUT.png | sky FILE.png | diff A.png B.png [X Y W H] | "
      "clouds A.png B.png [X Y W H] | owned SELECTION\n",
      stderr);
  return 2;
}

bool load(const char* path, RgbImage* image) {
  std::string error;
  if (aerolume::read_png(path, image, &error)) return true;
  std::fprintf(stderr, "aerolume_xprobe: %s\n", error.c_str());
  return false;
}

int grab(const char* path) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fputs("aerolume_xprobe: cannot open the X display\n", stderr);
    return 1;
  }
  const Window root = DefaultRootWindow(display);
  XWindowAttributes attributes;
  XGetWindowAttributes(display, root, &attributes);
  XImage* shot = XGetImage(display, root, 0, 0, attributes.width, attributes.height, AllPlanes,
                           ZPixmap);
  if (shot == nullptr) {
    std::fputs("aerolume_xprobe: cannot read the screen\n", stderr);
    XCloseDisplay(display);
    return 1;
  }
  RgbImage image;
  image.width = attributes.width;
  image.height = attributes.height;
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height * 3);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const unsigned long p = XGetPixel(shot, x, y);
      std::uint8_t* out = &image.pixels[(static_cast<std::size_t>(y) * image.width + x) * 3];
      out[0] = static_cast<std::uint8_t>((p & shot->red_mask) >> __builtin_ctzl(shot->red_mask));
      out[1] = static_cast<std::uint8_t>((p & shot->green_mask) >> __builtin_ctzl(shot->green_mask));
      out[2] = static_cast<std::uint8_t>((p & shot->blue_mask) >> __builtin_ctzl(shot->blue_mask));
    }
  XDestroyImage(shot);
  XCloseDisplay(display);
  std::string error;
  if (!aerolume::write_png(path, image, &error)) {
    std::fprintf(stderr, "aerolume_xprobe: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

int sky(const char* path) {
  RgbImage image;
  if (!load(path, &image)) return 1;
  std::size_t count = 0;
  for (std::size_t i = 0; i + 2 < image.pixels.size(); i += 3) {
    const int r = image.pixels[i], g = image.pixels[i + 1], b = image.pixels[i + 2];
    if (std::abs(r - 51) <= 1 && std::abs(g - 128) <= 1 && b == 255) ++count;
  }
  std::printf("%.4f\n", static_cast<double>(count) / (image.pixels.size() / 3));
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
  c->w = c->a.width;
  c->h = c->a.height;
  if (argc == 8) {
    c->x0 = std::atoi(argv[4]);
    c->y0 = std::atoi(argv[5]);
    c->w = std::atoi(argv[6]);
    c->h = std::atoi(argv[7]);
  }
  if (c->x0 < 0 || c->y0 < 0 || c->w <= 0 || c->h <= 0 || c->x0 + c->w > c->a.width ||
      c->y0 + c->h > c->a.height) {
    std::fputs("aerolume_xprobe: the rectangle lies outside the image\n", stderr);
    return false;
  }
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
// count.
bool sky_or_cloud(const std::uint8_t* p) { return p[2] >= 250 && p[0] <= p[1] + 2; }

int clouds(int argc, char** argv) {
  Comparison c;
  if (!compared(argc, argv, &c)) return 2;
  std::size_t sky = 0, changed = 0;
  for (int y = c.y0; y < c.y0 + c.h; ++y)
    for (int x = c.x0; x < c.x0 + c.w; ++x) {
      const std::uint8_t* p = c.a.at(x, y);
      const std::uint8_t* q = c.b.at(x, y);
      if (!sky_or_cloud(p) || !sky_or_cloud(q)) continue;
      ++sky;
      // More than dithering: the cloud's density differs here.
      if (std::abs(p[0] - q[0]) > 6 || std::abs(p[1] - q[1]) > 6) ++changed;
    }
  if (sky == 0) {
    std::fputs("aerolume_xprobe: no sky in both images\n", stderr);
    return 2;
  }
  std::printf("%.4f\n", static_cast<double>(changed) / static_cast<double>(sky));
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string command = argv[1];
  if (command == "grab" && argc == 3) return grab(argv[2]);
  if (command == "owned" && argc == 3) return owned(argv[2]);
  if (command == "sky" && argc == 3) return sky(argv[2]);
  if (command == "diff" && (argc == 4 || argc == 8)) return diff(argc, argv);
  if (command == "clouds" && (argc == 4 || argc == 8)) return clouds(argc, argv);
  return usage();
}
