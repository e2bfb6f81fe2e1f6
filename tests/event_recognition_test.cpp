#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "battle/event_recognition.h"
#include "battle/segmentation.h"
#include "support/test_support.h"
#include "text/codec.h"

namespace mizuto {
namespace {

using test::S;
using test::U;

std::string Sys(const std::string& text) { return "~0" + text; }

// An App with a battle against Foe in progress (battle 0); lines fed afterwards are
// analysed inside it.
class Events : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteListFile(dir_.File("SkillList.txt"), {"砲撃", "回避", "速射"});
    test::WriteListFile(dir_.File("ItemList.txt"), {"# comment", "大砲弾,1", "豪華料理,2", "修理道具,x"});
    test::SetUpApp(app_, dir_);
    Feed({Sys("Foeの強襲です！")});
  }

  void Feed(const std::vector<std::string>& utf8Lines) {
    const int start = static_cast<int>(app_.Lines.size());
    test::AddStoredLines(app_, utf8Lines);
    AnalyseLines(app_, start);
  }
  int LastLineNumber() const { return static_cast<int>(app_.Lines.size()); }

  int Name(const std::string& utf8) const {
    for (int n = 0; n < app_.NameCount(); ++n) {
      if (app_.Names[n].Name == S(utf8)) return n;
    }
    return -1;
  }
  const NameBattleStats& St(const std::string& utf8) const {
    const NameBattleStats* s = app_.Names.Stats(Name(utf8), app_.BattleCount() - 1);
    if (s == nullptr) {
      ADD_FAILURE() << "no name " << utf8;
      static const NameBattleStats none;
      return none;
    }
    return *s;
  }
  int Count(const std::string& utf8, BattleCounter c) const { return St(utf8).BattleCounts[c]; }
  int Extra(const std::string& utf8, ExtraCounter c) const { return St(utf8).ExtraCounts[c]; }
  std::string Error(std::size_t i) const {
    return i < app_.ErrorLines.size() ? U(app_.ErrorLines[i]) : "(none)";
  }

  test::TempDir dir_;
  App app_;
};

TEST(NameSplits, SplitAtGaNeedsExactlyOneGaAfterAName) {
  EXPECT_EQ(SplitAtGa(S("太郎が花子")), 4);
  EXPECT_EQ(SplitAtGa(S("AがB")), 1);
  EXPECT_EQ(SplitAtGa(S("がB")), 0);
  EXPECT_EQ(SplitAtGa(S("AB")), -1);
  EXPECT_EQ(SplitAtGa(S("すがたが花子")), -1);
  EXPECT_EQ(SplitAtGa(""), -1);
}

TEST_F(Events, SplitByMarkersAndSplitByKnownName) {
  auto [a, b] = SplitByMarkers(app_, S("AAAにより、BBBが拿捕"), S("により、"), S("が拿捕"));
  EXPECT_EQ(a, Name("AAA"));
  EXPECT_EQ(b, Name("BBB"));
  // Without the first marker the first name is empty and the second is searched in the
  // whole text; without the second marker the second name is empty.
  const int names = app_.NameCount();
  auto [c, d] = SplitByMarkers(app_, S("CCCが拿捕"), S("により、"), S("が拿捕"));
  EXPECT_EQ(c, names);
  EXPECT_EQ(app_.Names[c].Name, "");
  EXPECT_EQ(d, Name("CCC"));
  auto [e, f] = SplitByMarkers(app_, S("AAAにより、DDD"), S("により、"), S("が拿捕"));
  EXPECT_EQ(e, Name("AAA"));
  EXPECT_EQ(app_.Names[f].Name, "");

  int actor = -2, target = -2;
  EXPECT_FALSE(SplitByKnownName(app_, S("XXXとYYY"), &actor, &target));
  EXPECT_EQ(actor, -2);
  // A known name at the start is the actor; the target follows a two-byte separator.
  EXPECT_TRUE(SplitByKnownName(app_, S("AAAがZZZ"), &actor, &target));
  EXPECT_EQ(actor, Name("AAA"));
  EXPECT_EQ(target, Name("ZZZ"));
  // Elsewhere it is the target and the actor is what precedes the separator.
  EXPECT_TRUE(SplitByKnownName(app_, S("WWWがBBB"), &actor, &target));
  EXPECT_EQ(actor, Name("WWW"));
  EXPECT_EQ(target, Name("BBB"));
  // Names are tried in table order: the owner comes first.
  EXPECT_TRUE(SplitByKnownName(app_, S("AAAがYOU"), &actor, &target));
  EXPECT_EQ(actor, Name("AAA"));
  EXPECT_EQ(target, 0);
}

TEST_F(Events, SinkLinesOfTheOwnerOfOthersAndUnsplittable) {
  Feed({Sys("敵船AAAを撃沈しました！"), Sys("BBBがCCCを撃沈しました！"), Sys("X敵船DDDを撃沈しました！")});
  EXPECT_EQ(Count("YOU", kSinksDealt), 2);
  EXPECT_EQ(St("AAA").OwnerRelation, 1);
  EXPECT_EQ(St("AAA").TakenBy, 0);
  EXPECT_EQ(St("AAA").Side, 2);
  EXPECT_EQ(Count("AAA", kSinksTaken), 0) << "sinks are counted when the ship goes out of action";
  EXPECT_EQ(St("XDDD").TakenBy, 0) << "敵船 is cut out wherever it stands";
  EXPECT_EQ(Count("BBB", kSinksDealt), 1);
  EXPECT_EQ(St("BBB").Side, 1);
  EXPECT_EQ(St("CCC").Side, 2);
  EXPECT_EQ(St("CCC").TakenBy, Name("BBB"));
  EXPECT_EQ(Count("CCC", kSinksTaken), 0);

  // A name holding "が" defeats the simple split; a known name rescues it.
  Feed({Sys("すがたの帆を直しました"), Sys("すがたがEEEを撃沈しました！"),
        Sys("ながのの舵を損傷させました"), Sys("FFFがながのを撃沈しました！")});
  EXPECT_EQ(Count("すがた", kSinksDealt), 1);
  EXPECT_EQ(St("EEE").TakenBy, Name("すがた"));
  EXPECT_EQ(St("EEE").Side, 2);
  EXPECT_EQ(St("EEE").Present, 1);
  EXPECT_EQ(St("FFF").Side, 1);
  EXPECT_EQ(St("ながの").TakenBy, Name("FFF"));

  const int names = app_.NameCount();
  Feed({Sys("PがQがRを撃沈しました！")});
  EXPECT_EQ(app_.NameCount(), names);
  EXPECT_EQ(Error(0), "@@@@@@@ Error Code 001 @@@@@@@ Line:" + std::to_string(LastLineNumber()));
}

TEST_F(Events, CaptureLinesInBothDirections) {
  Feed({Sys("敵船AAAを拿捕しました！"), Sys("BBBがCCCを拿捕しました！"),
        Sys("敵船DDDに拿捕されました！"), Sys("EEEにより、FFFが拿捕されました")});
  EXPECT_EQ(Count("YOU", kCapturesDealt), 1);
  EXPECT_EQ(Count("AAA", kCapturesTaken), 1);
  EXPECT_EQ(St("AAA").OwnerRelation, 1);
  EXPECT_EQ(St("AAA").TakenBy, 0);
  EXPECT_EQ(Count("BBB", kCapturesDealt), 1);
  EXPECT_EQ(Count("CCC", kCapturesTaken), 1);
  EXPECT_EQ(St("CCC").TakenBy, Name("BBB"));

  EXPECT_EQ(Count("YOU", kCapturesTaken), 1);
  EXPECT_EQ(St("YOU").TakenBy, Name("DDD"));
  EXPECT_EQ(Count("DDD", kCapturesDealt), 1);
  EXPECT_EQ(St("DDD").OwnerRelation, 2);
  EXPECT_EQ(St("DDD").Side, 2);
  EXPECT_EQ(Count("EEE", kCapturesDealt), 1);
  EXPECT_EQ(St("EEE").Side, 2);
  EXPECT_EQ(Count("FFF", kCapturesTaken), 1);
  EXPECT_EQ(St("FFF").Side, 1);
  EXPECT_EQ(St("FFF").TakenBy, Name("EEE"));

  Feed({Sys("GGGがHHHがIIIを拿捕しました！")});
  EXPECT_EQ(Error(0), "@@@@@@@ Error Code 002 @@@@@@@ Line:" + std::to_string(LastLineNumber()));
}

TEST_F(Events, DefeatLinesWithAndWithoutAnArea) {
  Feed({Sys("DDDが自海域でEEEに撃破されました！！"), Sys("GGGが敵性海域でHHHを撃破しました！！"),
        Sys("JJJに撃破されました！！"), Sys("KKKを撃破しました！！")});
  EXPECT_EQ(Count("DDD", kSinksTaken), 1);
  EXPECT_EQ(St("DDD").Side, 1);
  EXPECT_EQ(St("DDD").TakenBy, Name("EEE"));
  EXPECT_EQ(Count("EEE", kSinksDealt), 1);
  EXPECT_EQ(St("EEE").Side, 2);
  EXPECT_EQ(Count("GGG", kSinksDealt), 1);
  EXPECT_EQ(St("GGG").Side, 1);
  EXPECT_EQ(Count("HHH", kSinksTaken), 1);
  EXPECT_EQ(St("HHH").TakenBy, Name("GGG"));

  EXPECT_EQ(Count("YOU", kSinksTaken), 1);
  EXPECT_EQ(St("YOU").TakenBy, Name("JJJ"));
  EXPECT_EQ(Count("JJJ", kSinksDealt), 1);
  EXPECT_EQ(St("JJJ").OwnerRelation, 2);
  EXPECT_EQ(Count("YOU", kSinksDealt), 1);
  EXPECT_EQ(Count("KKK", kSinksTaken), 1);
  EXPECT_EQ(St("KKK").OwnerRelation, 1);
  EXPECT_EQ(St("KKK").TakenBy, 0);

  Feed({Sys("LLLが中立海域でMMMに撃破されました！！")});
  EXPECT_EQ(St("LLL").TakenBy, Name("MMM"));
}

TEST_F(Events, SunkByMinesAndFriendlyFire) {
  Feed({Sys("敵船AAAの攻撃により、撃沈されました！"), Sys("BBBの攻撃により、CCCの船が撃沈されました！")});
  EXPECT_EQ(Count("AAA", kSinksDealt), 1);
  EXPECT_EQ(St("YOU").TakenBy, Name("AAA"));
  EXPECT_EQ(St("AAA").OwnerRelation, 2);
  EXPECT_EQ(Count("YOU", kSinksTaken), 0);
  EXPECT_EQ(Count("BBB", kSinksDealt), 1);
  EXPECT_EQ(St("BBB").Side, 2);
  EXPECT_EQ(St("CCC").Side, 1);
  EXPECT_EQ(St("CCC").TakenBy, Name("BBB"));

  Feed({Sys("敵船DDDが機雷により撃沈しました！"), Sys("EEEの船が機雷により撃沈しました！"),
        Sys("機雷により船が沈没しました！")});
  EXPECT_EQ(St("DDD").Side, 2);
  EXPECT_EQ(St("EEE").Side, 1);
  EXPECT_EQ(St("EEE").Present, 1);
  // A mine line without "の船" yields an empty name, as a new entry.
  const int names = app_.NameCount();
  Feed({Sys("FFFが機雷により撃沈しました！")});
  ASSERT_EQ(app_.NameCount(), names + 1);
  EXPECT_EQ(app_.Names[names].Name, "");
  EXPECT_EQ(Name("FFF"), -1);

  Feed({Sys("GGGの誤射により、HHHの船が損傷しました"), Sys("敵船JJJが敵船KKKを沈没させたようです！")});
  EXPECT_EQ(St("GGG").Present, 1);
  EXPECT_EQ(St("GGG").Side, 0);
  EXPECT_EQ(St("HHH").Present, 0);
  EXPECT_EQ(St("JJJ").Side, 2);
  EXPECT_EQ(St("KKK").Side, 2);
  EXPECT_EQ(Count("KKK", kSinksTaken), 1);
  EXPECT_EQ(Count("JJJ", kSinksDealt), 0);
  EXPECT_TRUE(app_.ErrorLines.empty());
}

TEST_F(Events, FirstLiteralInTableOrderDecides) {
  // Critical taken comes before critical dealt; a mine line before everything else.
  Feed({Sys("AAAの攻撃により、被害甚大に大打撃"), Sys("機雷により船が沈没しました！修理する必要はありません")});
  EXPECT_EQ(app_.Battles[0].CriticalsTaken, 1);
  EXPECT_EQ(app_.Battles[0].CriticalsDealt, 0);
  EXPECT_EQ(St("AAA").Side, 2);
  EXPECT_EQ(Extra("YOU", kWastedRepairs), 0);

  Feed({Sys("BBBに大打撃を与えた"), Sys("修理する必要はありません"), Sys("治療すべき船員がいません"),
        Sys("救助すべき船員がいません"), Sys("今使っても効果がありません。使用を中止しました")});
  EXPECT_EQ(app_.Battles[0].CriticalsDealt, 1);
  EXPECT_EQ(St("BBB").Side, 2);
  EXPECT_EQ(Extra("YOU", kWastedRepairs), 1);
  EXPECT_EQ(Extra("YOU", kWastedCare), 2);
  EXPECT_EQ(Extra("YOU", kWastedOther), 1);
}

TEST_F(Events, PresenceRulesMarkTheNamedSide) {
  const struct {
    const char* line;
    int side;
  } cases[] = {
      {"N1の帆を直しました", 1},
      {"N2の船に浸水を起こさせました！", 2},
      {"N3の攻撃により浸水が起こりました！", 2},
      {"N4の船に大揺れを起こしました！", 2},
      {"N5の攻撃により船が大きく揺れています！", 2},
      {"N6の舵を直しました", 1},
      {"N7の舵を損傷させました", 2},
      {"N8の援軍要請に応じ、援軍が駆けつけてくれました！", 1},
      {"N9が船員に豪華な料理を振る舞いました", 1},
      {"NAの船員を混乱させました", 2},
      {"NBの攻撃により船員に混乱が起きました", 2},
      {"NCのサブマストの帆を損傷", 2},
      {"NDのメインマストの帆を損傷", 2},
      {"NEの攻撃により帆が損傷しました", 2},
  };
  for (const auto& c : cases) {
    Feed({Sys(c.line)});
    const std::string name(c.line, 2);
    EXPECT_EQ(St(name).Side, c.side) << c.line;
    EXPECT_EQ(St(name).Present, 1) << c.line;
  }
  // Sail damage with no mast named takes the whole text as the name; the passive form
  // without an attacker names nobody.
  Feed({Sys("帆を損傷")});
  EXPECT_EQ(St("帆を損傷").Side, 2);
  const int names = app_.NameCount();
  Feed({Sys("嵐で帆が損傷しました")});
  EXPECT_EQ(app_.NameCount(), names);
}

TEST_F(Events, CampPointsAreStrictDecimalsAndBadOnesAreReported) {
  Feed({Sys("Foeに勝利しました！"), Sys("ただちに戦闘海域に向かい、敵船を撃破せよ！！")});
  Feed({Sys("12ポイントを獲得しました！"), Sys("敵陣営が5ポイントを獲得しました！"),
        Sys("-3ポイントを獲得しました！"), Sys("+4ポイントを獲得しました！")});
  const BattleRecord& camp = app_.Battles[1];
  EXPECT_EQ(camp.OwnPoints, 13);
  EXPECT_EQ(camp.EnemyPoints, 5);

  const int first = LastLineNumber() + 1;
  Feed({Sys("12 ポイントを獲得しました！"), Sys("ポイントを獲得しました！"), Sys("-ポイントを獲得しました！"),
        Sys("2147483648ポイントを獲得しました！"), Sys("-2147483649ポイントを獲得しました！"),
        Sys("99999999999999999999ポイントを獲得しました！"), Sys("敵陣営がxポイントを獲得しました！"),
        Sys("A敵陣営が5ポイントを獲得しました！"), Sys("１２ポイントを獲得しました！")});
  ASSERT_EQ(app_.ErrorLines.size(), 9u);
  for (int k = 0; k < 9; ++k) {
    EXPECT_EQ(Error(k), "@@@@@@@ Error Code 003 @@@@@@@ Line:" + std::to_string(first + k));
  }
  EXPECT_EQ(camp.OwnPoints, 13);
  EXPECT_EQ(camp.EnemyPoints, 5);

  // The run goes on after a bad number, and sums wrap instead of overflowing.
  Feed({Sys("2147483647ポイントを獲得しました！"), Sys("-2147483648ポイントを獲得しました！"),
        Sys("敵陣営に勝利しました！")});
  EXPECT_EQ(camp.OwnPoints, 12);
  EXPECT_EQ(camp.Result, kVictory);
}

TEST_F(Events, ShipsOutOfActionCountPerSide) {
  app_.Acts.ActiveMode.Checked = true;
  Feed({Sys("Mateの帆を直しました"), Sys("Foeの舵を損傷させました"), Sys("Dualの帆を直しました"),
        Sys("Dualの舵を損傷させました"),
        Sys("船が航行不能になりました"), Sys("Mateの船が航行不能になりました"),
        Sys("Foeの船が航行不能になりました"), Sys("Dualの船が航行不能になりました"),
        Sys("Strangerの船が航行不能になりました")});
  EXPECT_EQ(app_.State.OwnShipsDown, 2);
  EXPECT_EQ(app_.State.EnemyShipsDown, 1);
  EXPECT_EQ(Count("YOU", kSinksTaken), 1);
  EXPECT_EQ(Extra("YOU", kTenacity), 0);
  EXPECT_EQ(Extra("Mate", kTenacity), 1);
  EXPECT_EQ(Count("Foe", kSinksTaken), 1);
  EXPECT_EQ(Extra("Foe", kTenacity), 0);
  EXPECT_EQ(Count("Dual", kSinksTaken), 1);
  EXPECT_EQ(Count("Stranger", kSinksTaken), 1);
  EXPECT_EQ(St("Stranger").Present, 1);
  EXPECT_EQ(app_.SinkCounterText, S("味方 2 - 1 敵"));

  // The sink counter is only rewritten in active mode; a camp battle counts nothing.
  app_.Acts.ActiveMode.Checked = false;
  Feed({Sys("Foeに勝利しました！"), Sys("Barの強襲です！"), Sys("船が航行不能になりました")});
  EXPECT_EQ(app_.State.OwnShipsDown, 1);
  EXPECT_EQ(app_.SinkCounterText, S("味方 2 - 1 敵"));
  app_.Acts.ActiveMode.Checked = true;
  Feed({Sys("Barに勝利しました！"), Sys("ただちに戦闘海域に向かい、敵船を撃破せよ！！"),
        Sys("船が航行不能になりました"), Sys("Foeの船が航行不能になりました")});
  EXPECT_EQ(app_.State.OwnShipsDown, 1);
  EXPECT_EQ(app_.State.EnemyShipsDown, 0);
  EXPECT_EQ(Count("YOU", kSinksTaken), 0);
  EXPECT_EQ(St("Foe").Present, 0);
  EXPECT_EQ(app_.SinkCounterText, S("味方 2 - 1 敵"));
}

TEST_F(Events, SkillAndItemUsesOfTheOwnerAndOthers) {
  Feed({"~s速射", "~sRRRが速射", "~sSSSは回避", "~i豪華料理", "~iTTTが豪華料理", "~i修理道具",
        "~sUUUが大砲弾", "~s謎の技", "~i謎の品"});
  const NameRecord& owner = app_.Names[0];
  EXPECT_EQ(owner.UsesIn(0, false, 2), 1);
  EXPECT_EQ(owner.UsesIn(0, true, 1), 1);
  EXPECT_EQ(owner.UsesIn(0, true, 2), 1);
  EXPECT_EQ(Extra("YOU", kFleetMeals), 1) << "only kind 2 is a meal; a non-digit kind is plain";
  EXPECT_EQ(app_.Names[Name("RRR")].UsesIn(0, false, 2), 1);
  EXPECT_EQ(St("RRR").Present, 1);
  EXPECT_EQ(St("RRR").Side, 0);
  EXPECT_EQ(app_.Names[Name("TTT")].UsesIn(0, true, 1), 1);
  EXPECT_EQ(Extra("TTT", kFleetMeals), 1);
  EXPECT_EQ(Name("SSS"), -1) << "a use without が counts nothing";
  EXPECT_EQ(Name("UUU"), -1) << "a skill line is matched against the skills only";
  EXPECT_EQ(app_.ErrorLines,
            (std::vector<std::string>{S("UUUが大砲弾"), S("謎の技"), S("謎の品")}));

  // Skill and item lines outside a battle count nothing and report nothing.
  Feed({Sys("Foeに勝利しました！"), "~s速射", "~s謎の技"});
  EXPECT_EQ(owner.UsesIn(0, false, 2), 1);
  EXPECT_EQ(app_.ErrorLines.size(), 3u);
}

TEST_F(Events, FullNameTableDropsTheCountersOfNewNames) {
  // Zero-padded so that no name is a prefix of another.
  for (int n = app_.NameCount(); n < kMaxNames; ++n) {
    const std::string digits = std::to_string(10000 + n);
    InternName(app_, "name" + digits);
  }
  ASSERT_EQ(app_.NameCount(), kMaxNames);
  Feed({Sys("NewがOtherを撃沈しました！"), Sys("NewがOtherを拿捕しました！"),
        Sys("敵船Newを撃沈しました！"), Sys("敵船Newに拿捕されました！"),
        Sys("NewによりOtherが拿捕されました"), Sys("NewがFoeを撃沈しました！"),
        Sys("Newの船が航行不能になりました"), Sys("Newの帆を直しました"),
        "~sNewが速射", "~iNewが豪華料理", Sys("Newに勝利しました！")});
  EXPECT_EQ(app_.NameCount(), kMaxNames);
  EXPECT_EQ(app_.ErrorLines,
            std::vector<std::string>{"@@@@@@@ Error Code 005 @@@@@@@ Line:2"});
  EXPECT_EQ(Count("YOU", kSinksDealt), 1);
  EXPECT_EQ(St("YOU").TakenBy, -1);
  EXPECT_EQ(St("Foe").TakenBy, -1);
  EXPECT_EQ(app_.State.OwnShipsDown + app_.State.EnemyShipsDown, 0);
  EXPECT_EQ(app_.Battles[0].Opponent, -1);
  EXPECT_EQ(app_.Battles[0].Result, kVictory);
}

}  // namespace
}  // namespace mizuto
