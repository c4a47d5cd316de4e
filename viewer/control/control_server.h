// The program's answer to control from outside, on the session D-Bus: Pause, Resume,
// TogglePause and NewScene; SetFrames, the frames files of a program that draws into
// them (--frames-to: the files and sizes anew, the scene going on); and the properties
// Paused, Role, Display, Pace, DrawnPace and Views, with PropertiesChanged when they
// change (control_bus.h names the name, the object and the interface). One descriptor
// and a timeout fit the shells' own poll loops, as the power watch does. Without a
// session bus it stays silent and does nothing.
#pragma once

#include <poll.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "viewer/control/view_status.h"
#include "viewer/options/options.h"
#include "viewer/pace/poll_wait.h"

struct sd_bus;
struct sd_bus_slot;

namespace aerolume {

class ControlServer {
 public:
  // Opens the session bus (DBUS_SESSION_BUS_ADDRESS, or the user's bus socket), serves
  // the object, and asks for the program's name; the name is the bus's to grant, in a
  // later dispatch(). display: the Wayland display's name in the Wayland roles, the X
  // display's in the others.
  ControlServer(Role role, std::string display);
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // The bus's descriptor and the events to wait for; the descriptor is -1 (which poll
  // skips) without a bus.
  pollfd poll_entry() const;
  // When the bus needs attention next, or none.
  Deadline deadline() const;
  // Handles every call the bus has brought, without blocking. True when the pause
  // changed or a new scene was asked for (request_fresh_scene() is called already).
  bool dispatch();

  // Paused from outside: the shell neither draws nor steps, as while asleep.
  bool paused() const { return paused_; }
  // The frames files last asked for through SetFrames, once (none since the last take).
  std::optional<std::vector<ViewerOptions::FramesFile>> take_frames_files() {
    return std::exchange(frames_files_, std::nullopt);
  }
  // The views as the shell sees them now. While paused, a view the shell would draw
  // reads as paused on the bus.
  void set_views(std::vector<ViewStatus> views);
  // The pace as set (frames a second, 0: no cap) and as drawn lately (kept to a tenth,
  // so that a measurement's noise sends no signal).
  void set_pace(int set_fps, double drawn_fps);

  // The name owned on the bus; empty without a bus or before the bus has granted it.
  const std::string& bus_name() const { return bus_name_; }

 private:
  friend struct ControlCalls;
  void request_name();
  void emit_changed(const char* property);
  void close_bus();

  sd_bus* bus_ = nullptr;
  sd_bus_slot* object_ = nullptr;
  Role role_;
  std::string display_;
  bool paused_ = false;
  int pace_ = 0;
  double drawn_pace_ = 0;
  std::vector<ViewStatus> views_;
  std::optional<std::vector<ViewerOptions::FramesFile>> frames_files_;
  std::string bus_name_;
  int name_attempt_ = 0;
  bool changed_ = false;  // since the last dispatch(): the pause, or a new scene asked for
};

}  // namespace aerolume
