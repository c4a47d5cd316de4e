// The control's client: finds every aerolume on the session bus by its name's prefix,
// sends each the command at once, and waits at most a few seconds for all the answers,
// so that a stopped program costs a line and never a hang.
#include "viewer/control/control_client.h"

#include <systemd/sd-bus.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/control/control_bus.h"
#include "viewer/control/control_format.h"

namespace aerolume {

namespace {

constexpr const char* program = "aerolume";
// How long a program has to answer; a stopped one is reported after this.
constexpr std::uint64_t answer_usec = 3000000;
constexpr const char* commands_list = "pause, resume, toggle, new-scene, status or status --json";

struct BusClose {
  void operator()(sd_bus* bus) const { sd_bus_close_unref(bus); }
};
struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using BusPtr = std::unique_ptr<sd_bus, BusClose>;
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;

// A command word and the method it calls (GetAll of the properties for status).
struct Command {
  std::string_view word;
  const char* method;
};
constexpr Command commands[] = {
    {"pause", "Pause"},   {"resume", "Resume"}, {"toggle", "TogglePause"},
    {"new-scene", "NewScene"}, {"status", nullptr},
};

// One program asked, and what it answered.
struct Call {
  std::string name;
  bool status = false;
  bool done = false;
  std::string error_name, error_message;
  ProgramStatus answer;
};

void say(const std::string& line) { std::fprintf(stderr, "%s: %s\n", program, line.c_str()); }

int read_views(sd_bus_message* message, std::vector<ViewReport>& views) {
  int r = sd_bus_message_enter_container(message, 'a', "(siibs)");
  if (r < 0) return r;
  const char *name = nullptr, *reason = nullptr;
  std::int32_t width = 0, height = 0;
  int drawn = 0;
  while ((r = sd_bus_message_read(message, "(siibs)", &name, &width, &height, &drawn, &reason)) > 0)
    views.push_back({name, width, height, drawn != 0, reason});
  return r < 0 ? r : sd_bus_message_exit_container(message);
}

// One property's value, a variant at the message's position.
int read_property(sd_bus_message* message, std::string_view name, ProgramStatus& status) {
  const char* text = nullptr;
  int r = 0;
  if (name == "Paused") {
    int paused = 0;
    r = sd_bus_message_read(message, "v", "b", &paused);
    status.paused = paused != 0;
  } else if (name == "Role" || name == "Display") {
    r = sd_bus_message_read(message, "v", "s", &text);
    if (r >= 0) (name == "Role" ? status.role : status.display) = text;
  } else if (name == "Pace") {
    std::int32_t pace = 0;
    r = sd_bus_message_read(message, "v", "i", &pace);
    status.pace = pace;
  } else if (name == "DrawnPace") {
    r = sd_bus_message_read(message, "v", "d", &status.drawn_pace);
  } else if (name == "Views") {
    r = sd_bus_message_enter_container(message, 'v', "a(siibs)");
    if (r >= 0) r = read_views(message, status.views);
    if (r >= 0) r = sd_bus_message_exit_container(message);
  } else {
    r = sd_bus_message_skip(message, "v");  // one a newer program has
  }
  return r;
}

// GetAll's a{sv}.
int read_properties(sd_bus_message* message, ProgramStatus& status) {
  int r = sd_bus_message_enter_container(message, 'a', "{sv}");
  if (r < 0) return r;
  while ((r = sd_bus_message_enter_container(message, 'e', "sv")) > 0) {
    const char* name = nullptr;
    if ((r = sd_bus_message_read(message, "s", &name)) < 0 ||
        (r = read_property(message, name, status)) < 0 ||
        (r = sd_bus_message_exit_container(message)) < 0)
      return r;
  }
  return r < 0 ? r : sd_bus_message_exit_container(message);
}

int on_answer(sd_bus_message* reply, void* data, sd_bus_error*) {
  Call& call = *static_cast<Call*>(data);
  call.done = true;
  if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
    call.error_name = error->name != nullptr ? error->name : "";
    call.error_message = error->message != nullptr ? error->message : call.error_name;
  } else if (call.status && read_properties(reply, call.answer) < 0) {
    call.error_name = "unreadable";
    call.error_message = "its status could not be read";
  }
  return 0;
}

// The names of the programs on the bus, the oldest process first; false (with a line
// said) when the bus itself does not answer.
bool find_programs(sd_bus* bus, std::vector<std::string>& names) {
  sd_bus_message* made = nullptr;
  if (sd_bus_message_new_method_call(bus, &made, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                     "org.freedesktop.DBus", "ListNames") < 0) {
    say("cannot ask the session D-Bus for its names");
    return false;
  }
  const MessagePtr call(made);
  sd_bus_message* got = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  const int r = sd_bus_call(bus, call.get(), answer_usec, &error, &got);
  const MessagePtr reply(got);
  if (r < 0) {
    say(std::string("the session D-Bus did not list its names: ") +
        (error.message != nullptr ? error.message : std::strerror(-r)));
    sd_bus_error_free(&error);
    return false;
  }
  char** listed = nullptr;
  if (sd_bus_message_read_strv(reply.get(), &listed) < 0) {
    say("the session D-Bus's list of names could not be read");
    return false;
  }
  for (char** name = listed; name != nullptr && *name != nullptr; ++name) {
    if (std::string_view(*name).starts_with(control_name_prefix)) names.emplace_back(*name);
    std::free(*name);
  }
  std::free(listed);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return pid_of_control_name(a) < pid_of_control_name(b) ||
           (pid_of_control_name(a) == pid_of_control_name(b) && a < b);
  });
  return true;
}

// Sends every call at once and waits for the answers, sd-bus's own timeout ending each
// unanswered one; false when the connection was lost meanwhile.
bool ask_all(sd_bus* bus, std::vector<Call>& calls, const char* method) {
  std::vector<sd_bus_slot*> slots;
  for (Call& call : calls) {
    sd_bus_message* made = nullptr;
    int r = method != nullptr
                ? sd_bus_message_new_method_call(bus, &made, call.name.c_str(),
                                                 control_object_path, control_interface, method)
                : sd_bus_message_new_method_call(bus, &made, call.name.c_str(),
                                                 control_object_path,
                                                 "org.freedesktop.DBus.Properties", "GetAll");
    const MessagePtr message(made);
    if (r >= 0 && method == nullptr) r = sd_bus_message_append(made, "s", control_interface);
    sd_bus_slot* slot = nullptr;
    if (r >= 0) r = sd_bus_call_async(bus, &slot, made, on_answer, &call, answer_usec);
    if (r < 0) {
      call.done = true;
      call.error_name = "unsent";
      call.error_message = std::string("the call could not be sent: ") + std::strerror(-r);
    } else {
      slots.push_back(slot);
    }
  }
  // A second beyond sd-bus's own timeouts, so that nothing here can wait longer.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::microseconds(answer_usec) +
                       std::chrono::seconds(1);
  bool connected = true;
  const auto waiting = [&calls] {
    return std::any_of(calls.begin(), calls.end(), [](const Call& c) { return !c.done; });
  };
  // sd-bus may end a call (its timeout) in a round of processing that reports nothing
  // else: the answers are looked at after every round, before any wait.
  while (connected) {
    const int r = sd_bus_process(bus, nullptr);
    if (r < 0) connected = false;
    if (r < 0 || !waiting()) break;
    if (r > 0) continue;
    const auto left = give_up - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) break;
    sd_bus_wait(bus, static_cast<std::uint64_t>(
                         std::chrono::duration_cast<std::chrono::microseconds>(left).count()));
  }
  for (sd_bus_slot* slot : slots) sd_bus_slot_unref(slot);
  return connected;
}

std::string who(const std::string& name) {
  const long pid = pid_of_control_name(name);
  return pid > 0 ? name + " (pid " + std::to_string(pid) + ")" : name;
}

// The same command for every program, and the exit status.
int send_to_all(const Command& command, bool json) {
  sd_bus* opened = nullptr;
  const int r = sd_bus_open_user(&opened);
  if (r < 0) {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    say(std::string("cannot reach the session D-Bus (") +
        (address != nullptr ? address : "DBUS_SESSION_BUS_ADDRESS is not set") +
        "): " + std::strerror(-r));
    return 1;
  }
  const BusPtr bus(opened);
  std::vector<std::string> names;
  if (!find_programs(bus.get(), names)) return 1;
  std::vector<Call> calls(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    calls[i].name = names[i];
    calls[i].status = command.method == nullptr;
  }
  const bool connected = ask_all(bus.get(), calls, command.method);

  int status = connected ? 0 : 1;
  if (!connected) say("the session D-Bus went away before every program answered");
  std::vector<ProgramStatus> answered;
  for (Call& call : calls) {
    const std::string& error = call.error_name;
    if (error == "org.freedesktop.DBus.Error.ServiceUnknown" ||
        error == "org.freedesktop.DBus.Error.NameHasNoOwner")
      continue;  // it ended since the names were listed
    if (!call.done || error == "org.freedesktop.DBus.Error.Timeout" ||
        error == "org.freedesktop.DBus.Error.NoReply") {
      say(who(call.name) + " did not answer within " + std::to_string(answer_usec / 1000000) +
          " seconds (stopped, or busy)");
      status = 1;
    } else if (!error.empty()) {
      say(who(call.name) + ": " + call.error_message);
      status = 1;
    } else {
      call.answer.bus_name = call.name;
      answered.push_back(std::move(call.answer));
    }
  }
  if (answered.empty() && status == 0) {
    say("no Aerolume runs on this session's D-Bus");
    return 1;
  }
  if (command.method == nullptr) {
    const std::string text = json ? status_json(answered) : status_text(answered);
    std::fputs(text.c_str(), stdout);
  }
  return status;
}

}  // namespace

int run_control(int argc, char** argv) {
  std::vector<std::string_view> words(argv + std::min(argc, 2), argv + argc);
  const Command* chosen = nullptr;
  bool json = false;
  if (!words.empty()) {
    for (const Command& command : commands)
      if (words[0] == command.word) chosen = &command;
    json = words.size() == 2 && words[0] == "status" && words[1] == "--json";
    if (words.size() > (json ? 2u : 1u)) chosen = nullptr;
  }
  if (chosen == nullptr) {
    std::string line = words.empty() ? "--control needs a command (" : "'";
    for (std::size_t i = 0; i < words.size(); ++i) (line += i > 0 ? " " : "") += words[i];
    if (!words.empty()) line += "' is no control command (";
    ((line += commands_list) += "); try ") += "aerolume --control status";
    say(line);
    return 2;
  }
  return send_to_all(*chosen, json);
}

}  // namespace aerolume
