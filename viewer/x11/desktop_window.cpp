// The X desktop's windows: made with the hints EWMH and Motif window managers read.
#include "viewer/glx/x_free.h"
#include "viewer/x11/desktop_window.h"
#include "viewer/x11/window_watch.h"

#include <X11/Xatom.h>
#include <X11/extensions/shape.h>

#include <memory>
#include <utility>
#include <vector>

namespace aerolume {

namespace {

Atom atom(Display* display, const char* name) { return XInternAtom(display, name, False); }

// The one window a property of type WINDOW holds, or None.
Window window_property(Display* display, Window window, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, property, 0, 1, False, XA_WINDOW, &type, &format,
                         &count, &after, &data) != Success)
    return None;
  const std::unique_ptr<unsigned char, XFreer> owned(data);
  if (type != XA_WINDOW || format != 32 || count < 1) return None;
  return reinterpret_cast<const unsigned long*>(data)[0];
}

// Whether the window's _NET_WM_WINDOW_TYPE holds the desktop type.
bool desktop_typed(Display* display, Window window) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, atom(display, "_NET_WM_WINDOW_TYPE"), 0, 16, False,
                         XA_ATOM, &type, &format, &count, &after, &data) != Success)
    return false;
  const std::unique_ptr<unsigned char, XFreer> owned(data);
  const Atom desktop = atom(display, "_NET_WM_WINDOW_TYPE_DESKTOP");
  for (unsigned long i = 0; type == XA_ATOM && format == 32 && i < count; ++i)
    if (reinterpret_cast<const unsigned long*>(data)[i] == desktop) return true;
  return false;
}

std::string class_name(Display* display, Window window) {
  const std::string name = program_name(display, window);
  return name.empty() ? "an unnamed program" : name;
}

}  // namespace

bool ewmh_window_manager(Display* display, Window root) {
  const Atom check = atom(display, "_NET_SUPPORTING_WM_CHECK");
  const Window named = window_property(display, root, check);
  return named != None && window_property(display, named, check) == named;
}

Window create_desktop_window(Display* display, Window root, const XVisualInfo& visual,
                             Colormap colormap, const Rect& place, bool managed) {
  XSetWindowAttributes attributes{};
  attributes.colormap = colormap;
  attributes.background_pixel = BlackPixel(display, visual.screen);
  attributes.border_pixel = 0;
  attributes.override_redirect = managed ? False : True;
  attributes.event_mask = StructureNotifyMask | VisibilityChangeMask | ExposureMask;
  const Window window = XCreateWindow(
      display, root, static_cast<int>(place.x), static_cast<int>(place.y),
      static_cast<unsigned>(place.width), static_cast<unsigned>(place.height), 0, visual.depth,
      InputOutput, visual.visual,
      CWColormap | CWBackPixel | CWBorderPixel | CWOverrideRedirect | CWEventMask, &attributes);
  if (window == None) return None;

  XStoreName(display, window, "aerolume");
  XClassHint class_hint{const_cast<char*>("aerolume"), const_cast<char*>("aerolume")};
  XSetClassHint(display, window, &class_hint);
  XSizeHints size{};
  size.flags = USPosition | USSize;
  size.x = static_cast<int>(place.x);
  size.y = static_cast<int>(place.y);
  size.width = static_cast<int>(place.width);
  size.height = static_cast<int>(place.height);
  XSetWMNormalHints(display, window, &size);
  const Atom type = atom(display, "_NET_WM_WINDOW_TYPE_DESKTOP");
  XChangeProperty(display, window, atom(display, "_NET_WM_WINDOW_TYPE"), XA_ATOM, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&type), 1);
  const Atom states[] = {atom(display, "_NET_WM_STATE_STICKY"),
                         atom(display, "_NET_WM_STATE_BELOW"),
                         atom(display, "_NET_WM_STATE_SKIP_TASKBAR"),
                         atom(display, "_NET_WM_STATE_SKIP_PAGER")};
  XChangeProperty(display, window, atom(display, "_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(states), 4);
  const unsigned long every_desktop = 0xFFFFFFFFul;
  XChangeProperty(display, window, atom(display, "_NET_WM_DESKTOP"), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&every_desktop), 1);
  // Motif's hints: flags (2: decorations given), functions, decorations (none), input
  // mode, status.
  const unsigned long motif[] = {2, 0, 0, 0, 0};
  const Atom motif_hints = atom(display, "_MOTIF_WM_HINTS");
  XChangeProperty(display, window, motif_hints, motif_hints, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(motif), 5);
  // No input region: every click goes through to the window beneath, or the root.
  XShapeCombineRectangles(display, window, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);

  XMapWindow(display, window);
  XLowerWindow(display, window);
  return window;
}

void follow_desktop_parent(Display* display, Window window, Window root, Window parent) {
  const bool framed = parent != None && parent != root;
  if (framed)
    XShapeCombineMask(display, window, ShapeInput, 0, 0, None, ShapeSet);
  else
    XShapeCombineRectangles(display, window, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
  const long buttons = framed ? ButtonPressMask | ButtonReleaseMask : NoEventMask;
  XSelectInput(display, window,
               StructureNotifyMask | VisibilityChangeMask | ExposureMask | buttons);
}

bool forward_button(Display* display, Window root, const XEvent& event) {
  if (event.type != ButtonPress && event.type != ButtonRelease) return false;
  XEvent forwarded = event;
  forwarded.xbutton.window = root;
  forwarded.xbutton.subwindow = None;
  forwarded.xbutton.x = event.xbutton.x_root;
  forwarded.xbutton.y = event.xbutton.y_root;
  // The press's implicit grab is ours: let it go, so that the window manager can grab
  // the pointer for its menu.
  if (event.type == ButtonPress) XUngrabPointer(display, event.xbutton.time);
  // To the clients that take the root's buttons, as a window manager does.
  XSendEvent(display, root, False, ButtonPressMask | ButtonReleaseMask, &forwarded);
  return true;
}

void place_desktop_window(Display* display, Window window, const Rect& place) {
  XMoveResizeWindow(display, window, static_cast<int>(place.x), static_cast<int>(place.y),
                    static_cast<unsigned>(place.width), static_cast<unsigned>(place.height));
}

std::string desktop_program(Display* display, Window root_child) {
  // The client may lie a few levels down: a window manager's frame holds it (openbox), or
  // a frame and a wrapper (KWin).
  constexpr int deepest = 3;
  std::vector<Window> level{root_child};
  for (int depth = 0; depth <= deepest && !level.empty(); ++depth) {
    std::vector<Window> below;
    for (const Window window : level) {
      if (desktop_typed(display, window)) return class_name(display, window);
      Window unused_root = None, unused_parent = None, *children = nullptr;
      unsigned int count = 0;
      if (depth == deepest ||
          !XQueryTree(display, window, &unused_root, &unused_parent, &children, &count))
        continue;
      const std::unique_ptr<Window, XFreer> owned(children);
      below.insert(below.end(), children, children + count);
    }
    level = std::move(below);
  }
  return "";
}

}  // namespace aerolume
