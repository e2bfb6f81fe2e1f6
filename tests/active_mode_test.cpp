#include <gtest/gtest.h>

#include <filesystem>

#include "app/owner/result_views.h"
#include "battle/battle_label.h"
#include "app/owner/battle_list_commands.h"
#include "app/owner/load_driver.h"
#include "app/commands/active_mode.h"
#include "app/commands/main_commands.h"
#include "support/test_support.h"
#include "tally/tallies.h"

namespace mizuto {
namespace {

using test::S;
using test::SystemLine;

std::string Spaces(int n) { return std::string(static_cast<std::size_t>(n), ' '); }
// The status line with two counted battles, one won and one lost; with the lost one only.
const char* kWonAndLost =
    "   2戦   1勝   1敗   0分(逃げられ:0 撤退:0) [クリティカル:  0 /  0] [無駄な努力 修理:  0 外科､救助:  0 その他:  0]";
const char* kNone =
    "   0戦   0勝   0敗   0分(逃げられ:0 撤退:0) [クリティカル:  0 /  0] [無駄な努力 修理:  0 外科､救助:  0 その他:  0]";
const char* kLost =
    "   1戦   0勝   1敗   0分(逃げられ:0 撤退:0) [クリティカル:  0 /  0] [無駄な努力 修理:  0 外科､救助:  0 その他:  0]";

class ActiveModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::SetUpApp(app, dir);
    RebuildTallyColumns(app);
    app.CurrentLogPath = dir.File("chat.html");
  }
  void SwitchOn() {
    app.Acts.ActiveMode.Checked = true;
    ApplyActiveModeSwitch(app);
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
  ApplyActiveModeSwitch(app);
  EXPECT_FALSE(app.SinkCounterVisible);
}

TEST_F(ActiveModeTest, SwitchingOnKeepsTheNotCountedMarkOfTheNewestBattle) {
  test::WriteBytes(app.CurrentLogPath,
                   SystemLine("赤鬼の強襲です！") + SystemLine("赤鬼に勝利しました！") +
                       SystemLine("戦力差が大きすぎるため、この戦闘は戦果に加算されません") +
                       SystemLine("青鬼の強襲です！") + SystemLine("青鬼に勝利しました！"));
  ASSERT_TRUE(LoadAndAnalyse(app));
  ASSERT_EQ(app.Battles[1].Tally, test::kRefused);
  SwitchOn();
  EXPECT_EQ(app.Battles[0].Tally, test::kUncounted);
  EXPECT_EQ(app.Battles[1].Tally, test::kRefusedMarked);
  EXPECT_EQ(app.BattleList.Rows[0], BattleLabel(app, 0));
  EXPECT_TRUE(app.BattleList.IsSelected(1));
  EXPECT_TRUE(app.TimerRunning);
  EXPECT_EQ(app.Caption, "Mizuto Ver1.45 [ActiveMode]");
  EXPECT_TRUE(app.TallyTable.Rows.empty());  // nothing is counted any more
  app.Acts.ActiveMode.Checked = false;
  ApplyActiveModeSwitch(app);
  EXPECT_FALSE(app.TimerRunning);
  EXPECT_EQ(app.Battles[1].Tally, test::kRefusedMarked);  // switching off leaves the states alone
}

TEST_F(ActiveModeTest, TicksFollowTheGrowingLog) {
  test::WriteBytes(app.CurrentLogPath, SystemLine("赤鬼の強襲です！") + SystemLine("赤鬼に勝利しました！"));
  app.Acts.ActiveMode.Checked = true;
  ASSERT_TRUE(LoadAndAnalyse(app));
  SwitchOn();

  // Nothing new: nothing changes.
  app.StatusText = "unchanged";
  TickFollowedLog(app);
  EXPECT_EQ(app.StatusText, "unchanged");
  EXPECT_TRUE(app.TimerRunning);

  // A new battle opens: it is counted and selected, the older one is not counted.
  test::AppendBytes(app.CurrentLogPath,
                    SystemLine("青鬼と交戦に入ります！") + SystemLine("敵船青鬼を撃沈しました！") +
                        SystemLine("敵船青鬼子分の攻撃により、被害甚大"));
  TickFollowedLog(app);
  ASSERT_EQ(app.BattleCount(), 2);
  EXPECT_EQ(app.Battles[0].Tally, test::kUncounted);
  EXPECT_EQ(app.Battles[1].Tally, test::kCounted);
  EXPECT_TRUE(app.BattleList.IsSelected(1));
  EXPECT_FALSE(app.BattleList.IsSelected(0));
  EXPECT_EQ(app.AnalysedLineCount, 5);
  ASSERT_FALSE(app.TallyTable.Rows.empty());

  // The player looks at the older battle while this one goes on: the next tick that brings
  // the battle's lines shows the battle being fought again, alone.
  app.BattleList.Select(0);
  test::AppendBytes(app.CurrentLogPath, SystemLine("敵船青鬼子分の攻撃により、被害甚大"));
  TickFollowedLog(app);
  EXPECT_FALSE(app.BattleList.IsSelected(0));
  EXPECT_TRUE(app.BattleList.IsSelected(1));
  EXPECT_TRUE(app.DetailShowsEnd);
  EXPECT_EQ(app.Battles[0].Tally, test::kUncounted);
  const std::size_t rowsDuringBattle = app.TallyTable.Rows.size();

  // The battle ends: the summary and the tallies show it as it ended (its last lines
  // brought one more player).
  test::AppendBytes(app.CurrentLogPath, SystemLine("敵船黒鬼を撃沈しました！") + SystemLine("青鬼に勝利しました！"));
  TickFollowedLog(app);
  EXPECT_EQ(app.State.BattleInProgress, std::nullopt);
  EXPECT_EQ(app.TallyTable.Rows.size(), rowsDuringBattle + 1);
  EXPECT_EQ(app.StatusText, SummaryLine(app));
  EXPECT_EQ(test::U(app.StatusText).rfind("   1戦   1勝", 0), 0u);
  // Relabelled as it ended, and still the one selected and shown.
  EXPECT_TRUE(app.BattleList.IsSelected(1));
  EXPECT_FALSE(app.BattleList.IsSelected(0));

  // Battles that open and end between two reads: the newest alone is counted, and selected.
  test::AppendBytes(app.CurrentLogPath, SystemLine("黄鬼の強襲です！") + SystemLine("黄鬼に敗北しました…") +
                                            SystemLine("緑鬼の強襲です！") + SystemLine("緑鬼に勝利しました！"));
  TickFollowedLog(app);
  ASSERT_EQ(app.BattleCount(), 4);
  EXPECT_EQ(app.Battles[0].Tally, test::kUncounted);
  EXPECT_EQ(app.Battles[1].Tally, test::kUncounted);
  EXPECT_EQ(app.Battles[2].Tally, test::kUncounted);
  EXPECT_EQ(app.Battles[3].Tally, test::kCounted);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(app.BattleList.Rows[static_cast<std::size_t>(i)], BattleLabel(app, i)) << i;
  EXPECT_TRUE(app.BattleList.IsSelected(3));
  EXPECT_EQ(test::U(app.StatusText).rfind("   1戦   1勝   0敗", 0), 0u) << test::U(app.StatusText);
}

// The NPC switch analyses the followed log again: the ticks go on from there, and the tick
// that opens a battle adds its row after every other (row i shows battle i).
TEST_F(ActiveModeTest, TheNpcSwitchReanalysesTheFollowedLogAndTheTicksGoOn) {
  test::WriteBytes(app.CurrentLogPath, SystemLine("赤鬼の強襲です！") + SystemLine("赤鬼に勝利しました！") +
                                           SystemLine("青鬼の強襲です！") + SystemLine("青鬼に勝利しました！") +
                                           SystemLine("白鬼の強襲です！"));
  app.Acts.ActiveMode.Checked = true;
  ASSERT_TRUE(LoadAndAnalyse(app));
  ASSERT_EQ(app.BattleCount(), 3);
  NPCCheckClick(app, true);
  ASSERT_EQ(app.BattleList.Count(), 3);
  EXPECT_TRUE(app.BattleList.IsSelected(2));
  EXPECT_EQ(app.Battles[0].Tally, test::kUncounted);
  EXPECT_TRUE(app.TimerRunning);

  // Lines of the battle in progress.
  test::AppendBytes(app.CurrentLogPath, SystemLine("白鬼の船が航行不能になりました"));
  TickFollowedLog(app);
  EXPECT_EQ(app.BattleList.Count(), 3);
  EXPECT_EQ(app.SinkCounterText, S("味方 0 - 1 敵"));

  // The next battle opens: its row comes last, selected.
  test::AppendBytes(app.CurrentLogPath, SystemLine("白鬼に勝利しました！") + SystemLine("黒鬼の強襲です！"));
  TickFollowedLog(app);
  ASSERT_EQ(app.BattleCount(), 4);
  ASSERT_EQ(app.BattleList.Count(), 4);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(app.BattleList.Rows[static_cast<std::size_t>(i)], BattleLabel(app, i)) << i;
  EXPECT_EQ(app.BattleList.SelectedCount(), 1);
  EXPECT_TRUE(app.BattleList.IsSelected(3));
  EXPECT_EQ(app.BattleList.FocusRow, 3);
}

// The game's notice that the next battle will not count arrives alone, between battles: the
// pending notice keeps a battle "in progress" for the tick, so the older battles the user
// had put back into the count are taken out again and every view is redrawn.
TEST_F(ActiveModeTest, TickWithOnlyANotCountedNoticeUncountsTheOlderBattles) {
  test::WriteBytes(app.CurrentLogPath,
                   SystemLine("赤鬼の強襲です！") + SystemLine("敵船赤鬼を撃沈しました！") +
                       SystemLine("赤鬼に勝利しました！") + SystemLine("青鬼と交戦に入ります！") +
                       SystemLine("青鬼に敗北しました…"));
  app.Acts.ActiveMode.Checked = true;
  ASSERT_TRUE(LoadAndAnalyse(app));
  app.BattleList.Select(0);
  CountSelectedBattles(app);
  ASSERT_EQ(app.Battles[0].Tally, test::kCounted);
  ASSERT_EQ(app.StatusText, S(kWonAndLost));
  app.Detail.Clear();
  app.Detail.Append(DetailLine{"stale", 0xFFFFFF, false});

  test::AppendBytes(app.CurrentLogPath, SystemLine("すでに何度も対戦した相手なので戦果には加算されません"));
  TickFollowedLog(app);
  EXPECT_EQ(app.State.BattleInProgress, std::nullopt);
  EXPECT_TRUE(app.State.NotCountedNotice);
  EXPECT_EQ(app.AnalysedLineCount, 6);
  EXPECT_EQ(app.Battles[0].Tally, test::kUncounted);
  EXPECT_EQ(app.Battles[1].Tally, test::kCounted);
  EXPECT_EQ(test::U(app.BattleList.Rows[0]), "模擬大[－]  1戦目 YOU" + Spaces(15) + " 強襲 → ○ : 赤鬼   ");
  EXPECT_EQ(test::U(app.BattleList.Rows[1]), "模擬大[集]  2戦目 YOU" + Spaces(15) + " 交戦 → × : 青鬼   ");
  EXPECT_EQ(app.BattleList.Selected, (std::vector<char>{0, 1}));  // the relabelled row lost it
  ASSERT_EQ(app.Detail.size(), 3u);  // the selected battle, drawn again
  EXPECT_EQ(test::U(app.Detail[0].Text), "-------- 2戦目 --------");
  std::vector<std::string> shown;
  for (const TallyRow& row : app.TallyTable.Rows) shown.push_back(test::U(row.Caption));
  EXPECT_EQ(shown, (std::vector<std::string>{"YOU", "青鬼"}));
  EXPECT_EQ(app.StatusText, S(kLost));

  // The notice marks the next battle: the tick sets its counted bit, but the game's mark
  // keeps it out (state 3); the older battle is no longer the newest and leaves the count,
  // so nothing is counted, as a load of the same log in active mode says.
  test::AppendBytes(app.CurrentLogPath, SystemLine("黄鬼の強襲です！") + SystemLine("黄鬼に勝利しました！"));
  TickFollowedLog(app);
  EXPECT_EQ(app.State.BattleInProgress, std::nullopt);
  EXPECT_EQ(app.Battles[1].Tally, test::kUncounted);
  EXPECT_EQ(app.Battles[2].Tally, test::kRefusedMarked);
  EXPECT_EQ(test::U(app.BattleList.Rows[2]), "模擬大[×]  3戦目 YOU" + Spaces(15) + " 強襲 → ○ : 黄鬼   ");
  EXPECT_TRUE(app.BattleList.IsSelected(2));
  EXPECT_EQ(app.StatusText, S(kNone));
}

// The player put an older battle back into the count while the newest goes on: whatever the
// next tick brings, the older one leaves the count again and the newest alone counts.
TEST_F(ActiveModeTest, AnOlderBattlePutBackIntoTheCountLeavesItAtTheNextTick) {
  const struct {
    const char* what;
    std::string lines;
    std::vector<TallyState> tallies;  // every battle's afterwards
  } cases[] = {
      {"a line inside the battle", SystemLine("敵船青鬼を撃沈しました！"), {test::kUncounted, test::kCounted}},
      {"the battle's end", SystemLine("青鬼に勝利しました！"), {test::kUncounted, test::kCounted}},
      {"a not-counted notice", SystemLine("すでに何度も対戦した相手なので戦果には加算されません"),
       {test::kUncounted, test::kCounted}},
      {"the next battle's start", SystemLine("青鬼に勝利しました！") + SystemLine("黄鬼の強襲です！"),
       {test::kUncounted, test::kUncounted, test::kCounted}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::WriteBytes(app.CurrentLogPath, SystemLine("赤鬼の強襲です！") + SystemLine("赤鬼に勝利しました！") +
                                             SystemLine("青鬼と交戦に入ります！"));
    app.Acts.ActiveMode.Checked = true;
    ASSERT_TRUE(LoadAndAnalyse(app));
    ASSERT_EQ(app.State.BattleInProgress, BattleKind::Engagement);
    std::fill(app.BattleList.Selected.begin(), app.BattleList.Selected.end(), 0);
    app.BattleList.Select(0);
    CountSelectedBattles(app);
    ASSERT_EQ(app.Battles[0].Tally, test::kCounted);

    test::AppendBytes(app.CurrentLogPath, c.lines);
    TickFollowedLog(app);
    ASSERT_EQ(app.BattleCount(), static_cast<int>(c.tallies.size()));
    for (std::size_t b = 0; b < c.tallies.size(); ++b) EXPECT_EQ(app.Battles[b].Tally, c.tallies[b]) << "battle " << b + 1;
    // The row of the battle taken out shows it so.
    EXPECT_EQ(app.BattleList.Rows[0], BattleLabel(app, 0));
  }
}

// While a battle is open its row shows the in-progress form; a command that relabels it
// meanwhile shows the record as it stands: the start values, with the user's count mark.
TEST_F(ActiveModeTest, RelabellingTheBattleInProgressShowsItsStartValues) {
  test::WriteBytes(app.CurrentLogPath, SystemLine("赤鬼の強襲です！") + SystemLine("赤鬼に勝利しました！"));
  app.Acts.ActiveMode.Checked = true;
  ASSERT_TRUE(LoadAndAnalyse(app));
  test::AppendBytes(app.CurrentLogPath, SystemLine("青鬼と交戦に入ります！") + SystemLine("敵船青鬼を撃沈しました！"));
  TickFollowedLog(app);
  ASSERT_EQ(test::U(app.BattleList.Rows[1]), "<<<   2戦目 戦闘中 >>>");
  ASSERT_EQ(app.BattleList.Selected, (std::vector<char>{0, 1}));

  const struct {
    const char* key;
    void (*command)(App&);
    const char* row;
  } keys[] = {{"Del", UncountSelectedBattles, "海戦大[－]  2戦目 YOU"},
              {"Ins", CountSelectedBattles, "海戦大[集]  2戦目 YOU"}};
  for (const auto& k : keys) {
    SCOPED_TRACE(k.key);
    k.command(app);
    EXPECT_EQ(test::U(app.BattleList.Rows[1]), k.row + Spaces(15) + " 交戦 → × : ???   ");
    EXPECT_EQ(app.BattleList.Selected, (std::vector<char>{0, 1}));
  }
  UncountSelectedBattles(app);
  EXPECT_TRUE(app.TallyTable.Rows.empty());

  // The end of the battle decides its state afresh: counted, in its final form.
  test::AppendBytes(app.CurrentLogPath, SystemLine("青鬼に勝利しました！"));
  TickFollowedLog(app);
  EXPECT_EQ(app.Battles[1].Tally, test::kCounted);
  EXPECT_EQ(test::U(app.BattleList.Rows[1]), "模擬大[集]  2戦目 YOU" + Spaces(15) + " 交戦 → ○ : 青鬼   ");
}

// The counter window shows the score of the battle as the analysis has it, whenever it
// can be seen: after a load, when switched on, and from the first line of a new battle.
TEST_F(ActiveModeTest, TheSinkCounterAlwaysShowsTheAnalysisCounters) {
  const std::string firstBattle = SystemLine("赤鬼の強襲です！") + SystemLine("赤鬼の船が航行不能になりました") +
                                  SystemLine("赤鬼に勝利しました！");
  // A log that ends inside a battle, loaded before active mode is switched on.
  test::WriteBytes(app.CurrentLogPath, firstBattle + SystemLine("青鬼と交戦に入ります！") +
                                           SystemLine("青鬼の船が航行不能になりました"));
  ASSERT_TRUE(LoadAndAnalyse(app));
  SwitchOn();
  EXPECT_EQ(app.SinkCounterText, S("味方 0 - 1 敵"));

  // A new battle starts: 0 - 0 from its first line, not the last battle's score.
  test::AppendBytes(app.CurrentLogPath, SystemLine("青鬼に勝利しました！") + SystemLine("白鬼の強襲です！"));
  TickFollowedLog(app);
  EXPECT_EQ(app.SinkCounterText, S("味方 0 - 0 敵"));

  // Another log dropped while following: its own score, and 0 - 0 for one without any.
  const std::string other = dir.File("other.html");
  test::WriteBytes(other, firstBattle);
  app.CurrentLogPath = other;
  ASSERT_TRUE(LoadAndAnalyse(app));
  EXPECT_EQ(app.SinkCounterText, S("味方 0 - 1 敵"));
  test::WriteBytes(other, SystemLine("赤鬼の強襲です！") + SystemLine("赤鬼に勝利しました！"));
  ASSERT_TRUE(LoadAndAnalyse(app));
  EXPECT_EQ(app.SinkCounterText, S("味方 0 - 0 敵"));
  test::WriteBytes(other, firstBattle);
  ASSERT_TRUE(LoadAndAnalyse(app));
  // A log that does not open: nothing of the old score stays.
  app.CurrentLogPath = dir.File("missing.html");
  EXPECT_FALSE(LoadAndAnalyse(app));
  EXPECT_EQ(app.SinkCounterText, S("味方 0 - 0 敵"));
}

TEST_F(ActiveModeTest, AnUnreadableLogIsReportedAtEveryTickAndFollowedFromItsStartOnceBack) {
  const std::string battle = SystemLine("赤鬼の強襲です！") + SystemLine("赤鬼に勝利しました！");
  test::WriteBytes(app.CurrentLogPath, battle + battle);
  ASSERT_TRUE(LoadAndAnalyse(app));
  std::filesystem::remove(app.CurrentLogPath);
  EXPECT_FALSE(LoadAndAnalyse(app));
  SwitchOn();
  TickFollowedLog(app);
  TickFollowedLog(app);
  EXPECT_EQ(app.ErrorLines, std::vector<std::string>(3, "File Open Error"));
  EXPECT_TRUE(app.TimerRunning);
  // A new log under the name is followed from its first line, not from where the old
  // one's analysis had got to.
  test::WriteBytes(app.CurrentLogPath, battle + battle + battle);
  TickFollowedLog(app);
  EXPECT_EQ(app.BattleCount(), 3);
  EXPECT_EQ(app.AnalysedLineCount, 6);
}

TEST(IntervalFieldTest, ClampsAndRefusesNonNumbers) {
  App app;
  EXPECT_TRUE(SetIntervalText(app, "0"));
  EXPECT_EQ(app.IntervalText, "1");
  EXPECT_EQ(app.TimerIntervalMs, 1000);
  EXPECT_TRUE(SetIntervalText(app, "250"));
  EXPECT_EQ(app.IntervalText, "100");
  EXPECT_EQ(app.TimerIntervalMs, 100000);
  EXPECT_TRUE(SetIntervalText(app, "007"));
  EXPECT_EQ(app.IntervalText, "7");
  EXPECT_FALSE(SetIntervalText(app, ""));
  EXPECT_FALSE(SetIntervalText(app, "5s"));
  EXPECT_FALSE(SetIntervalText(app, "abc"));
  EXPECT_EQ(app.TimerIntervalMs, 7000);
}

// The field's arrows step the interval in force within the rule's range; the text they put
// in the field always sets the period it shows.
TEST(IntervalFieldTest, ArrowsStepWithinTheRule) {
  const struct {
    const char* Held;  // the field's text in force
    int Delta;
    const char* Stepped;
  } cases[] = {
      {"10", 1, "11"},  {"10", -1, "9"},   {"1", -1, "1"},     {"100", 1, "100"},
      {"99", 1, "100"}, {"2", -1, "1"},    {"50", -100, "1"},  {"50", 100, "100"},
      {"", 1, "11"},    {"x", -1, "9"},  // a text that is no number steps from the default
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Held) + " " + std::to_string(c.Delta));
    App app;
    app.IntervalText = c.Held;
    const std::string stepped = SteppedIntervalText(app, c.Delta);
    EXPECT_EQ(stepped, c.Stepped);
    ASSERT_TRUE(SetIntervalText(app, stepped));
    EXPECT_EQ(app.IntervalText, stepped);
    EXPECT_EQ(app.TimerIntervalMs, std::stoi(stepped) * 1000);
  }
  // A program that has just started shows the period in force.
  const App fresh;
  EXPECT_EQ(fresh.TimerIntervalMs, std::stoi(fresh.IntervalText) * 1000);
  EXPECT_EQ(fresh.IntervalText, std::to_string(kDefaultIntervalSeconds));
}

}  // namespace
}  // namespace mizuto
