#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "battle/battle_label.h"
#include "battle/segmentation.h"
#include "support/test_support.h"

namespace mizuto {
namespace {

using test::S;
using test::U;

std::string Sys(const std::string& text) { return "~0" + text; }
std::string Party(const std::string& text) { return "~1" + text; }
std::string Notice(const std::string& text) { return "~8" + text; }
std::string Spaces(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

class Segmentation : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteListFile(dir_.File("NPCList.txt"), {"海賊"});
    test::WriteListFile(dir_.File("SkillList.txt"), {"速射"});
    test::WriteListFile(dir_.File("ItemList.txt"), {"豪華料理,2"});
    test::SetUpApp(app_, dir_);
  }

  // Appends the lines and analyses them, as active mode does with new lines.
  void Feed(const std::vector<std::string>& utf8Lines) {
    const int start = static_cast<int>(app_.Lines.size());
    test::AddStoredLines(app_, utf8Lines);
    AnalyseLines(app_, start);
  }

  int Name(const std::string& utf8) const {
    for (int n = 0; n < app_.NameCount(); ++n) {
      if (app_.Names[n].Name == S(utf8)) return n;
    }
    return -1;
  }
  std::string NameOf(int n) const { return n < 0 ? "-1" : U(app_.Names[n].Name); }
  const NameBattleStats& Stats(const std::string& utf8, int battle) const {
    const NameBattleStats* s = app_.Names.Stats(Name(utf8), battle);
    EXPECT_NE(s, nullptr) << utf8;
    static const NameBattleStats none;
    return s ? *s : none;
  }
  void ExpectRow(int row, const std::string& utf8) const {
    ASSERT_LT(row, app_.BattleList.Count());
    EXPECT_EQ(app_.BattleList.Rows[static_cast<std::size_t>(row)], S(utf8))
        << U(app_.BattleList.Rows[static_cast<std::size_t>(row)]);
  }

  test::TempDir dir_;
  App app_;
};

TEST_F(Segmentation, EachStartAndResultKindGivesItsRecordAndLabel) {
  Feed({Sys("Foeの強襲です！"), Sys("Foeに勝利しました！"),
        Sys("Barと交戦に入ります！"), Sys("Barに敗北しました…"),
        Sys("Allyの援軍として戦闘に参加します！"), Sys("Bazを取り逃がしました"),
        Sys("Quxの強襲です！"), Sys("戦闘から撤退します"),
        Sys("Quxと交戦に入ります！"), Sys("全船が戦場を離れました"),
        Sys("Foeの強襲です！"), Sys("Foeと引き分けました"),
        Sys("ただちに戦闘海域に向かい、敵船を撃破せよ！！"),
        Sys("50ポイントを獲得しました！"), Sys("敵陣営が7ポイントを獲得しました！"),
        Sys("敵陣営に勝利しました！"),
        Sys("Foeの強襲です！")});

  ASSERT_EQ(app_.BattleCount(), 8);
  const int kinds[] = {1, 2, 3, 1, 2, 1, 4, 1};
  const int results[] = {1, 0, 2, 3, 3, 4, 1, 0};
  const int firstLines[] = {0, 2, 4, 6, 8, 10, 12, 16};
  for (int b = 0; b < 8; ++b) {
    EXPECT_EQ(app_.Battles[b].Kind, kinds[b]) << b;
    EXPECT_EQ(app_.Battles[b].Result, results[b]) << b;
    EXPECT_EQ(app_.Battles[b].FirstLine, firstLines[b]) << b;
  }
  // A reinforcement names the ally as admiral and keeps the previous opponent until the
  // result names another; a withdrawal keeps the opponent of the start message.
  EXPECT_EQ(NameOf(app_.Battles[2].Admiral), "Ally");
  EXPECT_EQ(NameOf(app_.Battles[2].Opponent), "Baz");
  EXPECT_EQ(NameOf(app_.Battles[4].Opponent), "Qux");
  EXPECT_EQ(app_.Battles[6].OwnPoints, 50);
  EXPECT_EQ(app_.Battles[6].EnemyPoints, 7);
  EXPECT_EQ(app_.Battles[6].ClassWord, 0x303);

  ExpectRow(0, "模擬大[集]  1戦目 YOU" + Spaces(15) + " 強襲 → ○ : Foe   ");
  ExpectRow(1, "模擬大[集]  2戦目 YOU" + Spaces(15) + " 交戦 → × : Bar   ");
  ExpectRow(2, "模擬大[集]  3戦目 Ally" + Spaces(14) + " 援軍 → 逃 : Baz   ");
  ExpectRow(3, "模擬大[集]  4戦目 YOU" + Spaces(15) + " 強襲 → 撤 : Qux   ");
  ExpectRow(4, "模擬大[集]  5戦目 YOU" + Spaces(15) + " 交戦 → 撤 : Qux   ");
  ExpectRow(5, "模擬大[集]  6戦目 YOU" + Spaces(15) + " 強襲 → － : 敵陣営   ");
  ExpectRow(6, "ＢＣ　[集]  7戦目 味方陣営" + Spaces(10) + " ○ : 敵陣営   50-7");
  ExpectRow(7, "<<<   8戦目 戦闘中 >>>");
  EXPECT_EQ(app_.State.BattleInProgress, 1);

  // The draw made the own camp the admiral of the next assault; after the camp battle the
  // type falls back to "模擬" and the size stays "none".
  Feed({Sys("Foeに敗北しました…")});
  EXPECT_EQ(NameOf(app_.Battles[7].Admiral), "味方陣営");
  ExpectRow(7, "模擬　[集]  8戦目 味方陣営" + Spaces(10) + " 強襲 → × : Foe   ");
  EXPECT_EQ(app_.BattleList.Count(), 8);
  for (int b = 0; b < 8; ++b) EXPECT_EQ(app_.BattleList.Rows[b], BattleLabel(app_, b)) << b;
  EXPECT_EQ(app_.State.BattleInProgress, 0);
}

TEST_F(Segmentation, StartMarksTheNamesOfTheNewBattle) {
  Feed({Sys("Foeの強襲です！"), Sys("Foeに勝利しました！"),
        Sys("Allyの援軍として戦闘に参加します！"), Sys("Foeに勝利しました！")});
  const BattleRecord& assault = app_.Battles[0];
  EXPECT_EQ(assault.Admiral, 0);
  EXPECT_EQ(assault.OwnSide[0], 0);
  EXPECT_EQ(assault.OwnSide[1], -1);
  EXPECT_EQ(NameOf(assault.EnemySide[0]), "Foe");
  EXPECT_EQ(assault.EnemySide[1], -1);
  EXPECT_EQ(Stats("Foe", 0).Present, 1);
  EXPECT_EQ(Stats("Foe", 0).Side, 2);
  EXPECT_EQ(Stats("YOU", 0).Present, 1);
  EXPECT_EQ(Stats("YOU", 0).Side, 1);

  const BattleRecord& reinforcement = app_.Battles[1];
  EXPECT_EQ(NameOf(reinforcement.OwnSide[0]), "Ally");
  EXPECT_EQ(Stats("Ally", 1).Side, 1);
  EXPECT_EQ(Stats("Ally", 1).Present, 1);
  // The owner takes part even when no line of the battle names them.
  EXPECT_EQ(Stats("YOU", 1).Present, 1);
  EXPECT_EQ(Stats("Foe", 1).Side, 0);
  EXPECT_EQ(NameOf(reinforcement.EnemySide[0]), "Foe");

  // The ships-down counters restart with every battle except a camp battle.
  Feed({Sys("Foeの強襲です！"), Sys("船が航行不能になりました"), Sys("Foeに勝利しました！"),
        Sys("ただちに戦闘海域に向かい、敵船を撃破せよ！！")});
  EXPECT_EQ(app_.State.OwnShipsDown, 1);
  Feed({Sys("敵陣営に勝利しました！"), Sys("Allyの援軍として戦闘に参加します！")});
  EXPECT_EQ(app_.State.OwnShipsDown, 0);
  Feed({Sys("Foeに勝利しました！")});

  // An opponent with an empty name is interned twice (an empty name never matches).
  const int before = app_.NameCount();
  Feed({Sys("の強襲です！")});
  EXPECT_EQ(app_.NameCount(), before + 2);
}

TEST_F(Segmentation, NpcFilterDecidesOnTheWholeStartMessage) {
  Feed({Sys("海賊団の強襲です！"), Sys("敵船海賊団を撃沈しました！"), Sys("海賊団に勝利しました！")});
  EXPECT_EQ(app_.BattleCount(), 0);
  EXPECT_EQ(app_.NameCount(), 1);
  EXPECT_EQ(app_.BattleList.Count(), 0);
  EXPECT_EQ(app_.State.CurrentOpponent, -1);

  // An entry that is part of the fixed wording excludes every battle of that kind, but a
  // camp battle is never filtered.
  app_.Lists.NpcNames = {S("強襲"), S("戦闘海域")};
  Feed({Sys("Foeの強襲です！"), Sys("Foeと交戦に入ります！"), Sys("Foeに勝利しました！"),
        Sys("ただちに戦闘海域に向かい、敵船を撃破せよ！！"), Sys("敵陣営に勝利しました！")});
  ASSERT_EQ(app_.BattleCount(), 2);
  EXPECT_EQ(app_.Battles[0].Kind, 2);
  EXPECT_EQ(app_.Battles[1].Kind, 4);

  app_.NpcCheck = true;
  Feed({Sys("海賊団の強襲です！"), Sys("海賊団に勝利しました！")});
  ASSERT_EQ(app_.BattleCount(), 3);
  EXPECT_EQ(NameOf(app_.Battles[2].Opponent), "海賊団");
}

TEST_F(Segmentation, NotCountedNoticeMarksTheBattleWhetherBeforeOrDuring) {
  Feed({Sys("戦力差が大きすぎるため、この戦闘は戦果に加算されません"),
        Party("Bossが提督になりました")});
  EXPECT_EQ(app_.State.BattleInProgress, kNotCountedFlag);
  EXPECT_EQ(app_.State.CurrentAdmiral, 0) << "fleet notices wait while the flag is pending";

  Feed({Sys("Foeの強襲です！")});
  EXPECT_EQ(app_.State.BattleInProgress, kNotCountedFlag | 1);
  ExpectRow(0, "<<<   1戦目 戦闘中 >>>");
  Feed({Sys("Foeに勝利しました！")});
  EXPECT_EQ(app_.Battles[0].TallyState, 2);
  EXPECT_EQ(app_.State.BattleInProgress, 0);
  ExpectRow(0, "模擬大[×]  1戦目 YOU" + Spaces(15) + " 強襲 → ○ : Foe   ");

  Feed({Sys("Barと交戦に入ります！"),
        Sys("すでに何度も対戦した相手なので戦果には加算されません"),
        Sys("Barに勝利しました！"),
        Sys("Bazと交戦に入ります！"), Sys("Bazに勝利しました！")});
  EXPECT_EQ(app_.Battles[1].TallyState, 2);
  EXPECT_EQ(app_.Battles[2].TallyState, 1) << "the flag ends with the battle it marked";
}

TEST_F(Segmentation, FleetNoticesSetTheAdmiralOfLaterBattles) {
  Feed({Party("提督・Bossの艦隊に参加しました"), Sys("Foeの強襲です！"),
        Party("Chiefが提督になりました"),  // ignored: a battle is in progress
        Sys("Foeに勝利しました！")});
  EXPECT_EQ(NameOf(app_.Battles[0].Admiral), "Boss");
  EXPECT_EQ(NameOf(app_.Battles[0].OwnSide[0]), "Boss");
  EXPECT_EQ(NameOf(app_.State.CurrentAdmiral), "Boss");

  Feed({Party("Chiefが提督になりました"), Sys("Foeの強襲です！"), Sys("Foeに勝利しました！")});
  EXPECT_EQ(NameOf(app_.Battles[1].Admiral), "Chief");

  // Joining a fleet without the admiral's title changes nothing; a disband means sailing
  // alone again.
  Feed({Party("Someの艦隊に参加しました")});
  EXPECT_EQ(NameOf(app_.State.CurrentAdmiral), "Chief");
  Feed({Party("艦隊が解散しました"), Sys("Foeの強襲です！"), Sys("Foeに勝利しました！")});
  EXPECT_EQ(app_.Battles[2].Admiral, 0);
  EXPECT_EQ(Name("Some"), -1);
}

TEST_F(Segmentation, EventPhasesSetTheClassOfTheNextBattle) {
  auto battle = [&] { Feed({Sys("Foeの強襲です！"), Sys("Foeに勝利しました！")}); };
  Feed({Notice("『大海戦』の開戦しました！")});
  battle();
  Feed({Notice("『大海戦』の中盤戦を開始します")});
  battle();
  Feed({Notice("『大海戦』の終盤戦を開始します")});
  battle();
  Feed({Notice("『大海戦』の海戦を終了いたします")});
  battle();
  Feed({Notice("開戦しました！"), Sys("『大海戦』の中盤戦を開始します")});  // no effect
  battle();
  const int classes[] = {0x000, 0x001, 0x002, 0x102, 0x102};
  for (int b = 0; b < 5; ++b) EXPECT_EQ(app_.Battles[b].ClassWord, classes[b]) << b;
  ExpectRow(0, "海戦小[集]  1戦目 YOU" + Spaces(15) + " 強襲 → ○ : Foe   ");
  ExpectRow(1, "海戦中[集]  2戦目 YOU" + Spaces(15) + " 強襲 → ○ : Foe   ");

  // A phase notice during a camp battle leaves a camp battle with a normal type: it has no
  // kind label and no points.
  Feed({Sys("ただちに戦闘海域に向かい、敵船を撃破せよ！！"), Notice("『大海戦』の開戦しました！"),
        Sys("3ポイントを獲得しました！"), Sys("敵陣営に勝利しました！")});
  EXPECT_EQ(app_.Battles[5].ClassWord, 0x000);
  ExpectRow(5, "海戦小[集]  6戦目 味方陣営" + Spaces(10) + "  → ○ : 敵陣営   ");
  // The end of the battle ages the camp type only, and only when it is still there.
  EXPECT_EQ(app_.State.CurrentClass, 0x000);
}

TEST_F(Segmentation, DecisiveCreditsWhoeverTookOutTheLosingLeader) {
  Feed({Sys("Foeの強襲です！"), Sys("敵船Foeの攻撃により、撃沈されました！"),
        Sys("Foeに敗北しました…"),
        Sys("Barの強襲です！"), Sys("MateがBarを撃沈しました！"), Sys("Barに勝利しました！"),
        Sys("Bazの強襲です！"), Sys("Bazに勝利しました！")});
  EXPECT_EQ(Stats("Foe", 0).BattleCounts[kDecisive], 1);
  EXPECT_EQ(Stats("Mate", 1).BattleCounts[kDecisive], 1);
  EXPECT_EQ(Stats("YOU", 1).BattleCounts[kDecisive], 0);
  for (int n = 0; n < app_.NameCount(); ++n) {
    EXPECT_EQ(app_.Names.Stats(n, 2)->BattleCounts[kDecisive], 0) << NameOf(n);
  }
}

// Five own ships and two enemies go down; those who came through get a share by side.
TEST_F(Segmentation, TenacityDependsOnSideAndResult) {
  struct Case {
    const char* result;
    int ownSide, enemySide;
  } cases[] = {{"Foeに勝利しました！", 6, 2}, {"Foeに敗北しました…", 5, 4},
               {"Foeを取り逃がしました", 5, 4}, {"戦闘から撤退します", 6, 2},
               {"Foeと引き分けました", 5, 2}};
  for (const Case& c : cases) {
    App app;
    test::SetUpApp(app, dir_);
    std::vector<std::string> lines = {Sys("Foeの強襲です！"), Sys("Mateの帆を直しました"),
                                      Sys("Dualの帆を直しました"), Sys("Dualの舵を損傷させました"),
                                      Sys("Oopsの誤射により、Mateの船が傷つきました"),
                                      Sys("敵船Gruntを拿捕しました！")};
    for (int k = 0; k < 4; ++k) {
      const std::string name = "Down" + std::to_string(k);
      lines.push_back(Sys(name + "の帆を直しました"));
      lines.push_back(Sys(name + "の船が航行不能になりました"));
    }
    lines.push_back(Sys("船が航行不能になりました"));
    for (int k = 0; k < 2; ++k) {
      const std::string name = "Enemy" + std::to_string(k);
      lines.push_back(Sys(name + "の舵を損傷させました"));
      lines.push_back(Sys(name + "の船が航行不能になりました"));
    }
    lines.push_back(Sys(c.result));
    test::AddStoredLines(app, lines);
    AnalyseLines(app, 0);

    auto tenacity = [&](const char* name) {
      for (int n = 0; n < app.NameCount(); ++n) {
        if (app.Names[n].Name == S(name)) return app.Names.Stats(n, 0)->ExtraCounts[kTenacity];
      }
      ADD_FAILURE() << name;
      return -99;
    };
    SCOPED_TRACE(c.result);
    EXPECT_EQ(app.State.OwnShipsDown, 5);
    EXPECT_EQ(app.State.EnemyShipsDown, 2);
    EXPECT_EQ(tenacity("Mate"), c.ownSide);
    EXPECT_EQ(tenacity("Foe"), c.enemySide);
    EXPECT_EQ(tenacity("Dual"), 4) << "both sides: 7/2 + 7/4";
    EXPECT_EQ(tenacity("Oops"), 4) << "no side: 7/2 + 7/4";
    // Ships that went down keep the count from the moment they went down; a captured
    // ship gets none at the end.
    EXPECT_EQ(tenacity("Down0"), 0);
    EXPECT_EQ(tenacity("Down3"), 3);
    EXPECT_EQ(tenacity("YOU"), 4);
    EXPECT_EQ(tenacity("Enemy1"), 1);
    EXPECT_EQ(tenacity("Grunt"), 0);
  }
}

TEST_F(Segmentation, ProgressIsShownAtAbsoluteMultiplesOf64) {
  std::vector<std::string> seen;
  app_.OnStatusChanged = [&] { seen.push_back(U(app_.StatusText)); };
  test::AddStoredLines(app_, std::vector<std::string>(130, "~2hello"));
  AnalyseLines(app_, 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"解析中:0%", "解析中:49%", "解析中:98%", "解析中:100%"}));

  seen.clear();
  AnalyseLines(app_, 70);
  EXPECT_EQ(seen, (std::vector<std::string>{"解析中:98%", "解析中:100%"}));
  seen.clear();
  AnalyseLines(app_, 130);
  EXPECT_EQ(seen, (std::vector<std::string>{"解析中:100%"}));
}

TEST_F(Segmentation, FullBattleTableRefusesFurtherBattlesOnce) {
  std::vector<std::string> lines;
  for (int b = 0; b < kMaxBattles; ++b) {
    lines.push_back(Sys("Foeの強襲です！"));
    lines.push_back(Sys("Foeに勝利しました！"));
  }
  Feed(lines);
  ASSERT_EQ(app_.BattleCount(), kMaxBattles);
  EXPECT_TRUE(app_.ErrorLines.empty());
  Feed({Party("Bossが提督になりました")});
  const AnalysisState before = app_.State;
  const int names = app_.NameCount();

  Feed({Sys("海賊の強襲です！"),  // filtered out: not a refusal
        Sys("Newの強襲です！"), Sys("Newに勝利しました！"),
        Sys("ただちに戦闘海域に向かい、敵船を撃破せよ！！"), Sys("Otherと交戦に入ります！")});
  EXPECT_EQ(app_.BattleCount(), kMaxBattles);
  EXPECT_EQ(app_.BattleList.Count(), kMaxBattles);
  EXPECT_EQ(app_.NameCount(), names);
  EXPECT_EQ(app_.State.BattleInProgress, 0);
  EXPECT_EQ(app_.State.CurrentOpponent, before.CurrentOpponent);
  EXPECT_EQ(app_.State.CurrentAdmiral, before.CurrentAdmiral);
  EXPECT_EQ(app_.State.CurrentClass, before.CurrentClass);
  EXPECT_EQ(app_.ErrorLines, std::vector<std::string>{"@@@@@@@ Error Code 004 @@@@@@@ Line:1027"});
}

// Everything the analysis produces, as one comparable text.
std::string Dump(const App& app) {
  std::ostringstream out;
  const AnalysisState& s = app.State;
  out << "state " << s.BattleInProgress << ' ' << s.CurrentAdmiral << ' ' << s.CurrentOpponent
      << ' ' << s.OwnShipsDown << ' ' << s.EnemyShipsDown << ' ' << s.CurrentClass << '\n';
  for (const BattleRecord& r : app.Battles) {
    out << "battle " << r.FirstLine << ' ' << r.Kind << ' ' << r.Result << ' ' << r.TallyState
        << ' ' << r.ClassWord << ' ' << r.CriticalsDealt << ' ' << r.CriticalsTaken << ' '
        << r.Admiral << ' ' << r.Opponent << ' ' << r.OwnPoints << ' ' << r.EnemyPoints;
    for (int n : r.OwnSide) out << ' ' << n;
    for (int n : r.EnemySide) out << ' ' << n;
    out << '\n';
  }
  for (int n = 0; n < app.NameCount(); ++n) {
    const NameRecord& rec = app.Names[n];
    out << "name " << U(rec.Name) << ' ' << rec.Visible << '\n';
    for (int b = 0; b < app.BattleCount(); ++b) {
      const NameBattleStats* st = app.Names.Stats(n, b);
      out << ' ' << st->Side << ',' << st->OwnerRelation << ',' << st->TakenBy << ','
          << st->Present;
      for (int c : st->BattleCounts) out << ',' << c;
      for (int c : st->ExtraCounts) out << ',' << c;
    }
    for (const UseCount& u : rec.Uses) out << " use:" << u.Battle << ':' << u.Item << ':' << u.Index << '=' << u.Count;
    out << '\n';
  }
  for (const std::string& row : app.BattleList.Rows) out << "row " << U(row) << '\n';
  for (const std::string& line : app.ErrorLines) out << "error " << U(line) << '\n';
  return out.str();
}

TEST_F(Segmentation, AnalysingInTwoRunsEqualsOneRunAtEverySplitPoint) {
  const std::vector<std::string> log = {
      Party("提督・Bossの艦隊に参加しました"),
      Sys("Foeの強襲です！"),
      "~2chat",
      Sys("BossがFoeを撃沈しました！"),
      "~s速射",
      "~iMateが豪華料理",
      Sys("Mateの帆を直しました"),
      Sys("Mateの船が航行不能になりました"),
      Sys("XがYがZを撃沈しました！"),
      Sys("Foeに勝利しました！"),
      Sys("戦力差が大きすぎるため、この戦闘は戦果に加算されません"),
      Party("艦隊が解散しました"),
      Notice("『大海戦』の中盤戦を開始します"),
      Sys("Barと交戦に入ります！"),
      Sys("敵船Barの攻撃により、撃沈されました！"),
      Sys("船が航行不能になりました"),
      "~s謎の技",
      Sys("Barに敗北しました…"),
      Sys("ただちに戦闘海域に向かい、敵船を撃破せよ！！"),
      Sys("12ポイントを獲得しました！"),
      Sys("x3ポイントを獲得しました！"),
      Sys("と引き分けました"),
      Sys("Allyの援軍として戦闘に参加します！"),
      Sys("Bazの攻撃により、被害甚大"),
  };
  App whole;
  test::SetUpApp(whole, dir_);
  test::AddStoredLines(whole, log);
  AnalyseLines(whole, 0);
  ASSERT_EQ(whole.BattleCount(), 4);
  ASSERT_EQ(whole.ErrorLines.size(), 3u);
  const std::string expected = Dump(whole);

  for (std::size_t k = 0; k <= log.size(); ++k) {
    App split;
    test::SetUpApp(split, dir_);
    test::AddStoredLines(split, std::vector<std::string>(log.begin(), log.begin() + k));
    AnalyseLines(split, 0);
    test::AddStoredLines(split, std::vector<std::string>(log.begin() + k, log.end()));
    AnalyseLines(split, static_cast<int>(k));
    EXPECT_EQ(Dump(split), expected) << "split at " << k;
  }
}

}  // namespace
}  // namespace mizuto
