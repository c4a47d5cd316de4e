// The desktop programs known by name, each with the way through that was tried there.
#include "viewer/shell/other_desktop.h"

namespace aerolume {

namespace {

struct KnownDesktop {
  std::string_view program;  // the window's class in lower case
  std::string_view named;    // the desktop, as its users know it
  std::string_view through;  // what lets the scene through there
};
constexpr KnownDesktop known_desktops[] = {
    {plasma_desktop_program, "Plasma's desktop (plasmashell)",
     "choose \"Aerolume\" as the wallpaper type in \"Configure Desktop and Wallpaper\" (the "
     "io.github.aerolume.wallpaper plugin)"},
    {"caja", "the desktop of caja (MATE's file manager)",
     "turn it off (gsettings set org.mate.background show-desktop-icons false)"},
    {"xfdesktop", "the desktop of xfdesktop (Xfce's desktop)",
     "end it (xfdesktop --quit)"},
    {"pcmanfm", "the desktop of pcmanfm", "turn it off (pcmanfm --desktop-off)"},
};

}  // namespace

std::string desktop_cover_line(std::string_view program, std::string_view where) {
  std::string named = "the desktop of " + std::string(program);
  std::string through = "turn that program's desktop off (its own setting)";
  for (const KnownDesktop& known : known_desktops)
    if (known.program == program) {
      named = known.named;
      through = known.through;
    }
  return named + " covers " + std::string(where) + ", so the scene is not drawn there; " +
         through + " to see it";
}

}  // namespace aerolume
