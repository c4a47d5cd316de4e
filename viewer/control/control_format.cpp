// The status as lines and as JSON.
#include "viewer/control/control_format.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "viewer/control/control_bus.h"
#include "viewer/control/view_status.h"

namespace aerolume {

namespace {

// How the role was asked for on the command line, as a person would recognize it.
std::string invocation_of(const std::string& role) {
  if (role == "own-window") return "aerolume in its own window";
  if (role == "host-window") return "aerolume in another program's window";
  if (role == "root-window") return "aerolume --root";
  if (role == "x-desktop" || role == "wayland-background") return "aerolume --background";
  if (role == "wayland-overlay") return "aerolume --overlay";
  if (role == "frames-to-file") return "aerolume --frames-to";
  std::string unknown = "aerolume (";
  return (unknown += role) += ')';
}

// A measured rate to a tenth; anything not finite or below 0 (which no measurement
// gives) reads as 0, so that the JSON stays JSON.
std::string tenths(double value) {
  if (!std::isfinite(value) || value < 0) value = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string pace_words(int pace) {
  return pace > 0 ? std::to_string(pace) + " frames a second" : std::string("no frame cap");
}

std::string reason_text(const ViewReport& view) {
  if (view.reason.empty()) return "not drawn";
  const std::optional<ViewState> state = state_of_word(view.reason);
  return state ? std::string(state_text(*state)) : view.reason;
}

void append_json_string(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;  // UTF-8 as it is: the bus's strings are valid UTF-8
        }
    }
  }
  out += '"';
}

void append_field(std::string& out, const char* key, const std::string& value) {
  append_json_string(out, key);
  out += ':';
  append_json_string(out, value);
}

void append_view_json(std::string& out, const ViewReport& view) {
  out += '{';
  append_field(out, "name", view.name);
  (out += ",\"width\":") += std::to_string(view.width);
  (out += ",\"height\":") += std::to_string(view.height);
  out += view.drawn ? ",\"drawn\":true" : ",\"drawn\":false";
  if (view.drawn) {
    out += ",\"reason\":null,\"text\":null";
  } else {
    out += ',';
    append_field(out, "reason", view.reason);
    out += ',';
    append_field(out, "text", reason_text(view));
  }
  out += '}';
}

}  // namespace

std::string program_line(const ProgramStatus& program) {
  std::string line = invocation_of(program.role);
  if (!program.display.empty()) line += " on " + program.display;
  if (const long pid = pid_of_control_name(program.bus_name); pid > 0)
    ((line += " (pid ") += std::to_string(pid)) += ")";
  line += ": ";
  if (program.paused)
    ((line += "paused (") += pace_words(program.pace)) += " when resumed)";
  else
    line += pace_words(program.pace) + ", " + tenths(program.drawn_pace) + " drawn";
  return line;
}

std::string view_line(const ViewReport& view) {
  std::string line = "  ";
  line += view.name;
  (line += ' ') += std::to_string(view.width);
  (line += 'x') += std::to_string(view.height);
  if (view.drawn) return line += " drawn";
  return (line += " asleep: ") += reason_text(view);
}

std::string status_text(const std::vector<ProgramStatus>& programs) {
  std::string text;
  for (const ProgramStatus& program : programs) {
    text += program_line(program) + "\n";
    if (program.views.empty()) text += "  no view yet\n";
    for (const ViewReport& view : program.views) text += view_line(view) + "\n";
  }
  return text;
}

std::string status_json(const std::vector<ProgramStatus>& programs) {
  std::string out = "[";
  for (const ProgramStatus& program : programs) {
    if (out.size() > 1) out += ',';
    out += '{';
    append_field(out, "bus_name", program.bus_name);
    ((out += ",\"pid\":") += std::to_string(pid_of_control_name(program.bus_name))) += ',';
    append_field(out, "role", program.role);
    out += ',';
    append_field(out, "display", program.display);
    out += program.paused ? ",\"paused\":true" : ",\"paused\":false";
    (out += ",\"pace\":") += std::to_string(program.pace);
    (out += ",\"drawn_pace\":") += tenths(program.drawn_pace);
    out += ",\"views\":[";
    for (std::size_t i = 0; i < program.views.size(); ++i) {
      if (i > 0) out += ',';
      append_view_json(out, program.views[i]);
    }
    out += "]}";
  }
  return out + "]\n";
}

}  // namespace aerolume
