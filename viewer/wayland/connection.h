// The traffic on the connection to the compositor and how it ends: the one wait of the
// shell's loop, the round trips of the start, the status of a failed connection, and the
// failure line, which carries libwayland's own last line where it wrote one.
#pragma once

#include <wayland-client.h>

#include <poll.h>

#include <cstdarg>
#include <optional>
#include <span>

#include "viewer/pace/poll_wait.h"

namespace aerolume {

// libwayland's log handler (wl_log_set_handler_client): keeps its last line, which
// fail() adds to the program's one line; a run that ends well says nothing of it.
void keep_library_line(const char* format, va_list arguments);

// The viewer's failure line, with libwayland's last line when it wrote one; returns the
// failure status.
[[gnu::format(printf, 1, 2)]] int fail(const char* format, ...);

// Sends what is queued, sleeps in poll until the compositor writes, one of the other
// descriptors has news (the power source, the control), a signal comes or the deadline
// passes, and runs the listeners of what arrived. While the socket takes only part of
// what is queued, the wait also ends when it can take more, and the next call sends the
// rest. False once the connection has failed.
bool wait_and_dispatch(wl_display* display, std::span<const pollfd> others, Deadline deadline);

// A round trip at start-up, which the compositor has a few seconds to answer: the end's
// status (with its line), or nothing when the compositor answered.
std::optional<int> start_roundtrip(wl_display* display);

// A failed connection: the compositor gone after the first frame was shown ends the
// program quietly (0); the connection closed before it, and any error the compositor
// posted, are faults worth a line (1).
int connection_end(wl_display* display, bool shown);

}  // namespace aerolume
