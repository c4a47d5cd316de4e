// The swap interval from the refresh of the window's monitor.
#include "viewer/glx/swap_pace.h"

#include <X11/extensions/Xrandr.h>

#include <memory>

#include "viewer/pace/power_pace.h"
#include "viewer/shell/extension_names.h"

namespace aerolume {

namespace {

// How often the refresh is looked at again while the cap stays: a few requests to the
// server every few seconds.
constexpr auto look_again_after = std::chrono::seconds(5);

struct ResourcesFreer {
  void operator()(XRRScreenResources* resources) const { XRRFreeScreenResources(resources); }
};
struct CrtcFreer {
  void operator()(XRRCrtcInfo* crtc) const { XRRFreeCrtcInfo(crtc); }
};

using SwapIntervalExt = void (*)(Display*, GLXDrawable, int);
using SwapIntervalMesa = int (*)(unsigned int);
using GetSwapIntervalMesa = int (*)();

void* glx_function(const char* name) {
  return reinterpret_cast<void*>(glXGetProcAddress(reinterpret_cast<const GLubyte*>(name)));
}

}  // namespace

double mode_refresh_hz(unsigned long dot_clock, unsigned int h_total, unsigned int v_total,
                       bool double_scan, bool interlace) {
  double lines = static_cast<double>(v_total);
  if (double_scan) lines *= 2.0;
  if (interlace) lines /= 2.0;
  const double dots = static_cast<double>(h_total) * lines;
  if (dot_clock == 0 || !(dots > 0.0)) return 0.0;
  return static_cast<double>(dot_clock) / dots;
}

SwapControl swap_control_from(const char* extensions) {
  if (extensions == nullptr) return SwapControl::none;
  if (names_extension(extensions, "GLX_EXT_swap_control")) return SwapControl::ext;
  if (names_extension(extensions, "GLX_MESA_swap_control")) return SwapControl::mesa;
  return SwapControl::none;
}

double window_refresh_hz(Display* display, Window window) {
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  if (!XRRQueryExtension(display, &event_base, &error_base) ||
      !XRRQueryVersion(display, &major, &minor) || (major == 1 && minor < 3))
    return 0.0;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) return 0.0;
  const Window root = RootWindowOfScreen(attributes.screen);
  int centre_x = 0, centre_y = 0;
  Window child = 0;
  if (!XTranslateCoordinates(display, window, root, attributes.width / 2,
                             attributes.height / 2, &centre_x, &centre_y, &child))
    return 0.0;
  const std::unique_ptr<XRRScreenResources, ResourcesFreer> resources(
      XRRGetScreenResourcesCurrent(display, root));
  if (!resources) return 0.0;
  for (int c = 0; c < resources->ncrtc; ++c) {
    const std::unique_ptr<XRRCrtcInfo, CrtcFreer> crtc(
        XRRGetCrtcInfo(display, resources.get(), resources->crtcs[c]));
    if (!crtc || crtc->mode == None) continue;
    const bool holds = centre_x >= crtc->x && centre_y >= crtc->y &&
                       centre_x < crtc->x + static_cast<int>(crtc->width) &&
                       centre_y < crtc->y + static_cast<int>(crtc->height);
    if (!holds) continue;
    for (int m = 0; m < resources->nmode; ++m) {
      const XRRModeInfo& mode = resources->modes[m];
      if (mode.id != crtc->mode) continue;
      return mode_refresh_hz(mode.dotClock, mode.hTotal, mode.vTotal,
                             (mode.modeFlags & RR_DoubleScan) != 0,
                             (mode.modeFlags & RR_Interlace) != 0);
    }
    return 0.0;
  }
  return 0.0;
}

GlxSwapPace::GlxSwapPace(Display* display, GLXDrawable drawable)
    : display_(display),
      drawable_(drawable),
      control_(swap_control_from(glXQueryExtensionsString(display, DefaultScreen(display)))) {
  // Without the function itself the extension is of no use.
  if (control_ == SwapControl::ext && glx_function("glXSwapIntervalEXT") == nullptr)
    control_ = SwapControl::none;
  if (control_ == SwapControl::mesa && glx_function("glXSwapIntervalMESA") == nullptr)
    control_ = SwapControl::none;
}

void GlxSwapPace::follow(FramePacing& pacing) {
  if (control_ == SwapControl::none) return;
  const int cap = pacing.pace().max_fps;
  const auto now = std::chrono::steady_clock::now();
  if (cap == cap_seen_ && now < next_look_) return;
  cap_seen_ = cap;
  next_look_ = now + look_again_after;
  // No cap: the interval stays the driver's, as it always was.
  const double refresh = cap > 0 ? window_refresh_hz(display_, drawable_) : 0.0;
  const int k = cap > 0 ? refreshes_per_frame(refresh, cap) : 0;
  set_interval(k);
  pacing.set_swap_paced(k > 0 ? k / refresh : 0.0);
}

void GlxSwapPace::set_interval(int interval) {
  if (interval == interval_set_) return;
  if (interval_set_ == 0) {
    // The interval the drawable had, put back when the slot paces again.
    if (control_ == SwapControl::ext) {
      unsigned int value = 1;
      glXQueryDrawable(display_, drawable_, GLX_SWAP_INTERVAL_EXT, &value);
      original_interval_ = static_cast<int>(value);
    } else if (auto get = reinterpret_cast<GetSwapIntervalMesa>(
                   glx_function("glXGetSwapIntervalMESA"))) {
      original_interval_ = get();
    }
  }
  const int value = interval > 0 ? interval : original_interval_;
  if (control_ == SwapControl::ext)
    reinterpret_cast<SwapIntervalExt>(glx_function("glXSwapIntervalEXT"))(display_, drawable_,
                                                                         value);
  else
    reinterpret_cast<SwapIntervalMesa>(glx_function("glXSwapIntervalMESA"))(
        static_cast<unsigned int>(value));
  interval_set_ = interval;
}

}  // namespace aerolume
