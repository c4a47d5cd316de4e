// An sd-bus connection in the viewer's poll loops: its descriptor with the events it
// waits for, and when it needs attention next. Shared by every wing that talks D-Bus (the
// power watch on the system bus, the control on the session bus).
#pragma once

#include <poll.h>

#include "viewer/pace/poll_wait.h"

struct sd_bus;

namespace aerolume {

// The connection's descriptor and events; {-1, 0, 0} (which poll skips) without one.
pollfd bus_poll_entry(sd_bus* bus);
// When the connection needs attention next (a reply's timeout), or none.
Deadline bus_deadline(sd_bus* bus);

}  // namespace aerolume
