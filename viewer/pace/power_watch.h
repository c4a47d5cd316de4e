// The power source, read over the system D-Bus: UPower's OnBattery and
// power-profiles-daemon's ActiveProfile, then their PropertiesChanged signals (and the
// daemons coming and going) as they arrive. One descriptor and a timeout fit the shells'
// own poll loops; nothing is polled. Without a system bus, or without a daemon, its part
// of the state stays at mains, silently.
#pragma once

#include <poll.h>

#include "viewer/pace/poll_wait.h"
#include "viewer/pace/power_pace.h"

struct sd_bus;

namespace aerolume {

class PowerWatch {
 public:
  // follow false: no bus is opened, and the state is mains for good. Otherwise opens the
  // system bus (DBUS_SYSTEM_BUS_ADDRESS, or the usual socket), subscribes to the
  // signals, then reads both properties (waiting at most a second for the replies).
  explicit PowerWatch(bool follow);
  ~PowerWatch();
  PowerWatch(const PowerWatch&) = delete;
  PowerWatch& operator=(const PowerWatch&) = delete;

  PowerState state() const { return state_; }
  // The bus's descriptor and the events to wait for; the descriptor is -1 (which poll
  // skips) without a bus.
  pollfd poll_entry() const;
  // When the bus needs attention next (a reply's timeout), or none.
  Deadline deadline() const;
  // Handles everything the bus has sent, without blocking. True when the state changed.
  bool dispatch();

  // What the bus's callbacks update.
  void set_on_battery(bool on_battery) { state_.on_battery = on_battery; }
  void set_power_saver(bool power_saver) { state_.power_saver = power_saver; }
  // Asks a daemon (0: UPower, 1: power-profiles-daemon) for its property (again: it has
  // just appeared, or said that its property changed without giving the value).
  void read(int daemon);
  void reply_arrived() { --replies_awaited_; }

 private:
  // Handles what the bus has sent; false once the connection has failed.
  bool process();
  void close_bus();

  sd_bus* bus_ = nullptr;
  PowerState state_;
  int replies_awaited_ = 0;
};

}  // namespace aerolume
