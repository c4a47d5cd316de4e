// What the control reports of each view (a Wayland output, an X monitor, the window):
// its size, and whether it is drawn or, when not, why, as one word of a fixed list that
// scripts may match and a text for people. Plain data, shared by the server (which
// publishes it) and the client (which prints it).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace aerolume {

// Why a view is not drawn; drawn is the one state that is no reason. The words on the
// bus and in the JSON status are fixed: a new reason may be added, none renamed.
enum class ViewState {
  drawn,
  paused,         // paused from outside (--control pause)
  hidden,         // its window is unmapped or minimized
  covered,        // another window covers it
  full_screen,    // one window covers the whole monitor or output
  blanked,        // the server's screen saver or DPMS blanks the screen
  battery,        // on battery or power-saver mode with a battery pace of 0
  other_desktop,  // another program's desktop window lies over it
  compositor,     // --root while a compositing manager owns the screen
  not_shown,      // the Wayland compositor sends no frame callbacks (covered, output off)
};

struct ViewStatus {
  std::string name;  // the output's or monitor's name, or "window"
  int width = 0, height = 0;
  ViewState state = ViewState::drawn;

  bool operator==(const ViewStatus&) const = default;
};

// The reason's word on the bus: "paused", "hidden", "covered", "full-screen", "blanked",
// "battery", "other-desktop", "compositor", "not-shown"; empty for a drawn view.
std::string_view state_word(ViewState state);
// The reason a word names; none for the empty word and for a word not in the list (a
// newer program's).
std::optional<ViewState> state_of_word(std::string_view word);
// What the reason means, for the status line ("covered by a full-screen window");
// "drawn" for a drawn view.
std::string_view state_text(ViewState state);

}  // namespace aerolume
