// The X desktop's windows, one per monitor: a window of the desktop type that window
// managers keep under every other window, on every workspace, out of the taskbar and the
// pager and without decorations, so that compositing managers show it as any window. Its
// input shape is empty, so that clicks reach whatever lies beneath (a window manager's
// root menu). Where no EWMH window manager runs it is override-redirect instead, kept at
// the bottom of the stack by the program.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>

#include "viewer/x11/rects.h"

namespace aerolume {

// Whether an EWMH window manager runs: the root's _NET_SUPPORTING_WM_CHECK names a window
// that names itself the same way.
bool ewmh_window_manager(Display* display, Window root);

// A desktop window over the rectangle, with the visual and colormap given, mapped and put
// at the bottom of the stack; its structure, visibility and exposure events selected. None when the
// server refuses it.
Window create_desktop_window(Display* display, Window root, const XVisualInfo& visual,
                             Colormap colormap, const Rect& place, bool managed);

// Under a reparenting window manager the clicks on a desktop window would reach the
// frame around it, which is not the root: while the window lies in a frame it takes the
// buttons itself (its input shape whole again) and hands them to the root, as desktop
// icon programs do; back on the root its input shape is empty again. Called with the
// window's parent whenever it may have changed.
void follow_desktop_parent(Display* display, Window window, Window root, Window parent);
// Hands a button press or release on a desktop window to the root window; false for any
// other event.
bool forward_button(Display* display, Window root, const XEvent& event);

// Moves and resizes a desktop window onto a monitor's new rectangle.
void place_desktop_window(Display* display, Window window, const Rect& place);

// Another program's desktop window (_NET_WM_WINDOW_TYPE_DESKTOP: pcmanfm, caja, xfdesktop,
// nemo, plasmashell), found on the root's child or, under a reparenting window manager,
// on the client inside its frame (and wrapper): that program's name as program_name()
// gives it, else "".
std::string desktop_program(Display* display, Window root_child);

}  // namespace aerolume
