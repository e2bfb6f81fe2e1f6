// The chat-log generator, run as the build makes it: its logs must be reproducible, read
// back into every channel, and analysed into exactly the battles it meant to write.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "app/owner/analysis_driver.h"
#include "app/owner/app.h"
#include "app/commands/settings_file.h"
#include "battle/segmentation.h"
#include "ingest/chat_log_reader.h"
#include "support/test_support.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

using test::ReadBytes;
using test::S;
using test::TempDir;
using test::U;

// Runs the generator; its exit status.
int Loggen(const std::string& args) {
  return test::RunCommand(std::string("'") + MIZUTO_LOGGEN + "' " + args).status;
}

std::string Q(const std::string& path) { return "'" + path + "'"; }

struct Planned {
  int Kind = 0, Result = 0, Tally = 0, Npc = 0, OwnPoints = 0, EnemyPoints = 0, Open = 0;
};

std::vector<Planned> ReadManifest(const std::string& path) {
  std::vector<Planned> battles;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Planned p;
    fields >> p.Kind >> p.Result >> p.Tally >> p.Npc >> p.OwnPoints >> p.EnemyPoints >> p.Open;
    battles.push_back(p);
  }
  return battles;
}

// Start-up as the program runs it on a generated program folder, then a full load.
void LoadGenerated(App& app, const TempDir& dir, const std::string& log, bool npcCheck = false) {
  app.ProgramDir = dir.Path();
  LoadSettingsFirst(app);
  app.Lists.Load(app.ProgramDir);
  app.SkillChecked.assign(app.Lists.SkillNames.size(), 0);
  app.ItemChecked.assign(app.Lists.ItemNames.size(), 0);
  LoadSettingsChecks(app);
  app.NpcCheck = npcCheck;
  ResetAnalysis(app);
  ASSERT_TRUE(ReadChatLog(log, app.ResumeOffset, app.Lines));
  AnalyseNewLines(app, 0);
}

std::string ErrorsOf(const App& app) {
  std::string all;
  for (const std::string& e : app.ErrorLines) all += U(e) + "\n";
  return all;
}

// The message texts of one colour in a generated file (UTF-8, entities as written).
std::vector<std::string> TextsOf(const std::string& file, const std::string& colour) {
  std::vector<std::string> texts;
  const std::string open = "<FONT color=\"#" + colour + "\">";
  for (std::size_t at = file.find(open); at != std::string::npos; at = file.find(open, at + 1)) {
    const std::size_t start = at + open.size();
    texts.push_back(file.substr(start, file.find("</FONT>", start) - start));
  }
  return texts;
}

TEST(Loggen, SameOptionsGiveTheSameBytesAndAnotherSeedOthers) {
  TempDir dir;
  const std::string common = " --battles 10 --players 12";
  ASSERT_EQ(Loggen("--seed 7" + common + " --out " + Q(dir.File("a.html")) + " --program-dir " +
                   Q(dir.File("a"))), 0);
  ASSERT_EQ(Loggen("--seed 7" + common + " --out " + Q(dir.File("b.html")) + " --program-dir " +
                   Q(dir.File("b"))), 0);
  ASSERT_EQ(Loggen("--seed 8" + common + " --out " + Q(dir.File("c.html"))), 0);
  // A padded log of the same seed: the list files do not depend on the size.
  ASSERT_EQ(Loggen("--seed 7" + common + " --size 200K --out " + Q(dir.File("d.html")) +
                   " --program-dir " + Q(dir.File("d"))), 0);

  const std::string a = ReadBytes(dir.File("a.html"));
  ASSERT_GT(a.size(), 10000u);
  EXPECT_TRUE(a == ReadBytes(dir.File("b.html")));
  EXPECT_FALSE(a == ReadBytes(dir.File("c.html")));
  for (const char* name : {"SkillList.txt", "ItemList.txt", "NPCList.txt", "ShipList.txt", "Mizuto.ini"}) {
    const std::string listA = ReadBytes(dir.File(std::string("a/") + name));
    EXPECT_FALSE(listA.empty()) << name;
    EXPECT_EQ(listA, ReadBytes(dir.File(std::string("b/") + name))) << name;
    if (std::string(name) != "Mizuto.ini") {
      EXPECT_EQ(listA, ReadBytes(dir.File(std::string("d/") + name))) << name;
    }
  }
}

TEST(Loggen, SizeIsMetExactlyWhileTheBattleCountStaysAsAsked) {
  TempDir dir;
  ASSERT_EQ(Loggen("--seed 3 --battles 20 --size 600K --out " + Q(dir.File("big.html")) +
                   " --program-dir " + Q(dir.Path())), 0);
  const std::string big = ReadBytes(dir.File("big.html"));
  EXPECT_EQ(big.size(), 600u * 1024u);
  EXPECT_EQ(big.substr(big.size() - 16), "</BODY></HTML>\r\n");
  App app;
  LoadGenerated(app, dir, dir.File("big.html"));
  EXPECT_EQ(app.BattleCount(), 20);
  EXPECT_TRUE(app.ErrorLines.empty()) << ErrorsOf(app);

  // A size below what the battles need never cuts a battle: the log is just longer.
  ASSERT_EQ(Loggen("--seed 3 --battles 20 --size 1000 --out " + Q(dir.File("small.html"))), 0);
  EXPECT_GT(ReadBytes(dir.File("small.html")).size(), 1000u);
  App small;
  LoadGenerated(small, dir, dir.File("small.html"));
  EXPECT_EQ(small.BattleCount(), 20);

  // Without --battles the size sets the count: one battle per 6000 bytes.
  ASSERT_EQ(Loggen("--seed 3 --size 120K --out " + Q(dir.File("auto.html"))), 0);
  App automatic;
  LoadGenerated(automatic, dir, dir.File("auto.html"));
  EXPECT_EQ(automatic.BattleCount(), 120 * 1024 / 6000);
  EXPECT_EQ(ReadBytes(dir.File("auto.html")).size(), 120u * 1024u);
}

TEST(Loggen, TheReaderKeepsEveryChannelOfTheLog) {
  TempDir dir;
  ASSERT_EQ(Loggen("--out " + Q(dir.File("log.html"))), 0);
  App app;
  app.ProgramDir = dir.Path();
  ASSERT_TRUE(ReadChatLog(dir.File("log.html"), app.ResumeOffset, app.Lines));
  EXPECT_TRUE(app.ErrorLines.empty()) << ErrorsOf(app);

  std::set<std::string> tags;
  for (std::size_t i = 0; i < app.Lines.size(); ++i) {
    const std::string_view line = app.Lines[i];
    ASSERT_GE(line.size(), 2u);
    const std::string tag(line.substr(0, 2));
    tags.insert(tag);
    // The reader removes the six bytes of a room label; what is left starts with the speaker.
    if (tag == "~3" || tag == "~4" || tag == "~5") {
      EXPECT_NE(line[2], '[') << U(line);
    }
    // Lines in the ignored colour are never stored.
    EXPECT_EQ(FindBytes(line, "[info]"), 0u) << U(line);
  }
  for (const char* tag : {"~0", "~s", "~i", "~1", "~2", "~3", "~4", "~5", "~6", "~7", "~8"})
    EXPECT_EQ(tags.count(tag), 1u) << tag;
  EXPECT_EQ(tags.size(), 11u);
  EXPECT_NE(ReadBytes(dir.File("log.html")).find("<FONT color=\"#d4d4d4\">"), std::string::npos);
}

TEST(Loggen, TheAnalysisFindsExactlyTheBattlesThatWereWritten) {
  TempDir dir;
  ASSERT_EQ(Loggen("--out " + Q(dir.File("log.html")) + " --program-dir " + Q(dir.Path()) +
                   " --manifest " + Q(dir.File("manifest.txt"))), 0);
  const std::vector<Planned> planned = ReadManifest(dir.File("manifest.txt"));
  std::vector<Planned> recorded;
  for (const Planned& p : planned)
    if (p.Npc == 0) recorded.push_back(p);
  ASSERT_EQ(recorded.size(), 40u);
  ASSERT_GT(planned.size(), recorded.size());  // a few NPC battles besides

  // Every kind, every result and both tally states, even in a short log.
  std::set<int> kinds, results, tallies;
  for (const Planned& p : recorded) {
    kinds.insert(p.Kind);
    results.insert(p.Result);
    tallies.insert(p.Tally);
  }
  EXPECT_EQ(kinds, (std::set<int>{1, 2, 3, 4}));
  EXPECT_EQ(results, (std::set<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(tallies, (std::set<int>{1, 2}));

  for (bool npcCheck : {false, true}) {
    SCOPED_TRACE(npcCheck ? "NPC battles included" : "NPC battles left out");
    const std::vector<Planned>& expected = npcCheck ? planned : recorded;
    App app;
    LoadGenerated(app, dir, dir.File("log.html"), npcCheck);
    EXPECT_TRUE(app.ErrorLines.empty()) << ErrorsOf(app);
    ASSERT_EQ(app.BattleCount(), static_cast<int>(expected.size()));
    for (int b = 0; b < app.BattleCount(); ++b) {
      const BattleRecord& r = app.Battles[static_cast<std::size_t>(b)];
      const Planned& p = expected[static_cast<std::size_t>(b)];
      EXPECT_EQ(ToStored(r.Kind), p.Kind) << "battle " << b + 1;
      EXPECT_EQ(ToStored(r.Result), p.Result) << "battle " << b + 1;
      // The plan writes the tally state as the mark (1) and the game's notice (2) added.
      EXPECT_EQ(r.Tally, (TallyState{(p.Tally & 1) != 0, (p.Tally & 2) != 0})) << "battle " << b + 1;
      if (p.Kind == 4) {
        EXPECT_EQ(r.OwnPoints, p.OwnPoints) << "battle " << b + 1;
        EXPECT_EQ(r.EnemyPoints, p.EnemyPoints) << "battle " << b + 1;
        // The winning camp ends ahead.
        if (p.Result == 1) {
          EXPECT_GT(r.OwnPoints, r.EnemyPoints);
        } else if (p.Result == 0) {
          EXPECT_LT(r.OwnPoints, r.EnemyPoints);
        } else {
          EXPECT_EQ(r.OwnPoints, r.EnemyPoints);
        }
      }
    }
  }
}

TEST(Loggen, EveryMessageFamilyIsWrittenWithAndWithoutTheEnemyShipMark) {
  TempDir dir;
  ASSERT_EQ(Loggen("--out " + Q(dir.File("log.html"))), 0);
  const std::string file = ReadBytes(dir.File("log.html"));
  const std::vector<std::string> system = TextsOf(file, "80aaff");

  struct Family {
    const char* Literal;
    const char* Begins;     // the text must begin with this ("" for any)
    const char* MustLack;   // and must not contain this ("" for nothing)
  };
  const Family families[] = {
      {"が機雷により撃沈しました！", "敵船", ""}, {"の船が機雷により撃沈しました！", "", "敵船"},
      {"機雷により船が沈没しました！", "", ""},
      {"を拿捕しました！", "敵船", ""}, {"を拿捕しました！", "", "敵船"},
      {"に拿捕されました！", "敵船", ""}, {"が拿捕されました！", "", "敵船"},
      {"に撃破されました！！", "", "海域"}, {"が自海域で", "", ""}, {"が中立海域で", "", ""},
      {"が敵性海域で", "", ""}, {"を撃破しました！！", "", "海域"},
      {"ポイントを獲得しました！", "敵陣営が", ""}, {"ポイントを獲得しました！", "", "敵陣営"},
      {"を撃沈しました！", "敵船", ""}, {"を撃沈しました！", "", "敵船"},
      {"の攻撃により、撃沈されました！", "敵船", ""}, {"の船が撃沈されました！", "", "敵船"},
      {"の誤射により、", "", ""}, {"を沈没させたようです！", "敵船", ""},
      {"の攻撃により、被害甚大", "", ""}, {"に大打撃", "", ""},
      {"船が航行不能", "船が航行不能", ""}, {"の船が航行不能", "", ""},
      {"のサブマストの帆を損傷", "", ""}, {"のメインマストの帆を損傷", "", ""},
      {"の攻撃により帆が損傷", "", ""}, {"帆が損傷", "", "の攻撃に"},
      {"の帆を直しました", "", ""}, {"帆を直しました", "帆を直しました", ""},
      {"の船に浸水を起こさせました！", "", ""}, {"の攻撃により浸水が起こりました！", "", ""},
      {"の船に大揺れを起こしました！", "", ""}, {"の攻撃により船が大きく揺れています！", "", ""},
      {"の舵を直しました", "", ""}, {"の舵を損傷させました", "", ""}, {"舵が", "", ""},
      {"の援軍要請に応じ、援軍が駆けつけてくれました！", "", ""}, {"敵の援軍が", "敵の援軍が", ""},
      {"が船員に豪華な料理を振る舞いました", "", ""}, {"の船員を混乱", "", ""},
      {"の攻撃により船員に混乱", "", ""}, {"統率スキルを", "統率スキルを", ""},
      {"沈静の旗", "沈静の旗", ""}, {"船の浸水が止まりました", "船の浸水が止まりました", ""},
      {"船底に穴が開き、", "船底に穴が開き、", ""}, {"の砲撃により、船が沈没してしまいました", "", ""},
      {"手桶を使いました", "手桶を使いました", ""}, {"予備舵を使いました", "予備舵を使いました", ""},
      {"予備帆を使いました", "予備帆を使いました", ""}, {"戦闘から撤退しました", "", ""},
      {"修理する必要はありません", "", ""}, {"治療すべき船員がいません", "", ""},
      {"救助すべき船員がいません", "", ""}, {"今使っても効果がありません。使用を中止しました", "", ""},
      {"スキルを発動しました", "", "が"}, {"スキルを発動しました", "", ""}, {"を使いました", "", ""},
      {"の強襲です！", "", ""}, {"と交戦に入ります！", "", ""}, {"の援軍として戦闘に参加します！", "", ""},
      {"ただちに戦闘海域に向かい、敵船を撃破せよ！！", "", ""},
      {"に勝利しました！", "", ""}, {"に敗北しました…", "", ""}, {"と引き分けました", "", ""},
      {"を取り逃がしました", "", ""}, {"戦闘から撤退します", "戦闘から撤退します", ""},
      {"全船が戦場を離れました", "", ""},
      {"戦力差が大きすぎるため、この戦闘は戦果に加算されません", "", ""},
      {"すでに何度も対戦した相手なので戦果には加算されません", "", ""}};
  for (const Family& f : families) {
    bool seen = false;
    for (const std::string& t : system) {
      if (t.find(f.Literal) != std::string::npos && t.rfind(f.Begins, 0) == 0 &&
          (*f.MustLack == '\0' || t.find(f.MustLack) == std::string::npos)) {
        seen = true;
        break;
      }
    }
    EXPECT_TRUE(seen) << f.Literal << " / begins " << f.Begins << " / without " << f.MustLack;
  }

  auto anyContains = [](const std::vector<std::string>& texts, const std::string& what) {
    for (const std::string& t : texts)
      if (t.find(what) != std::string::npos) return true;
    return false;
  };
  const std::vector<std::string> party = TextsOf(file, "10c870");
  EXPECT_TRUE(anyContains(party, "の艦隊に参加しました"));
  EXPECT_TRUE(anyContains(party, "提督・"));
  EXPECT_TRUE(anyContains(party, "が提督になりました"));
  EXPECT_TRUE(anyContains(party, "艦隊が解散しました"));
  const std::vector<std::string> notices = TextsOf(file, "ff8080");
  for (const char* phase : {"開戦しました！", "中盤戦を開始します", "終盤戦を開始します", "海戦を終了いたします"}) {
    bool seen = false;
    for (const std::string& t : notices)
      seen = seen || (t.rfind("『大海戦』の", 0) == 0 && t.find(phase) != std::string::npos);
    EXPECT_TRUE(seen) << phase;
  }
}

TEST(Loggen, TheProgramFolderHoldsListsAndSettingsThatMatchTheLog) {
  TempDir dir;
  ASSERT_EQ(Loggen("--skills 12 --items 30 --checked 4 --owner 'Tester Z' --out " +
                   Q(dir.File("logs/chat.html")) + " --program-dir " + Q(dir.Path())), 0);
  App app;
  LoadGenerated(app, dir, dir.File("logs/chat.html"));
  EXPECT_EQ(U(app.UserName), "Tester Z");
  EXPECT_EQ(app.LogDir.Utf8(), dir.Path() + "logs");
  ASSERT_EQ(app.Lists.SkillNames.size(), 12u);
  ASSERT_EQ(app.Lists.ItemNames.size(), 30u);
  EXPECT_EQ(app.Lists.NpcNames.size(), 4u);
  EXPECT_EQ(app.Lists.ShipNames.size(), 2u);
  int meals = 0;
  for (const std::string& kind : app.Lists.ItemKinds) meals += kind == "2";
  EXPECT_GE(meals, 2);
  const std::string items = ReadBytes(dir.File("ItemList.txt"));
  EXPECT_EQ(items[0], '#');
  EXPECT_NE(items.find(S("予備舵,1,")), std::string::npos);  // text after the kind code
  for (const char* name : {"SkillList.txt", "ItemList.txt", "NPCList.txt", "ShipList.txt", "Mizuto.ini"}) {
    const std::string bytes = ReadBytes(dir.File(name));
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << name;
    EXPECT_EQ(bytes.find("\n"), bytes.find("\r\n") + 1) << name;
  }

  // ItemChk marks the skill list and SkillChk the item list: the first four of each.
  EXPECT_EQ(std::vector<char>(app.SkillChecked.begin(), app.SkillChecked.end()),
            std::vector<char>({1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
  std::vector<char> itemMarks(30, 0);
  std::fill(itemMarks.begin(), itemMarks.begin() + 4, 1);
  EXPECT_EQ(app.ItemChecked, itemMarks);

  // The owner's own skill and item lines land on the owner, under the configured name.
  EXPECT_TRUE(app.ErrorLines.empty()) << ErrorsOf(app);
  std::int32_t ownerSkills = 0, ownerItems = 0, othersSkills = 0;
  for (int b = 0; b < app.BattleCount(); ++b) {
    for (int k = 0; k < 4; ++k) {
      ownerSkills += app.Names[0].UsesIn(b, false, k);
      ownerItems += app.Names[0].UsesIn(b, true, k);
      for (int n = 1; n < app.NameCount(); ++n) othersSkills += app.Names[n].UsesIn(b, false, k);
    }
  }
  EXPECT_GT(ownerSkills, 0);
  EXPECT_GT(ownerItems, 0);
  EXPECT_GT(othersSkills, 0);
}

// The demo is written with the lists the program ships: whatever lists it is given (with
// the tools the game's own messages name or without them), the program folder holds them
// as given, the log uses them, and the analysis with them finds no line it cannot place.
TEST(Loggen, GivenListsAreTheOnesTheLogAndTheProgramFolderUse) {
  const struct {
    const char* name;
    std::vector<std::string> skills;
    std::vector<std::string> items;  // "name,kind[,text]"
  } cases[] = {
      {"shipped-like", {"砲撃の心得", "連続砲撃", "弾道学", "白兵戦術", "操帆術", "煙幕展開"},
       {"修理用木材,1", "手桶,1", "予備帆,1", "予備舵,1,舵の応急修理用", "沈静の旗,1",
        "海軍カレー,2", "船乗りの酒,0", "鉄製砲弾,1"}},
      {"no tools", {"測距", "装填術"}, {"乾パン,2", "木箱,3,交易品"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir lists, dir;
    std::string skillFile = "# comment\n", itemFile = "# アイテム名,種別\n";
    for (const std::string& s : c.skills) skillFile += s + "\n";
    for (const std::string& i : c.items) itemFile += i + "\r\n";
    test::WriteBytes(lists.File("SkillList.txt"), skillFile);
    test::WriteBytes(lists.File("ItemList.txt"), itemFile);
    ASSERT_EQ(Loggen("--seed 3 --battles 30 --lists " + Q(lists.Path()) + " --log-dir /usr/share/x/demo --out " +
                     Q(dir.File("log.html")) + " --program-dir " + Q(dir.Path())),
              0);
    App app;
    LoadGenerated(app, dir, dir.File("log.html"));
    EXPECT_EQ(app.LogDir.Utf8(), "/usr/share/x/demo");
    std::vector<std::string> skills, items;
    for (const std::string& n : app.Lists.SkillNames) skills.push_back(U(n));
    for (std::size_t i = 0; i < app.Lists.ItemNames.size(); ++i) {
      items.push_back(U(app.Lists.ItemNames[i]) + "," + app.Lists.ItemKinds[i]);
    }
    EXPECT_EQ(skills, c.skills);
    ASSERT_EQ(items.size(), c.items.size());
    for (std::size_t i = 0; i < items.size(); ++i) EXPECT_EQ(c.items[i].rfind(items[i], 0), 0u) << c.items[i];
    EXPECT_TRUE(app.ErrorLines.empty()) << ErrorsOf(app);
    std::int64_t skillUses = 0, itemUses = 0;
    for (int b = 0; b < app.BattleCount(); ++b) {
      for (int n = 0; n < app.NameCount(); ++n) {
        for (std::size_t k = 0; k < skills.size(); ++k) skillUses += app.Names[n].UsesIn(b, false, static_cast<int>(k));
        for (std::size_t k = 0; k < items.size(); ++k) itemUses += app.Names[n].UsesIn(b, true, static_cast<int>(k));
      }
    }
    EXPECT_GT(skillUses, 0);
    EXPECT_GT(itemUses, 0);
  }
  // A folder without the lists is refused before anything is written.
  TempDir empty;
  EXPECT_EQ(Loggen("--lists " + Q(empty.Path()) + " --out " + Q(empty.File("log.html"))), 1);
  EXPECT_FALSE(std::filesystem::exists(empty.File("log.html")));
}

TEST(Loggen, AnOpenBattleLeavesTheLogAsTheGameIsStillWritingIt) {
  TempDir dir;
  ASSERT_EQ(Loggen("--battles 5 --npc-battles 0 --open-battle --out " + Q(dir.File("live.html")) +
                   " --program-dir " + Q(dir.Path()) + " --manifest " + Q(dir.File("m.txt"))), 0);
  const std::string file = ReadBytes(dir.File("live.html"));
  EXPECT_EQ(file.find("</BODY></HTML>"), std::string::npos);
  const std::vector<Planned> planned = ReadManifest(dir.File("m.txt"));
  ASSERT_EQ(planned.size(), 5u);
  EXPECT_EQ(planned.back().Open, 1);
  App app;
  LoadGenerated(app, dir, dir.File("live.html"));
  EXPECT_EQ(app.BattleCount(), 5);
  EXPECT_EQ(app.State.BattleInProgress, KindFromStored(planned.back().Kind));
}

TEST(Loggen, ABenchmarkSizedCastFillsTheNameTable) {
  TempDir dir;
  ASSERT_EQ(Loggen("--seed 5 --battles 512 --players 1000 --skills 60 --items 150 --checked 20 --out " +
                   Q(dir.File("log.html")) + " --program-dir " + Q(dir.Path())), 0);
  App app;
  LoadGenerated(app, dir, dir.File("log.html"));
  EXPECT_EQ(app.BattleCount(), 512);
  EXPECT_EQ(app.Lists.SkillNames.size(), 60u);
  EXPECT_EQ(app.Lists.ItemNames.size(), 150u);
  EXPECT_GE(app.NameCount(), 950);
  EXPECT_LE(app.NameCount(), 1024);
  EXPECT_TRUE(app.ErrorLines.empty()) << ErrorsOf(app);
}

TEST(Loggen, BadArgumentsAreRefusedWithStatusTwo) {
  EXPECT_EQ(Loggen("--help"), 0);
  EXPECT_EQ(Loggen("--no-such-option"), 2);
  EXPECT_EQ(Loggen("--battles"), 2);
  EXPECT_EQ(Loggen("--battles ten"), 2);
  EXPECT_EQ(Loggen("--players 3"), 2);
  EXPECT_EQ(Loggen("--size 12X"), 2);
  EXPECT_EQ(Loggen("--skills 500"), 2);
}

// The damaged logs players keep: no owner's name in the settings, names left out (the
// analysis enters an empty name for each), lines it cannot split (the error pane), cut
// lines. Without them the same seed writes the same bytes as before.
TEST(Loggen, DamagedLogsLeaveOutTheOwnerAndBreakLinesOnlyWhenAsked) {
  const struct {
    const char* args;
    const char* userNameLine;
    bool broken;
  } cases[] = {
      {"", "UserName=碧海ナギ", false},
      {"--no-user-name", "UserName=", false},
      {"--malformed 0", "UserName=碧海ナギ", false},
      {"--malformed 40 --no-user-name", "UserName=", true},
  };
  TempDir plain;
  ASSERT_EQ(Loggen("--seed 9 --battles 10 --out " + Q(plain.File("log.html"))), 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    TempDir dir;
    ASSERT_EQ(Loggen(std::string("--seed 9 --battles 10 ") + c.args + " --program-dir " + Q(dir.Path()) + " --out " +
                     Q(dir.File("log.html"))),
              0);
    const std::string ini = U(ReadBytes(dir.File("Mizuto.ini")));
    EXPECT_NE(ini.find(std::string(c.userNameLine) + "\r\n"), std::string::npos) << ini;
    EXPECT_EQ(ReadBytes(dir.File("log.html")) == ReadBytes(plain.File("log.html")), !c.broken);
    App app;
    LoadGenerated(app, dir, dir.File("log.html"));
    int nameless = 0;
    for (int n = 1; n < app.NameCount(); ++n) nameless += app.Names[n].Name.empty() ? 1 : 0;
    EXPECT_EQ(nameless > 1, c.broken);
    EXPECT_EQ(!app.ErrorLines.empty(), c.broken) << ErrorsOf(app);
    EXPECT_EQ(app.Names[0].Name.empty(), std::string(c.userNameLine) == "UserName=");
  }
}

}  // namespace
}  // namespace mizuto
