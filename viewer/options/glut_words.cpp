// GLUT's options split from ours, and -geometry as X programs write it.
#include "viewer/options/glut_words.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace aerolume {

bool parse_window_geometry(std::string_view text, WindowGeometry* geometry) {
  constexpr int largest = 32767;  // X's coordinates and sides are 16-bit
  std::size_t at = 0;
  // Up to five digits, at most largest; -1 when there are none or too many.
  const auto number = [&]() {
    const std::size_t start = at;
    int value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 6)
      value = value * 10 + (text[at++] - '0');
    return at == start || at - start > 5 || value > largest ? -1 : value;
  };
  WindowGeometry read;
  if (at < text.size() && text[at] == '=') ++at;
  if (at < text.size() && text[at] >= '0' && text[at] <= '9' && (read.width = number()) < 1)
    return false;
  if (at < text.size() && (text[at] == 'x' || text[at] == 'X')) {
    ++at;
    if (at < text.size() && text[at] >= '0' && text[at] <= '9' && (read.height = number()) < 1)
      return false;
    if (read.width == 0 && read.height == 0) return false;  // "x" alone
  }
  if (at < text.size()) {
    for (int* offset : {&read.x, &read.y}) {
      if (at >= text.size() || (text[at] != '+' && text[at] != '-')) return false;
      (offset == &read.x ? read.from_right : read.from_bottom) = text[at++] == '-';
      if ((*offset = number()) < 0) return false;
    }
    read.placed = true;
  }
  if (at != text.size() || (read.width == 0 && read.height == 0 && !read.placed)) return false;
  *geometry = read;
  return true;
}

WindowPlace windowed_place(const WindowGeometry& geometry, int screen_width, int screen_height) {
  WindowPlace place{10, 30, 1024, 768};
  if (geometry.width > 0) place.width = geometry.width;
  if (geometry.height > 0) place.height = geometry.height;
  if (geometry.placed) {
    place.x = geometry.from_right ? screen_width - place.width - geometry.x : geometry.x;
    place.y = geometry.from_bottom ? screen_height - place.height - geometry.y : geometry.y;
  }
  return place;
}

SplitCommandLine split_glut_options(int argc, char** argv) {
  static constexpr std::string_view alone[] = {"-iconic", "-direct", "-indirect", "-gldebug",
                                               "-sync"};
  SplitCommandLine split;
  if (argc > 0) {
    split.glut.push_back(argv[0]);
    split.ours.push_back(argv[0]);
  }
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "-display" || word == "-geometry") {
      if (i + 1 >= argc) {
        split.problem = std::string(word) + " needs a value";
        continue;
      }
      const char* value = argv[++i];
      if (word == "-display") {
        split.display = value;
        continue;
      }
      split.geometry = value;
      if (split.own_window_option == nullptr) split.own_window_option = argv[i - 1];
      if (!parse_window_geometry(value, &split.window_geometry))
        split.problem = std::string("-geometry: '") + value +
                        "' is not a window geometry (WxH+X+Y, WxH, +X+Y or -X-Y)";
    } else if (std::find(std::begin(alone), std::end(alone), word) != std::end(alone)) {
      if (split.own_window_option == nullptr) split.own_window_option = argv[i];
      split.glut.push_back(argv[i]);
    } else if (word == "-root") {
      // The single-dash spellings that screen-saver hosts pass to the programs they start.
      split.ours.push_back(const_cast<char*>("--root"));
    } else if (word == "-window-id") {
      split.ours.push_back(const_cast<char*>("--window-id"));
    } else {
      split.ours.push_back(argv[i]);
    }
  }
  return split;
}

}  // namespace aerolume
