// One overlay at a time on a compositor: a lock file beside the compositor's socket, and
// the compositor's name as the user gives it.
#pragma once

#include <string>

namespace aerolume {

// The compositor as the user names it: WAYLAND_DISPLAY, or libwayland's default.
std::string wayland_display_name();

// An exclusive lock on $XDG_RUNTIME_DIR/aerolume-overlay-<WAYLAND_DISPLAY>.lock, held
// while the overlay runs; the kernel lets go of it when the process ends, however it
// ends. Without a runtime folder, or where the file cannot be opened, no lock is taken
// and the overlay runs regardless.
class OverlayLock {
 public:
  OverlayLock() = default;
  OverlayLock(const OverlayLock&) = delete;
  OverlayLock& operator=(const OverlayLock&) = delete;
  ~OverlayLock();
  // False when another process holds the lock.
  bool take();

 private:
  int fd_ = -1;
};

}  // namespace aerolume
