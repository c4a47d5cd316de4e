// One output's life, created and destroyed side by side: the listeners of its wl_output,
// its layer surface and its frame callbacks only write what arrived into the record;
// the making, sizing and drop of the surface follow them.
#include "viewer/wayland/output.h"

#include <algorithm>
#include <cmath>

#include "viewer/wayland/buffer_size.h"

namespace aerolume {

namespace {

constexpr const char* layer_namespace = "aerolume";

void on_output_geometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                        std::int32_t, const char*, const char*, std::int32_t) {}
// Every mode is listed, the current one flagged; a new current mode comes again when
// the output changes mode.
void on_output_mode(void* data, wl_output*, std::uint32_t flags, std::int32_t, std::int32_t,
                    std::int32_t refresh_mhz) {
  if ((flags & WL_OUTPUT_MODE_CURRENT) != 0)
    static_cast<OutputRecord*>(data)->refresh_mhz = std::max(refresh_mhz, 0);
}
void on_output_done(void* data, wl_output*) { static_cast<OutputRecord*>(data)->described = true; }
void on_output_scale(void* data, wl_output*, std::int32_t scale) {
  static_cast<OutputRecord*>(data)->scale = std::max(scale, 1);
}
void on_output_name(void* data, wl_output*, const char* name) {
  static_cast<OutputRecord*>(data)->name = name;
}
void on_output_description(void*, wl_output*, const char*) {}
// Listener tables are filled by member, as later versions of libwayland add members.
wl_output_listener make_output_listener() {
  wl_output_listener listener{};
  listener.geometry = on_output_geometry;
  listener.mode = on_output_mode;
  listener.done = on_output_done;
  listener.scale = on_output_scale;
  listener.name = on_output_name;
  listener.description = on_output_description;
  return listener;
}
const wl_output_listener output_listener = make_output_listener();

void on_layer_configure(void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t width,
                        std::uint32_t height) {
  auto* record = static_cast<OutputRecord*>(data);
  record->configure_serial = serial;
  record->width = width;
  record->height = height;
}
void on_layer_closed(void* data, zwlr_layer_surface_v1*) { static_cast<OutputRecord*>(data)->gone = true; }
const zwlr_layer_surface_v1_listener layer_surface_listener = {on_layer_configure, on_layer_closed};

// The first callback after a swap comes with the refresh that showed the frame; each
// later one counts a refresh, and where its time (the compositor's, in ms) says more
// refreshes have passed since, as many as that.
void on_frame_done(void* data, wl_callback* callback, std::uint32_t time_ms) {
  wl_callback_destroy(callback);
  auto* record = static_cast<OutputRecord*>(data);
  record->frame_callback = nullptr;
  if (record->callbacks == 0) record->shown_ms = time_ms;
  int by_time = 0;
  if (record->refresh_mhz > 0) {
    // Unsigned: the compositor's millisecond clock may wrap.
    const double since = static_cast<double>(static_cast<std::uint32_t>(time_ms - record->shown_ms));
    by_time = 1 + static_cast<int>(std::min(std::lround(since * record->refresh_mhz / 1.0e6), 1000000L));
  }
  record->callbacks = std::max(record->callbacks + 1, by_time);
}
const wl_callback_listener frame_listener = {on_frame_done};

}  // namespace

std::unique_ptr<OutputRecord> bind_output(wl_registry* registry, std::uint32_t name,
                                          std::uint32_t version) {
  auto record = std::make_unique<OutputRecord>();
  record->global_name = name;
  record->output_version = std::min(version, 4u);
  record->output =
      static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, record->output_version));
  record->described = record->output_version < 2;  // no done event before version 2
  wl_output_add_listener(record->output, &output_listener, record.get());
  return record;
}

void make_layer_surface(OutputRecord& record, wl_compositor* compositor,
                        zwlr_layer_shell_v1* layer_shell, bool overlay) {
  record.surface = wl_compositor_create_surface(compositor);
  record.layer_surface = zwlr_layer_shell_v1_get_layer_surface(
      layer_shell, record.surface, record.output,
      overlay ? ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY : ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND,
      layer_namespace);
  zwlr_layer_surface_v1_add_listener(record.layer_surface, &layer_surface_listener, &record);
  zwlr_layer_surface_v1_set_size(record.layer_surface, 0, 0);
  zwlr_layer_surface_v1_set_anchor(
      record.layer_surface, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_exclusive_zone(record.layer_surface, -1);
  // 1 (exclusive) and 0 (none) mean the same in every version of the layer shell.
  zwlr_layer_surface_v1_set_keyboard_interactivity(
      record.layer_surface, overlay ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE
                                    : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
  wl_surface_commit(record.surface);
}

void drop_output(OutputRecord& record, const EglObjects& egl) {
  if (record.frame_callback != nullptr) wl_callback_destroy(record.frame_callback);
  if (record.egl_surface != EGL_NO_SURFACE) {
    // Released first, so that EGL lets go of the window before it is destroyed; the next
    // draw makes the context current again.
    eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroySurface(egl.display, record.egl_surface);
  }
  if (record.egl_window != nullptr) wl_egl_window_destroy(record.egl_window);
  if (record.layer_surface != nullptr) zwlr_layer_surface_v1_destroy(record.layer_surface);
  if (record.surface != nullptr) wl_surface_destroy(record.surface);
  if (record.output_version >= 3)
    wl_output_release(record.output);
  else
    wl_output_destroy(record.output);
}

bool follow_configure(OutputRecord& record, const EglObjects& egl, std::uint32_t compositor_version) {
  const bool scalable = can_set_buffer_scale(compositor_version);
  const bool rescaled = record.egl_window != nullptr && record.buffer_scale != record.scale && scalable;
  if (!record.configure_serial && !rescaled) return true;
  if (record.configure_serial) {
    zwlr_layer_surface_v1_ack_configure(record.layer_surface, *record.configure_serial);
    record.configure_serial.reset();
  }
  const std::int32_t scale = scalable ? record.scale : 1;
  const std::optional<BufferSize> buffer = layer_buffer_size(record.width, record.height, scale);
  if (!buffer) return true;  // nothing to draw at (yet)
  if (record.egl_window == nullptr) {
    record.egl_window = wl_egl_window_create(record.surface, buffer->width, buffer->height);
    if (record.egl_window == nullptr) return false;
    record.egl_surface = eglCreateWindowSurface(
        egl.display, egl.config, reinterpret_cast<EGLNativeWindowType>(record.egl_window), nullptr);
    if (record.egl_surface == EGL_NO_SURFACE) return false;
    // A swap never waits for the compositor: the frame callback paces the surface.
    if (!make_current(egl, record.egl_surface)) return false;
    eglSwapInterval(egl.display, 0);
  } else {
    wl_egl_window_resize(record.egl_window, buffer->width, buffer->height, 0, 0);
  }
  if (scalable) wl_surface_set_buffer_scale(record.surface, scale);
  record.buffer_scale = scale;
  record.buffer_width = buffer->width;
  record.buffer_height = buffer->height;
  return true;
}

namespace {

void ask_frame(OutputRecord& record) {
  record.frame_callback = wl_surface_frame(record.surface);
  record.asked_at = std::chrono::steady_clock::now();
  wl_callback_add_listener(record.frame_callback, &frame_listener, &record);
}

}  // namespace

bool swap_frame(OutputRecord& record, const EglObjects& egl) {
  record.callbacks = 0;
  record.drawn = true;
  record.held = false;
  ask_frame(record);
  // No rectangles: a whole frame (a partial one that drew none is swapped whole too, as
  // a swap with no rectangles means the whole surface).
  const auto rects = static_cast<EGLint>(record.damage.size() / 4);
  const EGLBoolean swapped =
      egl.swap_with_damage != nullptr && rects > 0
          ? egl.swap_with_damage(egl.display, record.egl_surface, record.damage.data(), rects)
          : eglSwapBuffers(egl.display, record.egl_surface);
  record.damage.clear();
  return swapped == EGL_TRUE;
}

bool swap_held_frame(OutputRecord& record, const EglObjects& egl) {
  return make_current(egl, record.egl_surface) && swap_frame(record, egl);
}

void ask_frame_and_commit(OutputRecord& record) {
  ask_frame(record);
  wl_surface_commit(record.surface);
}

}  // namespace aerolume
