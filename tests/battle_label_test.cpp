#include <gtest/gtest.h>

#include <string>

#include "app/app.h"
#include "battle/battle_label.h"
#include "support/test_support.h"

namespace mizuto {
namespace {

using test::S;
using test::U;

std::string Spaces(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

class Labels : public ::testing::Test {
 protected:
  void SetUp() override { test::SetUpApp(app_, dir_); }

  BattleRecord& AddBattle(int admiral, int opponent) {
    app_.Battles.emplace_back();
    BattleRecord& r = app_.Battles.back();
    r.Kind = kAssault;
    r.ClassWord = 0x102;
    r.Admiral = admiral;
    r.Opponent = opponent;
    return r;
  }
  int AddName(const std::string& sjis) {
    return app_.Names.Add(sjis, 0, 0);
  }
  void ExpectLabel(int i, const std::string& utf8) const {
    const std::string label = BattleLabel(app_, i);
    EXPECT_EQ(label, S(utf8)) << U(label);
  }

  test::TempDir dir_;
  App app_;
};

TEST_F(Labels, InProgressFormOnlyForTheBattleBeingCreated) {
  for (int b = 0; b < 4; ++b) AddBattle(0, -1);
  app_.State.BattleInProgress = kAssault;
  ExpectLabel(4, "<<<   5戦目 戦闘中 >>>");
  // A battle still in progress but already in the list shows its start values.
  app_.Battles[3] = BattleRecord();
  app_.Battles[3].Kind = kEngagement;
  ExpectLabel(3, "海戦大[集]  4戦目 " + Spaces(18) + " 交戦 → × : ???   ");
  // Without a battle in progress there is no such row.
  app_.State.BattleInProgress = kNotCountedFlag;
  EXPECT_EQ(BattleLabel(app_, 4), "");
  EXPECT_EQ(BattleLabel(app_, -1), "");
}

TEST_F(Labels, AdmiralColumnIsCutAtEighteenBytes) {
  const int twenty = AddName("ABCDEFGHIJKLMNOPQRST");
  const int straddling = AddName("ABCDEFGHIJKLMNOPQ" + S("あい"));
  const int foe = AddName(S("敵艦"));
  AddBattle(twenty, foe);
  AddBattle(straddling, foe);
  AddBattle(-1, -1);
  ExpectLabel(0, "模擬大[集]  1戦目 ABCDEFGHIJKLMNOPQR 強襲 → × : 敵艦   ");
  // Half of "あ" (its lead byte 0x82) stays in the column.
  EXPECT_EQ(BattleLabel(app_, 1),
            S("模擬大[集]  2戦目 ") + "ABCDEFGHIJKLMNOPQ\x82" + S(" 強襲 → × : 敵艦   "));
  ExpectLabel(2, "模擬大[集]  3戦目 " + Spaces(18) + " 強襲 → × : ???   ");
}

TEST_F(Labels, EveryFieldLabel) {
  const int camp = AddName(S("味方陣営"));
  const int enemy = AddName(S("敵陣営"));
  const int foe = AddName("Foe%s");  // a name is never taken as a format

  BattleRecord& campBattle = AddBattle(camp, enemy);
  campBattle.Kind = kCampBattle;
  campBattle.ClassWord = 0x303;
  campBattle.Result = kVictory;
  campBattle.OwnPoints = 12;
  campBattle.EnemyPoints = 7;
  ExpectLabel(0, "ＢＣ　[集]  1戦目 味方陣営" + Spaces(10) + " ○ : 敵陣営   12-7");
  // A camp battle whose type was changed has no kind label and shows no points.
  campBattle.ClassWord = 0x10001;
  ExpectLabel(0, "海戦中[集]  1戦目 味方陣営" + Spaces(10) + "  → ○ : 敵陣営 (NPC) ");

  BattleRecord& other = AddBattle(0, foe);
  other.Kind = kReinforcement;
  other.ClassWord = 0x200;
  other.TallyState = 0;
  other.Result = kDraw;
  ExpectLabel(1, "実戦小[－]  2戦目 YOU" + Spaces(15) + " 援軍 → － : Foe%s   ");
  other.TallyState = 3;
  other.Result = kWithdrawn;
  ExpectLabel(1, "実戦小[×]  2戦目 YOU" + Spaces(15) + " 援軍 → 撤 : Foe%s   ");
  other.TallyState = 2;
  other.Result = kEscaped;
  ExpectLabel(1, "実戦小[×]  2戦目 YOU" + Spaces(15) + " 援軍 → 逃 : Foe%s   ");
}

TEST_F(Labels, SummaryCountsOnlyBattlesIncludedExactlyOnce) {
  EXPECT_EQ(U(SummaryLine(app_)),
            "   0戦   0勝   0敗   0分(逃げられ:0 撤退:0) [クリティカル:  0 /  0] "
            "[無駄な努力 修理:  0 外科､救助:  0 その他:  0]");

  const int results[] = {kVictory, kVictory, kDefeat, kEscaped, kWithdrawn, kDraw, kVictory, kDefeat};
  const int states[] = {1, 1, 1, 1, 1, 1, 3, 2};
  for (int b = 0; b < 8; ++b) {
    BattleRecord& r = AddBattle(0, -1);
    r.Result = results[b];
    r.TallyState = states[b];
    r.CriticalsDealt = 10;
    r.CriticalsTaken = 1;
    NameBattleStats* owner = app_.Names.Stats(0, b);
    owner->ExtraCounts[kWastedRepairs] = 1;
    owner->ExtraCounts[kWastedCare] = 2;
    owner->ExtraCounts[kWastedOther] = 100;
  }
  // Another name's wasted efforts are not the owner's.
  const int other = AddName("Other");
  app_.Names.Stats(other, 0)->ExtraCounts[kWastedRepairs] = 50;

  const std::string summary = SummaryLine(app_);
  EXPECT_EQ(summary, S("   6戦   2勝   1敗   3分(逃げられ:1 撤退:1) [クリティカル: 60 /  6] "
                       "[無駄な努力 修理:  6 外科､救助: 12 その他:600]"))
      << U(summary);
}

}  // namespace
}  // namespace mizuto
