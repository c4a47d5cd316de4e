// The EGL configurations offered, read once for every program that chooses one.
#include "render/egl_configs.h"

#include <vector>

namespace aerolume {

EGLConfig choose_egl_config(EGLDisplay display, const EGLint* attributes, int asked_samples,
                            ColourChoice colour, int* taken) {
  EGLint count = 0;
  if (!eglChooseConfig(display, attributes, nullptr, 0, &count) || count < 1) return nullptr;
  std::vector<EGLConfig> configs(static_cast<std::size_t>(count));
  if (!eglChooseConfig(display, attributes, configs.data(), count, &count) || count < 1)
    return nullptr;
  configs.resize(static_cast<std::size_t>(count));
  std::vector<OfferedConfig> offered;
  for (EGLConfig config : configs) {
    OfferedConfig described;
    eglGetConfigAttrib(display, config, EGL_SAMPLES, &described.samples);
    eglGetConfigAttrib(display, config, EGL_RED_SIZE, &described.red);
    eglGetConfigAttrib(display, config, EGL_GREEN_SIZE, &described.green);
    eglGetConfigAttrib(display, config, EGL_BLUE_SIZE, &described.blue);
    eglGetConfigAttrib(display, config, EGL_ALPHA_SIZE, &described.alpha);
    offered.push_back(described);
  }
  const int chosen = config_to_take(asked_samples, colour, offered, taken);
  return chosen < 0 ? nullptr : configs[static_cast<std::size_t>(chosen)];
}

}  // namespace aerolume
