#include "viewer/wayland/buffer_size.h"

namespace aerolume {

std::optional<BufferSize> layer_buffer_size(std::uint32_t width, std::uint32_t height,
                                            std::int32_t scale) {
  const double factor = scale > 1 ? scale : 1;
  const double width_pixels = static_cast<double>(width) * factor;
  const double height_pixels = static_cast<double>(height) * factor;
  if (width == 0 || height == 0 || width_pixels > max_buffer_side || height_pixels > max_buffer_side)
    return std::nullopt;
  return BufferSize{static_cast<int>(width_pixels), static_cast<int>(height_pixels)};
}

}  // namespace aerolume
