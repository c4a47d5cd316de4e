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

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "render/framebuffer_samples.h"
#include "render/render_state.h"
#include "render/scene_pass.h"
#include "run/frame.h"
#include "viewer/shell.h"
#include "viewer/stop_signals.h"
#include "viewer/wayland_outputs.h"

namespace aerolume {

namespace {

constexpr const char* layer_namespace = "aerolume";
// A wait for a frame callback longer than this means nobody could see the surfaces (a
// fullscreen window over the background, the output off): the wait is no part of a
// timed step.
constexpr auto hidden_after = std::chrono::milliseconds(250);
// The largest buffer side drawn; a larger one is left undrawn rather than overflow.
constexpr double max_buffer_side = 32768.0;

// --- EGL ---

int egl_fail(const char* what) {
  std::fprintf(stderr, "aerolume: %s failed on the Wayland display (EGL error 0x%04x)\n", what,
               eglGetError());
  return 1;
}

// The window configuration for desktop GL with RGB and depth and the samples to take for
// --samples, as config_to_take picks it: without alpha, so that the compositor shows the
// surface opaque, and with 8 bits a colour channel where offered (XRGB8888 buffers, which
// compositors handle far faster than the XRGB2101010 that EGL lists first).
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
  std::vector<OfferedConfig> offered;
  for (EGLConfig config : configs) {
    OfferedConfig described;
    eglGetConfigAttrib(display, config, EGL_SAMPLES, &described.samples);
    eglGetConfigAttrib(display, config, EGL_RED_SIZE, &described.red);
    eglGetConfigAttrib(display, config, EGL_GREEN_SIZE, &described.green);
    eglGetConfigAttrib(display, config, EGL_BLUE_SIZE, &described.blue);
    eglGetConfigAttrib(display, config, EGL_ALPHA_SIZE, &described.alpha);
    offered.push_back(described);
  }
  const int chosen = config_to_take(asked_samples, ColourChoice::opaque_8_bits, offered, taken);
  return chosen < 0 ? nullptr : configs[static_cast<std::size_t>(chosen)];
}

struct Gl {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  EGLContext context = EGL_NO_CONTEXT;
};

// --- The records ---

// Destroys what the record holds, its surface and the wl_output with it.
void drop_record(const Gl& gl, OutputRecord& record) {
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
  listen_to_layer_surface(&record);
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
    if (record->gone) drop_record(gl, *record);
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
    listen_for_frame_done(record);
    if (!eglSwapBuffers(gl.display, record->egl_surface)) return false;
  }
  connection.shown = true;
  return true;
}

// Sends what is queued, sleeps in poll until the compositor writes, the power source has
// news or timeout_ms passes (-1: no timeout), and runs the listeners of what arrived.
// False once the connection has failed.
bool wait_and_dispatch(wl_display* display, const PowerWatch& power, int timeout_ms) {
  while (wl_display_prepare_read(display) != 0)
    if (wl_display_dispatch_pending(display) < 0) return false;
  if (wl_display_flush(display) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(display);
    return false;
  }
  pollfd sources[] = {{wl_display_get_fd(display), POLLIN, 0}, power.poll_entry()};
  int ready = 0;
  while ((ready = poll(sources, 2, power.timeout_ms(timeout_ms))) < 0 && errno == EINTR) {
  }
  if (ready > 0 && sources[0].revents != 0) {
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
  install_stop_signals();
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
  listen_to_registry(registry, &connection);
  // The globals, then what the outputs and the seat say of themselves.
  if (wl_display_roundtrip(display) < 0 || wl_display_roundtrip(display) < 0) {
    const int status = connection_end(display);
    disconnect_before_drawing(registry, &connection);
    return status;
  }
  if (connection.layer_shell == nullptr || connection.compositor == nullptr) {
    std::fprintf(stderr,
                 "aerolume: this Wayland compositor offers no layer shell (zwlr_layer_shell_v1), "
                 "which %s needs; the program's own window works here through XWayland "
                 "(aerolume without %s)\n",
                 role, role);
    disconnect_before_drawing(registry, &connection);
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
  std::fputs(samples_taken_note("aerolume", options.samples, taken).c_str(), stderr);
  const EGLint context_attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                       EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  gl.context = eglCreateContext(gl.display, gl.config, EGL_NO_CONTEXT, context_attributes);
  if (gl.context == EGL_NO_CONTEXT) return egl_fail("eglCreateContext(compatibility profile)");

  bool started = false;
  PacingClock::time_point next_slot = PacingClock::now();
  for (;;) {
    if (!tend_records(connection, gl, options)) return egl_fail("making a surface");
    if (connection.input_seen) return 0;
    std::vector<OutputRecord*> due;  // none while the battery pace draws nothing
    if (!run.pacing.pace().stopped)
      for (auto& record : connection.outputs)
        if (record->egl_surface != EGL_NO_SURFACE && record->frame_callback == nullptr)
          due.push_back(record.get());
    PacingClock::time_point now = PacingClock::now();
    if (!due.empty() && now >= next_slot) {
      if (!draw_round(connection, gl, options, &started, due)) return egl_fail("drawing");
      next_slot = run.pacing.next_start_after_frame();
      continue;
    }
    int timeout_ms = -1;
    if (!due.empty())
      timeout_ms = static_cast<int>(
          std::chrono::ceil<std::chrono::milliseconds>(next_slot - now).count());
    if (!wait_and_dispatch(display, run.power, timeout_ms)) return connection_end(display);
    follow_power(run);
    if (due.empty() && PacingClock::now() - now > hidden_after) restart_frame_interval();
  }
}

}  // namespace aerolume
