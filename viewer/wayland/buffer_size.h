// The size in pixels of the buffers behind a Wayland layer surface: the surface's size
// (in the compositor's surface units) times the output's scale.
#pragma once

#include <cstdint>
#include <optional>

namespace aerolume {

struct BufferSize {
  int width = 0;
  int height = 0;
  bool operator==(const BufferSize&) const = default;
};

// The largest buffer side drawn; a larger one is left undrawn rather than overflow.
inline constexpr double max_buffer_side = 32768.0;

// The buffer for a surface of width x height at the given scale (taken as 1 below 1).
// None while there is nothing to draw at: a side still 0 (the compositor has not sized
// the surface) or one over max_buffer_side. The product is formed in double, so that no
// size and scale a compositor sends can overflow it.
std::optional<BufferSize> layer_buffer_size(std::uint32_t width, std::uint32_t height,
                                            std::int32_t scale);

}  // namespace aerolume
