// How the X11 shell follows the window it draws into: its size, whether it and every
// ancestor are mapped (the window is viewable), and whether it is fully covered, from
// the events of the window and its ancestors and, where the server says nothing of a
// state that has not changed, from the window tree itself.
#pragma once

#include <X11/Xlib.h>

#include <span>
#include <string>
#include <vector>

#include "viewer/x11/rects.h"

namespace aerolume {

// What the shell knows of the window: read once its events are selected, then followed.
struct WindowState {
  int width = 0;
  int height = 0;
  bool viewable = false;  // it and every ancestor mapped
  bool covered = false;   // fully obscured, where the server reports it
  // What the window showed may be gone since the last frame (exposed, resized, mapped
  // again): the frame after is drawn whole. The shell clears it once it has taken it.
  bool picture_lost = false;
  bool seen() const { return viewable && !covered; }
};

// Whether the window is the root window of one of the display's screens.
bool is_root_window(Display* display, Window window);

// The program that made the window, as its users know it: WM_CLASS's class in lower case
// (caja's desktop window is "desktop_window" of class "Caja"), else the instance name;
// empty when it names neither.
std::string program_name(Display* display, Window window);

// The parent of a window (the root itself has none: None), or None for a window gone.
Window parent_of(Display* display, Window window);

// Reads the size and whether the window is viewable; false when the window is gone.
bool read_window_state(Display* display, Window window, WindowState* state);

// The window's ancestors below the root, whose mapping decides whether the window can be
// seen: their structure events are followed (mapping, unmapping, reparenting), and those
// of windows that are no longer ancestors are let go. The host's own selections on them
// are its own and stay as they are.
class AncestorWatch {
 public:
  void follow(Display* display, Window window);

 private:
  std::vector<Window> followed_;
};

// Whether a window manager composites the screen: then a covered window may still show
// through (and the server reports no window as covered), so none is taken as covered.
bool screen_composited(Display* display);

// Whether one mapped window above the window, or above one of its ancestors, covers the
// part of it that its ancestors let show; for a root window, whether one viewable
// InputOutput child covers the whole screen. The server tells of covering only when it
// changes, so a window covered from the start is found here. Covers by several windows
// together are not found: the window is then drawn until the server reports a change.
bool covered_by_one_window(Display* display, Window window);

// The root's children as the screen's cover is judged (viewable InputOutput ones hide
// what lies under them), without the program's own windows and the frames a window
// manager put around them; own_stack, where given, gets the place among the root's
// children of each own window (or of its frame): -1 where it is not found.
std::vector<ScreenChild> screen_children(Display* display, Window root,
                                         std::span<const Window> own = {},
                                         std::vector<int>* own_stack = nullptr);

// What one event said of a window that is followed: the window destroyed, its mapping or
// an ancestor's to be read afresh, its ancestors to be walked afresh, or a change among
// the root's children. The size, the server's covering and a lost picture (an Expose, a
// new size, the window mapped) are set in the state at once.
struct WindowNews {
  bool gone = false, reread = false, rewalk = false, children_changed = false;
};
void note_window_event(const XEvent& event, Window window, WindowState* state, WindowNews* news);

// Drains the pending events; returns false once the window has been destroyed. Mapping,
// unmapping and reparenting, of the window or an ancestor, are followed by reading the
// state afresh (the server knows whether the window is viewable), once the queue is
// drained. For a root window, whose children's structure events are selected too, any
// change among its children (mapped, unmapped, moved, resized, restacked, destroyed)
// judges afresh whether one covers the screen; under a compositing manager none does.
bool follow_window_events(Display* display, Window window, AncestorWatch* ancestors,
                          WindowState* state);

}  // namespace aerolume
