// Window ids as a host hands them over (command line, XSCREENSAVER_WINDOW): what the
// X11 shell accepts and what it refuses before it ever talks to the display.
#include <gtest/gtest.h>

#include <string>

#include "app/x11_shell.h"

namespace aerolume {
namespace {

unsigned long parsed(const std::string& text) {
  unsigned long id = 7;
  EXPECT_TRUE(parse_window_id(text, &id)) << '"' << text << '"';
  return id;
}

TEST(WindowId, AcceptsDecimalAndHexadecimal) {
  EXPECT_EQ(parsed("2097154"), 2097154UL);
  EXPECT_EQ(parsed("0x200002"), 0x200002UL);
  EXPECT_EQ(parsed("0X1aBc"), 0x1abcUL);
  EXPECT_EQ(parsed("1"), 1UL);
}

TEST(WindowId, AcceptsTheLargestResourceId) {
  EXPECT_EQ(parsed("0x1fffffff"), 0x1fffffffUL);
  EXPECT_EQ(parsed("536870911"), 0x1fffffffUL);
}

TEST(WindowId, RefusesWhatIsNotAWindowIdAndLeavesTheOutputAlone) {
  for (const char* text :
       {"", "0x", "0", "0x0", "-5", "+5", " 5", "5 ", "5x", "0x5g", "12abc", "0b101", "1e3",
        "0x20000000", "536870912", "0xffffffff", "4294967296", "0x10000000000000001",
        "99999999999999999999999"}) {
    unsigned long id = 7;
    EXPECT_FALSE(parse_window_id(text, &id)) << '"' << text << '"';
    EXPECT_EQ(id, 7UL) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace aerolume
