// The help text: a build without the window (the Windows zip) describes only what it has.
#include <gtest/gtest.h>

#include <string>

#include "app/modes/usage.h"

namespace mizuto {
namespace {

TEST(UsageTest, EachBuildDescribesOnlyWhatItHas) {
  const struct {
    const char* words;
    bool withWindow;     // in the help of a build with the window
    bool withoutWindow;  // in the help of a build without it
  } cases[] = {
      {"--report", true, true},
      {"--follow", true, true},
      {"--history", true, true},
      {"--import PATH", true, true},
      {"--encoding E", true, true},
      {"--program-dir DIR    the folder of Mizuto.ini", true, true},
      {"usage: mizuto [--program-dir DIR] [--screenshot", true, false},
      {"--screenshot PNG", true, false},
      {"--quit-after-load", true, false},
      {"the main window opens", true, false},
      {"as for the window", true, false},
      {"what the window shows", true, false},
      {"the window's active mode", true, false},
      {"loaded in the window", true, false},
      {"XDG_CONFIG_HOME", true, false},
      {"This build has no window", false, true},
      {"usage: mizuto --report", false, true},
  };
  const std::string with = FullUsage(true);
  const std::string without = FullUsage(false);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    EXPECT_EQ(with.find(c.words) != std::string::npos, c.withWindow);
    EXPECT_EQ(without.find(c.words) != std::string::npos, c.withoutWindow);
  }
  // Nothing of the window is left in the other.
  EXPECT_EQ(without.find("window ") == std::string::npos && without.find("window'") == std::string::npos, true)
      << without;
}

}  // namespace
}  // namespace mizuto
