// GLX framebuffer configurations with sample buffers, on the display the shell holds.
#include "viewer/glx/samples.h"

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <memory>

namespace aerolume {

std::vector<int> glx_window_sample_counts(Display* display) {
  std::vector<int> counts;
  const int attributes[] = {GLX_X_RENDERABLE, True, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                            GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_DOUBLEBUFFER, True,
                            GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1, GLX_BLUE_SIZE, 1,
                            GLX_DEPTH_SIZE, 1, GLX_SAMPLE_BUFFERS, 1, None};
  int count = 0;
  const std::unique_ptr<GLXFBConfig, int (*)(void*)> configs(
      glXChooseFBConfig(display, DefaultScreen(display), attributes, &count), XFree);
  for (int i = 0; configs && i < count; ++i) {
    int samples = 0;
    if (glXGetFBConfigAttrib(display, configs.get()[i], GLX_SAMPLES, &samples) == Success)
      counts.push_back(samples);
  }
  return counts;
}

}  // namespace aerolume
