// The overlay's lock file, taken without waiting (flock), kept until the process ends.
#include "viewer/wayland/overlay_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace aerolume {

std::string wayland_display_name() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  return name != nullptr && *name != '\0' ? name : "wayland-0";
}

OverlayLock::~OverlayLock() {
  if (fd_ >= 0) close(fd_);
}

bool OverlayLock::take() {
  const char* folder = std::getenv("XDG_RUNTIME_DIR");
  if (folder == nullptr || *folder == '\0') return true;
  std::string display = wayland_display_name();
  for (char& c : display)
    if (c == '/') c = '_';
  const std::string path = std::string(folder) + "/aerolume-overlay-" + display + ".lock";
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) return true;
  int locked = 0;
  while ((locked = flock(fd_, LOCK_EX | LOCK_NB)) < 0 && errno == EINTR) {
  }
  return locked == 0 || errno != EWOULDBLOCK;
}

}  // namespace aerolume
