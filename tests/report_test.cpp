// The real executable, run on generated logs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/test_basics.h"
#include "text/codec.h"

namespace mizuto {
namespace {

using test::Outcome;

Outcome Execute(const std::string& command, const test::TempDir&) { return test::RunCommand(command); }

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const Outcome gen = Execute(std::string(MIZUTO_LOGGEN) + " --seed 7 --battles 12 --players 20 --out " +
                                dir.File("chat.html") + " --program-dir " + dir.Path(),
                            dir);
    ASSERT_EQ(gen.status, 0) << gen.err;
  }
  std::string Report(const std::string& options) {
    return std::string(MIZUTO_EXE) + " --report --program-dir " + dir.Path() + " " + options;
  }
  static std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
  test::TempDir dir;
};

TEST_F(ReportTest, PrintsEverySectionInOrder) {
  const Outcome run = Execute(Report("--detail 2,99 " + dir.File("chat.html")), dir);
  ASSERT_EQ(run.status, 0) << run.err;
  const char* sections[] = {"[battles]\n", "[summary]\n", "[tallies]\n", "[head-to-head]\n",
                            "[errors]\n", "[detail]\n"};
  std::size_t last = 0;
  for (const char* s : sections) {
    const std::size_t at = run.out.find(s);
    ASSERT_NE(at, std::string::npos) << s;
    EXPECT_GE(at, last) << s;
    last = at;
  }
  const std::string battles = run.out.substr(10, run.out.find("[summary]") - 10);
  EXPECT_EQ(Count(battles, "\n"), 12u);
  EXPECT_NE(run.out.find("名前,戦闘数,与撃沈,決定,被撃沈,与拿捕,被拿捕,粘り,艦隊料理"), std::string::npos);
  EXPECT_EQ(run.out.find('\r'), std::string::npos);
  // Only battle 2 is rendered; 99 is beyond the list and ignored.
  const std::string detail = run.out.substr(run.out.find("[detail]\n"));
  EXPECT_NE(detail.find("#ffffff\t-\t-------- 2戦目 --------\n"), std::string::npos);
  EXPECT_EQ(detail.find("1戦目"), std::string::npos);

  // The same report in Shift-JIS is the same text, byte for byte converted.
  const Outcome sjis = Execute(Report("--encoding sjis --detail 2,99 " + dir.File("chat.html")), dir);
  ASSERT_EQ(sjis.status, 0);
  EXPECT_EQ(SjisToUtf8(sjis.out), run.out);
}

TEST_F(ReportTest, SwitchesChangeTheFigures) {
  const Outcome active = Execute(Report("--active " + dir.File("chat.html")), dir);
  ASSERT_EQ(active.status, 0);
  // In active mode only the newest battle is counted; the two the game did not count keep
  // their mark.
  const std::string battles = active.out.substr(0, active.out.find("[summary]"));
  EXPECT_EQ(Count(battles, "[集]"), 1u);
  EXPECT_EQ(Count(battles, "[－]"), 9u);
  EXPECT_EQ(Count(battles, "[×]"), 2u);
  EXPECT_NE(active.out.find("   1戦"), std::string::npos);
  const Outcome avg = Execute(Report("--avg-hit-down --avg-skill-item " + dir.File("chat.html")), dir);
  const std::string tallies = avg.out.substr(avg.out.find("[tallies]"));
  EXPECT_NE(tallies.find("%"), std::string::npos);
  EXPECT_NE(tallies.find(".00"), std::string::npos);
}

TEST_F(ReportTest, LogWithoutBattlesAndExitCodes) {
  test::WriteBytes(dir.File("quiet.html"), test::SayLine("hello"));
  const Outcome quiet = Execute(Report(dir.File("quiet.html")), dir);
  EXPECT_EQ(quiet.status, 0);
  const std::string head = "[battles]\n[summary]\n戦闘データはありません\n[tallies]\n名前,戦闘数,";
  EXPECT_EQ(quiet.out.substr(0, head.size()), head);
  // The tally table is its header line alone, the grid its start-up 2 x 2 empty cells.
  const std::size_t grid = quiet.out.find("[head-to-head]\n");
  ASSERT_NE(grid, std::string::npos);
  EXPECT_EQ(Count(quiet.out.substr(head.size(), grid - head.size()), "\n"), 1u);
  EXPECT_EQ(quiet.out.substr(grid), "[head-to-head]\n\t\n\t\n[errors]\n");

  const Outcome missing = Execute(Report(dir.File("missing.html")), dir);
  EXPECT_EQ(missing.status, 1);
  // The path and the system's reason follow the pane's message.
  const std::string said = "File Open Error: " + dir.File("missing.html") + ": ";
  EXPECT_EQ(missing.err.substr(0, said.size()), said);
  EXPECT_GT(missing.err.size(), said.size() + 2);
#ifndef _WIN32  // Windows words it in the system's language
  EXPECT_EQ(missing.err.substr(said.size()), "No such file or directory\n");
#endif
  EXPECT_EQ(missing.out, "");

  EXPECT_EQ(Execute(Report(""), dir).status, 2);
  EXPECT_EQ(Execute(Report("--detail x " + dir.File("chat.html")), dir).status, 2);
  EXPECT_EQ(Execute(Report("--encoding latin1 " + dir.File("chat.html")), dir).status, 2);
  EXPECT_EQ(Execute(Report("--bogus " + dir.File("chat.html")), dir).status, 2);
#ifdef _WIN32
#ifndef MIZUTO_WINDOW
  // A build without the window, started without a mode: with no argument it explains
  // itself in Japanese (a double-click would have nothing else to see); with a log or a
  // window option it names what it has instead. Never the missing window module.
  const Outcome noArgument = Execute(std::string(MIZUTO_EXE), dir);
  EXPECT_EQ(noArgument.status, 0);
  EXPECT_NE(noArgument.out.find("コマンドプロンプト"), std::string::npos) << noArgument.out;
  EXPECT_NE(noArgument.out.find("--report"), std::string::npos) << noArgument.out;
  for (const std::string& args : {" " + dir.File("chat.html"), std::string(" --program-dir x")}) {
    const Outcome withLog = Execute(std::string(MIZUTO_EXE) + args, dir);
    EXPECT_EQ(withLog.status, 2) << args;
    EXPECT_NE(withLog.err.find("this build has no window"), std::string::npos) << withLog.err;
    EXPECT_NE(withLog.err.find("--report"), std::string::npos) << withLog.err;
    EXPECT_EQ(withLog.err.find(".dll"), std::string::npos) << withLog.err;
  }
#endif
#else
  // Without --report the program opens its window: without a display it says so and ends.
  const Outcome noDisplay =
      Execute("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + std::string(MIZUTO_EXE), dir);
  EXPECT_EQ(noDisplay.status, 2);
  EXPECT_NE(noDisplay.err.find("--report"), std::string::npos) << noDisplay.err;
#endif
}

TEST_F(ReportTest, ALogInAFolderWithAJapaneseNameIsReported) {
  // Whatever the system's code page: on Windows the path reaches the file system as UTF-16.
  const std::string log = dir.Path() + "航海日誌/チャット.html";
  const Outcome gen = Execute(std::string(MIZUTO_LOGGEN) + " --seed 7 --battles 12 --players 20 --out '" + log + "'", dir);
  ASSERT_EQ(gen.status, 0) << gen.err;
  const Outcome run = Execute(Report("--detail all '" + log + "'"), dir);
  ASSERT_EQ(run.status, 0) << run.err;
  // The same log as the one every other case reads, so the same report.
  const Outcome plain = Execute(Report("--detail all " + dir.File("chat.html")), dir);
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_NE(run.out.find("[battles]\n"), std::string::npos);
  EXPECT_EQ(run.out, plain.out);
}

TEST_F(ReportTest, TheWindowOpensOnALogOffscreen) {
#if !defined(MIZUTO_WINDOW) || defined(_WIN32)
  GTEST_SKIP() << "this build has no window module (or no offscreen switch by environment)";
#endif
  // The window layer is a module the program loads when the window is wanted.
  const std::string window = "env QT_QPA_PLATFORM=offscreen " + std::string(MIZUTO_EXE) +
                             " --program-dir " + dir.Path() + " --quit-after-load ";
  EXPECT_EQ(Execute(window + dir.File("chat.html"), dir).status, 0);
  const Outcome missing = Execute(window + dir.File("missing.html"), dir);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot read"), std::string::npos) << missing.err;
  EXPECT_EQ(Execute(window + "--bogus", dir).status, 2);
}

}  // namespace
}  // namespace mizuto
