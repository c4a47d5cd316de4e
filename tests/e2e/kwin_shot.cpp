// Grabs what KWin shows on its active screen, or with --workspace on all its screens
// side by side, into a PNG file, through KWin's screenshot interface on the session bus
// (org.kde.KWin.ScreenShot2, CaptureActiveScreen or CaptureWorkspace): the
// pixels come down a pipe, their size and layout in the reply. KWin answers any caller
// when it runs with KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1.
// Usage: aerolume_kwin_shot [--workspace] FILE.png   (status 1 and a line when it cannot)
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "renderer/png_io.h"
#include "renderer/rgb_image.h"

namespace {

struct Layout {
  std::uint32_t width = 0, height = 0, stride = 0, format = 0;
};

// The reply's a{sv}: the unsigned integers width, height, stride and format.
bool read_layout(sd_bus_message* reply, Layout* layout) {
  if (sd_bus_message_enter_container(reply, 'a', "{sv}") < 0) return false;
  while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
    const char* key = nullptr;
    if (sd_bus_message_read(reply, "s", &key) < 0) return false;
    std::uint32_t* field = std::strcmp(key, "width") == 0    ? &layout->width
                           : std::strcmp(key, "height") == 0 ? &layout->height
                           : std::strcmp(key, "stride") == 0 ? &layout->stride
                           : std::strcmp(key, "format") == 0 ? &layout->format
                                                             : nullptr;
    const int r = field != nullptr ? sd_bus_message_read(reply, "v", "u", field)
                                   : sd_bus_message_skip(reply, "v");
    if (r < 0 || sd_bus_message_exit_container(reply) < 0) return false;
  }
  return sd_bus_message_exit_container(reply) >= 0;
}

int fail(const char* what) {
  std::fprintf(stderr, "aerolume_kwin_shot: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool workspace = argc == 3 && std::strcmp(argv[1], "--workspace") == 0;
  if (argc != 2 && !workspace) return fail("usage: aerolume_kwin_shot [--workspace] FILE.png");
  const char* file = argv[argc - 1];
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) return fail("no session bus");
  int ends[2];
  if (pipe(ends) != 0) return fail("no pipe");
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  const int r = sd_bus_call_method(bus, "org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                                   "org.kde.KWin.ScreenShot2",
                                   workspace ? "CaptureWorkspace" : "CaptureActiveScreen", &error,
                                   &reply, "a{sv}h", 0, ends[1]);
  close(ends[1]);
  if (r < 0) return fail(error.message != nullptr ? error.message : "the call failed");
  Layout layout;
  if (!read_layout(reply, &layout) || layout.width == 0 || layout.stride < 4 * layout.width)
    return fail("the reply gives no usable size");
  // QImage's 32-bit formats (RGB32, ARGB32, ARGB32_Premultiplied): one word a pixel,
  // 0xAARRGGBB, in the machine's order.
  if (layout.format < 4 || layout.format > 6) return fail("the pixels come in a format not read here");
  std::vector<std::uint8_t> raw;
  std::uint8_t chunk[65536];
  for (ssize_t n = 0; (n = read(ends[0], chunk, sizeof chunk)) > 0;) raw.insert(raw.end(), chunk, chunk + n);
  if (raw.size() < static_cast<std::size_t>(layout.stride) * layout.height)
    return fail("the pipe brought fewer pixels than the reply promised");
  aerolume::RgbImage image;
  image.width = static_cast<int>(layout.width);
  image.height = static_cast<int>(layout.height);
  image.pixels.reserve(static_cast<std::size_t>(image.width) * image.height * 3);
  for (std::uint32_t y = 0; y < layout.height; ++y)
    for (std::uint32_t x = 0; x < layout.width; ++x) {
      std::uint32_t word = 0;
      std::memcpy(&word, &raw[static_cast<std::size_t>(y) * layout.stride + 4 * x], 4);
      image.pixels.push_back(static_cast<std::uint8_t>(word >> 16));
      image.pixels.push_back(static_cast<std::uint8_t>(word >> 8));
      image.pixels.push_back(static_cast<std::uint8_t>(word));
    }
  std::string message;
  if (!aerolume::write_png(file, image, &message)) return fail(message.c_str());
  sd_bus_message_unref(reply);
  sd_bus_unref(bus);
  return 0;
}
