// The control's status, without a bus: the fixed words of the views' states, the lines
// `aerolume --control status` prints, and the JSON for panels and scripts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "viewer/control/control_format.h"
#include "viewer/control/view_status.h"

namespace aerolume {
namespace {

// Scripts match these words: each names its state back, none is empty, and a drawn view
// has no word at all.
TEST(ViewStates, TheWordsAreTheFixedListAndNameTheirStateBack) {
  const std::vector<std::string> words = {"paused",  "hidden",        "covered",
                                          "full-screen", "blanked", "battery",
                                          "other-desktop", "compositor", "not-shown"};
  std::vector<std::string> found;
  for (int s = static_cast<int>(ViewState::paused); s <= static_cast<int>(ViewState::not_shown);
       ++s) {
    const auto state = static_cast<ViewState>(s);
    found.emplace_back(state_word(state));
    EXPECT_EQ(state_of_word(state_word(state)), state) << state_word(state);
    EXPECT_NE(state_text(state), state_text(ViewState::drawn)) << state_word(state);
  }
  EXPECT_EQ(found, words);
  EXPECT_EQ(state_word(ViewState::drawn), "");
  EXPECT_EQ(state_of_word(""), std::nullopt);
  EXPECT_EQ(state_of_word("drawn"), std::nullopt);
}

// The program's line says how it was started, where, its pid, and its pace as set and as
// drawn; while paused, the pace it comes back to.
TEST(StatusLines, EachProgramAndEachViewOnALineOfItsOwn) {
  ProgramStatus program{"io.github.aerolume.Aerolume.i4242", "wayland-background", "wayland-1",
                        false, 30, 29.84, {}};
  EXPECT_EQ(program_line(program),
            "aerolume --background on wayland-1 (pid 4242): 30 frames a second, 29.8 drawn");
  program.paused = true;
  EXPECT_EQ(program_line(program),
            "aerolume --background on wayland-1 (pid 4242): paused (30 frames a second when "
            "resumed)");
  const ProgramStatus window{"io.github.aerolume.Aerolume.i7_1", "own-window", ":0", false, 0,
                             143.96, {}};
  EXPECT_EQ(program_line(window),
            "aerolume in its own window on :0 (pid 7): no frame cap, 144.0 drawn");
  const ProgramStatus newer{"other.name", "wallpaper", "", false, 10, 10, {}};
  EXPECT_EQ(program_line(newer), "aerolume (wallpaper): 10 frames a second, 10.0 drawn");

  EXPECT_EQ(view_line({"DP-1", 1920, 1080, true, ""}), "  DP-1 1920x1080 drawn");
  EXPECT_EQ(view_line({"HDMI-A-1", 1920, 1080, false, "full-screen"}),
            "  HDMI-A-1 1920x1080 asleep: covered by a full-screen window");
  // A word a newer program sends is shown as it is.
  EXPECT_EQ(view_line({"window", 800, 600, false, "dreaming"}),
            "  window 800x600 asleep: dreaming");
  EXPECT_EQ(status_text({window}),
            "aerolume in its own window on :0 (pid 7): no frame cap, 144.0 drawn\n  no view yet\n");
}

// Names come from the window system and are escaped; a rate that is no number reads 0,
// so that the JSON always parses.
TEST(StatusJson, StringsAreEscapedAndNumbersStayNumbers) {
  const ProgramStatus program{"io.github.aerolume.Aerolume.i9", "x-desktop", ":1", true, 30,
                              std::nan(""),
                              {{"A\"b\\c\n\x01", 640, 480, false, "covered"},
                               {"HDMI-1", 800, 600, true, ""}}};
  EXPECT_EQ(status_json({program}),
            "[{\"bus_name\":\"io.github.aerolume.Aerolume.i9\",\"pid\":9,\"role\":\"x-desktop\","
            "\"display\":\":1\",\"paused\":true,\"pace\":30,\"drawn_pace\":0.0,\"views\":["
            "{\"name\":\"A\\\"b\\\\c\\n\\u0001\",\"width\":640,\"height\":480,\"drawn\":false,"
            "\"reason\":\"covered\",\"text\":\"covered by another window\"},"
            "{\"name\":\"HDMI-1\",\"width\":800,\"height\":600,\"drawn\":true,\"reason\":null,"
            "\"text\":null}]}]\n");
  EXPECT_EQ(status_json({}), "[]\n");
}

}  // namespace
}  // namespace aerolume
