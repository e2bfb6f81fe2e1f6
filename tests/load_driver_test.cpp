#include <gtest/gtest.h>

#include <filesystem>

#include "app/owner/result_views.h"
#include "battle/battle_label.h"
#include "app/owner/load_driver.h"
#include "platform/platform.h"
#include "support/test_support.h"
#include "tally/tallies.h"
#include "text/codec.h"

namespace mizuto {
namespace {

using test::S;
using test::SystemLine;

std::string Battle(const std::string& opponent, const std::string& result) {
  return SystemLine(opponent + "の強襲です！") + SystemLine("敵船" + opponent + "を撃沈しました！") +
         SystemLine(opponent + result);
}

class LoadDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::SetUpApp(app, dir);
    RebuildTallyColumns(app);
    app.CurrentLogPath = dir.File("chat.html");
  }
  test::TempDir dir;
  App app;
};

// A log without one line of a known channel colour (one saved in another encoding, or no
// chat log at all) gets a hint in the status bar, and only while it gives no chat line;
// the status text itself, which the report prints, stays as it was.
TEST_F(LoadDriverTest, ALogWithoutAnyChatLineGetsAHint) {
  const std::string hint = "  " + test::U(UnrecognisedLogHint());
  std::string utf16 = "\xFF\xFE";
  for (const char c : test::SayLine("hello")) utf16 += {c, '\0'};
  const struct {
    const char* what;
    std::string bytes;
    bool hinted;
  } cases[] = {
      {"saved as UTF-16", utf16, true},
      {"no chat log at all", "hello\r\n", true},
      {"empty", "", false},
      {"one chat line", test::SayLine("hello"), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::WriteBytes(app.CurrentLogPath, c.bytes);
    ASSERT_TRUE(LoadAndAnalyse(app));
    EXPECT_EQ(test::U(app.StatusText), "戦闘データはありません");
    EXPECT_EQ(test::U(StatusBarText(app)), "戦闘データはありません" + std::string(c.hinted ? hint : ""));
  }
  test::WriteBytes(app.CurrentLogPath, "hello\r\n");
  ASSERT_TRUE(LoadAndAnalyse(app));
  test::AddStoredLines(app, {"~2hello"});  // a tick brought a chat line
  EXPECT_EQ(StatusBarText(app), app.StatusText);
}

TEST_F(LoadDriverTest, LoadsSelectsTheFirstBattleAndRefreshes) {
  test::WriteBytes(app.CurrentLogPath, Battle("赤鬼", "に勝利しました！") +
                                           Battle("青鬼", "に敗北しました…") +
                                           Battle("黄鬼", "に勝利しました！"));
  app.BattleList.Hint = "old hint";
  ASSERT_TRUE(LoadAndAnalyse(app));
  EXPECT_EQ(app.AnalysedLineCount, 9);
  ASSERT_EQ(app.BattleList.Count(), 3);
  EXPECT_TRUE(app.BattleList.IsSelected(0));
  EXPECT_EQ(app.BattleList.SelectedCount(), 1);
  EXPECT_EQ(app.BattleList.Hint, "");
  EXPECT_EQ(app.Caption, "Mizuto Ver1.45");
  EXPECT_FALSE(app.TimerRunning);
  EXPECT_TRUE(app.Acts.ReloadLog.Enabled);
  EXPECT_TRUE(app.Acts.SaveCsv.Enabled);
  EXPECT_EQ(app.StatusText, SummaryLine(app));
  EXPECT_NE(test::U(app.StatusText).find("3戦   2勝   1敗"), std::string::npos);
  ASSERT_FALSE(app.Detail.empty());
  EXPECT_EQ(app.Detail[0].Text, S("-------- 1戦目 --------"));
  EXPECT_FALSE(app.TallyTable.Rows.empty());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(app.BattleList.Rows[i], BattleLabel(app, i));

  // A second load starts from nothing.
  test::WriteBytes(app.CurrentLogPath, Battle("白鬼", "に勝利しました！"));
  ASSERT_TRUE(LoadAndAnalyse(app));
  EXPECT_EQ(app.BattleCount(), 1);
  EXPECT_EQ(app.BattleList.Count(), 1);
}

// Only the newest battle counts, and only if the game counts it: the game's not-counted mark
// survives on every battle, as it does when the same log is followed.
TEST_F(LoadDriverTest, ActiveModeLoadCountsOnlyTheNewestBattleKeepingTheGamesMarks) {
  const std::string notCounted = SystemLine("すでに何度も対戦した相手なので戦果には加算されません");
  const struct {
    const char* name;
    std::string log;
    std::vector<TallyState> states;
    std::vector<const char*> marks;
    const char* summary;
  } cases[] = {
      {"the newest counts",
       Battle("赤鬼", "に勝利しました！") + notCounted + Battle("青鬼", "に敗北しました…") +
           Battle("黄鬼", "に勝利しました！"),
       {test::kUncounted, test::kRefused, test::kCounted}, {"[－]", "[×]", "[集]"}, "   1戦   1勝   0敗"},
      {"the game refused the newest",
       Battle("赤鬼", "に勝利しました！") + Battle("青鬼", "に敗北しました…") + notCounted +
           Battle("黄鬼", "に勝利しました！"),
       {test::kUncounted, test::kUncounted, test::kRefusedMarked}, {"[－]", "[－]", "[×]"}, "   0戦   0勝   0敗"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteBytes(app.CurrentLogPath, c.log);
    app.Acts.ActiveMode.Checked = true;
    ASSERT_TRUE(LoadAndAnalyse(app));
    ASSERT_EQ(app.BattleCount(), 3);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(app.Battles[static_cast<std::size_t>(i)].Tally, c.states[static_cast<std::size_t>(i)]) << i;
      // Every row shows its battle's state, the newest one's too.
      EXPECT_EQ(app.BattleList.Rows[static_cast<std::size_t>(i)], BattleLabel(app, i)) << i;
      EXPECT_NE(test::U(app.BattleList.Rows[static_cast<std::size_t>(i)]).find(c.marks[static_cast<std::size_t>(i)]),
                std::string::npos) << i;
    }
    EXPECT_EQ(app.BattleList.SelectedCount(), 1);
    EXPECT_TRUE(app.BattleList.IsSelected(2));
    EXPECT_EQ(app.Caption, "Mizuto Ver1.45 [ActiveMode]");
    EXPECT_TRUE(app.TimerRunning);
    EXPECT_EQ(test::U(app.StatusText).rfind(c.summary, 0), 0u) << test::U(app.StatusText);
  }
}

TEST_F(LoadDriverTest, LogWithoutBattlesOrUnreadableFileStaysEmpty) {
  test::WriteBytes(app.CurrentLogPath, test::SayLine("hello") + SystemLine("nothing"));
  app.Acts.ActiveMode.Checked = true;
  app.Caption = "before";
  ASSERT_TRUE(LoadAndAnalyse(app));
  EXPECT_EQ(app.StatusText, S("戦闘データはありません"));
  EXPECT_FALSE(app.TimerRunning);
  EXPECT_EQ(app.Caption, "before");
  EXPECT_FALSE(app.Acts.ReloadLog.Enabled);
  EXPECT_FALSE(app.Acts.SaveCsv.Enabled);

  test::WriteBytes(app.CurrentLogPath, Battle("赤鬼", "に勝利しました！"));
  app.Acts.ActiveMode.Checked = false;
  ASSERT_TRUE(LoadAndAnalyse(app));
  const std::string shownBefore = app.StatusText;
  app.CurrentLogPath = dir.File("gone.html");
  EXPECT_FALSE(LoadAndAnalyse(app));
  EXPECT_EQ(app.BattleList.Count(), 0);
  EXPECT_TRUE(app.Detail.empty());
  EXPECT_TRUE(app.TallyTable.Rows.empty());
  EXPECT_EQ(app.Lines.size(), 0u);
  EXPECT_EQ(app.ErrorLines.back(), "File Open Error");
  EXPECT_FALSE(app.Acts.ReloadLog.Enabled);
  EXPECT_FALSE(app.Acts.SaveCsv.Enabled);
  // The old summary would pass for this log's: the status bar says what happened.
  EXPECT_NE(app.StatusText, shownBefore);
  EXPECT_EQ(test::U(app.StatusText), "ログを開けませんでした: gone.html (ファイルが見つかりません)");
}

// The load reads the log it is given, whatever the program showed before, and that log is
// the one shown and followed from then on -- though it did not open, so that a reload tries
// it again.
TEST_F(LoadDriverTest, TheLogGivenIsTheLogLoadedAndReloaded) {
  test::WriteBytes(app.CurrentLogPath, Battle("赤鬼", "に勝利しました！"));
  test::WriteBytes(dir.File("other.html"), Battle("青鬼", "に敗北しました…") + Battle("黄鬼", "に勝利しました！"));
  const struct {
    std::string path;
    bool read;
    int battles;
    const char* titleNames;  // the file the window's title names; nullptr: none
  } steps[] = {
      {dir.File("chat.html"), true, 1, "chat.html"},
      {dir.File("other.html"), true, 2, "other.html"},
      {dir.File("later.html"), false, 0, nullptr},
      {dir.File("chat.html"), true, 1, "chat.html"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.path);
    app.Caption = "before";
    EXPECT_EQ(LoadAndAnalyse(app, step.path), step.read);
    EXPECT_EQ(app.CurrentLogPath, step.path);
    EXPECT_EQ(app.BattleCount(), step.battles);
    EXPECT_EQ(app.BattleList.Count(), step.battles);
    EXPECT_EQ(WindowTitle(app), step.titleNames ? S(step.titleNames) + " - " + app.Caption : app.Caption);
  }
  // A log that did not open is read by the reload once it is there.
  EXPECT_FALSE(LoadAndAnalyse(app, dir.File("later.html")));
  test::WriteBytes(dir.File("later.html"), Battle("白鬼", "に勝利しました！") + Battle("黒鬼", "に勝利しました！") +
                                               Battle("灰鬼", "に勝利しました！"));
  EXPECT_TRUE(LoadAndAnalyse(app));
  EXPECT_EQ(app.CurrentLogPath, dir.File("later.html"));
  EXPECT_EQ(app.BattleCount(), 3);
}

// Whatever keeps a log from opening, the status bar names the file and the reason, and the
// command-line modes the path and the system's words.
TEST_F(LoadDriverTest, ALogThatDoesNotOpenIsNamedWithItsReason) {
  std::filesystem::create_directory(dir.File("folder.html"));
  const struct {
    std::string path;
    const char* status;   // UTF-8
    const char* reason;   // in the command-line line, after the path
    std::string shown{};  // the path as that line shows it, when not as it is
  } cases[] = {
      {dir.File("missing.html"), "ログを開けませんでした: missing.html (ファイルが見つかりません)",
       "No such file or directory"},
      {dir.File("folder.html"), "ログを開けませんでした: folder.html (フォルダです)", "Is a directory"},
      {dir.File("no-folder/x.html"), "ログを開けませんでした: x.html (ファイルが見つかりません)",
       "No such file or directory"},
      // A line break in the name would split the line on the error output.
      {dir.File("line\nbreak\t.html"), "ログを開けませんでした: line\nbreak\t.html (ファイルが見つかりません)",
       "No such file or directory", dir.File("line?break?.html")},
#ifndef _WIN32
      {"/dev/null", "ログを開けませんでした: null (通常のファイルではありません)", "not a regular file"},
#endif
  };
  for (const auto& c : cases) {
    app.CurrentLogPath = c.path;
    app.ErrorLines.clear();
    EXPECT_FALSE(LoadAndAnalyse(app)) << c.path;
    EXPECT_EQ(test::U(app.StatusText), c.status);
    EXPECT_EQ(app.ErrorLines, std::vector<std::string>{"File Open Error"});
#ifndef _WIN32  // Windows words its reasons in the system's language
    EXPECT_EQ(LogNotOpenedLine(app.CurrentLogPath, app.LastRead.Error),
              "File Open Error: " + (c.shown.empty() ? c.path : c.shown) + ": " + c.reason);
#endif
  }
}

TEST(FindNewestLogTest, NewestHtmlWinsFirstEnumeratedWinsTiesSearchedEveryTime) {
  namespace fs = std::filesystem;
  test::TempDir dir;
  App app;
  EXPECT_FALSE(FindNewestLog(app));  // no folder configured
  const std::string logs = dir.Path() + "logs";
  app.LogDir = Utf8Path::FromUtf8(logs);
  EXPECT_FALSE(FindNewestLog(app));  // missing folder
  fs::create_directory(logs);
  EXPECT_FALSE(FindNewestLog(app));  // no log yet: searched again next time

  const auto base = fs::file_time_type::clock::now() - std::chrono::hours(1);
  auto make = [&](const std::string& name, int minutes) {
    const std::string path = logs + "/" + name;
    test::WriteBytes(path, "x");
    fs::last_write_time(path, base + std::chrono::minutes(minutes));
  };
  make("old.html", 1);
  make("tie1.html", 5);
  make("tie2.html", 5);
  make("newer.txt", 9);
  std::string firstOfTie;
  for (const auto& e : fs::directory_iterator(logs)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("tie", 0) == 0) {
      firstOfTie = name;
      break;
    }
  }
  ASSERT_TRUE(FindNewestLog(app));
  EXPECT_EQ(app.NewestLogPath, logs + "/" + firstOfTie);

  // The game starts a new log: the next search finds it.
  make("newest.html", 30);
  ASSERT_TRUE(FindNewestLog(app));
  EXPECT_EQ(app.NewestLogPath, logs + "/newest.html");

  // Another folder set in the settings is searched, and one without logs offers none.
  const std::string other = dir.Path() + "other";
  fs::create_directory(other);
  app.LogDir = Utf8Path::FromUtf8(other);
  EXPECT_FALSE(FindNewestLog(app));
  EXPECT_EQ(app.NewestLogPath, "");
  test::WriteBytes(other + "/b.html", "x");
  ASSERT_TRUE(FindNewestLog(app));
  EXPECT_EQ(app.NewestLogPath, other + "/b.html");
}

TEST(FindNewestLogTest, FolderWithAJapaneseNameIsFoundAndTheLogOpens) {
  // The folder is a path (UTF-8), as the settings file's reading made it.
  test::TempDir dir;
  const std::string native = dir.Path() + "航海日誌";
  std::filesystem::create_directory(platform::NativePath(native));
  test::WriteBytes(native + "/a.html", "x");
  App app;
  app.LogDir = Utf8Path::FromUtf8(native);
  ASSERT_TRUE(FindNewestLog(app));
  EXPECT_EQ(app.NewestLogPath, native + "/a.html");
}

}  // namespace
}  // namespace mizuto
