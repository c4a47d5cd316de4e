// Where a running aerolume answers on the session D-Bus. Each program owns a name of its
// own, the prefix and its process id ("io.github.aerolume.Aerolume.i4242": a name's
// element cannot begin with a digit), so that a background and an overlay, or programs on
// two X displays, are told apart; their Role and Display properties say which is which.
// A client finds them all by listing the bus's names with the prefix.
#pragma once

#include <string>
#include <string_view>

#include "viewer/options/options.h"

namespace aerolume {

constexpr std::string_view control_name_prefix = "io.github.aerolume.Aerolume.i";
constexpr const char* control_object_path = "/io/github/aerolume/Aerolume";
constexpr const char* control_interface = "io.github.aerolume.Aerolume.Control";

// The name of the program with the process id; a second try (another process of that
// id in another namespace already holds it) adds "_" and the try.
std::string control_bus_name(long pid, int attempt = 0);
// The process id a control name carries, or 0 where it carries none.
long pid_of_control_name(std::string_view name);

// The Role property: "own-window", "host-window", "root-window", "x-desktop",
// "wayland-background", "wayland-overlay", "frames-to-file".
std::string_view role_word(Role role);

}  // namespace aerolume
