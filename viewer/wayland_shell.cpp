// The Wayland shell: the scene on layer surfaces of a Wayland compositor, one on each
// output (or on the one --output names), under every window (--background) or over them
// until the first input (--overlay). One record per output; the listeners only record
// what arrived, and the loop makes surfaces, answers configures and draws what is due.
// A surface is drawn only once the compositor's frame callback has come and the frame
// slot has begun; with no callback due the program sleeps in poll on the connection.
//
// Returns 0 when the compositor goes away or the overlay sees input (SIGTERM and SIGINT
// end the process through the shared ends); 1 with one line on stderr when there is no
// compositor to reach, it lacks the layer shell, EGL cannot draw on its surfaces, or it
// refuses a request.

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-egl.h>
#include <wlr-layer-shell-unstable-v1-client-protocol.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/state.h"
#include "render/framebuffer_samples.h"
#include "render/render_state.h"
#include "render/scene_pass.h"
#include "run/frame.h"
#include "viewer/shell.h"
#include "viewer/shell_ends.h"

namespace aerolume {

namespace {

constexpr const char* layer_namespace = "aerolume";
// A wait for a frame callback longer than this means nobody could see the surfaces (a
// fullscreen window over the background, the output off): the wait is no part of a
// timed step.
constexpr auto hidden_after = std::chrono::milliseconds(250);
// The largest buffer side drawn; a larger one is left undrawn rather than overflow.
constexpr double max_buffer_side = 32768.0;

// One output and the layer surface Aerolume shows on it.
struct OutputRecord {
  std::uint32_t global_name = 0;
  wl_output* output = nullptr;
  std::uint32_t output_version = 0;
  std::string name;              // wl_output.name (version 4)
  std::int32_t scale = 1;        // wl_output.scale (version 2)
  bool described = false;        // the output's first done has come: name and scale known
  bool gone = false;             // the output went away or the surface was closed
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer_surface = nullptr;
  std::optional<std::uint32_t> configure_serial;  // a configure not yet acknowledged
  std::uint32_t width = 0, height = 0;            // from the last configure (surface units)
  std::int32_t buffer_scale = 0;                  // the scale the buffers are sized at
  int buffer_width = 0, buffer_height = 0;        // their size in pixels
  wl_egl_window* egl_window = nullptr;
  EGLSurface egl_surface = EGL_NO_SURFACE;
  wl_callback* frame_callback = nullptr;          // asked before the last swap, not yet done
};

// The compositor, its globals, the outputs and the overlay's input.
struct Connection {
  wl_display* display = nullptr;
  wl_compositor* compositor = nullptr;
  std::uint32_t compositor_version = 0;
  zwlr_layer_shell_v1* layer_shell = nullptr;
  wl_seat* seat = nullptr;
  wl_pointer* pointer = nullptr;
  wl_keyboard* keyboard = nullptr;
  std::vector<std::unique_ptr<OutputRecord>> outputs;
  bool wants_input = false;  // the overlay: input ends the program
  bool shown = false;        // a frame has been presented: input counts from then on
  bool input_seen = false;   // a key or button press, or pointer motion, since shown
  wl_fixed_t pointer_x = 0, pointer_y = 0;
};

// --- Listeners: they record, nothing more. ---

void on_output_geometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                        std::int32_t, const char*, const char*, std::int32_t) {}
void on_output_mode(void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {}
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

void on_frame_done(void* data, wl_callback* callback, std::uint32_t) {
  wl_callback_destroy(callback);
  static_cast<OutputRecord*>(data)->frame_callback = nullptr;
}
const wl_callback_listener frame_listener = {on_frame_done};

void record_input(void* data) {
  auto* connection = static_cast<Connection*>(data);
  if (connection->shown) connection->input_seen = true;
}
// The pointer's arrival on the surface is no motion; a motion event at the position it
// arrived at (some compositors send one with the arrival) is none either.
void on_pointer_enter(void* data, wl_pointer*, std::uint32_t, wl_surface*, wl_fixed_t x, wl_fixed_t y) {
  auto* connection = static_cast<Connection*>(data);
  connection->pointer_x = x;
  connection->pointer_y = y;
}
void on_pointer_leave(void*, wl_pointer*, std::uint32_t, wl_surface*) {}
void on_pointer_motion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
  auto* connection = static_cast<Connection*>(data);
  if (x == connection->pointer_x && y == connection->pointer_y) return;
  connection->pointer_x = x;
  connection->pointer_y = y;
  record_input(data);
}
void on_pointer_button(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t,
                       std::uint32_t state) {
  if (state == WL_POINTER_BUTTON_STATE_PRESSED) record_input(data);
}
void on_pointer_axis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
// The seat is bound at version 1: only these pointer events come.
wl_pointer_listener make_pointer_listener() {
  wl_pointer_listener listener{};
  listener.enter = on_pointer_enter;
  listener.leave = on_pointer_leave;
  listener.motion = on_pointer_motion;
  listener.button = on_pointer_button;
  listener.axis = on_pointer_axis;
  return listener;
}
const wl_pointer_listener pointer_listener = make_pointer_listener();

// The keymap arrives as a file descriptor, which is ours to close.
void on_keymap(void*, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t) { close(fd); }
void on_keyboard_enter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
void on_keyboard_leave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
void on_key(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
  if (state == WL_KEYBOARD_KEY_STATE_PRESSED) record_input(data);
}
void on_modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                  std::uint32_t) {}
wl_keyboard_listener make_keyboard_listener() {
  wl_keyboard_listener listener{};
  listener.keymap = on_keymap;
  listener.enter = on_keyboard_enter;
  listener.leave = on_keyboard_leave;
  listener.key = on_key;
  listener.modifiers = on_modifiers;
  return listener;
}
const wl_keyboard_listener keyboard_listener = make_keyboard_listener();

// A pointer or keyboard that the seat loses is let go (the compositor no longer sends
// it anything), and a new one taken when the seat has one again.
void on_seat_capabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
  auto* connection = static_cast<Connection*>(data);
  const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
  const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  if (pointer && connection->pointer == nullptr) {
    connection->pointer = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(connection->pointer, &pointer_listener, connection);
  } else if (!pointer && connection->pointer != nullptr) {
    wl_pointer_destroy(connection->pointer);
    connection->pointer = nullptr;
  }
  if (keyboard && connection->keyboard == nullptr) {
    connection->keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(connection->keyboard, &keyboard_listener, connection);
  } else if (!keyboard && connection->keyboard != nullptr) {
    wl_keyboard_destroy(connection->keyboard);
    connection->keyboard = nullptr;
  }
}
wl_seat_listener make_seat_listener() {
  wl_seat_listener listener{};
  listener.capabilities = on_seat_capabilities;
  return listener;
}
const wl_seat_listener seat_listener = make_seat_listener();

void on_global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
               std::uint32_t version) {
  auto* connection = static_cast<Connection*>(data);
  const auto bind = [&](const wl_interface* kind, std::uint32_t highest) {
    return wl_registry_bind(registry, name, kind, std::min(version, highest));
  };
  if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
    connection->compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    connection->compositor_version = std::min(version, 4u);
  } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
    connection->layer_shell = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 4));
  } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
    auto record = std::make_unique<OutputRecord>();
    record->global_name = name;
    record->output_version = std::min(version, 4u);
    record->output = static_cast<wl_output*>(bind(&wl_output_interface, 4));
    record->described = record->output_version < 2;  // no done event before version 2
    wl_output_add_listener(record->output, &output_listener, record.get());
    connection->outputs.push_back(std::move(record));
  } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && connection->wants_input &&
             connection->seat == nullptr) {
    connection->seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 1));
    wl_seat_add_listener(connection->seat, &seat_listener, connection);
  }
}

void on_global_remove(void* data, wl_registry*, std::uint32_t name) {
  for (auto& record : static_cast<Connection*>(data)->outputs)
    if (record->global_name == name) record->gone = true;
}
const wl_registry_listener registry_listener = {on_global, on_global_remove};

// --- EGL ---

int egl_fail(const char* what) {
  std::fprintf(stderr, "aerolume: %s failed on the Wayland display (EGL error 0x%04x)\n", what,
               eglGetError());
  return 1;
}

// The window configuration for desktop GL with RGB and depth and the samples to take for
// --samples, preferring one without alpha so that the compositor shows the surface opaque.
EGLConfig choose_config(EGLDisplay display, int asked_samples, int* taken) {
  const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                               EGL_RED_SIZE,     8,              EGL_GREEN_SIZE,      8,
                               EGL_BLUE_SIZE,    8,              EGL_DEPTH_SIZE,      24,
                               EGL_NONE};
  EGLint count = 0;
  if (!eglChooseConfig(display, attributes, nullptr, 0, &count) || count < 1) return nullptr;
  std::vector<EGLConfig> configs(static_cast<std::size_t>(count));
  if (!eglChooseConfig(display, attributes, configs.data(), count, &count)) return nullptr;
  configs.resize(static_cast<std::size_t>(count));
  std::vector<int> offered;
  for (EGLConfig config : configs) {
    EGLint samples = 0;
    eglGetConfigAttrib(display, config, EGL_SAMPLES, &samples);
    offered.push_back(samples);
  }
  *taken = samples_to_take(asked_samples, offered);
  EGLConfig chosen = nullptr;
  for (std::size_t i = 0; i < configs.size(); ++i) {
    if (offered[i] != *taken) continue;
    EGLint alpha = 0;
    eglGetConfigAttrib(display, configs[i], EGL_ALPHA_SIZE, &alpha);
    if (alpha == 0) return configs[i];
    if (chosen == nullptr) chosen = configs[i];
  }
  return chosen;
}

struct Gl {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  EGLContext context = EGL_NO_CONTEXT;
};

// --- The records ---

void drop_surface(const Gl& gl, OutputRecord& record) {
  if (record.frame_callback != nullptr) wl_callback_destroy(record.frame_callback);
  if (record.egl_surface != EGL_NO_SURFACE) {
    // Released first, so that EGL lets go of the window before it is destroyed; the next
    // draw makes the context current again.
    eglMakeCurrent(gl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroySurface(gl.display, record.egl_surface);
  }
  if (record.egl_window != nullptr) wl_egl_window_destroy(record.egl_window);
  if (record.layer_surface != nullptr) zwlr_layer_surface_v1_destroy(record.layer_surface);
  if (record.surface != nullptr) wl_surface_destroy(record.surface);
  if (record.output_version >= 3)
    wl_output_release(record.output);
  else
    wl_output_destroy(record.output);
}

// The layer surface on the record's output: the whole output (anchored to every edge,
// size 0 x 0 for the compositor to fill in, no exclusive zone), committed without a
// buffer; the configure that answers it brings the size.
void make_layer_surface(Connection& connection, OutputRecord& record, const ViewerOptions& options) {
  const bool overlay = options.layer == ViewerOptions::Layer::overlay;
  record.surface = wl_compositor_create_surface(connection.compositor);
  record.layer_surface = zwlr_layer_shell_v1_get_layer_surface(
      connection.layer_shell, record.surface, record.output,
      overlay ? ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY : ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND,
      layer_namespace);
  zwlr_layer_surface_v1_add_listener(record.layer_surface, &layer_surface_listener, &record);
  zwlr_layer_surface_v1_set_size(record.layer_surface, 0, 0);
  zwlr_layer_surface_v1_set_anchor(
      record.layer_surface, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_exclusive_zone(record.layer_surface, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(
      record.layer_surface, overlay ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE
                                    : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
  wl_surface_commit(record.surface);
}

// Acknowledges a configure and sizes the buffers to the surface times the output's
// scale (made on the first configure). Returns false when EGL cannot draw on it.
bool size_surface(const Connection& connection, const Gl& gl, OutputRecord& record) {
  if (record.configure_serial) {
    zwlr_layer_surface_v1_ack_configure(record.layer_surface, *record.configure_serial);
    record.configure_serial.reset();
  }
  const std::int32_t scale = connection.compositor_version >= 3 ? record.scale : 1;
  // In double: a compositor's sizes and scale could overflow an int when multiplied.
  const double width_pixels = static_cast<double>(record.width) * scale;
  const double height_pixels = static_cast<double>(record.height) * scale;
  if (record.width == 0 || record.height == 0 || width_pixels > max_buffer_side ||
      height_pixels > max_buffer_side)
    return true;  // nothing to draw at (yet)
  const int width = static_cast<int>(width_pixels);
  const int height = static_cast<int>(height_pixels);
  if (record.egl_window == nullptr) {
    record.egl_window = wl_egl_window_create(record.surface, width, height);
    if (record.egl_window == nullptr) return false;
    record.egl_surface = eglCreateWindowSurface(
        gl.display, gl.config, reinterpret_cast<EGLNativeWindowType>(record.egl_window), nullptr);
    if (record.egl_surface == EGL_NO_SURFACE) return false;
    // A swap never waits for the compositor: the frame callback paces the surface.
    if (!eglMakeCurrent(gl.display, record.egl_surface, record.egl_surface, gl.context)) return false;
    eglSwapInterval(gl.display, 0);
  } else {
    wl_egl_window_resize(record.egl_window, width, height, 0, 0);
  }
  if (connection.compositor_version >= 3) wl_surface_set_buffer_scale(record.surface, scale);
  record.buffer_scale = scale;
  record.buffer_width = width;
  record.buffer_height = height;
  return true;
}

bool wanted(const OutputRecord& record, const ViewerOptions& options) {
  return record.described && (options.output.empty() || record.name == options.output);
}

// Between rounds: drops the records of outputs gone and surfaces closed, makes surfaces
// on outputs newly described, answers configures and scale changes. Returns false when
// EGL fails on a surface.
bool tend_records(Connection& connection, const Gl& gl, const ViewerOptions& options) {
  auto& outputs = connection.outputs;
  for (auto& record : outputs)
    if (record->gone) drop_surface(gl, *record);
  std::erase_if(outputs, [](const std::unique_ptr<OutputRecord>& r) { return r->gone; });
  for (auto& record : outputs) {
    if (record->layer_surface == nullptr && wanted(*record, options))
      make_layer_surface(connection, *record, options);
    const bool rescaled = record->egl_window != nullptr && record->buffer_scale != record->scale &&
                          connection.compositor_version >= 3;
    if ((record->configure_serial || rescaled) && !size_surface(connection, gl, *record)) return false;
  }
  return true;
}

// --- The loop ---

// Draws every due surface once: the first with a full frame (the scene steps), the
// others with the same picture from the same camera, each at its own aspect; before each
// swap the surface asks for the frame callback that allows its next frame.
bool draw_round(Connection& connection, const Gl& gl, const ViewerOptions& options, bool* started,
                const std::vector<OutputRecord*>& due) {
  const Vector3 eye_of_round = eye;
  bool first = true;
  for (OutputRecord* record : due) {
    if (!eglMakeCurrent(gl.display, record->egl_surface, record->egl_surface, gl.context)) return false;
    if (!*started) {
      start_viewer_scene(options);
      *started = true;
    }
    reshape_viewport(record->buffer_width, record->buffer_height);
    if (first) {
      render_frame();
      first = false;
    } else {
      const Vector3 eye_after = eye;
      eye = eye_of_round;
      draw_scene_again();
      eye = eye_after;
    }
    record->frame_callback = wl_surface_frame(record->surface);
    wl_callback_add_listener(record->frame_callback, &frame_listener, record);
    if (!eglSwapBuffers(gl.display, record->egl_surface)) return false;
  }
  connection.shown = true;
  return true;
}

// Sends what is queued, sleeps in poll until the compositor writes or timeout_ms passes
// (-1: no timeout), and runs the listeners of what arrived. False once the connection
// has failed.
bool wait_and_dispatch(wl_display* display, int timeout_ms) {
  while (wl_display_prepare_read(display) != 0)
    if (wl_display_dispatch_pending(display) < 0) return false;
  if (wl_display_flush(display) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(display);
    return false;
  }
  pollfd connection{wl_display_get_fd(display), POLLIN, 0};
  int ready = 0;
  while ((ready = poll(&connection, 1, timeout_ms)) < 0 && errno == EINTR) {
  }
  if (ready > 0) {
    if (wl_display_read_events(display) < 0) return false;
  } else {
    wl_display_cancel_read(display);
  }
  return wl_display_dispatch_pending(display) >= 0;
}

// A failed connection: the compositor gone ends the program quietly; a request it
// refused is a fault worth a line.
int connection_end(wl_display* display) {
  if (wl_display_get_error(display) != EPROTO) return 0;
  const wl_interface* interface = nullptr;
  std::uint32_t id = 0;
  const std::uint32_t code = wl_display_get_protocol_error(display, &interface, &id);
  std::fprintf(stderr, "aerolume: the Wayland compositor refused a request (%s error %u)\n",
               interface != nullptr ? interface->name : "display", code);
  return 1;
}

}  // namespace

int run_on_layer_surfaces(const ShellRun& run) {
  const ViewerOptions& options = run.options;
  const char* role = options.layer == ViewerOptions::Layer::overlay ? "--overlay" : "--background";
  end_quietly_on_stop_or_lost_display();
  Connection connection;
  connection.wants_input = options.layer == ViewerOptions::Layer::overlay;
  connection.display = wl_display_connect(nullptr);
  if (connection.display == nullptr) {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    std::fprintf(stderr, "aerolume: cannot connect to the Wayland compositor \"%s\" (WAYLAND_DISPLAY)\n",
                 name != nullptr ? name : "");
    return 1;
  }
  wl_display* display = connection.display;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, &connection);
  // The globals, then what the outputs and the seat say of themselves.
  if (wl_display_roundtrip(display) < 0 || wl_display_roundtrip(display) < 0)
    return connection_end(display);
  if (connection.layer_shell == nullptr || connection.compositor == nullptr) {
    std::fprintf(stderr,
                 "aerolume: this Wayland compositor offers no layer shell (zwlr_layer_shell_v1), "
                 "which %s needs; the program's own window works here through XWayland "
                 "(aerolume without %s)\n",
                 role, role);
    return 1;
  }

  Gl gl;
  auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  gl.display = get_platform_display != nullptr
                   ? get_platform_display(EGL_PLATFORM_WAYLAND_KHR, display, nullptr)
                   : eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(display));
  if (gl.display == EGL_NO_DISPLAY || !eglInitialize(gl.display, nullptr, nullptr))
    return egl_fail("eglInitialize");
  if (!eglBindAPI(EGL_OPENGL_API)) return egl_fail("eglBindAPI(desktop GL)");
  int taken = 0;
  gl.config = choose_config(gl.display, options.samples, &taken);
  if (gl.config == nullptr) {
    std::fputs("aerolume: EGL offers no RGB window configuration with depth for desktop GL on "
               "this Wayland display\n",
               stderr);
    return 1;
  }
  const std::string note = samples_taken_note("aerolume", options.samples, taken);
  if (!note.empty()) std::fprintf(stderr, "%s\n", note.c_str());
  const EGLint context_attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                       EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  gl.context = eglCreateContext(gl.display, gl.config, EGL_NO_CONTEXT, context_attributes);
  if (gl.context == EGL_NO_CONTEXT) return egl_fail("eglCreateContext(compatibility profile)");

  bool started = false;
  PacingClock::time_point next_slot = PacingClock::now();
  for (;;) {
    if (!tend_records(connection, gl, options)) return egl_fail("making a surface");
    if (connection.input_seen) return 0;
    std::vector<OutputRecord*> due;
    for (auto& record : connection.outputs)
      if (record->egl_surface != EGL_NO_SURFACE && record->frame_callback == nullptr)
        due.push_back(record.get());
    PacingClock::time_point now = PacingClock::now();
    if (!due.empty() && now >= next_slot) {
      if (!draw_round(connection, gl, options, &started, due)) return egl_fail("drawing");
      next_slot = run.pacing.after_frame_next_start();
      continue;
    }
    int timeout_ms = -1;
    if (!due.empty())
      timeout_ms = static_cast<int>(
          std::chrono::ceil<std::chrono::milliseconds>(next_slot - now).count());
    if (!wait_and_dispatch(display, timeout_ms)) return connection_end(display);
    if (due.empty() && PacingClock::now() - now > hidden_after) restart_frame_interval();
  }
}

}  // namespace aerolume
