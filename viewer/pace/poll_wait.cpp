// The viewer's one poll: a deadline turned into poll's milliseconds, and EINTR handed
// back to the loop.
#include "viewer/pace/poll_wait.h"

#include <cerrno>

namespace aerolume {

namespace {

// poll takes an int of milliseconds; a day is more than any wait here asks for.
constexpr std::chrono::milliseconds longest_wait = std::chrono::hours(24);

}  // namespace

Deadline earlier(Deadline a, Deadline b) {
  if (!a) return b;
  if (!b) return a;
  return *a < *b ? a : b;
}

int poll_until(std::span<pollfd> sources, Deadline deadline) {
  int timeout_ms = -1;
  if (deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - PacingClock::now());
    if (left.count() < 0) left = std::chrono::milliseconds(0);
    if (left > longest_wait) left = longest_wait;
    timeout_ms = static_cast<int>(left.count());
  }
  const int ready = poll(sources.data(), static_cast<nfds_t>(sources.size()), timeout_ms);
  if (ready < 0 && errno == EINTR) return 0;
  return ready;
}

}  // namespace aerolume
