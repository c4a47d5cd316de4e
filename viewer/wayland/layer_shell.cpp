// The Wayland shell: the scene on layer surfaces of a Wayland compositor, one on each
// output (or on the one --output names), under every window (--background) or over them
// until the first input (--overlay). One record per output; the listeners only record
// what arrived, and the loop makes surfaces, answers configures and draws what is due.
// A surface is drawn only once the compositor's frame callback has come: under a cap a
// new frame shows on every k-th callback where its output's refresh is known (k
// refreshes a frame; drawn a callback ahead and swapped on the k-th; the scene stepped by
// the fastest output shown), else once the frame slot has begun; with no callback due
// the program sleeps in poll on the connection.
//
// Returns 0 when the compositor goes away after the first frame was shown, when the
// overlay sees input, and at once when another overlay already shows on the same
// compositor (SIGTERM and SIGINT end the process through the stop signals main
// installs); 1 with one line on stderr when there is no compositor to reach, it closes
// the connection or does not answer before the first frame, it lacks the layer shell,
// EGL cannot draw on its surfaces, or it posts an error. One owner, the session, releases the connection, the
// records and the EGL objects on every return.

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "render/egl_configs.h"
#include "run/failure.h"
#include "run/frame.h"
#include "run/options.h"
#include "viewer/pace/poll_wait.h"
#include "viewer/pace/refresh_rounds.h"
#include "viewer/shell/shell.h"
#include "viewer/wayland/overlay_lock.h"
#include "viewer/wayland/registry.h"
#include "viewer/wayland/wayland.h"

namespace aerolume {

namespace {

// A wait for a frame callback longer than this means nobody could see the surfaces (a
// fullscreen window over the background, the output off): the wait is no part of a
// timed step.
constexpr auto hidden_after = std::chrono::milliseconds(250);
// How long the compositor has to answer a round trip before the first frame.
constexpr auto answer_within = std::chrono::seconds(5);

// --- Reports ---

// libwayland's own last log line (without its newline), said as part of the program's
// one line when the run fails; a run that ends well says nothing of it.
std::string library_line;

void keep_library_line(const char* format, va_list arguments) {
  char line[512];
  std::vsnprintf(line, sizeof line, format, arguments);
  library_line = line;
  while (!library_line.empty() && (library_line.back() == '\n' || library_line.back() == ' '))
    library_line.pop_back();
}

// The viewer's failure line, with libwayland's last line when it wrote one; returns the
// failure status.
[[gnu::format(printf, 1, 2)]] int fail(const char* format, ...) {
  char message[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  if (library_line.empty()) return report_failure("%s", message);
  return report_failure("%s (libwayland: %s)", message, library_line.c_str());
}

// The connection, what it knows of the compositor, and the EGL objects on it: released
// in order (surfaces, EGL, globals, the connection) when the shell returns, on any path.
struct LayerSession {
  Connection connection;
  wl_registry* registry = nullptr;
  EglObjects egl;

  LayerSession() = default;
  LayerSession(const LayerSession&) = delete;
  LayerSession& operator=(const LayerSession&) = delete;
  ~LayerSession() {
    for (auto& record : connection.outputs) drop_output(*record, egl);
    connection.outputs.clear();
    if (egl.display != EGL_NO_DISPLAY) {
      eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
      if (egl.context != EGL_NO_CONTEXT) eglDestroyContext(egl.display, egl.context);
      eglTerminate(egl.display);
      eglReleaseThread();
    }
    if (connection.display == nullptr) return;
    release_globals(&connection);
    if (registry != nullptr) wl_registry_destroy(registry);
    wl_display_disconnect(connection.display);
  }
};

// Whether the record's output is one to show the scene on: described, and the one
// --output names when it names one.
bool is_output_to_show(const OutputRecord& record, const ViewerOptions& options) {
  return record.described && (options.output.empty() || record.name == options.output);
}

// Between rounds: drops the records of outputs gone and surfaces closed, makes surfaces
// on outputs newly described, answers configures and scale changes. Returns false when
// EGL fails on a surface.
bool follow_outputs(Connection& connection, const EglObjects& egl, const ViewerOptions& options) {
  auto& outputs = connection.outputs;
  for (auto& record : outputs)
    if (record->gone) drop_output(*record, egl);
  std::erase_if(outputs, [](const std::unique_ptr<OutputRecord>& r) { return r->gone; });
  const bool overlay = options.layer == ViewerOptions::Layer::overlay;
  for (auto& record : outputs) {
    if (record->layer_surface == nullptr && is_output_to_show(*record, options))
      make_layer_surface(*record, connection.compositor, connection.layer_shell, overlay);
    if (!follow_configure(*record, egl, connection.compositor_version)) return false;
  }
  return true;
}

// What to say of an --output that names none of the outputs there are, or "" when it
// names one (or none is named).
std::string missing_output_line(const Connection& connection, const ViewerOptions& options) {
  if (options.output.empty()) return "";
  std::string names;
  for (const auto& record : connection.outputs) {
    if (record->name == options.output) return "";
    if (record->name.empty()) continue;
    names += (names.empty() ? "" : ", ") + record->name;
  }
  return "no output named " + options.output + " (outputs: " +
         (names.empty() ? std::string("none") : names) + "); waiting for it";
}

// --- The loop ---

// What the pace weighs of a record's surface now: its output's refresh, the callbacks
// since its last frame, and whether they still come.
SurfaceBeat beat_of(const OutputRecord& record, PacingClock::time_point now,
                    PacingClock::duration drawing) {
  SurfaceBeat beat;
  beat.refresh_hz = record.refresh_mhz / 1000.0;
  beat.callbacks = record.callbacks;
  beat.drawn = record.drawn;
  beat.waiting = record.frame_callback != nullptr;
  beat.shown = !beat.waiting || now - record.asked_at < hidden_after;
  beat.held = record.held;
  // The refreshes the drawing takes, rounded up: a frame is drawn that many callbacks
  // before the one it is swapped on.
  if (record.refresh_mhz > 0) {
    const double period_us = 1.0e9 / record.refresh_mhz;
    const double drawing_us = static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(drawing).count());
    beat.ahead = static_cast<int>(std::min(std::ceil(drawing_us / period_us), 1000.0));
  }
  return beat;
}

// Draws every due surface once, one view each, in one frame (the scene steps once);
// each surface then swaps, or, where it holds its swap for its k-th callback, finishes
// its drawing and keeps it. The scene starts on the first surface made current.
class DueSurfaces final : public ViewSurfaces {
 public:
  DueSurfaces(const EglObjects& egl, const ViewerOptions& options, bool* started,
              const std::vector<OutputRecord*>& due, const std::vector<bool>& holds)
      : egl_(egl), options_(options), started_(started), due_(due), holds_(holds) {}
  bool begin_view(std::size_t index) override {
    OutputRecord* record = due_[index];
    if (!eglMakeCurrent(egl_.display, record->egl_surface, record->egl_surface, egl_.context))
      return false;
    if (!*started_) {
      start_viewer_scene(options_);
      *started_ = true;
    }
    return true;
  }
  bool end_view(std::size_t index) override {
    OutputRecord* record = due_[index];
    if (!holds_[index]) return swap_frame(*record, egl_);
    glFinish();  // drawn now, so that the held swap is quick when its callback comes
    record->held = true;
    return true;
  }

 private:
  const EglObjects& egl_;
  const ViewerOptions& options_;
  bool* started_;
  const std::vector<OutputRecord*>& due_;
  const std::vector<bool>& holds_;
};

bool draw_round(Connection& connection, const EglObjects& egl, const ViewerOptions& options,
                bool* started, const std::vector<OutputRecord*>& due, const std::vector<bool>& holds) {
  std::vector<View> views;
  for (const OutputRecord* record : due) views.push_back({0, 0, record->buffer_width, record->buffer_height});
  DueSurfaces surfaces(egl, options, started, due, holds);
  if (!render_views(views, surfaces)) return false;
  connection.shown = true;
  return true;
}

// Swaps a held frame once its k-th callback has come.
bool swap_held(const EglObjects& egl, OutputRecord& record) {
  return eglMakeCurrent(egl.display, record.egl_surface, record.egl_surface, egl.context) &&
         swap_frame(record, egl);
}

// Sends what is queued, sleeps in poll until the compositor writes, the power source has
// news (when one is watched), a signal comes or the deadline passes, and runs the
// listeners of what arrived. While the socket takes only part of what is queued, the wait also ends when it can take
// more, and the next call sends the rest. False once the connection has failed.
bool wait_and_dispatch(wl_display* display, const PowerWatch* power, Deadline deadline) {
  while (wl_display_prepare_read(display) != 0)
    if (wl_display_dispatch_pending(display) < 0) return false;
  // The descriptors the loop waits on; the connection first.
  std::array<pollfd, 2> waited{{{wl_display_get_fd(display), POLLIN, 0}, {-1, 0, 0}}};
  if (power != nullptr) {
    waited[1] = power->poll_entry();
    deadline = earlier(deadline, power->deadline());
  }
  // A broken pipe is no failure yet: what the compositor wrote before it closed (an
  // error it posted) is still there to read, and the read then ends the connection.
  if (wl_display_flush(display) < 0) {
    if (errno == EAGAIN) {
      waited[0].events |= POLLOUT;
    } else if (errno != EPIPE) {
      wl_display_cancel_read(display);
      return false;
    }
  }
  const int ready = poll_until(waited, deadline);
  if (ready > 0 && (waited[0].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
    if (wl_display_read_events(display) < 0) return false;
  } else {
    wl_display_cancel_read(display);
  }
  return wl_display_dispatch_pending(display) >= 0;
}

// A round trip that waits at most answer_within: a sync request and its done event.
enum class Answer { answered, failed, silent };
void on_sync_done(void* data, wl_callback* callback, std::uint32_t) {
  wl_callback_destroy(callback);
  *static_cast<wl_callback**>(data) = nullptr;
}
const wl_callback_listener sync_listener = {on_sync_done};

Answer roundtrip_within(wl_display* display) {
  wl_callback* sync = wl_display_sync(display);
  wl_callback_add_listener(sync, &sync_listener, &sync);
  const auto deadline = PacingClock::now() + answer_within;
  Answer answer = Answer::answered;
  while (sync != nullptr) {
    if (PacingClock::now() >= deadline) {
      answer = Answer::silent;
      break;
    }
    if (!wait_and_dispatch(display, nullptr, deadline)) {
      answer = Answer::failed;
      break;
    }
  }
  if (sync != nullptr) wl_callback_destroy(sync);
  return answer;
}

// A failed connection: the compositor gone after the first frame was shown ends the
// program quietly; the connection closed before it, and any error the compositor posted
// (a protocol error, or one of the display's own: an invalid object or method, no
// memory), are faults worth a line.
int connection_end(wl_display* display, bool shown) {
  const int error = wl_display_get_error(display);
  const bool closed = error == EPIPE || error == ECONNRESET;
  if (closed && shown) return 0;
  const std::string name = wayland_display_name();
  if (closed)
    return fail("the Wayland compositor \"%s\" closed the connection before anything was shown",
                name.c_str());
  const wl_interface* interface = nullptr;
  std::uint32_t id = 0;
  const std::uint32_t code = wl_display_get_protocol_error(display, &interface, &id);
  if (error == EPROTO || interface != nullptr)
    return fail("the Wayland compositor \"%s\" refused a request (%s error %u)", name.c_str(),
                interface != nullptr ? interface->name : "display", code);
  return fail("the connection to the Wayland compositor \"%s\" failed: %s", name.c_str(),
              std::strerror(error));
}

// A round trip at start-up: the end's status, or nothing when the compositor answered.
std::optional<int> start_roundtrip(wl_display* display) {
  switch (roundtrip_within(display)) {
    case Answer::answered:
      return std::nullopt;
    case Answer::failed:
      return connection_end(display, false);
    case Answer::silent:
      break;
  }
  return fail("the Wayland compositor \"%s\" did not answer within %lld seconds",
              wayland_display_name().c_str(), static_cast<long long>(answer_within.count()));
}

int egl_fail(const char* what) {
  return fail("%s failed on the Wayland display (EGL error 0x%04x)", what, eglGetError());
}

int run_session(LayerSession& session, const ShellRun& run) {
  const ViewerOptions& options = run.options;
  const char* role = options.layer == ViewerOptions::Layer::overlay ? "--overlay" : "--background";
  Connection& connection = session.connection;
  connection.wants_input = options.layer == ViewerOptions::Layer::overlay;
  connection.display = wl_display_connect(nullptr);
  if (connection.display == nullptr)
    return fail("cannot connect to the Wayland compositor \"%s\" (WAYLAND_DISPLAY)",
                wayland_display_name().c_str());
  wl_display* display = connection.display;
  session.registry = wl_display_get_registry(display);
  listen_to_registry(session.registry, &connection);
  // The globals, then what the outputs and the seat say of themselves.
  for (int trip = 0; trip < 2; ++trip)
    if (const std::optional<int> end = start_roundtrip(display)) return *end;
  if (connection.layer_shell == nullptr || connection.compositor == nullptr)
    return fail("this Wayland compositor offers no layer shell (zwlr_layer_shell_v1), which %s "
                "needs; the program's own window works here through XWayland (aerolume without %s)",
                role, role);
  if (const std::string missing = missing_output_line(connection, options); !missing.empty())
    report_note("%s", missing.c_str());

  EglObjects& gl = session.egl;
  auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  gl.display = get_platform_display != nullptr
                    ? get_platform_display(EGL_PLATFORM_WAYLAND_KHR, display, nullptr)
                    : eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(display));
  if (gl.display == EGL_NO_DISPLAY) return egl_fail("eglGetDisplay");
  if (!eglInitialize(gl.display, nullptr, nullptr)) {
    const int status = egl_fail("eglInitialize");
    gl.display = EGL_NO_DISPLAY;  // nothing to terminate
    return status;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) return egl_fail("eglBindAPI(desktop GL)");
  // Desktop GL with RGB and depth, without alpha, so that the compositor shows the surface
  // opaque, and with 8 bits a colour channel where offered (XRGB8888 buffers, which
  // compositors handle far faster than the XRGB2101010 that EGL lists first).
  const EGLint config_attributes[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE,
                                      EGL_OPENGL_BIT,   EGL_RED_SIZE,   8,
                                      EGL_GREEN_SIZE,   8,              EGL_BLUE_SIZE,
                                      8,                EGL_DEPTH_SIZE, 24,
                                      EGL_NONE};
  int taken = 0;
  gl.config = choose_egl_config(gl.display, config_attributes, options.samples,
                                ColourChoice::opaque_8_bits, &taken);
  if (gl.config == nullptr)
    return fail("EGL offers no RGB window configuration with depth for desktop GL on this "
                "Wayland display");
  report_samples_taken(options.samples, taken);
  const EGLint context_attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                       EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  gl.context = eglCreateContext(gl.display, gl.config, EGL_NO_CONTEXT, context_attributes);
  if (gl.context == EGL_NO_CONTEXT) return egl_fail("eglCreateContext(compatibility profile)");

  bool started = false;
  PacingClock::time_point next_slot = PacingClock::now();
  PacingClock::duration drawing{};  // a round's drawing, smoothed over the last few
  for (;;) {
    if (!follow_outputs(connection, gl, options)) return egl_fail("making a surface");
    if (connection.input_seen) return 0;
    const PacingClock::time_point now = PacingClock::now();
    std::vector<OutputRecord*> surfaces;
    std::vector<SurfaceBeat> beats;
    for (auto& record : connection.outputs) {
      if (record->egl_surface == EGL_NO_SURFACE) continue;
      surfaces.push_back(record.get());
      beats.push_back(beat_of(*record, now, drawing));
    }
    const Pace pace = run.pacing.pace();
    for (std::size_t i = 0; i < beats.size(); ++i) {
      if (!swap_due(beats[i], pace.max_fps)) continue;
      if (!swap_held(gl, *surfaces[i])) return egl_fail("drawing");
      beats[i] = beat_of(*surfaces[i], now, drawing);
    }
    RoundPlan plan;  // none due while the battery pace draws nothing
    if (!pace.stopped) {
      for (std::size_t i = 0; i < beats.size(); ++i)
        if (wants_callback(beats[i], pace.max_fps)) ask_frame_and_commit(*surfaces[i]);
      plan = plan_round(beats, pace.max_fps);
    }
    std::vector<OutputRecord*> due;
    std::vector<bool> holds;
    for (std::size_t i : plan.due) {
      due.push_back(surfaces[i]);
      holds.push_back(plan.clock && holds_swap(beats[i], pace.max_fps));
    }
    // Under a refresh clock its callbacks pace the rounds; else the wall-clock slot does.
    if (!due.empty() && (plan.clock || now >= next_slot)) {
      if (!draw_round(connection, gl, options, &started, due, holds)) return egl_fail("drawing");
      drawing = (3 * drawing + (PacingClock::now() - now)) / 4;
      next_slot = run.pacing.next_start_after_frame();
      continue;
    }
    Deadline deadline;  // none: nothing can draw before the compositor writes
    if (!due.empty()) {
      deadline = Deadline(next_slot);
    } else if (plan.clock && !pace.stopped) {
      // Surfaces ready while the clock's callback is awaited: at hidden_after the clock
      // counts as hidden and the round goes on without it.
      for (const SurfaceBeat& beat : beats)
        if (ready_to_draw(beat, pace.max_fps))
          deadline = Deadline(surfaces[*plan.clock]->asked_at + hidden_after);
    }
    if (!wait_and_dispatch(display, &run.power, deadline))
      return connection_end(display, connection.shown);
    follow_power(run);
    if (due.empty() && PacingClock::now() - now > hidden_after) restart_frame_interval();
  }
}

}  // namespace

int run_on_layer_surfaces(const ShellRun& run) {
  wl_log_set_handler_client(keep_library_line);
  OverlayLock lock;
  if (run.options.layer == ViewerOptions::Layer::overlay && !lock.take()) return 0;
  LayerSession session;
  return run_session(session, run);
}

}  // namespace aerolume
