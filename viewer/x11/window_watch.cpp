// The X11 shell's view of its window: mapping of the window and its ancestors, a cover
// from the start, and the events that change either.
#include "viewer/x11/window_watch.h"

#include "viewer/glx/x_free.h"
#include "viewer/x11/rects.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

namespace aerolume {

namespace {

// A window's rectangle on the screen, its border included (inner = false) or not.
bool screen_rect(Display* display, Window window, bool inner, Rect* rect) {
  XWindowAttributes attributes;
  int x = 0, y = 0;
  Window child = None;
  if (!XGetWindowAttributes(display, window, &attributes) ||
      !XTranslateCoordinates(display, window, attributes.root, 0, 0, &x, &y, &child))
    return false;
  const long border = inner ? 0 : attributes.border_width;
  *rect = {x - border, y - border, attributes.width + 2 * border, attributes.height + 2 * border};
  return true;
}

// Whether one viewable InputOutput child of the root hides the whole screen: a lock
// screen or a screen saver's window (override-redirect), a full-screen window or, under a
// reparenting window manager, its frame.
bool screen_covered_by_one_child(Display* display, Window root) {
  XWindowAttributes root_attributes;
  if (!XGetWindowAttributes(display, root, &root_attributes)) return false;
  const Rect screen{0, 0, root_attributes.width, root_attributes.height};
  return child_covering_screen(screen, screen_children(display, root)) >= 0;
}

}  // namespace

Window parent_of(Display* display, Window window) {
  Window root = None, parent = None, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return None;
  if (children != nullptr) XFree(children);
  return parent;
}


std::vector<ScreenChild> screen_children(Display* display, Window root,
                                         std::span<const Window> own,
                                         std::vector<int>* own_stack) {
  // The root's children that hold one of the program's windows (or are one).
  std::vector<Window> own_top;
  const auto add_own_top = [&] {
    for (Window window : own) {
      Window level = window;
      for (Window parent = parent_of(display, level); parent != None && parent != root;
           parent = parent_of(display, parent))
        level = parent;
      own_top.push_back(level);
    }
  };
  add_own_top();
  std::vector<ScreenChild> described;
  Window unused_root = None, unused_parent = None, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, root, &unused_root, &unused_parent, &children, &count))
    return described;
  const std::unique_ptr<Window, XFreer> owned(children);
  // A window manager may frame one of them between the two looks (as it maps): the root
  // then lists a frame that was not found above. Looked for again, the frame is found.
  add_own_top();
  if (own_stack != nullptr) own_stack->assign(own.size(), -1);
  described.reserve(count);
  for (unsigned int i = 0; i < count; ++i) {
    const auto top = std::find(own_top.begin(), own_top.end(), children[i]);
    if (top != own_top.end()) {
      // Each look lists the own windows in order: the place is the window's of either.
      if (own_stack != nullptr)
        (*own_stack)[static_cast<std::size_t>(top - own_top.begin()) % own.size()] =
            static_cast<int>(i);
      continue;
    }
    XWindowAttributes attributes;
    // A child gone meanwhile hides nothing; its DestroyNotify brings another look.
    if (!XGetWindowAttributes(display, children[i], &attributes)) continue;
    const long border = attributes.border_width;
    described.push_back({{attributes.x, attributes.y, attributes.width + 2 * border,
                          attributes.height + 2 * border},
                         attributes.map_state == IsViewable,
                         attributes.c_class == InputOutput, children[i], static_cast<int>(i)});
  }
  return described;
}

std::string program_name(Display* display, Window window) {
  XClassHint hint{};
  if (!XGetClassHint(display, window, &hint)) return "";
  std::string name = hint.res_class != nullptr && *hint.res_class != '\0' ? hint.res_class
                     : hint.res_name != nullptr                        ? hint.res_name
                                                                       : "";
  if (hint.res_name != nullptr) XFree(hint.res_name);
  if (hint.res_class != nullptr) XFree(hint.res_class);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name;
}

bool is_root_window(Display* display, Window window) {
  for (int screen = 0; screen < ScreenCount(display); ++screen)
    if (RootWindow(display, screen) == window) return true;
  return false;
}

bool read_window_state(Display* display, Window window, WindowState* state) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) return false;
  state->width = attributes.width;
  state->height = attributes.height;
  state->viewable = attributes.map_state == IsViewable;
  return true;
}

void AncestorWatch::follow(Display* display, Window window) {
  const auto contains = [](const std::vector<Window>& windows, Window w) {
    return std::find(windows.begin(), windows.end(), w) != windows.end();
  };
  std::vector<Window> chain;
  const Window root = DefaultRootWindow(display);
  for (Window parent = parent_of(display, window); parent != None && parent != root;
       parent = parent_of(display, parent))
    chain.push_back(parent);
  for (const Window old : followed_)
    if (!contains(chain, old)) XSelectInput(display, old, NoEventMask);
  for (const Window ancestor : chain)
    if (!contains(followed_, ancestor)) XSelectInput(display, ancestor, StructureNotifyMask);
  followed_ = std::move(chain);
}

bool screen_composited(Display* display) {
  const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
  const Atom selection = XInternAtom(display, name.c_str(), False);
  return XGetSelectionOwner(display, selection) != None;
}

bool covered_by_one_window(Display* display, Window window) {
  if (is_root_window(display, window)) return screen_covered_by_one_child(display, window);
  Rect target;
  if (!screen_rect(display, window, false, &target)) return false;
  const Window root = DefaultRootWindow(display);
  for (Window level = window; level != root;) {
    const Window parent = parent_of(display, level);
    Rect inside;
    if (parent == None || !screen_rect(display, parent, true, &inside)) return false;
    target = target.clipped_to(inside);
    if (target.empty()) return false;
    Window unused_root = None, unused_parent = None, *siblings = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &unused_root, &unused_parent, &siblings, &count))
      return false;
    const std::unique_ptr<Window, XFreer> owned(siblings);
    // Siblings come bottom to top: only those after the level can cover it.
    bool above = false;
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (!above) {
        above = siblings[i] == level;
        continue;
      }
      if (!XGetWindowAttributes(display, siblings[i], &attributes) ||
          attributes.c_class != InputOutput || attributes.map_state != IsViewable)
        continue;
      const long border = attributes.border_width;
      const Rect cover{inside.x + attributes.x, inside.y + attributes.y,
                       attributes.width + 2 * border, attributes.height + 2 * border};
      if (cover.covers(target)) return true;
    }
    level = parent;
  }
  return false;
}

void note_window_event(const XEvent& event, Window window, WindowState* state,
                       WindowNews* news) {
  switch (event.type) {
    case DestroyNotify:
      if (event.xdestroywindow.window == window) news->gone = true;
      news->children_changed = true;
      break;
    case ConfigureNotify:
      if (event.xconfigure.window == window) {
        if (event.xconfigure.width != state->width || event.xconfigure.height != state->height)
          state->picture_lost = true;
        state->width = event.xconfigure.width;
        state->height = event.xconfigure.height;
      }
      news->children_changed = true;
      break;
    case Expose:
      if (event.xexpose.window == window) state->picture_lost = true;
      break;
    case MapNotify:
      if (event.xmap.window == window) state->picture_lost = true;
      news->reread = news->children_changed = true;
      break;
    case UnmapNotify:
      news->reread = news->children_changed = true;
      break;
    case CirculateNotify:
      news->children_changed = true;
      break;
    case ReparentNotify:
      news->reread = news->rewalk = news->children_changed = true;
      break;
    case VisibilityNotify:
      if (event.xany.window == window)
        state->covered = event.xvisibility.state == VisibilityFullyObscured;
      break;
    default:
      break;
  }
}

bool follow_window_events(Display* display, Window window, AncestorWatch* ancestors,
                          WindowState* state) {
  // Events of the root's children (the root selects them) change what covers the screen.
  WindowNews news;
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    note_window_event(event, window, state, &news);
    if (news.gone) return false;
  }
  if (news.rewalk) ancestors->follow(display, window);
  // The server never reports the root covered: the shell judges it from its children.
  // Under a compositing manager a covered window may still show, so none is counted.
  if (news.children_changed && is_root_window(display, window))
    state->covered = covered_by_one_window(display, window) && !screen_composited(display);
  return !news.reread || read_window_state(display, window, state);
}

}  // namespace aerolume
