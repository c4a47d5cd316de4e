// aerolume_stop_before: preloaded (LD_PRELOAD) into aerolume by the end-to-end tests to
// make start-up races happen at a known point. With AEROLUME_STOP_BEFORE naming
// XSelectInput or glXMakeCurrent, the process stops itself (SIGSTOP) just before its
// first call of that function; the test changes the window meanwhile and then lets it go
// on with SIGCONT.
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

void stop_if_named(const char* function) {
  static bool stopped = false;
  const char* wanted = std::getenv("AEROLUME_STOP_BEFORE");
  if (stopped || wanted == nullptr || std::strcmp(wanted, function) != 0) return;
  stopped = true;
  std::raise(SIGSTOP);
}

template <typename Function>
Function next_definition(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int XSelectInput(Display* display, Window window, long mask) {
  stop_if_named("XSelectInput");
  static const auto real = next_definition<int (*)(Display*, Window, long)>("XSelectInput");
  return real(display, window, mask);
}

extern "C" Bool glXMakeCurrent(Display* display, GLXDrawable drawable, GLXContext context) {
  stop_if_named("glXMakeCurrent");
  static const auto real =
      next_definition<Bool (*)(Display*, GLXDrawable, GLXContext)>("glXMakeCurrent");
  return real(display, drawable, context);
}
