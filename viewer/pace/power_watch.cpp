// The power source over the system D-Bus, through sd-bus: every call is asynchronous and
// every answer a callback that only records, run from dispatch() in the shell's loop.
#include "viewer/pace/power_watch.h"

#include <systemd/sd-bus.h>

#include <chrono>
#include <cstring>
#include <string>

#include "viewer/pace/bus_wait.h"

namespace aerolume {

namespace {

// Each daemon's well-known name, its object and the property read there.
struct Daemon {
  const char* name;
  const char* path;
  const char* interface;
  const char* property;
};
constexpr Daemon daemons[] = {
    {"org.freedesktop.UPower", "/org/freedesktop/UPower", "org.freedesktop.UPower", "OnBattery"},
    {"net.hadess.PowerProfiles", "/net/hadess/PowerProfiles", "net.hadess.PowerProfiles",
     "ActiveProfile"},
};
constexpr int upower = 0;

// The value of daemon's property, a variant at the message's position, into the watch.
int take_value(sd_bus_message* message, int daemon, PowerWatch* watch) {
  if (daemon == upower) {
    int on_battery = 0;
    const int r = sd_bus_message_read(message, "v", "b", &on_battery);
    if (r >= 0) watch->set_on_battery(on_battery != 0);
    return r;
  }
  const char* profile = nullptr;
  const int r = sd_bus_message_read(message, "v", "s", &profile);
  if (r >= 0) watch->set_power_saver(std::strcmp(profile, "power-saver") == 0);
  return r;
}

// A daemon that is not there (or gives no answer) counts as mains.
void take_absence(int daemon, PowerWatch* watch) {
  if (daemon == upower)
    watch->set_on_battery(false);
  else
    watch->set_power_saver(false);
}

template <int daemon>
int on_reply(sd_bus_message* reply, void* data, sd_bus_error*) {
  auto* watch = static_cast<PowerWatch*>(data);
  watch->reply_arrived();
  if (sd_bus_message_is_method_error(reply, nullptr) || take_value(reply, daemon, watch) < 0)
    take_absence(daemon, watch);
  return 0;
}

// PropertiesChanged (interface, changed values, names of invalidated values); the match
// rule has already chosen the daemon's object and interface.
template <int daemon>
int on_properties_changed(sd_bus_message* message, void* data, sd_bus_error*) {
  auto* watch = static_cast<PowerWatch*>(data);
  const char* interface = nullptr;
  if (sd_bus_message_read(message, "s", &interface) < 0 ||
      sd_bus_message_enter_container(message, 'a', "{sv}") < 0)
    return 0;
  while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
    const char* name = nullptr;
    if (sd_bus_message_read(message, "s", &name) < 0) return 0;
    const int r = std::strcmp(name, daemons[daemon].property) == 0
                      ? take_value(message, daemon, watch)
                      : sd_bus_message_skip(message, "v");
    if (r < 0 || sd_bus_message_exit_container(message) < 0) return 0;
  }
  if (sd_bus_message_exit_container(message) < 0 ||
      sd_bus_message_enter_container(message, 'a', "s") < 0)
    return 0;
  const char* invalidated = nullptr;
  while (sd_bus_message_read(message, "s", &invalidated) > 0)
    if (std::strcmp(invalidated, daemons[daemon].property) == 0) watch->read(daemon);
  return 0;
}

// The daemon's name has a new owner (it started: read its property) or none (it left:
// mains).
template <int daemon>
int on_owner_changed(sd_bus_message* message, void* data, sd_bus_error*) {
  auto* watch = static_cast<PowerWatch*>(data);
  const char *name = nullptr, *old_owner = nullptr, *new_owner = nullptr;
  if (sd_bus_message_read(message, "sss", &name, &old_owner, &new_owner) < 0) return 0;
  if (*new_owner != '\0')
    watch->read(daemon);
  else
    take_absence(daemon, watch);
  return 0;
}

template <int daemon>
int follow(sd_bus* bus, PowerWatch* watch) {
  const Daemon& d = daemons[daemon];
  const std::string changed = std::string("type='signal',interface='org.freedesktop.DBus.Properties',"
                                          "member='PropertiesChanged',path='") +
                              d.path + "',arg0='" + d.interface + "'";
  const std::string owner = std::string("type='signal',sender='org.freedesktop.DBus',"
                                        "interface='org.freedesktop.DBus',"
                                        "member='NameOwnerChanged',arg0='") +
                            d.name + "'";
  int r = sd_bus_add_match_async(bus, nullptr, changed.c_str(), on_properties_changed<daemon>,
                                 nullptr, watch);
  if (r >= 0)
    r = sd_bus_add_match_async(bus, nullptr, owner.c_str(), on_owner_changed<daemon>, nullptr, watch);
  return r;
}

}  // namespace

PowerWatch::PowerWatch(bool follow_power) {
  if (!follow_power || sd_bus_open_system(&bus_) < 0) {
    bus_ = nullptr;
    return;
  }
  // The signals first: the bus handles its requests in order, so no change made after
  // the reads can be missed.
  if (follow<0>(bus_, this) < 0 || follow<1>(bus_, this) < 0) {
    close_bus();
    return;
  }
  read(0);
  read(1);
  // The state at the start, before the first frame: at most a second's wait (an
  // activatable daemon may be starting; a missing one answers at once).
  const PacingClock::time_point deadline = PacingClock::now() + std::chrono::seconds(1);
  while (bus_ != nullptr && replies_awaited_ > 0) {
    if (!process()) {
      close_bus();
      break;
    }
    if (replies_awaited_ == 0) break;
    if (PacingClock::now() >= deadline) break;
    pollfd entry = poll_entry();
    poll_until({&entry, 1}, earlier(deadline, this->deadline()));
  }
}

PowerWatch::~PowerWatch() { close_bus(); }

void PowerWatch::read(int daemon) {
  if (bus_ == nullptr) return;
  const Daemon& d = daemons[daemon];
  const sd_bus_message_handler_t handler = daemon == upower ? on_reply<0> : on_reply<1>;
  if (sd_bus_call_method_async(bus_, nullptr, d.name, d.path, "org.freedesktop.DBus.Properties",
                               "Get", handler, this, "ss", d.interface, d.property) >= 0)
    ++replies_awaited_;
}

pollfd PowerWatch::poll_entry() const { return bus_poll_entry(bus_); }

Deadline PowerWatch::deadline() const { return bus_deadline(bus_); }

bool PowerWatch::process() {
  int r = 0;
  while ((r = sd_bus_process(bus_, nullptr)) > 0) {
  }
  return r >= 0;
}

bool PowerWatch::dispatch() {
  if (bus_ == nullptr) return false;
  const PowerState before = state_;
  // A bus that went away leaves the power at mains.
  if (!process()) close_bus();
  return state_ != before;
}

void PowerWatch::close_bus() {
  state_ = {};
  if (bus_ != nullptr) sd_bus_close_unref(bus_);
  bus_ = nullptr;
}

}  // namespace aerolume
