// The connection's traffic: the wait in poll, the round trip with a time limit, and the
// reading of a connection that failed.
#include "viewer/wayland/connection.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "run/failure.h"
#include "viewer/wayland/overlay_lock.h"

namespace aerolume {

namespace {

// How long the compositor has to answer a round trip before the first frame.
constexpr auto answer_within = std::chrono::seconds(5);

// libwayland's own last log line, without its newline. Its log handler takes no pointer
// of ours, so the line is kept here, in the one file that reads it.
std::string library_line;

}  // namespace

void keep_library_line(const char* format, va_list arguments) {
  char line[512];
  std::vsnprintf(line, sizeof line, format, arguments);
  library_line = line;
  while (!library_line.empty() && (library_line.back() == '\n' || library_line.back() == ' '))
    library_line.pop_back();
}

int fail(const char* format, ...) {
  char message[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  if (library_line.empty()) return report_failure("%s", message);
  return report_failure("%s (libwayland: %s)", message, library_line.c_str());
}

bool wait_and_dispatch(wl_display* display, std::span<const pollfd> others, Deadline deadline) {
  while (wl_display_prepare_read(display) != 0)
    if (wl_display_dispatch_pending(display) < 0) return false;
  // The descriptors the loop waits on; the connection first.
  std::vector<pollfd> waited{{wl_display_get_fd(display), POLLIN, 0}};
  waited.insert(waited.end(), others.begin(), others.end());
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

namespace {

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
    if (!wait_and_dispatch(display, {}, deadline)) {
      answer = Answer::failed;
      break;
    }
  }
  if (sync != nullptr) wl_callback_destroy(sync);
  return answer;
}

}  // namespace

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

// The errors worth a line besides the closed connection: a protocol error, or one of
// the display's own (an invalid object or method, no memory).
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

}  // namespace aerolume
