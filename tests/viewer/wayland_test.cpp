// The buffers behind a layer surface: its size times the output's scale, none while
// unsized or too large to draw. The title of a window for a shell's extension, which
// finds the window's monitor by it.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "viewer/wayland/buffer_size.h"
#include "viewer/wayland/output.h"

namespace aerolume {
namespace {

TEST(LayerBufferSize, SurfaceTimesScaleWithinTheLargestSide) {
  struct Row {
    std::uint32_t width, height;
    std::int32_t scale;
    std::optional<BufferSize> buffer;
  };
  const Row rows[] = {
      {1280, 1024, 1, BufferSize{1280, 1024}},
      {1280, 1024, 2, BufferSize{2560, 2048}},
      {1280, 1024, 0, BufferSize{1280, 1024}},    // a scale below 1 counts as 1
      {1280, 1024, -3, BufferSize{1280, 1024}},
      {0, 1024, 1, std::nullopt},                 // not sized yet
      {1280, 0, 2, std::nullopt},
      {16384, 100, 2, BufferSize{32768, 200}},    // the largest side itself
      {16385, 100, 2, std::nullopt},
      {100, 32769, 1, std::nullopt},
      {4000000000u, 4000000000u, 2147483647, std::nullopt},  // no overflow on the way
  };
  for (const Row& row : rows)
    EXPECT_EQ(layer_buffer_size(row.width, row.height, row.scale), row.buffer)
        << row.width << " x " << row.height << " at scale " << row.scale;
}

// The extension reads "Aerolume background[ on NAME] at X,Y": the name where the
// compositor names its outputs, the place always, negative coordinates included.
TEST(ShellWindowTitle, NamesTheOutputAndItsPlace) {
  OutputRecord record;
  record.x = -1920;
  record.y = 0;
  EXPECT_EQ(shell_window_title(record), "Aerolume background at -1920,0");
  record.name = "DP-1";
  record.x = 1280;
  record.y = 200;
  EXPECT_EQ(shell_window_title(record), "Aerolume background on DP-1 at 1280,200");
}

}  // namespace
}  // namespace aerolume
