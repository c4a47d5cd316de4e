// plasmashell's name on the session bus, through sd-bus: one question at the start, then
// the bus's NameOwnerChanged signals for that name.
#include "viewer/wayland/plasma_watch.h"

#include <systemd/sd-bus.h>

#include "viewer/pace/bus_wait.h"

namespace aerolume {

namespace {

constexpr const char* plasma_bus_name = "org.kde.plasmashell";
constexpr const char* owner_changed_rule =
    "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
    "member='NameOwnerChanged',arg0='org.kde.plasmashell'";

// The name has a new owner (plasmashell started) or none (it ended).
int on_owner_changed(sd_bus_message* message, void* data, sd_bus_error*) {
  const char *name = nullptr, *old_owner = nullptr, *new_owner = nullptr;
  if (sd_bus_message_read(message, "sss", &name, &old_owner, &new_owner) >= 0)
    static_cast<PlasmaWatch*>(data)->set_present(*new_owner != '\0');
  return 0;
}

}  // namespace

PlasmaWatch::PlasmaWatch(bool follow) {
  if (!follow || sd_bus_open_user(&bus_) < 0) {
    bus_ = nullptr;
    return;
  }
  // The signal first: an owner that comes after the answer below is still heard of.
  if (sd_bus_add_match(bus_, nullptr, owner_changed_rule, on_owner_changed, this) < 0) {
    close_bus();
    return;
  }
  sd_bus_message* reply = nullptr;
  int owned = 0;
  if (sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                         plasma_bus_name) >= 0 &&
      sd_bus_message_read(reply, "b", &owned) >= 0)
    present_ = owned != 0;
  sd_bus_message_unref(reply);
}

PlasmaWatch::~PlasmaWatch() { close_bus(); }

pollfd PlasmaWatch::poll_entry() const { return bus_poll_entry(bus_); }

Deadline PlasmaWatch::deadline() const { return bus_deadline(bus_); }

void PlasmaWatch::dispatch() {
  if (bus_ == nullptr) return;
  int r = 0;
  while ((r = sd_bus_process(bus_, nullptr)) > 0) {
  }
  // A session bus that went away tells nothing more: Plasma counts as absent.
  if (r < 0) close_bus();
}

void PlasmaWatch::close_bus() {
  present_ = false;
  if (bus_ != nullptr) sd_bus_close_unref(bus_);
  bus_ = nullptr;
}

}  // namespace aerolume
