// What the two X shells (the program's own window and another program's) make of X's
// errors: a lost display connection ends the program with status 0 and without a
// message, and some error codes say that the window drawn into is gone.
#pragma once

namespace aerolume {

// Installs the handler of a lost display connection, process-wide: it ends the process
// at once with status 0 instead of through Xlib's message and status 1.
void end_quietly_on_lost_display();

// Whether an X error code says that the window drawn into no longer exists: the core
// BadWindow and BadDrawable, or GLX's own for a drawable, a window or the current window
// (offsets from glx_error_base). The X shells end with status 0 on these. Pure: in the
// viewer's library, where the tests reach it.
bool window_gone_error(int error_code, int glx_error_base);

}  // namespace aerolume
