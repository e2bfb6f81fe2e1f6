#include "app/commands/main_commands.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <tuple>

#include "app/owner/app.h"
#include "app/owner/battle_list_commands.h"
#include "app/owner/result_views.h"
#include "app/commands/start_up.h"
#include "support/test_support.h"
#include "tally/tallies.h"

namespace mizuto {
namespace {

using test::S;
using test::SystemLine;

class MainCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteListFile(dir.File("SkillList.txt"), {"砲撃", "突撃"});
    test::WriteListFile(dir.File("ItemList.txt"), {"木材,1", "料理,2"});
    test::SetUpApp(app, dir);
    app.SkillChecked.assign(app.Lists.SkillNames.size(), 0);
    app.ItemChecked.assign(app.Lists.ItemNames.size(), 0);
    RebuildTallyColumns(app);
    log = dir.File("chat.html");
    test::WriteBytes(log, SystemLine("赤鬼の強襲です！") + SystemLine("敵船赤鬼を撃沈しました！") +
                              SystemLine("赤鬼に勝利しました！"));
  }
  test::TempDir dir;
  App app;
  std::string log;
};

// The switch decides which battles exist: the log is analysed again at once, as a reload
// would, in active mode too (only the newest battle counted then).
TEST_F(MainCommandsTest, NpcSwitchAnalysesTheLogAgainWithTheNewSetting) {
  NPCCheckClick(app, true);  // nothing loaded: only the setting changes
  EXPECT_TRUE(app.NpcCheck);
  EXPECT_EQ(app.BattleCount(), 0);
  EXPECT_EQ(app.StatusText, "");
  NPCCheckClick(app, false);

  test::WriteListFile(dir.File("NPCList.txt"), {"海賊"});
  app.Lists.Load(app.ProgramDir);
  test::WriteBytes(log, SystemLine("赤鬼の強襲です！") + SystemLine("赤鬼に勝利しました！") +
                            SystemLine("海賊ドレイクの強襲です！") + SystemLine("海賊ドレイクに勝利しました！"));
  for (const bool active : {false, true}) {
    SCOPED_TRACE(active ? "active mode" : "plain");
    app.Acts.ActiveMode.Checked = active;
    NPCCheckClick(app, false);
    ASSERT_TRUE(OpenLogFile(app, log));
    ASSERT_EQ(app.BattleCount(), 1);
    NPCCheckClick(app, true);
    EXPECT_TRUE(app.NpcCheck);
    ASSERT_EQ(app.BattleCount(), 2);
    ASSERT_EQ(app.BattleList.Count(), 2);
    EXPECT_FALSE(app.TallyTable.Rows.empty());
    EXPECT_FALSE(app.Detail.empty());
    EXPECT_TRUE(app.Acts.ReloadLog.Enabled);
    const std::string status = test::U(app.StatusText);
    EXPECT_EQ(status.rfind(active ? "   1戦   1勝" : "   2戦   2勝", 0), 0u) << status;
    EXPECT_EQ(app.BattleList.IsSelected(1), active);
    EXPECT_EQ(app.Battles[0].Tally, active ? test::kUncounted : test::kCounted);
    EXPECT_EQ(app.TimerRunning, active);
    NPCCheckClick(app, false);
    EXPECT_EQ(app.BattleCount(), 1);
    EXPECT_EQ(app.BattleList.Count(), 1);
  }
}

TEST_F(MainCommandsTest, CheckMarksAddAndRemoveTallyColumnsAndIgnoreStrayIndexes) {
  ASSERT_TRUE(OpenLogFile(app, log));
  const std::size_t fixed = app.TallyTable.Columns.size();
  ToggleSkillColumn(app, 1, true);
  ASSERT_EQ(app.TallyTable.Columns.size(), fixed + 1);
  EXPECT_EQ(app.TallyTable.Columns.back().Caption, S("突撃"));
  ToggleItemColumn(app, 0, true);
  ASSERT_EQ(app.TallyTable.Columns.size(), fixed + 2);
  // Every row carries a cell for each column after the refresh.
  for (const TallyRow& row : app.TallyTable.Rows) EXPECT_EQ(row.Cells.size(), fixed + 1);
  ToggleSkillColumn(app, 1, false);
  EXPECT_EQ(app.TallyTable.Columns.size(), fixed + 1);
  ToggleSkillColumn(app, 7, true);
  ToggleItemColumn(app, -1, true);
  EXPECT_EQ(app.TallyTable.Columns.size(), fixed + 1);
}

TEST_F(MainCommandsTest, LoadCommandsAndTheDropRule) {
  EXPECT_FALSE(DropIsAccepted(0));
  EXPECT_TRUE(DropIsAccepted(1));
  EXPECT_FALSE(DropIsAccepted(2));
  EXPECT_EQ(OneLogOnlyMessage(), S("LOGは１コだけね"));

  // The File menu offers the newest log only once the folder has one.
  app.LogDir = Utf8Path::FromUtf8(dir.Path() + "logs");
  PrepareFileMenu(app);
  EXPECT_FALSE(app.Acts.LoadNewLog.Enabled);
  std::filesystem::create_directory(dir.Path() + "logs");
  test::WriteBytes(dir.Path() + "logs/today.html", test::ReadBytes(log));
  PrepareFileMenu(app);
  EXPECT_TRUE(app.Acts.LoadNewLog.Enabled);
  ASSERT_TRUE(LoadNewestLog(app));
  EXPECT_EQ(app.CurrentLogPath, dir.Path() + "logs/today.html");
  EXPECT_EQ(app.BattleList.Count(), 1);

  // The game starts tomorrow's log while the program runs: the command finds it, without
  // the menu being opened again.
  test::WriteBytes(dir.Path() + "logs/tomorrow.html", test::ReadBytes(log) + test::ReadBytes(log));
  std::filesystem::last_write_time(dir.Path() + "logs/tomorrow.html",
                                   std::filesystem::last_write_time(dir.Path() + "logs/today.html") +
                                       std::chrono::minutes(1));
  ASSERT_TRUE(LoadNewestLog(app));
  EXPECT_EQ(app.CurrentLogPath, dir.Path() + "logs/tomorrow.html");
  EXPECT_EQ(app.BattleList.Count(), 2);
  // Another folder in the settings: the menu offers only what that folder holds.
  app.LogDir = Utf8Path::FromUtf8(dir.Path() + "elsewhere");
  PrepareFileMenu(app);
  EXPECT_FALSE(app.Acts.LoadNewLog.Enabled);
  app.LogDir = Utf8Path::FromUtf8(dir.Path() + "logs");
  PrepareFileMenu(app);
  EXPECT_TRUE(app.Acts.LoadNewLog.Enabled);

  // A reload reads the same file again, with what it gained since.
  test::AppendBytes(app.CurrentLogPath, SystemLine("青鬼の強襲です！") + SystemLine("青鬼に勝利しました！"));
  ASSERT_TRUE(ReloadCurrentLog(app));
  EXPECT_EQ(app.BattleList.Count(), 3);

  // A path longer than the old 260-character limit is kept whole and loads.
  std::string deep = dir.Path();
  while (deep.size() < 300) {
    deep += "folder_with_a_long_name/";
    std::filesystem::create_directory(deep);
  }
  test::WriteBytes(deep + "log.html", test::ReadBytes(log));
  ASSERT_TRUE(OpenLogFile(app, deep + "log.html"));
  EXPECT_EQ(app.CurrentLogPath, deep + "log.html");
  EXPECT_EQ(app.BattleList.Count(), 1);
}

// What a view of the tally table and the grid shows, for comparing two moments.
using TallyPicture = std::vector<std::tuple<std::string, int, std::vector<std::string>>>;
struct Pictures {
  std::vector<std::pair<std::string, bool>> Columns;
  TallyPicture Rows;
  int GridColumns = 0, GridRows = 0;
  std::vector<std::string> GridHeaders;
  std::vector<std::int32_t> Counts;
  std::vector<HeadToHeadGrid::CellKind> Kinds;
  std::vector<DetailLine> Transcript;
  bool operator==(const Pictures&) const = default;
};

Pictures Picture(const App& app) {
  Pictures p;
  for (const TallyColumn& c : app.TallyTable.Columns) p.Columns.emplace_back(c.Caption, c.RightAligned);
  for (const TallyRow& r : app.TallyTable.Rows) p.Rows.emplace_back(r.Caption, r.Icon, r.Cells);
  p.GridColumns = app.Grid.ColCount;
  p.GridRows = app.Grid.RowCount;
  p.GridHeaders = app.Grid.ColumnHeaders;
  p.GridHeaders.insert(p.GridHeaders.end(), app.Grid.RowHeaders.begin(), app.Grid.RowHeaders.end());
  p.Counts = app.Grid.Counts;
  p.Kinds = app.Grid.Kinds;
  p.Transcript = app.Detail.Lines();
  return p;
}

// A window redraws the tally table, the grid and the transcript only when their revision
// changed: so every command that changes what they show must count a revision, and a
// transcript switch must not count one of the tables (it would redraw a thousand rows for
// nothing). Random command sequences on a generated
// log; a failure names the seed and the step.
TEST(ViewRevisions, EveryChangeOfTheTablesCountsARevisionAndTranscriptSwitchesNone) {
  test::TempDir dir;
  const test::Outcome generated =
      test::RunCommand(std::string("'") + MIZUTO_LOGGEN + "' --seed 23 --battles 14 --players 30" +
                       " --checked 2 --program-dir '" + dir.Path() + "' --out '" + dir.File("chat.html") + "'");
  ASSERT_EQ(generated.status, 0) << generated.err;

  for (const unsigned seed : {1u, 2u, 3u}) {
    App app;
    app.ProgramDir = dir.Path();
    StartUp(app);
    ASSERT_TRUE(OpenLogFile(app, dir.File("chat.html")));
    ASSERT_GT(app.BattleCount(), 3);
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int step = 0; step < 150; ++step) {
      // A random selection in the battle list and in the tally table first.
      for (std::size_t i = 0; i < app.BattleList.Selected.size(); ++i) app.BattleList.Selected[i] = pick(3) == 0;
      for (TallyRow& row : app.TallyTable.Rows) row.Selected = pick(8) == 0;
      const Pictures before = Picture(app);
      const std::uint64_t tally = app.TallyTable.Revision, grid = app.Grid.Revision;
      const std::uint64_t transcript = app.Detail.Revision();
      const int what = pick(12);
      bool transcriptOnly = false;
      switch (what) {
        case 0: CountSelectedBattles(app); break;
        case 1: UncountSelectedBattles(app); break;
        case 2: (pick(2) ? MarkSelectedLarge : MarkSelectedMock)(app); break;
        case 3: (pick(2) ? MarkSelectedAsNpcs : MarkSelectedAsPlayers)(app); break;
        case 4: ToggleSkillColumn(app, pick(4), pick(2) == 0); break;
        case 5: ToggleItemColumn(app, pick(4), pick(2) == 0); break;
        case 6: SortTallyByColumn(app, pick(static_cast<int>(app.TallyTable.Columns.size()))); break;
        case 7: (pick(2) ? HideSelectedTallyPlayers : ShowAllTallyPlayers)(app); break;
        case 8:
          app.Acts.AvgHitDown.Checked = !app.Acts.AvgHitDown.Checked;
          ApplyHitDownAveraging(app);
          break;
        case 9: ReloadCurrentLog(app); break;
        case 10:
          app.Acts.SayView.Checked = !app.Acts.SayView.Checked;
          RedrawSelectedBattles(app);
          transcriptOnly = true;
          break;
        default:
          ShowSelectedBattles(app);
          transcriptOnly = true;
          break;
      }
      const Pictures after = Picture(app);
      SCOPED_TRACE("seed " + std::to_string(seed) + ", step " + std::to_string(step) +
                   ", command " + std::to_string(what));
      if (transcriptOnly) {
        EXPECT_EQ(app.TallyTable.Revision, tally);
        EXPECT_EQ(app.Grid.Revision, grid);
      }
      if (after.Columns != before.Columns || after.Rows != before.Rows) {
        EXPECT_NE(app.TallyTable.Revision, tally);
      }
      if (after.GridColumns != before.GridColumns || after.GridRows != before.GridRows ||
          after.GridHeaders != before.GridHeaders || after.Counts != before.Counts ||
          after.Kinds != before.Kinds) {
        EXPECT_NE(app.Grid.Revision, grid);
      }
      if (after.Transcript != before.Transcript) {
        EXPECT_NE(app.Detail.Revision(), transcript);
      }
      if (HasFatalFailure() || HasNonfatalFailure()) return;
    }
  }
}

}  // namespace
}  // namespace mizuto
