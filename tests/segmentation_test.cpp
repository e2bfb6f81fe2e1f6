#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/owner/analysis_driver.h"
#include "app/owner/app.h"
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
const char* kCampStart = "ただちに戦闘海域に向かい、敵船を撃破せよ！！";

class Segmentation : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteListFile(dir_.File("NPCList.txt"), {"海賊"});
    test::WriteListFile(dir_.File("SkillList.txt"), {"速射"});
    test::WriteListFile(dir_.File("ItemList.txt"), {"豪華料理,2"});
    test::SetUpApp(app_, dir_);
  }
  // Appends the lines and analyses only them, as active mode does.
  void Feed(const std::vector<std::string>& utf8Lines) { test::AnalyseMore(app_, utf8Lines); }
  int Name(const std::string& utf8) const { return test::NameIndex(app_, utf8); }
  std::string NameOf(int n) const { return n < 0 ? "-1" : U(app_.Names[n].Name); }
  std::string Row(int row) const {
    return U(app_.BattleList.Rows.at(static_cast<std::size_t>(row)));
  }

  test::TempDir dir_;
  App app_;
};

TEST_F(Segmentation, EachStartAndResultKindGivesItsRecordAndLabel) {
  Feed({Sys("Foeの強襲です！"), Sys("Foeに勝利しました！"), Sys("Barと交戦に入ります！"),
        Sys("Barに敗北しました…"), Sys("Allyの援軍として戦闘に参加します！"), Sys("Bazを取り逃がしました"),
        Sys("Quxの強襲です！"), Sys("戦闘から撤退します"), Sys("Quxと交戦に入ります！"),
        Sys("全船が戦場を離れました"), Sys("Foeの強襲です！"), Sys("Foeと引き分けました"),
        Sys(kCampStart), Sys("50ポイントを獲得しました！"), Sys("敵陣営が7ポイントを獲得しました！"),
        Sys("敵陣営に勝利しました！"), Sys("Foeの強襲です！")});
  ASSERT_EQ(app_.BattleCount(), 8);
  const int firstLines[] = {0, 2, 4, 6, 8, 10, 12, 16};
  for (int b = 0; b < 8; ++b) EXPECT_EQ(app_.Battles[b].FirstLine, firstLines[b]);
  // A reinforcement has the ally as admiral; a withdrawal keeps the start's opponent.
  EXPECT_EQ(Row(0), "模擬大[集]  1戦目 YOU" + Spaces(15) + " 強襲 → ○ : Foe   ");
  EXPECT_EQ(Row(1), "模擬大[集]  2戦目 YOU" + Spaces(15) + " 交戦 → × : Bar   ");
  EXPECT_EQ(Row(2), "模擬大[集]  3戦目 Ally" + Spaces(14) + " 援軍 → 逃 : Baz   ");
  EXPECT_EQ(Row(3), "模擬大[集]  4戦目 YOU" + Spaces(15) + " 強襲 → 撤 : Qux   ");
  EXPECT_EQ(Row(4), "模擬大[集]  5戦目 YOU" + Spaces(15) + " 交戦 → 撤 : Qux   ");
  EXPECT_EQ(Row(5), "模擬大[集]  6戦目 YOU" + Spaces(15) + " 強襲 → － : 敵陣営   ");
  EXPECT_EQ(Row(6), "ＢＣ　[集]  7戦目 味方陣営" + Spaces(10) + " ○ : 敵陣営   50-7");
  EXPECT_EQ(Row(7), "<<<   8戦目 戦闘中 >>>");

  // Sides and presence as the start left them.
  EXPECT_EQ(app_.Battles[0].OwnSide[0], 0);
  EXPECT_EQ(NameOf(app_.Battles[0].EnemySide[0]), "Foe");
  EXPECT_TRUE(app_.Names.Stats(Name("Foe"), 0)->OnlyOn(Side::Enemy));
  EXPECT_EQ(NameOf(app_.Battles[2].OwnSide[0]), "Ally");
  EXPECT_TRUE(app_.Names.Stats(Name("Ally"), 2)->OnlyOn(Side::Own));
  // The owner takes part in every battle.
  for (int b = 0; b < 8; ++b) EXPECT_TRUE(app_.Names.Stats(0, b)->OnlyOn(Side::Own)) << b;

  // The draw made the own camp the admiral of the next assault; after the camp battle the
  // type is "模擬" and the size stays "none".
  Feed({Sys("Foeに敗北しました…")});
  EXPECT_EQ(Row(7), "模擬　[集]  8戦目 味方陣営" + Spaces(10) + " 強襲 → × : Foe   ");
  for (int b = 0; b < 8; ++b) EXPECT_EQ(app_.BattleList.Rows[b], BattleLabel(app_, b));

  // The ships-down counters restart with every battle except a camp battle; an empty
  // opponent name is interned twice (an empty name never matches).
  Feed({Sys("Foeの強襲です！"), Sys("船が航行不能になりました"), Sys("Foeに勝利しました！"), Sys(kCampStart)});
  EXPECT_EQ(app_.State.OwnShipsDown, 1);
  const int names = app_.NameCount();
  Feed({Sys("敵陣営に勝利しました！"), Sys("の強襲です！")});
  EXPECT_EQ(app_.State.OwnShipsDown, 0);
  EXPECT_EQ(app_.NameCount(), names + 2);
}

TEST_F(Segmentation, NpcFilterDecidesOnTheWholeStartMessage) {
  Feed({Sys("海賊団の強襲です！"), Sys("敵船海賊団を撃沈しました！"), Sys("海賊団に勝利しました！")});
  EXPECT_EQ(app_.BattleCount(), 0);
  EXPECT_EQ(app_.NameCount(), 1);
  EXPECT_EQ(app_.BattleList.Count(), 0);

  // An entry in the fixed wording excludes every battle of that kind; camp battles pass.
  app_.Lists.NpcNames = {S("強襲"), S("戦闘海域")};
  Feed({Sys("Foeの強襲です！"), Sys("Foeと交戦に入ります！"), Sys("Foeに勝利しました！"), Sys(kCampStart),
        Sys("敵陣営に勝利しました！")});
  ASSERT_EQ(app_.BattleCount(), 2);
  EXPECT_EQ(app_.Battles[0].Kind, BattleKind::Engagement);
  EXPECT_EQ(app_.Battles[1].Kind, BattleKind::Camp);

  app_.NpcCheck = true;
  Feed({Sys("海賊団の強襲です！"), Sys("海賊団に勝利しました！")});
  EXPECT_EQ(app_.BattleCount(), 3);
}

TEST_F(Segmentation, NotCountedNoticeAndFleetNotices) {
  Feed({Party("提督・Bossの艦隊に参加しました"), Sys("戦力差が大きすぎるため、この戦闘は戦果に加算されません"),
        Party("Chiefが提督になりました")});  // ignored while the flag is pending
  EXPECT_EQ(app_.State.BattleInProgress, std::nullopt);
  EXPECT_TRUE(app_.State.NotCountedNotice);
  Feed({Sys("Foeの強襲です！"), Party("Chiefが提督になりました"), Sys("Foeに勝利しました！")});
  EXPECT_EQ(Row(0), "模擬大[×]  1戦目 Boss" + Spaces(14) + " 強襲 → ○ : Foe   ");
  EXPECT_EQ(app_.Battles[0].Tally, test::kRefused);
  EXPECT_EQ(app_.State.BattleInProgress, std::nullopt);
  EXPECT_FALSE(app_.State.NotCountedNotice);

  Feed({Party("Chiefが提督になりました"), Sys("Barと交戦に入ります！"),
        Sys("すでに何度も対戦した相手なので戦果には加算されません"), Sys("Barに勝利しました！"),
        Party("Someの艦隊に参加しました"),  // no admiral's title: no change
        Sys("Bazと交戦に入ります！"), Sys("Bazに勝利しました！"),
        Party("艦隊が解散しました"), Sys("Bazと交戦に入ります！"), Sys("Bazに勝利しました！")});
  EXPECT_EQ(app_.Battles[1].Tally, test::kRefused);
  EXPECT_EQ(app_.Battles[2].Tally, test::kCounted) << "the flag ends with the battle it marked";
  EXPECT_EQ(NameOf(app_.Battles[1].Admiral), "Chief");
  EXPECT_EQ(NameOf(app_.Battles[2].Admiral), "Chief");
  EXPECT_EQ(app_.Battles[3].Admiral, 0);
}

TEST_F(Segmentation, EventPhasesSetTheClassOfLaterBattles) {
  const std::vector<std::string> battle = {Sys("Foeの強襲です！"), Sys("Foeに勝利しました！")};
  for (const char* phase : {"『大海戦』の開戦しました！", "『大海戦』の終盤戦を開始します",
                            "『大海戦』の中盤戦を開始します", "『大海戦』の海戦を終了いたします",
                            "開戦しました！"}) {
    Feed({Notice(phase)});
    Feed(battle);
  }
  Feed({Sys("『大海戦』の開戦しました！")});  // only notices count
  Feed(battle);
  const BattleClass classes[] = {{ShipSize::Small, BattleType::Naval}, {ShipSize::Large, BattleType::Naval},
                                 {ShipSize::Medium, BattleType::Naval}, {ShipSize::Medium, BattleType::Mock},
                                 {ShipSize::Medium, BattleType::Mock}, {ShipSize::Medium, BattleType::Mock}};
  for (int b = 0; b < 6; ++b) EXPECT_EQ(app_.Battles[b].Class, classes[b]) << b;
  EXPECT_EQ(Row(2), "海戦中[集]  3戦目 YOU" + Spaces(15) + " 強襲 → ○ : Foe   ");

  // A notice during a camp battle leaves a camp battle of a normal type: no kind label,
  // no points, and no ageing of the class.
  Feed({Sys(kCampStart), Notice("『大海戦』の開戦しました！"), Sys("3ポイントを獲得しました！"),
        Sys("敵陣営に勝利しました！")});
  EXPECT_EQ(Row(6), "海戦小[集]  7戦目 味方陣営" + Spaces(10) + "  → ○ : 敵陣営   ");
  EXPECT_EQ(app_.State.CurrentClass, (BattleClass{ShipSize::Small, BattleType::Naval}));
}

// The decisive credit goes to whoever took out the losing side's leader: on a defeat the own
// admiral (the owner, or the fleet leader he sails under), on a victory the named opponent.
TEST_F(Segmentation, DecisiveCreditsWhoeverTookOutTheLosingLeader) {
  const std::string joined = Party("提督・Bossの艦隊に参加しました");
  const std::string start = Sys("Foeの強襲です！"), lost = Sys("Foeに敗北しました…");
  const std::string bossSunk = Sys("Gruntの攻撃により、Bossの船が撃沈されました！");
  const struct {
    const char* name;
    std::vector<std::string> lines;
    const char* credited;
  } cases[] = {
      {"owner leads, sunk", {start, Sys("敵船Foeの攻撃により、撃沈されました！"), lost}, "Foe=1"},
      {"joined leader sunk", {joined, start, bossSunk, lost}, "Grunt=1"},
      {"promoted leader captured",
       {Party("Bossが提督になりました"), start, Sys("Gruntにより、Bossが拿捕されました"), lost}, "Grunt=1"},
      {"leader defeated in an area", {joined, start, Sys("Bossが自海域でGruntに撃破されました！！"), lost},
       "Grunt=1"},
      {"leader taken twice: the last taker",
       {joined, start, Sys("Gruntにより、Bossが拿捕されました"), Sys("Bruteの攻撃により、Bossの船が撃沈されました！"),
        lost},
       "Brute=1"},
      {"leader came through, the owner was sunk",
       {joined, start, Sys("敵船Foeの攻撃により、撃沈されました！"), lost}, ""},
      {"fleet disbanded: the owner leads again", {joined, Party("艦隊が解散しました"), start, bossSunk, lost}, ""},
      {"owner leads and came through", {start, Sys("GruntがMateを撃沈しました！"), lost}, ""},
      {"opponent taken", {start, Sys("MateがFoeを撃沈しました！"), Sys("Foeに勝利しました！")}, "Mate=1"},
      {"the result names the opponent", {start, Sys("MateがBarを撃沈しました！"), Sys("Barに勝利しました！")},
       "Mate=1"},
      {"opponent not taken", {start, Sys("Foeに勝利しました！")}, ""},
      {"a draw credits nobody", {start, Sys("敵船Foeの攻撃により、撃沈されました！"), Sys("Foeと引き分けました")}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    App app;
    test::SetUpApp(app, dir_);
    test::AddStoredLines(app, c.lines);
    AnalyseNewLines(app, 0);
    ASSERT_EQ(app.BattleCount(), 1);
    ASSERT_EQ(app.State.BattleInProgress, std::nullopt);
    std::string credited;
    for (int n = 0; n < app.NameCount(); ++n) {
      const int decisive = app.Names.Stats(n, 0)->BattleCounts[kDecisive];
      if (decisive != 0) credited += U(app.Names[n].Name) + "=" + std::to_string(decisive);
    }
    EXPECT_EQ(credited, c.credited);
  }
}

// A reinforcement names no opponent when it starts: a withdrawal leaves the one of the battle
// before. Its ships-down counts start from nothing, whatever the battle before left.
TEST_F(Segmentation, ReinforcementWithdrawalKeepsTheLastOpponentAndRestartsTheShipsDownCounts) {
  const struct {
    const char* name;
    std::vector<std::string> before;
    int ownDown, enemyDown;
    const char* opponent;
  } cases[] = {
      {"first battle", {}, 0, 0, "???"},
      {"after a won assault",
       {Sys("Foeの強襲です！"), Sys("船が航行不能になりました"), Sys("Mateの帆を直しました"),
        Sys("Mateの船が航行不能になりました"), Sys("Foeの船が航行不能になりました"), Sys("Foeに勝利しました！")},
       2, 1, "Foe"},
      {"after a draw", {Sys("Foeの強襲です！"), Sys("船が航行不能になりました"), Sys("Foeと引き分けました")}, 1, 0,
       "敵陣営"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    App app;
    test::SetUpApp(app, dir_);
    test::AddStoredLines(app, c.before);
    AnalyseNewLines(app, 0);
    ASSERT_EQ(app.State.OwnShipsDown, c.ownDown);
    ASSERT_EQ(app.State.EnemyShipsDown, c.enemyDown);
    const int b = app.BattleCount();
    test::AnalyseMore(app, {Sys("Allyの援軍として戦闘に参加します！")});
    EXPECT_EQ(app.State.OwnShipsDown, 0);
    EXPECT_EQ(app.State.EnemyShipsDown, 0);
    test::AnalyseMore(app, {Sys("船が航行不能になりました"), Sys("Allyの船が航行不能になりました"),
                            Sys("Palの帆を直しました"), Sys("Enの舵を損傷させました"),
                            Sys("Enの船が航行不能になりました"), Sys("戦闘から撤退します")});
    ASSERT_EQ(app.BattleCount(), b + 1);
    EXPECT_EQ(app.Battles[b].Result, BattleResult::Withdrawn);
    EXPECT_EQ(U(app.BattleList.Rows[b]), "模擬大[集]  " + std::to_string(b + 1) + "戦目 Ally" + Spaces(14) +
                                             " 援軍 → 撤 : " + c.opponent + "   ");
    // Counted from this battle's start: own 0, 1 at the moment each went down; Pal came
    // through a withdrawal with two own ships and one enemy down: 2 + 1 / 2.
    std::string tenacity;
    for (int n = 0; n < app.NameCount(); ++n) {
      const NameBattleStats* s = app.Names.Stats(n, b);
      if (s->Present) tenacity += U(app.Names[n].Name) + "=" + std::to_string(s->ExtraCounts[kTenacity]) + " ";
    }
    EXPECT_EQ(tenacity, "YOU=0 Ally=1 Pal=2 En=0 ");
  }
}

TEST_F(Segmentation, TenacityAtTheEndOfABattle) {
  // Five own ships and two enemies go down; who came through gets a share by side.
  const struct {
    const char* result;
    int ownSide, enemySide;
  } cases[] = {{"Foeに勝利しました！", 6, 2}, {"Foeに敗北しました…", 5, 4}, {"Foeを取り逃がしました", 5, 4},
               {"戦闘から撤退します", 6, 2}, {"Foeと引き分けました", 5, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    App app;
    test::SetUpApp(app, dir_);
    std::vector<std::string> lines = {Sys("Foeの強襲です！"), Sys("Mateの帆を直しました"),
                                      Sys("Dualの帆を直しました"), Sys("Dualの舵を損傷させました"),
                                      Sys("Oopsの誤射により、Mateの船が傷つきました"), Sys("敵船Gruntを拿捕しました！")};
    for (const char* down : {"D0", "D1", "D2", "D3"}) {
      lines.push_back(Sys(std::string(down) + "の帆を直しました"));
      lines.push_back(Sys(std::string(down) + "の船が航行不能になりました"));
    }
    lines.push_back(Sys("船が航行不能になりました"));
    for (const char* down : {"E0", "E1"}) {
      lines.push_back(Sys(std::string(down) + "の舵を損傷させました"));
      lines.push_back(Sys(std::string(down) + "の船が航行不能になりました"));
    }
    lines.push_back(Sys(c.result));
    test::AddStoredLines(app, lines);
    AnalyseNewLines(app, 0);
    std::string got;
    for (int n = 0; n < app.NameCount(); ++n) {
      const NameBattleStats* s = app.Names.Stats(n, 0);
      if (!s->Present) continue;
      got += U(app.Names[n].Name) + "=" + std::to_string(s->ExtraCounts[kTenacity]) + " ";
    }
    // Both sides or none: 7/2 + 7/4. Who went down keeps the count of that moment; a
    // captured ship gets nothing.
    EXPECT_EQ(got, "YOU=4 Foe=" + std::to_string(c.enemySide) +
                       " Mate=" + std::to_string(c.ownSide) +
                       " Dual=4 Oops=4 Grunt=0 D0=0 D1=1 D2=2 D3=3 E0=0 E1=1 ");
  }
}

TEST_F(Segmentation, ProgressIsShownAtAbsoluteMultiplesOf64) {
  std::vector<std::string> seen;
  app_.OnStatusChanged = [&] { seen.push_back(U(app_.StatusText)); };
  test::AddStoredLines(app_, std::vector<std::string>(130, "~2hello"));
  AnalyseNewLines(app_, 0);
  AnalyseNewLines(app_, 70);
  AnalyseNewLines(app_, 130);
  EXPECT_EQ(seen, (std::vector<std::string>{"解析中:0%", "解析中:49%", "解析中:98%", "解析中:100%",
                                            "解析中:98%", "解析中:100%", "解析中:100%"}));
}

TEST_F(Segmentation, FullBattleTableRefusesFurtherBattlesOnce) {
  std::vector<std::string> lines;
  for (int b = 0; b < kMaxBattles; ++b) {
    lines.push_back(Sys("Foeの強襲です！"));
    lines.push_back(Sys("Foeに勝利しました！"));
  }
  lines.push_back(Party("Bossが提督になりました"));
  Feed(lines);
  ASSERT_EQ(app_.BattleCount(), kMaxBattles);
  const AnalysisState before = app_.State;
  const int names = app_.NameCount();

  Feed({Sys("海賊の強襲です！"),  // filtered out: not a refusal
        Sys("Newの強襲です！"), Sys("Newに勝利しました！"), Sys(kCampStart), Sys("Otherと交戦に入ります！")});
  EXPECT_EQ(app_.BattleCount(), kMaxBattles);
  EXPECT_EQ(app_.BattleList.Count(), kMaxBattles);
  EXPECT_EQ(app_.NameCount(), names);
  EXPECT_EQ(app_.State.BattleInProgress, std::nullopt);
  EXPECT_EQ(app_.State.CurrentOpponent, before.CurrentOpponent);
  EXPECT_EQ(app_.State.CurrentClass, before.CurrentClass);
  EXPECT_EQ(app_.ErrorLines, std::vector<std::string>{"@@@@@@@ Error Code 004 @@@@@@@ Line:1027"});
}

// Everything the analysis produces, as one comparable text.
std::string Dump(const App& app) {
  std::ostringstream out;
  const AnalysisState& s = app.State;
  out << (s.BattleInProgress ? ToStored(*s.BattleInProgress) : 0) << ' ' << s.NotCountedNotice << ' ' << s.CurrentAdmiral << ' ' << s.CurrentOpponent << ' '
      << s.OwnShipsDown << ' ' << s.EnemyShipsDown << ' ' << ::testing::PrintToString(s.CurrentClass) << '\n';
  for (const BattleRecord& r : app.Battles) {
    out << r.FirstLine << ' ' << ToStored(r.Kind) << ' ' << ToStored(r.Result) << ' ' << r.Tally.CountMark << r.Tally.GameSaysNotCounted << ' '
        << ::testing::PrintToString(r.Class) << ' ' << r.CriticalsDealt << ' ' << r.CriticalsTaken << ' ' << r.OwnPoints
        << ' ' << r.EnemyPoints;
    for (int n : r.OwnSide) out << ' ' << n;
    for (int n : r.EnemySide) out << ' ' << n;
    out << '\n';
  }
  for (int n = 0; n < app.NameCount(); ++n) {
    out << U(app.Names[n].Name);
    for (int b = 0; b < app.BattleCount(); ++b) {
      const NameBattleStats* st = app.Names.Stats(n, b);
      out << " | " << st->Sides.ToStored() << ' ' << st->OwnerRelations.ToStored() << ' ' << st->TakenBy << ' '
          << st->Present;
      for (int c : st->BattleCounts) out << ' ' << c;
      for (int c : st->ExtraCounts) out << ' ' << c;
    }
    for (const UseCount& u : app.Names[n].Uses) {
      out << " use " << u.Battle << ':' << u.Item << ':' << u.Index << '=' << u.Count;
    }
    out << '\n';
  }
  for (const std::string& row : app.BattleList.Rows) out << U(row) << '\n';
  for (const std::string& line : app.ErrorLines) out << U(line) << '\n';
  return out.str();
}

TEST_F(Segmentation, AnalysingInTwoRunsEqualsOneRunAtEverySplitPoint) {
  const std::vector<std::string> log = {
      Party("提督・Bossの艦隊に参加しました"), Sys("Foeの強襲です！"), "~2chat", Sys("BossがFoeを撃沈しました！"),
      "~s速射", "~iMateが豪華料理", Sys("Mateの帆を直しました"), Sys("Mateの船が航行不能になりました"),
      Sys("XがYがZを撃沈しました！"), Sys("Foeに勝利しました！"),
      Sys("戦力差が大きすぎるため、この戦闘は戦果に加算されません"), Party("艦隊が解散しました"),
      Notice("『大海戦』の中盤戦を開始します"), Sys("Barと交戦に入ります！"),
      Sys("敵船Barの攻撃により、撃沈されました！"), Sys("船が航行不能になりました"), "~s謎の技",
      Sys("Barに敗北しました…"), Sys(kCampStart), Sys("12ポイントを獲得しました！"),
      Sys("x3ポイントを獲得しました！"), Sys("と引き分けました"), Sys("Allyの援軍として戦闘に参加します！"),
      Sys("Bazの攻撃により、被害甚大")};
  App whole;
  test::SetUpApp(whole, dir_);
  test::AddStoredLines(whole, log);
  AnalyseNewLines(whole, 0);
  ASSERT_EQ(whole.BattleCount(), 4);
  ASSERT_EQ(whole.ErrorLines.size(), 3u);
  const std::string expected = Dump(whole);

  for (std::size_t k = 0; k <= log.size(); ++k) {
    App split;
    test::SetUpApp(split, dir_);
    test::AddStoredLines(split, std::vector<std::string>(log.begin(), log.begin() + k));
    AnalyseNewLines(split, 0);
    test::AddStoredLines(split, std::vector<std::string>(log.begin() + k, log.end()));
    AnalyseNewLines(split, static_cast<int>(k));
    EXPECT_EQ(Dump(split), expected) << "split at " << k;
  }
}

}  // namespace
}  // namespace mizuto
