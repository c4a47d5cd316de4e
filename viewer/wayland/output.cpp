// One output's life, created and destroyed side by side: the listeners of its wl_output,
// its layer surface or window and its frame callbacks only write what arrived into the
// record; the making, sizing and drop of the surface follow them.
#include "viewer/wayland/output.h"

#include <algorithm>
#include <cmath>

#include "viewer/wayland/buffer_size.h"

namespace aerolume {

namespace {

constexpr const char* layer_namespace = "aerolume";

// The output's place in the compositor's space: a window for a shell's extension says it.
void on_output_geometry(void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t,
                        std::int32_t, std::int32_t, const char*, const char*, std::int32_t) {
  auto* record = static_cast<OutputRecord*>(data);
  record->x = x;
  record->y = y;
}
// Every mode is listed, the current one flagged; a new current mode comes again when
// the output changes mode.
void on_output_mode(void* data, wl_output*, std::uint32_t flags, std::int32_t width,
                    std::int32_t height, std::int32_t refresh_mhz) {
  if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
  auto* record = static_cast<OutputRecord*>(data);
  record->refresh_mhz = std::max(refresh_mhz, 0);
  record->mode_width = std::max(width, 0);
  record->mode_height = std::max(height, 0);
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

// A window's configure: its size is the output's, whatever a configure suggests (a
// window as large as the output would be kept under a shell's panels); the extension
// that shows it places its picture.
void on_toplevel_configure(void*, xdg_toplevel*, std::int32_t, std::int32_t, wl_array*) {}
// Asked to close: the extension that shows it is done with it.
void on_toplevel_close(void* data, xdg_toplevel*) { static_cast<OutputRecord*>(data)->gone = true; }
void on_toplevel_bounds(void*, xdg_toplevel*, std::int32_t, std::int32_t) {}
void on_toplevel_capabilities(void*, xdg_toplevel*, wl_array*) {}
xdg_toplevel_listener make_toplevel_listener() {
  xdg_toplevel_listener listener{};
  listener.configure = on_toplevel_configure;
  listener.close = on_toplevel_close;
  listener.configure_bounds = on_toplevel_bounds;
  listener.wm_capabilities = on_toplevel_capabilities;
  return listener;
}
const xdg_toplevel_listener toplevel_listener = make_toplevel_listener();

void on_shell_surface_configure(void* data, xdg_surface*, std::uint32_t serial) {
  static_cast<OutputRecord*>(data)->configure_serial = serial;
}
const xdg_surface_listener shell_surface_listener = {on_shell_surface_configure};

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

std::string shell_window_title(const OutputRecord& record) {
  std::string title = "Aerolume background";
  if (!record.name.empty()) title += " on " + record.name;
  return title + " at " + std::to_string(record.x) + "," + std::to_string(record.y);
}

void follow_output_place(OutputRecord& record) {
  if (record.toplevel == nullptr) return;
  std::string title = shell_window_title(record);
  if (title == record.title) return;
  record.title = std::move(title);
  xdg_toplevel_set_title(record.toplevel, record.title.c_str());
}

void make_shell_window(OutputRecord& record, wl_compositor* compositor, xdg_wm_base* wm_base) {
  record.surface = wl_compositor_create_surface(compositor);
  record.shell_surface = xdg_wm_base_get_xdg_surface(wm_base, record.surface);
  xdg_surface_add_listener(record.shell_surface, &shell_surface_listener, &record);
  record.toplevel = xdg_surface_get_toplevel(record.shell_surface);
  xdg_toplevel_add_listener(record.toplevel, &toplevel_listener, &record);
  xdg_toplevel_set_app_id(record.toplevel, shell_window_app_id);
  follow_output_place(record);
  // No input: clicks and touches fall through, as on the background the window stands for.
  wl_region* nothing = wl_compositor_create_region(compositor);
  wl_surface_set_input_region(record.surface, nothing);
  wl_region_destroy(nothing);
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
  if (record.toplevel != nullptr) xdg_toplevel_destroy(record.toplevel);
  if (record.shell_surface != nullptr) xdg_surface_destroy(record.shell_surface);
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
  // A window is as large as its output's mode, in surface units, at each configure (the
  // compositor configures it again when the mode changes).
  if (record.shell_surface != nullptr) {
    const std::int32_t scale = std::max(record.scale, 1);
    record.width = static_cast<std::uint32_t>(record.mode_width / scale);
    record.height = static_cast<std::uint32_t>(record.mode_height / scale);
  }
  if (record.configure_serial) {
    if (record.shell_surface != nullptr)
      xdg_surface_ack_configure(record.shell_surface, *record.configure_serial);
    else
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
