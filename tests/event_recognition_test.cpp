#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "app/owner/app.h"
#include "battle/event_recognition.h"
#include "battle/segmentation.h"
#include "support/test_support.h"

namespace mizuto {
namespace {

using test::S;
using test::U;

std::string Sys(const std::string& text) { return "~0" + text; }

// A battle against Foe is in progress (battle 0); fed lines are analysed inside it.
class Events : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteListFile(dir_.File("SkillList.txt"), {"砲撃", "回避", "速射"});
    test::WriteListFile(dir_.File("ItemList.txt"), {"大砲弾,1", "豪華料理,2", "修理道具,x"});
    test::SetUpApp(app_, dir_);
    Feed({Sys("Foeの強襲です！")});
  }
  void Feed(const std::vector<std::string>& utf8Lines) { test::AnalyseMore(app_, utf8Lines); }
  int Name(const std::string& utf8) const { return test::NameIndex(app_, utf8); }
  // A name's stats in the current battle, non-default fields only: "P side=2 by=YOU sd=1".
  std::string Of(const std::string& utf8) const {
    const NameBattleStats* s = app_.Names.Stats(Name(utf8), app_.BattleCount() - 1);
    if (s == nullptr) return "(unknown)";
    std::string out = s->Present ? "P" : "-";
    auto field = [&](const char* label, int v) {
      if (v != 0) out += std::string(" ") + label + "=" + std::to_string(v);
    };
    field("side", static_cast<int>(s->Sides.ToStored()));
    field("rel", static_cast<int>(s->OwnerRelations.ToStored()));
    if (s->TakenBy != -1) out += " by=" + U(app_.Names[s->TakenBy].Name);
    const char* counters[] = {"sd", "st", "cd", "ct", "dec"};
    for (int c = 0; c < 5; ++c) field(counters[c], s->BattleCounts[c]);
    const char* extras[] = {"rep", "care", "other", "meal", "ten"};
    for (int c = 0; c < 5; ++c) field(extras[c], s->ExtraCounts[c]);
    return out;
  }
  std::string ErrorAt(int code, int lineNumber) const {
    return ErrorCodeLine(code, lineNumber);
  }

  test::TempDir dir_;
  App app_;
  test::TableWriter writer_{app_};
};

TEST_F(Events, NameSplits) {
  EXPECT_EQ(SplitAtGa(S("太郎が花子")), 4);
  EXPECT_EQ(SplitAtGa(S("がB")), 0);
  EXPECT_EQ(SplitAtGa(S("AB")), -1);
  EXPECT_EQ(SplitAtGa(S("すがたが花子")), -1);

  // A missing first marker gives an empty first name and leaves the text whole; a
  // missing second marker gives an empty second name.
  auto [a, b] = SplitByMarkers(writer_.Run, S("CCCが拿捕"), S("により、"), S("が拿捕"));
  EXPECT_EQ(app_.Names[a].Name, "");
  EXPECT_EQ(b, Name("CCC"));
  auto [c, d] = SplitByMarkers(writer_.Run, S("AAAにより、DDD"), S("により、"), S("が拿捕"));
  EXPECT_EQ(c, Name("AAA"));
  EXPECT_EQ(app_.Names[d].Name, "");

  int actor = -2, target = -2;
  EXPECT_FALSE(SplitByKnownName(writer_.Run, S("XXXとYYY"), &actor, &target));
  EXPECT_TRUE(SplitByKnownName(writer_.Run, S("AAAがZZZ"), &actor, &target));
  EXPECT_EQ(std::make_pair(actor, target), std::make_pair(Name("AAA"), Name("ZZZ")));
  // Names are tried in table order (the owner first); a later one is the target.
  EXPECT_TRUE(SplitByKnownName(writer_.Run, S("AAAがYOU"), &actor, &target));
  EXPECT_EQ(std::make_pair(actor, target), std::make_pair(Name("AAA"), 0));
}

TEST_F(Events, SinksOfTheOwnerOfOthersAndUnsplittable) {
  Feed({Sys("敵船AAAを撃沈しました！"), Sys("BBBがCCCを撃沈しました！"), Sys("X敵船DDDを撃沈しました！")});
  EXPECT_EQ(Of("YOU"), "P side=1 sd=2");
  EXPECT_EQ(Of("AAA"), "P side=2 rel=1 by=YOU");  // sinks are counted when out of action
  EXPECT_EQ(Of("XDDD"), "P side=2 rel=1 by=YOU");
  EXPECT_EQ(Of("BBB"), "P side=1 sd=1");
  EXPECT_EQ(Of("CCC"), "P side=2 by=BBB");

  const int names = app_.NameCount();
  Feed({Sys("PがQがRを撃沈しました！"), Sys("GがHがIを拿捕しました！")});
  EXPECT_EQ(app_.NameCount(), names);
  EXPECT_EQ(app_.ErrorLines, (std::vector<std::string>{ErrorAt(1, 5), ErrorAt(2, 6)}));
}

// A name holding "が" defeats the simple split; a name already met decides who is who,
// whether it stands first (the actor) or after the separator (the target).
TEST_F(Events, SinksAndCapturesSplitByAKnownName) {
  const struct {
    const char* literal;
    const char* dealt;  // the actor's counters
    const char* taken;  // the target's counters
  } cases[] = {{"を撃沈しました！", " sd=1", ""}, {"を拿捕しました！", " cd=1", " ct=1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.literal);
    Feed({Sys("Foeに勝利しました！"), Sys("Foeの強襲です！"), Sys("すがたの帆を直しました"),
          Sys("ながのの舵を損傷させました"), Sys(std::string("すがたがEEE") + c.literal),
          Sys(std::string("FFFがながの") + c.literal)});
    EXPECT_EQ(Of("すがた"), std::string("P side=1") + c.dealt);
    EXPECT_EQ(Of("EEE"), std::string("P side=2 by=すがた") + c.taken);
    EXPECT_EQ(Of("FFF"), std::string("P side=1") + c.dealt);
    EXPECT_EQ(Of("ながの"), std::string("P side=2 by=FFF") + c.taken);
    EXPECT_EQ(Of("YOU"), "P side=1") << "the owner takes no part";
  }
  EXPECT_EQ(app_.NameCount(), 6);
  EXPECT_TRUE(app_.ErrorLines.empty());
}

TEST_F(Events, CapturesAndDefeatsInBothDirections) {
  Feed({Sys("敵船AAAを拿捕しました！"), Sys("BBBがCCCを拿捕しました！"),
        Sys("敵船DDDに拿捕されました！"), Sys("EEEにより、FFFが拿捕されました")});
  EXPECT_EQ(Of("YOU"), "P side=1 by=DDD cd=1 ct=1");
  EXPECT_EQ(Of("AAA"), "P side=2 rel=1 by=YOU ct=1");
  EXPECT_EQ(Of("BBB"), "P side=1 cd=1");
  EXPECT_EQ(Of("CCC"), "P side=2 by=BBB ct=1");
  EXPECT_EQ(Of("DDD"), "P side=2 rel=2 cd=1");
  EXPECT_EQ(Of("EEE"), "P side=2 cd=1");
  EXPECT_EQ(Of("FFF"), "P side=1 by=EEE ct=1");

  Feed({Sys("GGGが自海域でHHHに撃破されました！！"), Sys("JJJが敵性海域でKKKを撃破しました！！"),
        Sys("LLLが中立海域でMMMに撃破されました！！"), Sys("NNNに撃破されました！！"),
        Sys("OOOを撃破しました！！")});
  EXPECT_EQ(Of("GGG"), "P side=1 by=HHH st=1");
  EXPECT_EQ(Of("HHH"), "P side=2 sd=1");
  EXPECT_EQ(Of("JJJ"), "P side=1 sd=1");
  EXPECT_EQ(Of("KKK"), "P side=2 by=JJJ st=1");
  EXPECT_EQ(Of("LLL"), "P side=1 by=MMM st=1");
  EXPECT_EQ(Of("YOU"), "P side=1 by=NNN sd=1 st=1 cd=1 ct=1");
  EXPECT_EQ(Of("NNN"), "P side=2 rel=2 sd=1");
  EXPECT_EQ(Of("OOO"), "P side=2 rel=1 by=YOU st=1");
}

TEST_F(Events, SunkByMinesFriendlyFireAndEnemyOnEnemy) {
  Feed({Sys("敵船AAAの攻撃により、撃沈されました！"), Sys("BBBの攻撃により、CCCの船が撃沈されました！"),
        Sys("敵船DDDが機雷により撃沈しました！"), Sys("EEEの船が機雷により撃沈しました！"),
        Sys("機雷により船が沈没しました！"), Sys("GGGの誤射により、HHHの船が損傷しました"),
        Sys("敵船JJJが敵船KKKを沈没させたようです！")});
  EXPECT_EQ(Of("YOU"), "P side=1 by=AAA");
  EXPECT_EQ(Of("AAA"), "P side=2 rel=2 sd=1");
  EXPECT_EQ(Of("BBB"), "P side=2 sd=1");
  EXPECT_EQ(Of("CCC"), "P side=1 by=BBB");
  EXPECT_EQ(Of("DDD"), "P side=2");
  EXPECT_EQ(Of("EEE"), "P side=1");
  EXPECT_EQ(Of("GGG"), "P");
  EXPECT_EQ(Of("HHH"), "-");
  EXPECT_EQ(Of("JJJ"), "P side=2");
  EXPECT_EQ(Of("KKK"), "P side=2 st=1");

  // A mine line without "の船" names nobody but still adds an empty-named entry.
  const int names = app_.NameCount();
  Feed({Sys("FFFが機雷により撃沈しました！")});
  ASSERT_EQ(app_.NameCount(), names + 1);
  EXPECT_EQ(app_.Names[names].Name, "");
  EXPECT_TRUE(app_.ErrorLines.empty());
}

TEST_F(Events, PresenceCriticalsAndWastedEffortsFirstLiteralWins) {
  const struct {
    const char* line;
    int side;
  } cases[] = {
      {"N1の帆を直しました", 1}, {"N2の船に浸水を起こさせました！", 2},
      {"N3の攻撃により浸水が起こりました！", 2}, {"N4の船に大揺れを起こしました！", 2},
      {"N5の攻撃により船が大きく揺れています！", 2}, {"N6の舵を直しました", 1},
      {"N7の舵を損傷させました", 2}, {"N8の援軍要請に応じ、援軍が駆けつけてくれました！", 1},
      {"N9が船員に豪華な料理を振る舞いました", 1}, {"NAの船員を混乱させました", 2},
      {"NBの攻撃により船員に混乱が起きました", 2}, {"NCのサブマストの帆を損傷", 2},
      {"NDのメインマストの帆を損傷", 2}, {"NEの攻撃により帆が損傷しました", 2},
      {"NFの攻撃により、被害甚大に大打撃", 2}, {"NGに大打撃を与えた", 2},
  };
  for (const auto& c : cases) {
    Feed({Sys(c.line)});
    EXPECT_EQ(Of(std::string(c.line, 2)), "P side=" + std::to_string(c.side)) << c.line;
  }
  // Critical taken is tried before critical dealt, the harmless mine line before all.
  EXPECT_EQ(app_.Battles[0].CriticalsTaken, 1);
  EXPECT_EQ(app_.Battles[0].CriticalsDealt, 1);
  const int names = app_.NameCount();
  Feed({Sys("帆を損傷"), Sys("嵐で帆が損傷しました"), Sys("機雷により船が沈没しました！修理する必要はありません"),
        Sys("修理する必要はありません"), Sys("治療すべき船員がいません"), Sys("救助すべき船員がいません"),
        Sys("今使っても効果がありません。使用を中止しました")});
  EXPECT_EQ(Of("帆を損傷"), "P side=2");
  EXPECT_EQ(app_.NameCount(), names + 1) << "sail damage without an attacker names nobody";
  EXPECT_EQ(Of("YOU"), "P side=1 rep=1 care=2 other=1");
}

TEST_F(Events, CampPointsAreStrictDecimalsAndBadOnesAreReported) {
  Feed({Sys("Foeに勝利しました！"), Sys("ただちに戦闘海域に向かい、敵船を撃破せよ！！"),
        Sys("12ポイントを獲得しました！"), Sys("敵陣営が5ポイントを獲得しました！"),
        Sys("-3ポイントを獲得しました！"), Sys("+4ポイントを獲得しました！")});
  const BattleRecord& camp = app_.Battles[1];
  EXPECT_EQ(camp.OwnPoints, 13);
  EXPECT_EQ(camp.EnemyPoints, 5);

  const int first = static_cast<int>(app_.Lines.size()) + 1;
  const char* bad[] = {"12 ", "", "-", "2147483648", "-2147483649", "99999999999999999999",
                       "敵陣営がx", "A敵陣営が5", "１２"};
  for (const char* points : bad) Feed({Sys(std::string(points) + "ポイントを獲得しました！")});
  ASSERT_EQ(app_.ErrorLines.size(), std::size(bad));
  for (int k = 0; k < static_cast<int>(std::size(bad)); ++k) {
    EXPECT_EQ(app_.ErrorLines[k], ErrorAt(3, first + k));
  }
  EXPECT_EQ(camp.OwnPoints, 13);
  EXPECT_EQ(camp.EnemyPoints, 5);

  // The run goes on after a bad number, and sums wrap instead of overflowing.
  Feed({Sys("2147483647ポイントを獲得しました！"), Sys("-2147483648ポイントを獲得しました！"),
        Sys("敵陣営に勝利しました！")});
  EXPECT_EQ(camp.OwnPoints, 12);
  EXPECT_EQ(camp.Result, BattleResult::Victory);
}

TEST_F(Events, ShipsOutOfActionCountPerSide) {
  app_.Acts.ActiveMode.Checked = true;
  Feed({Sys("Mateの帆を直しました"), Sys("Dualの帆を直しました"), Sys("Dualの舵を損傷させました"),
        Sys("船が航行不能になりました"), Sys("Mateの船が航行不能になりました"),
        Sys("Foeの船が航行不能になりました"), Sys("Dualの船が航行不能になりました"),
        Sys("Strangerの船が航行不能になりました")});
  EXPECT_EQ(Of("YOU"), "P side=1 st=1");  // Tenacity 0: nobody was down before
  EXPECT_EQ(Of("Mate"), "P side=1 st=1 ten=1");
  EXPECT_EQ(Of("Foe"), "P side=2 st=1");
  EXPECT_EQ(Of("Dual"), "P side=3 st=1");
  EXPECT_EQ(Of("Stranger"), "P st=1");
  EXPECT_EQ(app_.SinkCounterText, S("味方 2 - 1 敵"));

  // The sink counter shows the analysis' counters whether or not active mode is on (it may
  // be switched on at any moment); a new battle starts them again, a camp battle counts
  // nothing and leaves them as they were.
  app_.Acts.ActiveMode.Checked = false;
  Feed({Sys("Foeに勝利しました！"), Sys("Barの強襲です！")});
  EXPECT_EQ(app_.SinkCounterText, S("味方 0 - 0 敵"));
  Feed({Sys("船が航行不能になりました")});
  EXPECT_EQ(app_.State.OwnShipsDown, 1);
  EXPECT_EQ(app_.SinkCounterText, S("味方 1 - 0 敵"));
  app_.Acts.ActiveMode.Checked = true;
  Feed({Sys("Barに勝利しました！"), Sys("ただちに戦闘海域に向かい、敵船を撃破せよ！！"),
        Sys("船が航行不能になりました"), Sys("Foeの船が航行不能になりました")});
  EXPECT_EQ(app_.State.OwnShipsDown, 1);
  EXPECT_EQ(app_.State.EnemyShipsDown, 0);
  EXPECT_EQ(Of("YOU"), "P side=1");
  EXPECT_EQ(Of("Foe"), "-");
  EXPECT_EQ(app_.SinkCounterText, S("味方 1 - 0 敵"));
}

TEST_F(Events, SkillAndItemUsesOfTheOwnerAndOthers) {
  Feed({"~s速射", "~sRRRが速射", "~sSSSは回避", "~i豪華料理", "~iTTTが豪華料理", "~i修理道具",
        "~sUUUが大砲弾", "~s謎の技"});
  const NameRecord& owner = app_.Names[0];
  EXPECT_EQ(owner.UsesIn(0, false, 2), 1);
  EXPECT_EQ(owner.UsesIn(0, true, 1), 1);
  EXPECT_EQ(owner.UsesIn(0, true, 2), 1);
  EXPECT_EQ(Of("YOU"), "P side=1 meal=1");  // a kind that is not a digit is no meal
  EXPECT_EQ(app_.Names[Name("RRR")].UsesIn(0, false, 2), 1);
  EXPECT_EQ(Of("RRR"), "P");
  EXPECT_EQ(app_.Names[Name("TTT")].UsesIn(0, true, 1), 1);
  EXPECT_EQ(Of("TTT"), "P meal=1");
  EXPECT_EQ(Name("SSS"), -1) << "a use without が counts nothing";
  EXPECT_EQ(app_.ErrorLines, (std::vector<std::string>{S("UUUが大砲弾"), S("謎の技")}));

  // Outside a battle they count and report nothing.
  Feed({Sys("Foeに勝利しました！"), "~s速射", "~s謎の技"});
  EXPECT_EQ(owner.UsesIn(0, false, 2), 1);
  EXPECT_EQ(app_.ErrorLines.size(), 2u);
}

TEST_F(Events, SkillAndItemListsChangedBetweenRunsAreFollowed) {
  const NameRecord& owner = app_.Names[0];
  Feed({"~s速射"});
  EXPECT_EQ(owner.UsesIn(0, false, 2), 1);

  // An entry replaced in place: same length, other bytes.
  app_.Lists.SkillNames[2] = S("連射");
  Feed({"~s連射", "~s速射"});
  EXPECT_EQ(owner.UsesIn(0, false, 2), 2);
  EXPECT_EQ(app_.ErrorLines, std::vector<std::string>{S("速射")});

  // A longer list; the owner's record keeps the length it was made with, a new name has
  // the new one.
  app_.Lists.SkillNames.push_back(S("斉射"));
  Feed({"~sVVVが斉射"});
  EXPECT_EQ(app_.Names[Name("VVV")].UsesIn(0, false, 3), 1);

  // The same holds for one line handed over directly, without a run of the analysis.
  app_.Lists.ItemNames = {S("砲弾")};
  app_.Lists.ItemKinds = {"2"};
  RecogniseSkillItem(writer_.Run, S("~iWWWが砲弾"), 99);
  EXPECT_EQ(app_.Names[Name("WWW")].UsesIn(0, true, 0), 1);
  EXPECT_EQ(Of("WWW"), "P meal=1");
  app_.Lists.ItemNames.clear();
  app_.Lists.ItemKinds.clear();
  RecogniseSkillItem(writer_.Run, S("~iWWWが砲弾"), 100);
  EXPECT_EQ(app_.ErrorLines.back(), S("WWWが砲弾"));
}

TEST_F(Events, FullNameTableDropsTheCountersOfNewNames) {
  // Zero-padded, so that no name is a prefix of another.
  for (int n = app_.NameCount(); n < kMaxNames; ++n) {
    InternName(writer_.Run, "n" + std::to_string(10000 + n));
  }
  ASSERT_EQ(app_.NameCount(), kMaxNames);
  Feed({Sys("NewがOtherを撃沈しました！"), Sys("NewがFoeを拿捕しました！"), Sys("敵船Newを撃沈しました！"),
        Sys("敵船Newに拿捕されました！"), Sys("NewによりOtherが拿捕されました"),
        Sys("Newの船が航行不能になりました"), Sys("Newの帆を直しました"), "~sNewが速射",
        "~iNewが豪華料理", Sys("Newに勝利しました！")});
  EXPECT_EQ(app_.NameCount(), kMaxNames);
  EXPECT_EQ(app_.ErrorLines, std::vector<std::string>{ErrorAt(5, 2)});
  EXPECT_EQ(Of("YOU"), "P side=1 sd=1 ct=1");
  EXPECT_EQ(Of("Foe"), "P side=2 ct=1");
  EXPECT_EQ(app_.State.OwnShipsDown + app_.State.EnemyShipsDown, 0);
  EXPECT_EQ(app_.Battles[0].Opponent, -1);
  EXPECT_EQ(app_.Battles[0].Result, BattleResult::Victory);
}

}  // namespace
}  // namespace mizuto
