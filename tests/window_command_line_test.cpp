// The window's command line: read before any display is looked for, so a mistyped option is
// named wherever the program runs.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/modes/command_line.h"
#include "support/test_support.h"

namespace mizuto {
namespace {

TEST(WindowArguments, OptionsLogAndMistakes) {
  struct Case {
    std::vector<std::string> Args;
    bool Ok;
    const char* Error;
    const char* ProgramDir;
    const char* Log;
    const char* Screenshot;
    bool QuitAfterLoad;
    bool Help;
  };
  const Case cases[] = {
      {{}, true, "", "", "", "", false, false},
      {{"chat.html"}, true, "", "", "chat.html", "", false, false},
      {{"--program-dir", "d", "--screenshot", "s.png", "--quit-after-load", "l.html"},
       true, "", "d/", "l.html", "s.png", true, false},
      {{"--program-dir", "d/"}, true, "", "d/", "", "", false, false},
      {{"x.html", "--help", "--bogus"}, true, "", "", "x.html", "", false, true},
      {{"--bogus"}, false, "unknown option --bogus", "", "", "", false, false},
      {{"a.html", "-x"}, false, "unknown option -x", "", "a.html", "", false, false},
      {{"--program-dir"}, false, "--program-dir needs a value", "", "", "", false, false},
      {{"a.html", "b.html"}, false, "one log at a time", "", "a.html", "", false, false},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& a : c.Args) shown += a + " ";
    WindowOptions options;
    std::string error;
    EXPECT_EQ(ParseWindowArguments(c.Args, options, &error), c.Ok) << shown;
    EXPECT_EQ(error, c.Error) << shown;
    EXPECT_EQ(options.ProgramDir, c.ProgramDir) << shown;
    EXPECT_EQ(options.LogPath, c.Log) << shown;
    EXPECT_EQ(options.Screenshot, c.Screenshot) << shown;
    EXPECT_EQ(options.QuitAfterLoad, c.QuitAfterLoad) << shown;
    EXPECT_EQ(options.Help, c.Help) << shown;
  }
}

#ifndef _WIN32
// The program itself, with no display in its environment.
TEST(WindowArguments, WithoutADisplayAMistypedOptionIsNamedFirst) {
  test::TempDir dir;
  struct Case {
    const char* Args;
    int Status;
    const char* Err;
  };
  const Case cases[] = {
      {"--bogus", 2, "mizuto: unknown option --bogus\nusage: mizuto ["},
      {"a.html b.html", 2, "mizuto: one log at a time\nusage: mizuto ["},
      {"a.html", 2, "mizuto: no display for the window"},
  };
  for (const Case& c : cases) {
    const std::string err = dir.File("err.txt");
    const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '") +
                                MIZUTO_EXE + "' " + c.Args + " >/dev/null 2>'" + err + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << c.Args;
    EXPECT_EQ(WEXITSTATUS(status), c.Status) << c.Args;
    EXPECT_EQ(test::ReadBytes(err).rfind(c.Err, 0), 0u) << c.Args << ": " << test::ReadBytes(err);
  }
}
#endif

}  // namespace
}  // namespace mizuto
