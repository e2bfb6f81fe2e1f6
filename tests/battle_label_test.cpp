#include <gtest/gtest.h>

#include <string>

#include "app/owner/app.h"
#include "battle/battle_label.h"
#include "tally/battle_list_view.h"
#include "support/test_support.h"

namespace mizuto {
namespace {

using test::S;
using test::U;

class Labels : public ::testing::Test {
 protected:
  void SetUp() override { test::SetUpApp(app_, dir_); }
  BattleRecord& AddBattle(int admiral, int opponent) {
    BattleRecord& r = app_.Battles.emplace_back();
    r.Kind = BattleKind::Assault;
    r.Class = kFirstBattleClass;
    r.Admiral = admiral;
    r.Opponent = opponent;
    return r;
  }
  int AddName(const std::string& sjis) { return app_.Names.Add(sjis, 0, 0); }
  std::string Label(int i) const { return U(BattleLabel(app_, i)); }

  test::TempDir dir_;
  App app_;
};

TEST_F(Labels, AdmiralColumnOpponentAndOddRecords) {
  const int twenty = AddName("ABCDEFGHIJKLMNOPQRST");
  const int straddling = AddName("ABCDEFGHIJKLMNOPQ" + S("あい"));
  const int foe = AddName("Foe%s");  // a name is never taken as a format
  AddBattle(twenty, foe);
  AddBattle(straddling, foe);
  AddBattle(-1, -1);
  EXPECT_EQ(Label(0), "模擬大[集]  1戦目 ABCDEFGHIJKLMNOPQR 強襲 → × : Foe%s   ");
  // The column is cut in bytes: the lead byte of "あ" stays.
  EXPECT_EQ(BattleLabel(app_, 1),
            S("模擬大[集]  2戦目 ") + "ABCDEFGHIJKLMNOPQ\x82" + S(" 強襲 → × : Foe%s   "));
  EXPECT_EQ(Label(2), "模擬大[集]  3戦目" + std::string(20, ' ') + "強襲 → × : ???   ");

  // A camp battle whose type is no longer "ＢＣ" has no kind label and shows no points.
  BattleRecord& camp = AddBattle(0, foe);
  camp.Kind = BattleKind::Camp;
  camp.Class = BattleClass{ShipSize::Small, BattleType::Real, true};
  camp.Tally = test::kUncounted;
  camp.Result = BattleResult::Draw;
  camp.OwnPoints = 12;
  EXPECT_EQ(Label(3), "実戦小[－]  4戦目 YOU" + std::string(17, ' ') + "→ － : Foe%s (NPC) ");

  // The in-progress form; a row index past the list gives an empty text.
  EXPECT_EQ(test::U(InProgressLabel(4)), "<<<   5戦目 戦闘中 >>>");
  EXPECT_EQ(BattleLabel(app_, 4), "");
  EXPECT_EQ(BattleLabel(app_, -1), "");
}

TEST_F(Labels, SummaryCountsOnlyBattlesIncludedExactlyOnce) {
  EXPECT_EQ(SummaryLine(app_),
            S("   0戦   0勝   0敗   0分(逃げられ:0 撤退:0) [クリティカル:  0 /  0] "
              "[無駄な努力 修理:  0 外科､救助:  0 その他:  0]"));

  const BattleResult results[] = {BattleResult::Victory,   BattleResult::Victory, BattleResult::Defeat,  BattleResult::Escaped,
                         BattleResult::Withdrawn, BattleResult::Draw,    BattleResult::Victory, BattleResult::Defeat};
  const TallyState states[] = {test::kCounted, test::kCounted, test::kCounted,       test::kCounted,
                               test::kCounted, test::kCounted, test::kRefusedMarked, test::kRefused};
  for (int b = 0; b < 8; ++b) {
    BattleRecord& r = AddBattle(0, -1);
    r.Result = results[b];
    r.Tally = states[b];
    r.CriticalsDealt = 10;
    r.CriticalsTaken = 1;
    NameBattleStats* owner = app_.Names.Stats(0, b);
    owner->ExtraCounts[kWastedRepairs] = 1;
    owner->ExtraCounts[kWastedCare] = 2;
    owner->ExtraCounts[kWastedOther] = 100;
  }
  // Only the owner's wasted efforts count.
  app_.Names.Stats(AddName("Other"), 0)->ExtraCounts[kWastedRepairs] = 50;
  EXPECT_EQ(SummaryLine(app_),
            S("   6戦   2勝   1敗   3分(逃げられ:1 撤退:1) [クリティカル: 60 /  6] "
              "[無駄な努力 修理:  6 外科､救助: 12 その他:600]"));
}

// The battle still being fought (the last one while the analysis is inside a battle) has
// the result's start value, a defeat: it counts in 戦 and in none of 勝, 敗 and 分, in the
// summary line and in the battle list's hint alike. Once the battle has ended it counts.
TEST_F(Labels, ABattleStillBeingFoughtCountsAsFoughtButNotAsLost) {
  const struct {
    const char* what;
    std::vector<BattleResult> results;     // the last is the one that may be in progress
    std::optional<BattleKind> inProgress;  // the analysis state's BattleInProgress
    const char* summary;                // the summary line's start
    const char* hint;                   // every battle selected
  } cases[] = {
      {"won, then fighting", {BattleResult::Victory, BattleResult::Defeat}, BattleKind::Assault, "   2戦   1勝   0敗   0分", "1勝 0敗 0分"},
      {"won, then lost", {BattleResult::Victory, BattleResult::Defeat}, std::nullopt, "   2戦   1勝   1敗   0分", "1勝 1敗 0分"},
      {"lost, then fighting", {BattleResult::Defeat, BattleResult::Defeat}, BattleKind::Engagement, "   2戦   0勝   1敗   0分", "0勝 1敗 0分"},
      {"fighting the first camp battle", {BattleResult::Defeat}, BattleKind::Camp, "   1戦   0勝   0敗   0分", "0勝 0敗 0分"},
      {"escaped, then fighting", {BattleResult::Escaped, BattleResult::Defeat}, BattleKind::Reinforcement, "   2戦   0勝   0敗   1分", "0勝 0敗 1分"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    app_.Battles.clear();
    app_.BattleList.Clear();
    for (BattleResult result : c.results) {
      AddBattle(0, -1).Result = result;
      app_.BattleList.Append("row");
      app_.BattleList.Select(app_.BattleList.Count() - 1);
    }
    app_.State.BattleInProgress = c.inProgress;
    EXPECT_EQ(U(SummaryLine(app_)).rfind(c.summary, 0), 0u) << U(SummaryLine(app_));
    ShowBattleListHint(app_, app_.BattleList);
    EXPECT_EQ(U(app_.BattleList.Hint).rfind(c.hint, 0), 0u) << U(app_.BattleList.Hint);
  }
}

}  // namespace
}  // namespace mizuto
