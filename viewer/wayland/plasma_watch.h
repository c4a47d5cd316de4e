// Whether Plasma's desktop is there, read from the session D-Bus: plasmashell owns the
// name org.kde.plasmashell while it runs, and the bus says when the name gets or loses
// its owner. KWin offers the layer shell with or without Plasma, and keeps sending frame
// callbacks to a background surface that Plasma's desktop hides, so neither the
// compositor's globals nor its callbacks tell; the name does, as plasmashell comes and
// goes. One descriptor fits the shell's poll loop; without a session bus Plasma counts as
// absent, silently.
#pragma once

#include <poll.h>

#include "viewer/pace/poll_wait.h"

struct sd_bus;

namespace aerolume {

class PlasmaWatch {
 public:
  // follow false: no bus is opened, and Plasma is absent for good. Otherwise opens the
  // session bus (DBUS_SESSION_BUS_ADDRESS, or the user's bus socket), follows the name's
  // owner and asks the bus whether it has one now (the bus itself answers, at once).
  explicit PlasmaWatch(bool follow);
  ~PlasmaWatch();
  PlasmaWatch(const PlasmaWatch&) = delete;
  PlasmaWatch& operator=(const PlasmaWatch&) = delete;

  // plasmashell owns its name now.
  bool present() const { return present_; }
  // The bus's descriptor and events; -1 (which poll skips) without a bus.
  pollfd poll_entry() const;
  Deadline deadline() const;
  // Handles what the bus has sent, without blocking.
  void dispatch();

  void set_present(bool present) { present_ = present; }

 private:
  void close_bus();

  sd_bus* bus_ = nullptr;
  bool present_ = false;
};

}  // namespace aerolume
