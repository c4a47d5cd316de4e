// The control's object on the session bus, through sd-bus: the methods and properties
// are a vtable whose callbacks only record, run from dispatch() in the shell's loop.
#include "viewer/control/control_server.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <utility>

#include "run/scene_setup.h"
#include "viewer/control/control_bus.h"
#include "viewer/pace/bus_wait.h"

namespace aerolume {

namespace {

// Other processes of the same id (in other PID namespaces on the same bus) are rare; a
// few tries with a suffix are plenty.
constexpr int name_attempts = 4;

// RequestName's answers, as the bus numbers them.
constexpr std::uint32_t primary_owner = 1, name_exists = 3, already_owner = 4;

}  // namespace

// The vtable's callbacks, with the server's private state at hand.
struct ControlCalls {
  static ControlServer& server(void* data) { return *static_cast<ControlServer*>(data); }

  static int set_paused(sd_bus_message* call, ControlServer& s, bool paused) {
    if (s.paused_ != paused) {
      s.paused_ = paused;
      s.changed_ = true;
      s.emit_changed("Paused");
      // The views the shell draws now read as paused, and back.
      s.emit_changed("Views");
    }
    return sd_bus_reply_method_return(call, "");
  }
  static int pause(sd_bus_message* call, void* data, sd_bus_error*) {
    return set_paused(call, server(data), true);
  }
  static int resume(sd_bus_message* call, void* data, sd_bus_error*) {
    return set_paused(call, server(data), false);
  }
  static int toggle(sd_bus_message* call, void* data, sd_bus_error*) {
    return set_paused(call, server(data), !server(data).paused_);
  }
  // New frames files and sizes, for a program that draws into them; refused, with the
  // reason, by the other roles and for files that could not be drawn.
  static int set_frames(sd_bus_message* call, void* data, sd_bus_error* error) {
    ControlServer& s = server(data);
    if (s.role_ != Role::frames_to_file)
      return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED,
                              "only a program that draws frames files (--frames-to) takes them");
    std::vector<ViewerOptions::FramesFile> files;
    int r = sd_bus_message_enter_container(call, 'a', "(sii)");
    const char* path = nullptr;
    std::int32_t width = 0, height = 0;
    while (r >= 0 && (r = sd_bus_message_read(call, "(sii)", &path, &width, &height)) > 0)
      files.push_back({path, width, height});
    if (r < 0 || (r = sd_bus_message_exit_container(call)) < 0) return r;
    const std::string problem = frames_files_problem(files);
    if (!problem.empty())
      return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, problem.c_str());
    s.frames_files_ = std::move(files);
    s.changed_ = true;
    return sd_bus_reply_method_return(call, "");
  }
  static int new_scene(sd_bus_message* call, void* data, sd_bus_error*) {
    // What SIGUSR1 does: new clouds and wind with the next frame drawn.
    request_fresh_scene();
    server(data).changed_ = true;
    return sd_bus_reply_method_return(call, "");
  }

  static int paused(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                    void* data, sd_bus_error*) {
    return sd_bus_message_append(reply, "b", static_cast<int>(server(data).paused_));
  }
  static int role(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                  void* data, sd_bus_error*) {
    return sd_bus_message_append(reply, "s", std::string(role_word(server(data).role_)).c_str());
  }
  static int display(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                     void* data, sd_bus_error*) {
    return sd_bus_message_append(reply, "s", server(data).display_.c_str());
  }
  static int pace(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                  void* data, sd_bus_error*) {
    return sd_bus_message_append(reply, "i", static_cast<std::int32_t>(server(data).pace_));
  }
  static int drawn_pace(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                        void* data, sd_bus_error*) {
    return sd_bus_message_append(reply, "d", server(data).drawn_pace_);
  }
  static int views(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                   void* data, sd_bus_error*) {
    const ControlServer& s = server(data);
    int r = sd_bus_message_open_container(reply, 'a', "(siibs)");
    for (const ViewStatus& view : s.views_) {
      if (r < 0) return r;
      const ViewState state =
          s.paused_ && view.state == ViewState::drawn ? ViewState::paused : view.state;
      r = sd_bus_message_append(reply, "(siibs)", view.name.c_str(),
                                static_cast<std::int32_t>(view.width),
                                static_cast<std::int32_t>(view.height),
                                static_cast<int>(state == ViewState::drawn),
                                std::string(state_word(state)).c_str());
    }
    return r < 0 ? r : sd_bus_message_close_container(reply);
  }

  static int name_reply(sd_bus_message* reply, void* data, sd_bus_error*) {
    ControlServer& s = server(data);
    std::uint32_t answer = 0;
    if (sd_bus_message_is_method_error(reply, nullptr) ||
        sd_bus_message_read(reply, "u", &answer) < 0)
      return 0;  // no name to be had: the program runs on, unseen by clients
    if (answer == primary_owner || answer == already_owner)
      s.bus_name_ = control_bus_name(getpid(), s.name_attempt_);
    else if (answer == name_exists && ++s.name_attempt_ < name_attempts)
      s.request_name();
    return 0;
  }
};

namespace {

const sd_bus_vtable control_vtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Pause", "", "", ControlCalls::pause, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Resume", "", "", ControlCalls::resume, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("TogglePause", "", "", ControlCalls::toggle, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("NewScene", "", "", ControlCalls::new_scene, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SetFrames", "a(sii)", "", ControlCalls::set_frames,
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_PROPERTY("Paused", "b", ControlCalls::paused, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Role", "s", ControlCalls::role, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Display", "s", ControlCalls::display, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Pace", "i", ControlCalls::pace, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("DrawnPace", "d", ControlCalls::drawn_pace, 0,
                    SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Views", "a(siibs)", ControlCalls::views, 0,
                    SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_VTABLE_END,
};

}  // namespace

ControlServer::ControlServer(Role role, std::string display)
    : role_(role), display_(std::move(display)) {
  if (sd_bus_open_user(&bus_) < 0) {
    bus_ = nullptr;
    return;
  }
  // The object first, then the name: a client that sees the name finds the object.
  if (sd_bus_add_object_vtable(bus_, &object_, control_object_path, control_interface,
                               control_vtable, this) < 0) {
    close_bus();
    return;
  }
  request_name();
}

ControlServer::~ControlServer() { close_bus(); }

void ControlServer::request_name() {
  if (bus_ == nullptr) return;
  const std::string name = control_bus_name(getpid(), name_attempt_);
  // Not queued: a name someone else holds is answered "exists" at once.
  sd_bus_call_method_async(bus_, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "RequestName", ControlCalls::name_reply,
                           this, "su", name.c_str(), 4u /* DBUS_NAME_FLAG_DO_NOT_QUEUE */);
}

pollfd ControlServer::poll_entry() const { return bus_poll_entry(bus_); }

Deadline ControlServer::deadline() const { return bus_deadline(bus_); }

bool ControlServer::dispatch() {
  if (bus_ == nullptr) return false;
  int r = 0;
  while ((r = sd_bus_process(bus_, nullptr)) > 0) {
  }
  // A bus that went away leaves the program as it is, uncontrolled.
  if (r < 0) close_bus();
  return std::exchange(changed_, false);
}

void ControlServer::set_views(std::vector<ViewStatus> views) {
  if (views == views_) return;
  views_ = std::move(views);
  emit_changed("Views");
}

void ControlServer::set_pace(int set_fps, double drawn_fps) {
  const double drawn = std::isfinite(drawn_fps) ? std::round(drawn_fps * 10) / 10 : 0;
  if (set_fps != pace_) {
    pace_ = set_fps;
    emit_changed("Pace");
  }
  if (drawn != drawn_pace_) {
    drawn_pace_ = drawn;
    emit_changed("DrawnPace");
  }
}

void ControlServer::emit_changed(const char* property) {
  if (bus_ != nullptr)
    sd_bus_emit_properties_changed(bus_, control_object_path, control_interface, property,
                                   nullptr);
}

void ControlServer::close_bus() {
  object_ = sd_bus_slot_unref(object_);
  if (bus_ != nullptr) sd_bus_close_unref(bus_);
  bus_ = nullptr;
  bus_name_.clear();
}

}  // namespace aerolume
