// The screen's monitors, saver, DPMS and compositor, through RandR, Xinerama,
// MIT-SCREEN-SAVER, DPMS and XFixes.
#include "viewer/x11/screen_watch.h"
#include "viewer/x11/window_watch.h"

#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/dpms.h>
#include <X11/extensions/scrnsaver.h>

#include <chrono>
#include <memory>

namespace aerolume {

namespace {

constexpr auto dpms_interval = std::chrono::seconds(1);

}  // namespace

ScreenWatch::ScreenWatch(Display* display, Window root) : display_(display), root_(root) {
  int error_base = 0, major = 0, minor = 0;
  if (XRRQueryExtension(display, &randr_event_, &error_base) &&
      XRRQueryVersion(display, &major, &minor)) {
    randr_monitors_ = major > 1 || (major == 1 && minor >= 5);
    XRRSelectInput(display, root, RRScreenChangeNotifyMask);
  } else {
    randr_event_ = -1;
  }
  const std::string name = "_NET_WM_CM_S" + std::to_string(XScreenNumberOfScreen(
                                                DefaultScreenOfDisplay(display)));
  compositor_selection_ = XInternAtom(display, name.c_str(), False);
  if (XFixesQueryExtension(display, &fixes_event_, &error_base))
    XFixesSelectSelectionInput(display, root, compositor_selection_,
                               XFixesSetSelectionOwnerNotifyMask |
                                   XFixesSelectionWindowDestroyNotifyMask |
                                   XFixesSelectionClientCloseNotifyMask);
  else
    fixes_event_ = -1;
  if (XScreenSaverQueryExtension(display, &saver_event_, &error_base))
    XScreenSaverSelectInput(display, root, ScreenSaverNotifyMask);
  else
    saver_event_ = -1;
  dpms_ = DPMSQueryExtension(display, &major, &error_base) && DPMSCapable(display);
  read_compositor();
  read_saver();
}

std::vector<Monitor> ScreenWatch::read_monitors() const {
  std::vector<Monitor> monitors;
  if (randr_monitors_) {
    int count = 0;
    XRRMonitorInfo* info = XRRGetMonitors(display_, root_, True, &count);
    for (int i = 0; info != nullptr && i < count; ++i) {
      char* name = info[i].name != None ? XGetAtomName(display_, info[i].name) : nullptr;
      monitors.push_back({name != nullptr ? name : "",
                          {info[i].x, info[i].y, info[i].width, info[i].height}});
      if (name != nullptr) XFree(name);
    }
    if (info != nullptr) XRRFreeMonitors(info);
    return monitors;
  }
  int event_base = 0, error_base = 0, count = 0;
  if (!XineramaQueryExtension(display_, &event_base, &error_base) || !XineramaIsActive(display_))
    return monitors;
  const std::unique_ptr<XineramaScreenInfo, int (*)(void*)> heads(
      XineramaQueryScreens(display_, &count), XFree);
  for (int i = 0; heads && i < count; ++i) {
    const XineramaScreenInfo& head = heads.get()[i];
    monitors.push_back({"", {head.x_org, head.y_org, head.width, head.height}});
  }
  return monitors;
}

Rect ScreenWatch::read_screen() const {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display_, root_, &attributes)) return {};
  return {0, 0, attributes.width, attributes.height};
}

ScreenWatch::News ScreenWatch::note_event(XEvent& event) {
  News news;
  if (randr_event_ >= 0 && event.type == randr_event_ + RRScreenChangeNotify)
    XRRUpdateConfiguration(&event);
  news.monitors = monitors_may_change(event.type, event.xconfigure.window, root_,
                                      randr_event_ >= 0 ? randr_event_ + RRScreenChangeNotify : -1);
  if (fixes_event_ >= 0 && event.type == fixes_event_ + XFixesSelectionNotify)
    news.sight = read_compositor();
  if (saver_event_ >= 0 && event.type == saver_event_ + ScreenSaverNotify) {
    const auto& notify = reinterpret_cast<const XScreenSaverNotifyEvent&>(event);
    const bool on = notify.state == ScreenSaverOn || notify.state == ScreenSaverCycle;
    news.sight = on != sight_.saver_on;
    sight_.saver_on = on;
  }
  return news;
}

bool ScreenWatch::read_dpms(PacingClock::time_point now) {
  if (!dpms_ || (last_dpms_read_ && now - *last_dpms_read_ < dpms_interval)) return false;
  last_dpms_read_ = now;
  CARD16 level = DPMSModeOn;
  BOOL enabled = False;
  const bool off = DPMSInfo(display_, &level, &enabled) && enabled && level != DPMSModeOn;
  const bool changed = off != sight_.dpms_off;
  sight_.dpms_off = off;
  return changed;
}

std::optional<PacingClock::time_point> ScreenWatch::next_dpms_read() const {
  if (!dpms_) return std::nullopt;
  if (!last_dpms_read_) return PacingClock::now();
  return *last_dpms_read_ + dpms_interval;
}

std::string ScreenWatch::compositor_name() const {
  const Window owner = XGetSelectionOwner(display_, compositor_selection_);
  return owner == None ? "" : program_name(display_, owner);
}

bool ScreenWatch::read_compositor() {
  const bool owned = XGetSelectionOwner(display_, compositor_selection_) != None;
  const bool changed = owned != sight_.composited;
  sight_.composited = owned;
  return changed;
}

bool ScreenWatch::read_saver() {
  if (saver_event_ < 0) return false;
  XScreenSaverInfo* info = XScreenSaverAllocInfo();
  if (info == nullptr) return false;
  const bool on = XScreenSaverQueryInfo(display_, root_, info) &&
                  (info->state == ScreenSaverOn || info->state == ScreenSaverCycle);
  XFree(info);
  const bool changed = on != sight_.saver_on;
  sight_.saver_on = on;
  return changed;
}

}  // namespace aerolume
