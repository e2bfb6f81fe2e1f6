#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/owner/analysis_driver.h"
#include "app/owner/result_views.h"
#include "support/battle_builder.h"
#include "support/test_support.h"
#include "tally/battle_list_view.h"
#include "tally/head_to_head.h"
#include "tally/tallies.h"
#include "tally/tally_table.h"

namespace mizuto {
namespace {

using test::S;
using test::U;

class HeadToHeadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::SetUpApp(app, dir);
    RebuildTallyColumns(app);
  }
  // The grid as UTF-8 rows, row 0 first.
  std::vector<std::vector<std::string>> Grid() const {
    std::vector<std::vector<std::string>> out;
    for (int r = 0; r < app.Grid.RowCount; ++r) {
      out.emplace_back();
      for (int c = 0; c < app.Grid.ColCount; ++c) out.back().push_back(U(app.Grid.Cell(c, r)));
    }
    return out;
  }
  test::TempDir dir;
  App app;
  test::BattleBuilder build{app};
};

using Rows = std::vector<std::vector<std::string>>;

TEST_F(HeadToHeadTest, TakersAreRowsVictimsAreColumnsAndTheDiagonalIsADash) {
  const int a = build.Name("甲"), b = build.Name("乙"), c = build.Name("丙");
  for (int i = 0; i < 4; ++i) build.Battle(BattleResult::Victory, i == 3 ? test::kUncounted : test::kCounted);
  for (int i = 0; i < 4; ++i) {
    for (int n : {a, b, c}) build.Present(n, i, Side::Enemy);
  }
  build.Takes(0, a, 0);
  build.Takes(a, b, 0);
  build.Takes(a, b, 1, /*capture=*/true);  // a capture counts in the cell like a sink
  build.Takes(b, a, 2);
  build.Takes(c, 0, 2);
  build.Takes(a, c, 3);  // not counted: 丙 was never taken out in a counted battle

  RefreshTallies(app);
  EXPECT_EQ(Grid(), (Rows{{"", "YOU", "甲", "乙"},
                          {"YOU", "-", "1", "0"},
                          {"甲", "0", "-", "2"},
                          {"乙", "0", "1", "-"},
                          {"丙", "1", "0", "0"}}));

  // A hidden player has neither row nor column, and his takes count nowhere.
  app.Names[b].Visible = 0;
  RefreshTallies(app);
  EXPECT_EQ(Grid(), (Rows{{"", "YOU", "甲"}, {"YOU", "-", "1"}, {"甲", "0", "-"}, {"丙", "1", "0"}}));

  // A player recorded as his own taker turns his diagonal cell into a count.
  build.Takes(a, a, 1);
  RefreshTallies(app);
  EXPECT_EQ(Grid()[2], (std::vector<std::string>{"甲", "0", "1"}));

  // Without a counted battle only the header cell is left.
  for (BattleRecord& r : app.Battles) r.Tally = test::kUncounted;
  RefreshTallies(app);
  EXPECT_EQ(app.Grid.ColCount, 1);
  EXPECT_EQ(app.Grid.RowCount, 1);
  FillHeadToHead(app, app.Grid);
  EXPECT_EQ(app.Grid.ColCount, 1);
  EXPECT_EQ(app.Grid.RowCount, 1);
}

TEST_F(HeadToHeadTest, OnlyTakersOrOnlyVictimsGiveOneHeaderLine) {
  const int a = build.Name("甲");
  const int b0 = build.Battle();
  build.Present(a, b0, Side::Enemy);
  // The owner's sink is recorded without a victim in the table (say, a ship of an NPC
  // fleet the analysis did not keep): a row, but no column.
  ++build.At(0, b0).BattleCounts[kSinksDealt];
  RefreshTallies(app);
  EXPECT_EQ(Grid(), (Rows{{""}, {"YOU"}}));

  build.At(0, b0).BattleCounts[kSinksDealt] = 0;
  ++build.At(a, b0).BattleCounts[kSinksTaken];
  RefreshTallies(app);
  EXPECT_EQ(Grid(), (Rows{{"", "甲"}}));
}

// A victim whose name is empty (the owner without a user name) must keep counting, and a
// refresh must never add names to the table.
TEST_F(HeadToHeadTest, AnEmptyVictimNameNeitherGrowsTheNameTableNorLosesItsTakes) {
  app.UserName.clear();
  ResetAnalysis(app);
  const int a = build.Name("甲");
  const int b0 = build.Battle(BattleResult::Defeat);
  build.Present(a, b0, Side::Enemy);
  build.Takes(a, 0, b0);
  const int names = app.NameCount();
  for (int i = 0; i < 5; ++i) RefreshTallies(app);
  EXPECT_EQ(app.NameCount(), names);
  EXPECT_EQ(Grid(), (Rows{{"", ""}, {"甲", "1"}}));
}

// A take is credited to every row that shows the taker's name: two takers with one text
// (the owner without a user name and a name lost from a garbled line, or two records of
// one name) both count both takes.
TEST_F(HeadToHeadTest, RowsAreMatchedByTheTakersNameText) {
  for (const char* text : {"", "乙"}) {
    SCOPED_TRACE(text);
    app.UserName = S(text);
    ResetAnalysis(app);
    app.BattleList.Clear();
    const int victim = build.Name("甲");
    const int first = *text == '\0' ? 0 : build.Name(text);
    const int second = app.Names.Add(S(text), 0, 0);
    ASSERT_NE(first, second);
    const int b0 = build.Battle(), b1 = build.Battle();
    build.Present(victim, b0, Side::Enemy);
    build.Present(victim, b1, Side::Enemy);
    build.Present(first, b0, Side::Own);
    build.Present(second, b1, Side::Own);
    build.Takes(first, victim, b0);
    build.Takes(second, victim, b1);
    RefreshTallies(app);
    EXPECT_EQ(Grid(), (Rows{{"", "甲"}, {text, "2"}, {text, "2"}}));
  }
}

TEST_F(HeadToHeadTest, HintSumsTheSelectedCountedBattlesOnly) {
  using test::kCounted;
  const struct { BattleResult result; TallyState state; } battles[] = {
      {BattleResult::Victory, kCounted},          {BattleResult::Defeat, kCounted},          {BattleResult::Escaped, kCounted},
      {BattleResult::Withdrawn, kCounted},        {BattleResult::Draw, kCounted},            {BattleResult::Victory, test::kUncounted},
      {BattleResult::Victory, test::kRefused},    {BattleResult::Victory, test::kRefusedMarked}, {BattleResult::Victory, kCounted},
      {BattleResult::Escaped, kCounted}};
  for (const auto& b : battles) build.Battle(b.result, b.state);
  auto selectOnly = [&](std::vector<int> rows) {
    std::fill(app.BattleList.Selected.begin(), app.BattleList.Selected.end(), 0);
    for (int r : rows) app.BattleList.Select(r);
    SelectBattles(app);
  };
  app.BattleList.Hint = "old";
  selectOnly({5, 6, 7});  // nothing counted selected: the hint stays
  EXPECT_EQ(app.BattleList.Hint, "old");

  selectOnly({0, 1, 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(U(app.BattleList.Hint), "1勝 1敗 3分(逃げられ:1 撤退:1)");
  selectOnly({0, 8, 1, 2, 4, 9});
  EXPECT_EQ(U(app.BattleList.Hint), "2勝 1敗 3分(逃げられ:2 撤退:0)");
  selectOnly({4});  // a plain draw is neither an escape nor a withdrawal
  EXPECT_EQ(U(app.BattleList.Hint), "0勝 0敗 1分(逃げられ:0 撤退:0)");
  selectOnly({6, 7});
  EXPECT_EQ(U(app.BattleList.Hint), "0勝 0敗 1分(逃げられ:0 撤退:0)");
}

}  // namespace
}  // namespace mizuto
