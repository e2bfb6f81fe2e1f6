#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "app/owner/result_views.h"
#include "support/battle_builder.h"
#include "support/test_support.h"
#include "tally/tallies.h"
#include "tally/tally_table.h"

namespace mizuto {
namespace {

using test::U;

constexpr int kNameColumn = 0, kSinksDealtColumn = 2, kSinksTakenColumn = 4;

class TallyTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::SetUpApp(app, dir);
    RebuildTallyColumns(app);
  }
  // One player per icon kind, with chosen sinks dealt and taken, all in one counted battle.
  void AddPlayers() {
    const int b = build.Battle();
    struct { const char* name; int side, relation, dealt, taken; } players[] = {
        {"味方", 1, 0, 3, 1}, {"敵", 2, 0, 5, 0}, {"仇", 2, 2, 0, 2}, {"獲物", 2, 1, 3, 9},
        {"両方", 3, 0, 1, 1}, {"不明", 0, 0, 0, 0}};
    build.At(0, b).BattleCounts[kSinksDealt] = 4;
    for (const auto& p : players) {
      const int n = build.Name(p.name);
      build.PresentOnSides(n, b, SideSet::FromStored(p.side));
      build.At(n, b).OwnerRelations = RelationSet::FromStored(p.relation);
      build.At(n, b).BattleCounts[kSinksDealt] = p.dealt;
      build.At(n, b).BattleCounts[kSinksTaken] = p.taken;
    }
    RefreshTallies(app);
  }
  std::vector<std::string> Shown() const {
    std::vector<std::string> out;
    for (const TallyRow& row : app.TallyTable.Rows) out.push_back(U(row.Caption));
    return out;
  }
  test::TempDir dir;
  App app;
  test::BattleBuilder build{app};
};

using Names = std::vector<std::string>;

TEST_F(TallyTableTest, HeaderClicksFlipTheDirectionOnlyOnTheSameColumn) {
  AddPlayers();
  EXPECT_EQ(Shown(), (Names{"YOU", "味方", "敵", "仇", "獲物", "両方", "不明"}));

  // The sort state starts at column 0, so the very first click on the name column counts as
  // a second one: friends first.
  SortTallyByColumn(app, kNameColumn);
  EXPECT_EQ(Shown(), (Names{"YOU", "味方", "両方", "獲物", "仇", "敵", "不明"}));

  SortTallyByColumn(app, kSinksDealtColumn);  // largest first; ties keep their order
  EXPECT_EQ(Shown(), (Names{"敵", "YOU", "味方", "獲物", "両方", "仇", "不明"}));
  SortTallyByColumn(app, kSinksDealtColumn);  // then smallest first
  EXPECT_EQ(Shown(), (Names{"仇", "不明", "両方", "味方", "獲物", "YOU", "敵"}));
  SortTallyByColumn(app, kSinksTakenColumn);  // another column: largest first again
  EXPECT_EQ(Shown(), (Names{"獲物", "仇", "両方", "味方", "不明", "YOU", "敵"}));

  // The name column after another one: no side and enemies first.
  SortTallyByColumn(app, kNameColumn);
  EXPECT_EQ(Shown(), (Names{"不明", "敵", "仇", "獲物", "両方", "味方", "YOU"}));
  EXPECT_EQ(app.TallyTable.SortColumn, kNameColumn);
  EXPECT_EQ(app.TallyTable.PreviousSortColumn, kNameColumn);
  EXPECT_EQ(app.TallyTable.SortReversed, 0);

  // A rebuild of the rows (a tick, Insert/Delete, hiding) keeps them sorted as the player
  // left them, and the sort state as it was: the next click on the same column flips.
  RefreshTallies(app);  // equal ranks in name order, as the rows are built
  EXPECT_EQ(Shown(), (Names{"不明", "敵", "仇", "獲物", "両方", "YOU", "味方"}));
  EXPECT_EQ(app.TallyTable.SortReversed, 0);
  EXPECT_FALSE(TallySortIsDescending(app.TallyTable));
  SortTallyByColumn(app, kNameColumn);
  EXPECT_EQ(Shown(), (Names{"YOU", "味方", "両方", "獲物", "仇", "敵", "不明"}));
  EXPECT_TRUE(TallySortIsDescending(app.TallyTable));
  SortTallyByColumn(app, kSinksDealtColumn);
  EXPECT_TRUE(TallySortIsDescending(app.TallyTable));  // largest first
  RefreshTallies(app);
  EXPECT_EQ(Shown(), (Names{"敵", "YOU", "味方", "獲物", "両方", "仇", "不明"}));
}

// Rows that no header click sorted come in name order, rebuild after rebuild: the report,
// which never sorts, lists its tallies so.
TEST_F(TallyTableTest, UnsortedRowsStayInNameOrder) {
  AddPlayers();
  EXPECT_FALSE(app.TallyTable.Sorted);
  RefreshTallies(app);
  EXPECT_EQ(Shown(), (Names{"YOU", "味方", "敵", "仇", "獲物", "両方", "不明"}));
}

// Every combination of sides and relations to the owner gets its icon, and the name column
// sorts by the icon's rank, not by the icon's number.
TEST_F(TallyTableTest, RowIconsAndTheirSortRanks) {
  const struct {
    const char* name;
    int side, relation, icon, rank;
  } players[] = {
      {"s0r0", 0, 0, 0, 0},  {"s0r3", 0, 3, 0, 0},  {"s1r0", 1, 0, 1, 12}, {"s1r3", 1, 3, 1, 12},
      {"s2r0", 2, 0, 2, 1},  {"s2r1", 2, 1, 8, 8},  {"s2r2", 2, 2, 9, 2},  {"s2r3", 2, 3, 10, 5},
      {"s3r0", 3, 0, 3, 11}, {"s3r1", 3, 1, 11, 9}, {"s3r2", 3, 2, 12, 3}, {"s3r3", 3, 3, 13, 6},
  };
  // The bits are ORed over the counted battles: split each player's bits over two of them.
  const int b0 = build.Battle(), b1 = build.Battle();
  for (const auto& p : players) {
    const int n = build.Name(p.name);
    build.PresentOnSides(n, b0, SideSet::FromStored(p.side & 1));
    build.PresentOnSides(n, b1, SideSet::FromStored(p.side & 2));
    build.At(n, b0).OwnerRelations = RelationSet::FromStored(p.relation & 2);
    build.At(n, b1).OwnerRelations = RelationSet::FromStored(p.relation & 1);
  }
  RefreshTallies(app);
  ASSERT_EQ(app.TallyTable.Rows.size(), std::size(players) + 1);
  for (std::size_t i = 0; i < std::size(players); ++i) {
    const TallyRow& row = app.TallyTable.Rows[i + 1];
    EXPECT_EQ(U(row.Caption), players[i].name);
    EXPECT_EQ(row.Icon, players[i].icon) << players[i].name;
    EXPECT_EQ(IconSortRank(row.Icon), players[i].rank) << players[i].name;
  }

  SortTallyByColumn(app, kSinksDealtColumn);
  SortTallyByColumn(app, kNameColumn);  // ascending rank; equal ranks keep their order
  EXPECT_EQ(Shown(), (Names{"s0r0", "s0r3", "s2r0", "s2r2", "s3r2", "s2r3", "s3r3", "s2r1", "s3r1",
                            "s3r0", "YOU", "s1r0", "s1r3"}));
  SortTallyByColumn(app, kNameColumn);
  EXPECT_EQ(Shown(), (Names{"YOU", "s1r0", "s1r3", "s3r0", "s3r1", "s2r1", "s3r3", "s2r3", "s3r2",
                            "s2r2", "s2r0", "s0r0", "s0r3"}));
}

TEST_F(TallyTableTest, NumericColumnsCompareTheShownNumbersInSinglePrecision) {
  const int b0 = build.Battle(), b1 = build.Battle(), b2 = build.Battle(), b3 = build.Battle();
  const int third = build.Name("三分の一"), quarter = build.Name("四分の一"), all = build.Name("全部");
  for (int b : {b0, b1, b2}) build.Present(third, b, Side::Enemy);
  for (int b : {b0, b1, b2, b3}) build.Present(quarter, b, Side::Enemy);
  build.Present(all, b3, Side::Enemy);
  build.At(third, b0).BattleCounts[kSinksDealt] = 1;
  build.At(quarter, b0).BattleCounts[kSinksDealt] = 1;
  build.At(all, b3).BattleCounts[kSinksDealt] = 1;
  app.Acts.AvgHitDown.Checked = true;
  RefreshTallies(app);
  ASSERT_EQ(app.TallyTable.Rows[1].Cells[1], "33.3%");
  SortTallyByColumn(app, kSinksDealtColumn);
  // 100.0% > 33.3% > 25.0% > 0.0%: numbers, not texts, and the "%" ignored.
  EXPECT_EQ(Shown(), (Names{"全部", "三分の一", "四分の一", "YOU"}));

  // 16777217 and 16777216 are one value in single precision: a tie, left in place.
  app.Acts.AvgHitDown.Checked = false;
  build.At(third, b0).BattleCounts[kSinksDealt] = 16777216;
  build.At(quarter, b0).BattleCounts[kSinksDealt] = 16777217;
  build.At(all, b3).BattleCounts[kSinksDealt] = 9;
  build.At(0, b3).BattleCounts[kSinksDealt] = 10;
  RefreshTallies(app);
  SortTallyByColumn(app, kSinksDealtColumn);  // the same column again: smallest first
  EXPECT_EQ(Shown(), (Names{"全部", "YOU", "三分の一", "四分の一"}));
  SortTallyByColumn(app, kSinksDealtColumn);
  EXPECT_EQ(Shown(), (Names{"三分の一", "四分の一", "YOU", "全部"}));
}

TEST_F(TallyTableTest, HidingAndShowingPlayers) {
  AddPlayers();
  EXPECT_FALSE(app.Acts.PlayerHide.Enabled);
  EXPECT_FALSE(app.Acts.PlayerAll.Enabled);

  // Any selection change enables hiding; with nothing selected it does nothing.
  SelectTallyRows(app);
  EXPECT_TRUE(app.Acts.PlayerHide.Enabled);
  HideSelectedTallyPlayers(app);
  EXPECT_EQ(app.TallyTable.Rows.size(), 7u);
  EXPECT_TRUE(app.Acts.PlayerHide.Enabled);
  EXPECT_FALSE(app.Acts.PlayerAll.Enabled);

  SortTallyByColumn(app, kSinksDealtColumn);  // hiding works on sorted rows too
  app.TallyTable.Rows[0].Selected = true;         // 敵
  app.TallyTable.Rows[3].Selected = true;         // 獲物
  SelectTallyRows(app);
  HideSelectedTallyPlayers(app);
  EXPECT_EQ(Shown(), (Names{"YOU", "味方", "両方", "仇", "不明"}));  // still sorted
  EXPECT_FALSE(app.Acts.PlayerHide.Enabled);
  EXPECT_TRUE(app.Acts.PlayerAll.Enabled);
  for (int r = 0; r < app.Grid.RowCount; ++r) {
    EXPECT_NE(U(app.Grid.Cell(0, r)), "敵");
    EXPECT_NE(U(app.Grid.Cell(0, r)), "獲物");
  }
  for (int c = 0; c < app.Grid.ColCount; ++c) EXPECT_NE(U(app.Grid.Cell(c, 0)), "獲物");

  ShowAllTallyPlayers(app);
  EXPECT_EQ(app.TallyTable.Rows.size(), 7u);
  EXPECT_FALSE(app.Acts.PlayerAll.Enabled);
}

}  // namespace
}  // namespace mizuto
