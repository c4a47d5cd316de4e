// What the shells say when another program's desktop hides the scene: the program named
// as its users know it, and how to let the scene through on that desktop, in words that
// work there. One table for the X desktop (a desktop window over a monitor) and the
// Wayland background (Plasma's desktop over every output).
#pragma once

#include <string>
#include <string_view>

namespace aerolume {

// The program that draws Plasma's desktop, by its window's class in lower case (X) and
// by the process that owns org.kde.plasmashell on the session bus (Wayland).
constexpr std::string_view plasma_desktop_program = "plasmashell";

// The line for the desktop of `program` (its window's class in lower case) over `where`
// ("monitor MonA", "every output"): "<the desktop> covers <where>, so the scene is not
// drawn there; <the way through> to see it".
std::string desktop_cover_line(std::string_view program, std::string_view where);

}  // namespace aerolume
