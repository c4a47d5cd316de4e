// aerolume_xprobe: what a person sees on an X screen, for the end-to-end tests.
//   aerolume_xprobe grab OUT.png           the whole root window as a PNG
//   aerolume_xprobe sky FILE.png           share of pixels in the sky colour (0..1)
//   aerolume_xprobe diff A.png B.png [X Y W H]
//                                          share of pixels that differ (0..1), optionally
//                                          inside a rectangle only
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
      "owned SELECTION\n",
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

int diff(int argc, char** argv) {
  RgbImage a, b;
  if (!load(argv[2], &a) || !load(argv[3], &b)) return 1;
  if (a.width != b.width || a.height != b.height) {
    std::fputs("aerolume_xprobe: the two images differ in size\n", stderr);
    return 1;
  }
  int x0 = 0, y0 = 0, w = a.width, h = a.height;
  if (argc == 8) {
    x0 = std::atoi(argv[4]);
    y0 = std::atoi(argv[5]);
    w = std::atoi(argv[6]);
    h = std::atoi(argv[7]);
  }
  if (x0 < 0 || y0 < 0 || w <= 0 || h <= 0 || x0 + w > a.width || y0 + h > a.height) {
    std::fputs("aerolume_xprobe: the rectangle lies outside the image\n", stderr);
    return 2;
  }
  std::size_t changed = 0;
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) {
      const std::uint8_t* p = a.at(x, y);
      const std::uint8_t* q = b.at(x, y);
      if (p[0] != q[0] || p[1] != q[1] || p[2] != q[2]) ++changed;
    }
  std::printf("%.4f\n", static_cast<double>(changed) / (static_cast<double>(w) * h));
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
  return usage();
}
