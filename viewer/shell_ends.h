// The ends both shells share: SIGTERM, SIGINT and a lost display connection end the
// program with status 0 and without a message, whatever it is doing at the time.
#pragma once

namespace aerolume {

// Installs the handlers, process-wide. A stop signal ends the process at once, also
// while it sleeps out a frame slot or waits for its window to be seen again; nothing
// needs tearing down first, as the X server and the kernel release all it holds. A lost
// display connection ends it the same way instead of through Xlib's message and status
// 1, and a write to such a connection no longer raises SIGPIPE.
void end_quietly_on_stop_or_lost_display();

// Whether an X error code says that the window drawn into no longer exists: the core
// BadWindow and BadDrawable, or GLX's own for a drawable, a window or the current window
// (offsets from glx_error_base). The X shells end with status 0 on these.
bool window_gone_error(int error_code, int glx_error_base);

}  // namespace aerolume
