#include <gtest/gtest.h>

#include "battle/battle_label.h"
#include "ingest/load_driver.h"
#include "live/active_mode.h"
#include "app/main_commands.h"
#include "support/test_support.h"
#include "tally/tallies.h"

namespace mizuto {
namespace {

using test::S;
using test::SystemLine;

class ActiveModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::SetUpApp(app, dir);
    RebuildTallyColumns(app);
    app.CurrentLogPath = dir.File("chat.html");
  }
  void SwitchOn() {
    app.Acts.ActiveMode.Checked = true;
    ActiveModeExecute(app);
  }
  test::TempDir dir;
  App app;
};

TEST_F(ActiveModeTest, SwitchingOnWithoutALogOnlyShowsTheCounter) {
  app.CurrentLogPath.clear();
  SwitchOn();
  EXPECT_TRUE(app.SinkCounterVisible);
  EXPECT_EQ(app.SinkCounterText, S("味方 0 - 0 敵"));
  EXPECT_FALSE(app.TimerRunning);
  EXPECT_EQ(app.Caption, "Mizuto Ver1.45");
  app.Acts.ActiveMode.Checked = false;
  ActiveModeExecute(app);
  EXPECT_FALSE(app.SinkCounterVisible);
}

TEST_F(ActiveModeTest, SwitchingOnKeepsTheNotCountedMarkOfTheNewestBattle) {
  test::WriteBytes(app.CurrentLogPath,
                   SystemLine("赤鬼の強襲です！") + SystemLine("赤鬼に勝利しました！") +
                       SystemLine("戦力差が大きすぎるため、この戦闘は戦果に加算されません") +
                       SystemLine("青鬼の強襲です！") + SystemLine("青鬼に勝利しました！"));
  ASSERT_TRUE(LoadAndAnalyse(app));
  ASSERT_EQ(app.Battles[1].TallyState, 2);
  SwitchOn();
  EXPECT_EQ(app.Battles[0].TallyState, 0);
  EXPECT_EQ(app.Battles[1].TallyState, 3);
  EXPECT_EQ(app.BattleList.Rows[0], BattleLabel(app, 0));
  EXPECT_TRUE(app.BattleList.IsSelected(1));
  EXPECT_TRUE(app.TimerRunning);
  EXPECT_EQ(app.Caption, "Mizuto Ver1.45 [ActiveMode]");
  EXPECT_TRUE(app.TallyTable.Rows.empty());  // nothing is counted any more
  app.Acts.ActiveMode.Checked = false;
  ActiveModeExecute(app);
  EXPECT_FALSE(app.TimerRunning);
  EXPECT_EQ(app.Battles[1].TallyState, 3);  // switching off leaves the states alone
}

TEST_F(ActiveModeTest, TicksFollowTheGrowingLog) {
  test::WriteBytes(app.CurrentLogPath, SystemLine("赤鬼の強襲です！") + SystemLine("赤鬼に勝利しました！"));
  app.Acts.ActiveMode.Checked = true;
  ASSERT_TRUE(LoadAndAnalyse(app));
  SwitchOn();

  // Nothing new: nothing changes.
  app.StatusText = "unchanged";
  Timer1Timer(app);
  EXPECT_EQ(app.StatusText, "unchanged");
  EXPECT_TRUE(app.TimerRunning);

  // A new battle opens: it is counted and selected, the older one is not counted.
  test::AppendBytes(app.CurrentLogPath,
                    SystemLine("青鬼と交戦に入ります！") + SystemLine("敵船青鬼を撃沈しました！") +
                        SystemLine("敵船青鬼子分の攻撃により、被害甚大"));
  Timer1Timer(app);
  ASSERT_EQ(app.BattleCount(), 2);
  EXPECT_EQ(app.Battles[0].TallyState, 0);
  EXPECT_EQ(app.Battles[1].TallyState, 1);
  EXPECT_TRUE(app.BattleList.IsSelected(1));
  EXPECT_FALSE(app.BattleList.IsSelected(0));
  EXPECT_EQ(app.AnalysedLineCount, 5);
  ASSERT_FALSE(app.TallyTable.Rows.empty());
  const std::size_t rowsDuringBattle = app.TallyTable.Rows.size();

  // The battle ends: the summary follows, the tallies wait for the next open battle.
  test::AppendBytes(app.CurrentLogPath, SystemLine("敵船黒鬼を撃沈しました！") + SystemLine("青鬼に勝利しました！"));
  app.TallyTable.Rows.clear();
  Timer1Timer(app);
  EXPECT_EQ(app.State.BattleInProgress, 0);
  EXPECT_TRUE(app.TallyTable.Rows.empty());
  EXPECT_EQ(app.StatusText, SummaryLine(app));
  EXPECT_FALSE(app.BattleList.IsSelected(1));  // its row was relabelled
  EXPECT_GT(rowsDuringBattle, 0u);

  // A battle that opens and ends within one tick is counted and selected.
  test::AppendBytes(app.CurrentLogPath, SystemLine("黄鬼の強襲です！") + SystemLine("黄鬼に勝利しました！"));
  Timer1Timer(app);
  ASSERT_EQ(app.BattleCount(), 3);
  EXPECT_EQ(app.Battles[2].TallyState, 1);
  EXPECT_EQ(app.Battles[1].TallyState, 1);  // no battle open after the tick: not uncounted
  EXPECT_TRUE(app.BattleList.IsSelected(2));
}

// The NPC switch empties the battle list while the battles stay: active mode and its ticks
// must not write rows that are not there, and the tick that opens a battle fills every row
// again (row i shows battle i).
TEST_F(ActiveModeTest, RowsEmptiedByTheNpcSwitchAreLeftAloneUntilANewBattleRefillsThem) {
  test::WriteBytes(app.CurrentLogPath, SystemLine("赤鬼の強襲です！") + SystemLine("赤鬼に勝利しました！") +
                                           SystemLine("青鬼の強襲です！") + SystemLine("青鬼に勝利しました！") +
                                           SystemLine("白鬼の強襲です！"));
  ASSERT_TRUE(LoadAndAnalyse(app));
  ASSERT_EQ(app.BattleCount(), 3);
  NPCCheckClick(app, true);
  ASSERT_EQ(app.BattleList.Count(), 0);
  SwitchOn();
  EXPECT_EQ(app.BattleList.Count(), 0);
  EXPECT_EQ(app.BattleList.FocusRow, -1);
  EXPECT_EQ(app.Battles[0].TallyState, 0);

  // Lines of the battle in progress: still no row to write.
  test::AppendBytes(app.CurrentLogPath, SystemLine("敵船白鬼を撃沈しました！"));
  Timer1Timer(app);
  EXPECT_EQ(app.BattleList.Count(), 0);

  // The next battle opens: every row is there again, the newest selected.
  test::AppendBytes(app.CurrentLogPath, SystemLine("白鬼に勝利しました！") + SystemLine("黒鬼の強襲です！"));
  Timer1Timer(app);
  ASSERT_EQ(app.BattleCount(), 4);
  ASSERT_EQ(app.BattleList.Count(), 4);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(app.BattleList.Rows[static_cast<std::size_t>(i)], BattleLabel(app, i)) << i;
  EXPECT_EQ(app.BattleList.SelectedCount(), 1);
  EXPECT_TRUE(app.BattleList.IsSelected(3));
  EXPECT_EQ(app.BattleList.FocusRow, 3);
}

TEST_F(ActiveModeTest, UnreadableLogIsReportedAtEveryTick) {
  app.CurrentLogPath = dir.File("missing.html");
  Timer1Timer(app);
  Timer1Timer(app);
  EXPECT_EQ(app.ErrorLines, (std::vector<std::string>{"File Open Error", "File Open Error"}));
  EXPECT_TRUE(app.TimerRunning);
}

TEST(IntervalFieldTest, ClampsAndRefusesNonNumbers) {
  App app;
  EXPECT_TRUE(Edit1Change(app, "0"));
  EXPECT_EQ(app.IntervalText, "1");
  EXPECT_EQ(app.TimerIntervalMs, 1000);
  EXPECT_TRUE(Edit1Change(app, "250"));
  EXPECT_EQ(app.IntervalText, "100");
  EXPECT_EQ(app.TimerIntervalMs, 100000);
  EXPECT_TRUE(Edit1Change(app, "007"));
  EXPECT_EQ(app.IntervalText, "7");
  EXPECT_FALSE(Edit1Change(app, ""));
  EXPECT_FALSE(Edit1Change(app, "5s"));
  EXPECT_FALSE(Edit1Change(app, "abc"));
  EXPECT_EQ(app.TimerIntervalMs, 7000);
}

}  // namespace
}  // namespace mizuto
