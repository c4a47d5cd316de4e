// The buffers behind a layer surface: its size times the output's scale, none while
// unsized or too large to draw; which swap presents a partial frame's damage; and the
// title of a window for a shell's extension, which finds the window's monitor by it.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "viewer/wayland/buffer_size.h"
#include "viewer/wayland/egl.h"
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

// Partial frames need both the buffers' age and a swap that takes the damage; the KHR
// swap is taken before the EXT one, names match whole, and --full-frames draws whole.
TEST(WaylandPartialFrames, PresentedWithDamageOnlyWithTheAgeAndASwapWithDamage) {
  // Mesa 22.3's software driver on the Wayland platform, as read under sway and GNOME Shell.
  const char* mesa_swrast =
      "EGL_EXT_create_context_robustness EGL_KHR_cl_event2 EGL_KHR_config_attribs "
      "EGL_KHR_context_flush_control EGL_KHR_create_context EGL_KHR_create_context_no_error "
      "EGL_KHR_fence_sync EGL_KHR_get_all_proc_addresses EGL_KHR_gl_colorspace "
      "EGL_KHR_gl_renderbuffer_image EGL_KHR_gl_texture_2D_image EGL_KHR_gl_texture_3D_image "
      "EGL_KHR_gl_texture_cubemap_image EGL_KHR_image_base EGL_KHR_no_config_context "
      "EGL_KHR_reusable_sync EGL_KHR_surfaceless_context EGL_EXT_pixel_format_float "
      "EGL_KHR_wait_sync EGL_MESA_configless_context EGL_MESA_drm_image EGL_MESA_query_driver ";
  struct Row {
    const char* extensions;
    bool full_frames;
    const char* swap;
  };
  const Row rows[] = {
      {mesa_swrast, false, nullptr},
      {nullptr, false, nullptr},
      {"EGL_EXT_buffer_age EGL_KHR_swap_buffers_with_damage", false, "eglSwapBuffersWithDamageKHR"},
      {"EGL_EXT_swap_buffers_with_damage EGL_EXT_buffer_age", false, "eglSwapBuffersWithDamageEXT"},
      {"EGL_EXT_swap_buffers_with_damage EGL_KHR_swap_buffers_with_damage EGL_EXT_buffer_age", false,
       "eglSwapBuffersWithDamageKHR"},
      {"EGL_EXT_buffer_age EGL_KHR_swap_buffers_with_damage", true, nullptr},
      {"EGL_EXT_buffer_age EGL_KHR_partial_update", false, nullptr},
      {"EGL_KHR_swap_buffers_with_damage EGL_EXT_swap_buffers_with_damage", false, nullptr},
      {"EGL_EXT_buffer_age_query EGL_KHR_swap_buffers_with_damage", false, nullptr},
  };
  for (const Row& row : rows) {
    const char* swap = swap_with_damage_name(row.extensions, row.full_frames);
    EXPECT_STREQ(swap, row.swap) << (row.extensions ? row.extensions : "(none)")
                                 << (row.full_frames ? " with --full-frames" : "");
  }
}

}  // namespace
}  // namespace aerolume
