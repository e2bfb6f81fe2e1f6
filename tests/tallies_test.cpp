#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/owner/result_views.h"
#include "battle/battle_label.h"
#include "support/battle_builder.h"
#include "support/test_support.h"
#include "tally/tallies.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

using test::S;
using test::U;

class TalliesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteListFile(dir.File("SkillList.txt"), {"砲撃", "突撃", "回避"});
    test::WriteListFile(dir.File("ItemList.txt"), {"木材,1", "料理,2"});
    test::SetUpApp(app, dir);
    RebuildTallyColumns(app);
  }
  const TallyRow* RowOf(int n) const {
    for (const TallyRow& row : app.TallyTable.Rows) {
      if (row.NameIndex == n) return &row;
    }
    return nullptr;
  }
  test::TempDir dir;
  App app;
  test::BattleBuilder build{app};
};

// A plain model of one name's totals: every counted battle visited, nothing folded ahead.
struct PlainTotals {
  std::int32_t Present = 0, Battles = 0;
  SideSet Side{};
  RelationSet Relation{};
  std::int32_t Counters[5] = {}, Tenacity = 0, Meals = 0, Skills[3] = {}, Items[2] = {};
};
PlainTotals PlainTotalsOf(const App& app, int n) {
  PlainTotals t;
  for (int b = 0; b < app.BattleCount(); ++b) {
    if (!(app.Battles[static_cast<std::size_t>(b)].Tally == test::kCounted)) continue;
    const NameBattleStats& s = app.Names[n].Stats[b];
    t.Present |= s.Present;
    t.Side |= s.Sides;
    t.Relation |= s.OwnerRelations;
    WrapAdd(t.Battles, s.Present != 0);
    for (int k = 0; k < 5; ++k) WrapAdd(t.Counters[k], s.BattleCounts[static_cast<std::size_t>(k)]);
    WrapAdd(t.Tenacity, s.ExtraCounts[kTenacity]);
    WrapAdd(t.Meals, s.ExtraCounts[kFleetMeals]);
    for (int k = 0; k < 3; ++k) WrapAdd(t.Skills[k], app.Names[n].UsesIn(b, false, k));
    for (int k = 0; k < 2; ++k) WrapAdd(t.Items[k], app.Names[n].UsesIn(b, true, k));
  }
  return t;
}

TEST_F(TalliesTest, OnlyMarkedBattlesTheGameCountsAddToAnyTotal) {
  const int x = build.Name("敵A");
  using test::kCounted;
  struct { BattleResult result; TallyState state; std::int32_t critDealt, critTaken; } battles[] = {
      {BattleResult::Victory, kCounted, 2, 1},   {BattleResult::Defeat, test::kUncounted, 5, 5}, {BattleResult::Draw, test::kRefused, 7, 7},
      {BattleResult::Escaped, test::kRefusedMarked, 9, 9}, {BattleResult::Withdrawn, kCounted, 1, 0}, {BattleResult::Escaped, kCounted, 0, 3},
      {BattleResult::Defeat, kCounted, 4, 4},    {BattleResult::Draw, kCounted, 0, 0}};
  for (const auto& given : battles) {
    const int b = build.Battle(given.result, given.state);
    app.Battles[static_cast<std::size_t>(b)].CriticalsDealt = given.critDealt;
    app.Battles[static_cast<std::size_t>(b)].CriticalsTaken = given.critTaken;
    build.Present(x, b, b % 2 == 0 ? Side::Enemy : Side::Own);
    build.Takes(0, x, b);
    build.At(x, b).ExtraCounts[kTenacity] = 10;
    app.Names[x].AddUse(b, false, 1, 3);
    app.Names[x].AddUse(b, true, 0, 100);
  }
  app.SkillChecked = {1, 1, 0};
  app.ItemChecked = {1, 1};
  RebuildTallyColumns(app);
  RefreshTallies(app);
  // Five counted battles: x was sunk by the owner in each, enemy in even battles and own
  // in odd ones (icon 11: both sides, taken out by the owner).
  ASSERT_NE(RowOf(x), nullptr);
  EXPECT_EQ(RowOf(x)->Cells, (std::vector<std::string>{"5", "0", "0", "5", "0", "0", "50", "0", "0", "15", "500", "0"}));
  EXPECT_EQ(RowOf(x)->Icon, 11);
  ASSERT_NE(RowOf(0), nullptr);
  EXPECT_EQ(RowOf(0)->Cells[1], "5");
  EXPECT_EQ(U(SummaryLine(app)).find("   5戦   1勝   1敗   3分(逃げられ:1 撤退:1)"), 0u);
  EXPECT_NE(U(SummaryLine(app)).find("[クリティカル:  7 /  8]"), std::string::npos);

  // Including the battles the game did not count gives state 3, which still counts nowhere;
  // the others are excluded.
  for (BattleRecord& r : app.Battles) r.Tally = r.Tally.GameSaysNotCounted ? test::kRefusedMarked : test::kUncounted;
  EXPECT_FALSE(CountedBattle(app.Battles[2]));
  RefreshTallies(app);
  EXPECT_TRUE(app.TallyTable.Rows.empty());
  EXPECT_EQ(app.Grid.RowCount, 1);
}

// The refresh folds every name's totals in one pass over the battles; it must show exactly
// what a plain sum over the battles gives, whatever the data.
TEST_F(TalliesTest, RefreshShowsWhatAPlainSumGivesForEveryCell) {
  std::mt19937 random(20240611);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  for (int n = 1; n < 40; ++n) build.Name("名" + std::to_string(n));
  const TallyState tallies[] = {test::kUncounted, test::kCounted, test::kRefused, test::kRefusedMarked};
  for (int b = 0; b < 60; ++b) build.Battle(ResultFromStored(pick(0, 4)), tallies[pick(0, 3)]);
  for (int n = 0; n < app.NameCount(); ++n) {
    for (int b = 0; b < app.BattleCount(); ++b) {
      if (pick(0, 2) != 0) continue;
      NameBattleStats& s = build.At(n, b);
      s.Present = 1;
      s.Sides = SideSet::FromStored(pick(0, 3));  // none, own, enemy or both
      s.OwnerRelations = RelationSet::FromStored(pick(0, 3));
      for (auto& c : s.BattleCounts) c = pick(0, 3);
      for (auto& c : s.ExtraCounts) c = pick(-2, 5);
      if (pick(0, 50) == 0) s.BattleCounts[kSinksDealt] = 2147483000;  // sums wrap alike
      for (int k = 0; k < 3; ++k) {
        if (pick(0, 3) == 0) app.Names[n].AddUse(b, pick(0, 1) == 1, pick(0, 2), pick(1, 4));
      }
    }
    if (pick(0, 5) == 0) app.Names[n].Visible = 0;
  }
  app.SkillChecked = {1, 0, 1};
  app.ItemChecked = {1, 1};
  RebuildTallyColumns(app);
  RefreshTallies(app);

  std::vector<int> expectedOrder;
  for (int n = 0; n < app.NameCount(); ++n) {
    if (app.Names[n].Visible != 0 && PlainTotalsOf(app, n).Present != 0) expectedOrder.push_back(n);
  }
  ASSERT_FALSE(expectedOrder.empty());
  ASSERT_EQ(app.TallyTable.Rows.size(), expectedOrder.size());
  for (std::size_t i = 0; i < expectedOrder.size(); ++i) {
    const TallyRow& row = app.TallyTable.Rows[i];
    const int n = expectedOrder[i];
    const PlainTotals t = PlainTotalsOf(app, n);
    ASSERT_EQ(row.NameIndex, n);
    EXPECT_EQ(row.Caption, app.Names[n].Name);
    EXPECT_EQ(row.Icon, TallyIcon(t.Side, t.Relation));
    const std::vector<std::int32_t> expected = {
        t.Battles, t.Counters[kSinksDealt], t.Counters[kDecisive], t.Counters[kSinksTaken],
        t.Counters[kCapturesDealt], t.Counters[kCapturesTaken], t.Tenacity, t.Meals,
        t.Skills[0], t.Skills[2], t.Items[0], t.Items[1]};
    ASSERT_EQ(row.Cells.size(), expected.size());
    for (std::size_t c = 0; c < expected.size(); ++c) {
      EXPECT_EQ(row.Cells[c], std::to_string(expected[c])) << "name " << n << " column " << c + 1;
    }
  }
}

TEST_F(TalliesTest, AveragesFollowTheirSwitchesAndFormats) {
  const int x = build.Name("Taro");
  for (int i = 0; i < 3; ++i) build.Present(x, build.Battle(), Side::Enemy);
  build.Takes(x, 0, 0);
  build.Takes(x, 0, 1, /*capture=*/true);
  build.Takes(x, 0, 2, /*capture=*/true);
  build.At(x, 1).ExtraCounts[kTenacity] = 1;
  build.At(x, 2).ExtraCounts[kFleetMeals] = 2;
  app.Names[x].AddUse(0, false, 0, 1);
  app.SkillChecked[0] = 1;
  RebuildTallyColumns(app);
  const std::vector<std::string> plain = {"3", "1", "0", "0", "2", "0", "1", "2", "1"};

  RefreshTallies(app);
  ASSERT_NE(RowOf(x), nullptr);
  EXPECT_EQ(RowOf(x)->Cells, plain);

  app.Acts.AvgHitDown.Checked = true;
  RefreshTallies(app);
  EXPECT_EQ(RowOf(x)->Cells,
            (std::vector<std::string>{"3", "33.3%", "0.0%", "0.0%", "66.7%", "0.0%", "1", "2", "1"}));

  app.Acts.AvgHitDown.Checked = false;
  app.Acts.AvgSkillItem.Checked = true;
  RefreshTallies(app);
  EXPECT_EQ(RowOf(x)->Cells,
            (std::vector<std::string>{"3", "1", "0", "0", "2", "0", "0.33", "0.67", "0.33"}));

  // A fourth battle: 2 captures in 4 battles.
  app.Acts.AvgHitDown.Checked = true;
  build.Present(x, build.Battle(), Side::Enemy);
  RefreshTallies(app);
  EXPECT_EQ(RowOf(x)->Cells,
            (std::vector<std::string>{"4", "25.0%", "0.0%", "0.0%", "50.0%", "0.0%", "0.25", "0.50", "0.25"}));

  app.Acts.AvgHitDown.Checked = false;
  app.Acts.AvgSkillItem.Checked = false;
  build.Battle();
  RefreshTallies(app);
  EXPECT_EQ(RowOf(x)->Cells[0], "4");  // absent from the fifth battle
  EXPECT_EQ(RowOf(0)->Cells[0], "5");
}

TEST_F(TalliesTest, ColumnsAreFixedThenCheckedSkillsThenCheckedItemsInListOrder) {
  auto captions = [&] {
    std::vector<std::string> out;
    for (const TallyColumn& c : app.TallyTable.Columns) out.push_back(U(c.Caption));
    return out;
  };
  const std::vector<std::string> fixed = {"名前", "戦闘数", "与撃沈", "決定", "被撃沈",
                                          "与拿捕", "被拿捕", "粘り", "艦隊料理"};
  EXPECT_EQ(captions(), fixed);
  EXPECT_FALSE(app.TallyTable.Columns[0].RightAligned);
  for (std::size_t c = 1; c < fixed.size(); ++c) EXPECT_TRUE(app.TallyTable.Columns[c].RightAligned);

  // Checked in the order: item 2, skill 3, skill 1.
  app.ItemChecked[1] = 1;
  app.SkillChecked[2] = 1;
  app.SkillChecked[0] = 1;
  RebuildTallyColumns(app);
  std::vector<std::string> expected = fixed;
  for (const char* extra : {"砲撃", "回避", "料理"}) expected.push_back(extra);
  EXPECT_EQ(captions(), expected);
  EXPECT_TRUE(app.TallyTable.Columns.back().RightAligned);

  // The cells line up with the columns.
  const int x = build.Name("Taro");
  const int b = build.Battle();
  build.Present(x, b, Side::Enemy);
  app.Names[x].AddUse(b, false, 2, 7);
  app.Names[x].AddUse(b, true, 1, 4);
  app.Names[x].AddUse(b, false, 1, 99);  // not checked: no column
  RefreshTallies(app);
  ASSERT_NE(RowOf(x), nullptr);
  const std::vector<std::string>& cells = RowOf(x)->Cells;
  ASSERT_EQ(cells.size(), app.TallyTable.Columns.size() - 1);
  EXPECT_EQ(cells[8], "0");
  EXPECT_EQ(cells[9], "7");
  EXPECT_EQ(cells[10], "4");
}

TEST_F(TalliesTest, RefreshRebuildsRowsInNameOrderAndEndsWithTheSummary) {
  std::vector<std::string> statuses;
  app.OnStatusChanged = [&] { statuses.push_back(app.StatusText); };
  const int onlyUncounted = build.Name("Jiro");
  const int hidden = build.Name("Saburo");
  const int friendly = build.Name("Hanako");
  const int enemy = build.Name("Taro");
  const int counted = build.Battle(BattleResult::Victory, test::kCounted);
  const int excluded = build.Battle(BattleResult::Defeat, test::kUncounted);
  build.Present(enemy, counted, Side::Enemy);
  build.Present(friendly, counted, Side::Own);
  build.Present(hidden, counted, Side::Enemy);
  build.Present(onlyUncounted, excluded, Side::Enemy);
  build.Takes(0, enemy, counted);
  build.Takes(enemy, friendly, counted);
  app.Names[hidden].Visible = 0;
  app.TallyTable.Rows.push_back(TallyRow{});  // left over from before
  app.Acts.PlayerHide.Enabled = true;

  RefreshTallies(app);
  std::vector<int> order;
  for (const TallyRow& row : app.TallyTable.Rows) order.push_back(row.NameIndex);
  EXPECT_EQ(order, (std::vector<int>{0, friendly, enemy}));
  EXPECT_EQ(RowOf(0)->Icon, 1);
  EXPECT_EQ(RowOf(friendly)->Icon, 1);
  EXPECT_EQ(RowOf(enemy)->Icon, 8);
  EXPECT_FALSE(app.Acts.PlayerHide.Enabled);
  ASSERT_EQ(statuses.size(), 2u);
  EXPECT_EQ(statuses[0], SJ("集計中･･･"));
  EXPECT_EQ(statuses[1], SummaryLine(app));
  EXPECT_EQ(app.StatusText, SummaryLine(app));

  // The owner has no row when he took part in no counted battle.
  app.Battles[static_cast<std::size_t>(counted)].Tally = test::kUncounted;
  RefreshTallies(app);
  EXPECT_TRUE(app.TallyTable.Rows.empty());
}

}  // namespace
}  // namespace mizuto
