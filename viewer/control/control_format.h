// What `aerolume --control status` prints, as functions of what the programs answered:
// a line for each program and one for each of its views, or the same as JSON for panels
// and scripts. No bus here, so that every line can be checked as a value.
#pragma once

#include <string>
#include <vector>

namespace aerolume {

// A view as the bus carries it (the Views property's (siibs)): the reason is a word of
// view_status.h, or one this program does not know yet, and empty for a drawn view.
struct ViewReport {
  std::string name;
  int width = 0, height = 0;
  bool drawn = true;
  std::string reason;
};

// One program's properties, as read over the bus.
struct ProgramStatus {
  std::string bus_name;
  std::string role;     // the Role word
  std::string display;  // the X or Wayland display's name
  bool paused = false;
  int pace = 0;         // frames a second as set; 0: no cap
  double drawn_pace = 0;  // frames a second as drawn lately
  std::vector<ViewReport> views;
};

// "aerolume --background on wayland-1 (pid 4242): 30 frames a second, 29.8 drawn";
// while paused, "...: paused (30 frames a second when resumed)".
std::string program_line(const ProgramStatus& program);
// "  HDMI-A-1 1920x1080 drawn", "  DP-1 1920x1080 asleep: covered by a full-screen
// window" (indented under its program's line).
std::string view_line(const ViewReport& view);
// The program's line and its views' lines, each ending with a newline.
std::string status_text(const std::vector<ProgramStatus>& programs);
// An array of the programs, each with its properties and views (a drawn view's reason and
// text are null), on one line with a newline.
std::string status_json(const std::vector<ProgramStatus>& programs);

}  // namespace aerolume
