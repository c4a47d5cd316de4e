// The view states' words and texts, one table.
#include "viewer/control/view_status.h"

namespace aerolume {

namespace {

struct StateNames {
  ViewState state;
  std::string_view word, text;
};
constexpr StateNames names[] = {
    {ViewState::paused, "paused", "paused from outside (aerolume --control resume)"},
    {ViewState::hidden, "hidden", "its window is unmapped or minimized"},
    {ViewState::covered, "covered", "covered by another window"},
    {ViewState::full_screen, "full-screen", "covered by a full-screen window"},
    {ViewState::blanked, "blanked", "the screen is blanked (screen saver or DPMS)"},
    {ViewState::battery, "battery", "on battery or power saving, at a battery pace of 0"},
    {ViewState::other_desktop, "other-desktop", "another program's desktop window is over it"},
    {ViewState::compositor, "compositor", "a compositing manager owns the root window"},
    {ViewState::not_shown, "not-shown",
     "the compositor does not show it (covered, or the output is off)"},
};

// A drawn view has no reason, and so no word.
constexpr StateNames drawn_names{ViewState::drawn, "", "drawn"};

const StateNames& names_of(ViewState state) {
  for (const StateNames& n : names)
    if (n.state == state) return n;
  return drawn_names;
}

}  // namespace

std::string_view state_word(ViewState state) { return names_of(state).word; }

std::string_view state_text(ViewState state) { return names_of(state).text; }

std::optional<ViewState> state_of_word(std::string_view word) {
  for (const StateNames& n : names)
    if (n.word == word) return n.state;
  return std::nullopt;
}

}  // namespace aerolume
