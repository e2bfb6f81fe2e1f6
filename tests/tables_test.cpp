#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <random>

#include "app/owner/analysis_driver.h"
#include "app/owner/app.h"
#include "support/test_support.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

using test::S;

class TablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteListFile(dir.File("ShipList.txt"), {"XYZ", "護衛艦"});
    test::WriteListFile(dir.File("SkillList.txt"), {"砲撃", "突撃"});
    test::WriteListFile(dir.File("ItemList.txt"), {"木材,1"});
    test::SetUpApp(app, dir);
  }
  test::TempDir dir;
  App app;
  test::TableWriter writer{app};
};

TEST_F(TablesTest, ResetLeavesOnlyTheOwner) {
  app.UserName = S("提督");
  app.Battles.emplace_back();
  InternName(writer.Run, "Someone");
  app.State.BattleInProgress = BattleKind::Assault;
  app.State.NotCountedNotice = true;
  app.State.CurrentClass = kCampBattleClass;
  app.State.CurrentAdmiral = 1;
  app.Acts.PlayerAll.Enabled = true;
  ResetAnalysis(app);
  ASSERT_EQ(app.NameCount(), 1);
  EXPECT_EQ(app.Names[0].Name, S("提督"));
  EXPECT_EQ(app.BattleCount(), 0);
  EXPECT_EQ(app.State.BattleInProgress, std::nullopt);
  EXPECT_FALSE(app.State.NotCountedNotice);
  EXPECT_EQ(app.State.CurrentAdmiral, 0);
  EXPECT_EQ(app.State.CurrentOpponent, -1);
  EXPECT_EQ(app.State.CurrentClass, (BattleClass{ShipSize::Large, BattleType::Mock}));
  EXPECT_FALSE(app.Acts.PlayerAll.Enabled);
  EXPECT_EQ(app.Names[0].SkillCount, 2);
  EXPECT_EQ(app.Names[0].ItemCount, 1);
}

TEST_F(TablesTest, InternMatchesStoredNamesAsPrefixes) {
  const int taro = InternName(writer.Run, "Taro");
  EXPECT_EQ(InternName(writer.Run, "Taro2"), taro);
  const int hanako2 = InternName(writer.Run, "Hanako2");
  const int hanako = InternName(writer.Run, "Hanako");
  EXPECT_NE(hanako2, hanako);
  // The lowest index wins when several stored names are prefixes.
  InternName(writer.Run, "Ab");
  const int a = InternName(writer.Run, "A");
  EXPECT_EQ(InternName(writer.Run, "Abc"), InternName(writer.Run, "Ab"));
  EXPECT_EQ(InternName(writer.Run, "Ax"), a);
  EXPECT_EQ(app.NameCount(), 6);  // owner, Taro, Hanako2, Hanako, Ab, A
}

TEST_F(TablesTest, EmptyNamesNeverMatch) {
  app.UserName.clear();
  ResetAnalysis(app);
  EXPECT_EQ(InternName(writer.Run, ""), 1);
  EXPECT_EQ(InternName(writer.Run, ""), 2);
  EXPECT_EQ(InternName(writer.Run, "x"), 3);
  EXPECT_EQ(InternName(writer.Run, "YOU"), 4);  // an empty owner name matches nothing
}

TEST_F(TablesTest, ShipListMergesNames) {
  const int a = InternName(writer.Run, "XYZ-1");
  EXPECT_EQ(InternName(writer.Run, "XYZ-2"), a);
  EXPECT_EQ(app.Names[a].Name, "XYZ");
  const int b = InternName(writer.Run, S("護衛艦あさひ"));
  EXPECT_EQ(app.Names[b].Name, S("護衛艦"));
  EXPECT_EQ(InternName(writer.Run, S("護衛艦ゆうひ")), b);
}

TEST_F(TablesTest, SidesHoldTwentyDistinctNames) {
  BattleRecord r;
  for (int n = 0; n < 25; ++n) AddToSide(r, n % 22, Side::Own);
  for (int k = 0; k < kSideSlots; ++k) EXPECT_EQ(r.OwnSide[k], k);
  AddToSide(r, 7, Side::Enemy);
  AddToSide(r, 7, Side::Enemy);
  AddToSide(r, -1, Side::Enemy);  // no name: the first free slot already holds -1
  EXPECT_EQ(r.EnemySide[0], 7);
  EXPECT_EQ(r.EnemySide[1], -1);
}

TEST_F(TablesTest, FullNameTableAnswersNoNameAndReportsOnce) {
  writer.Run.CurrentLine = 41;
  for (int n = 1; n < kMaxNames; ++n) ASSERT_EQ(InternName(writer.Run, "n" + std::to_string(n) + "_"), n);
  EXPECT_EQ(InternName(writer.Run, "n5_tail"), 5);  // existing names still resolve
  EXPECT_EQ(InternName(writer.Run, "newcomer"), -1);
  EXPECT_EQ(InternName(writer.Run, "another"), -1);
  EXPECT_EQ(app.ErrorLines, std::vector<std::string>{"@@@@@@@ Error Code 005 @@@@@@@ Line:42"});
  // Writes to "no name" are dropped, reads fall back to the start values.
  app.Battles.emplace_back();
  EXPECT_EQ(MarkPresent(writer.Run, "nobody", Side::Enemy), -1);
  EXPECT_EQ(app.Names.Stats(-1, 0), nullptr);
  // A new load reports again.
  ResetAnalysis(app);
  for (int n = 1; n < kMaxNames; ++n) InternName(writer.Run, "m" + std::to_string(n) + "_");
  InternName(writer.Run, "z");
  EXPECT_EQ(app.ErrorLines.size(), 2u);
}

TEST_F(TablesTest, MarkPresentAddsTheSideInTheCurrentBattle) {
  app.Battles.emplace_back();
  app.Battles.emplace_back();
  const int n = MarkPresent(writer.Run, "Kenji", Side::Own);
  EXPECT_TRUE(app.Names.Stats(n, 1)->OnlyOn(Side::Own));
  MarkPresent(writer.Run, "Kenji", Side::Enemy);
  EXPECT_FALSE(app.Names.Stats(n, 1)->OnlyOn(Side::Own));
  EXPECT_FALSE(app.Names.Stats(n, 1)->OnlyOn(Side::Enemy));
  EXPECT_EQ(app.Names.Stats(n, 1)->Present, 1);
  EXPECT_EQ(app.Names.Stats(n, 0)->Present, 0);
  EXPECT_EQ(app.Names.Stats(n, 0)->TakenBy, -1);
}

TEST_F(TablesTest, SkillAndItemUsesAreKeptPerBattle) {
  NameRecord& owner = app.Names[0];
  owner.AddUse(0, false, 1, 1);
  owner.AddUse(3, false, 1, 1);
  owner.AddUse(3, false, 1, 1);
  owner.AddUse(3, true, 0, 1);
  owner.AddUse(2, false, 0, 1);  // out of battle order still lands in its place
  owner.AddUse(3, false, 5, 1);  // beyond the list: ignored
  EXPECT_EQ(owner.UsesIn(3, false, 1), 2);
  EXPECT_EQ(owner.UsesIn(0, false, 1), 1);
  EXPECT_EQ(owner.UsesIn(3, true, 0), 1);
  EXPECT_EQ(owner.UsesIn(2, false, 0), 1);
  EXPECT_EQ(owner.UsesIn(3, false, 0), 0);
  for (std::size_t k = 1; k < owner.Uses.size(); ++k)
    EXPECT_LE(owner.Uses[k - 1].Battle, owner.Uses[k].Battle);
  std::int32_t big = 0x7FFFFFFF;
  WrapAdd(big, 1);
  EXPECT_EQ(big, static_cast<std::int32_t>(0x80000000u));
}

TEST(NameTableTest, ExactNamesStillAnswerTheLowestPrefix) {
  NameTable t;
  t.Add("Ab", 0, 0);   // 0
  t.Add("A", 0, 0);    // 1
  t.Add("Abc", 0, 0);  // 2
  t.Add("B", 0, 0);    // 3
  t.Add("Bc", 0, 0);   // 4
  t.Add("Ab", 0, 0);   // 5, a second record of one name
  EXPECT_EQ(t.FindPrefixOf("Abc"), 0);
  EXPECT_EQ(t.FindPrefixOf("Ab"), 0);
  EXPECT_EQ(t.FindPrefixOf("A"), 1);
  EXPECT_EQ(t.FindPrefixOf("Ax"), 1);
  EXPECT_EQ(t.FindPrefixOf("Bc"), 3);
  EXPECT_EQ(t.FindPrefixOf("Bcd"), 3);
  EXPECT_EQ(t.FindPrefixOf("C"), -1);
  EXPECT_EQ(t.FindPrefixOf(""), -1);
  t.Clear();
  t.Add("Bc", 0, 0);
  EXPECT_EQ(t.FindPrefixOf("Bc"), 0);
  EXPECT_EQ(t.FindPrefixOf("B"), -1);

  // Answers for texts that only begin with a name are remembered; a miss is not, and a
  // name stored later under a remembered text is found as a prefix of longer texts.
  EXPECT_EQ(t.FindPrefixOf("Bcd"), 0);
  EXPECT_EQ(t.FindPrefixOf("Xy"), -1);
  t.Add("X", 0, 0);     // 1
  t.Add("Bcd", 0, 0);   // 2
  t.Add("Yz", 0, 0);    // 3
  EXPECT_EQ(t.FindPrefixOf("Xy"), 1);
  EXPECT_EQ(t.FindPrefixOf("Bcd"), 0);
  EXPECT_EQ(t.FindPrefixOf("Bcde"), 0);
  EXPECT_EQ(t.FindPrefixOf("Yz!"), 3);
  EXPECT_EQ(t.FindPrefixOf("Yz"), 3);
}

TEST(NameTableTest, UsesMatchASearchOfAllEntriesInAnyOrderOfBattles) {
  // The entries as a plain search from the end would keep them: per battle in the order
  // of first use, the battles ascending.
  struct Model {
    std::vector<UseCount> uses;
    void Add(int battle, bool item, int index, std::int32_t delta) {
      for (auto it = uses.rbegin(); it != uses.rend() && it->Battle >= battle; ++it) {
        if (it->Battle == battle && it->Item == item &&
            it->Index == static_cast<std::uint32_t>(index)) {
          WrapAdd(it->Count, delta);
          return;
        }
      }
      UseCount u;
      u.Battle = static_cast<std::uint16_t>(battle);
      u.Item = item;
      u.Index = static_cast<std::uint32_t>(index);
      u.Count = delta;
      auto at = uses.begin();
      while (at != uses.end() && at->Battle <= battle) ++at;
      uses.insert(at, u);
    }
  };
  auto same = [](const std::vector<UseCount>& a, const std::vector<UseCount>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i].Battle != b[i].Battle || a[i].Item != b[i].Item || a[i].Index != b[i].Index ||
          a[i].Count != b[i].Count) {
        return false;
      }
    }
    return true;
  };
  std::uint32_t seed = 12345;
  auto next = [&](std::uint32_t below) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % below;
  };
  for (int round = 0; round < 50; ++round) {
    NameRecord record;
    record.SkillCount = 4;
    record.ItemCount = 3;
    Model model;
    int battle = 0;
    for (int step = 0; step < 400; ++step) {
      const std::uint32_t roll = next(100);
      if (roll < 8) {
        ++battle;  // analysis moving on
      } else if (roll < 11) {
        battle = static_cast<int>(next(static_cast<std::uint32_t>(battle) + 1));  // back
      } else if (roll < 12 && !record.Uses.empty()) {
        // Someone else edits the entries.
        record.Uses.erase(record.Uses.begin());
        model.uses.erase(model.uses.begin());
      }
      const bool item = next(2) == 1;
      const int index = static_cast<int>(next(item ? 4 : 5));  // one beyond the list
      const auto delta = static_cast<std::int32_t>(next(3)) + 1;
      record.AddUse(battle, item, index, delta);
      if (index < (item ? 3 : 4)) model.Add(battle, item, index, delta);
      ASSERT_TRUE(same(record.Uses, model.uses)) << "round " << round << " step " << step;
    }
  }
}

TEST(ReferenceListsTest, ItemCommentsKindsAndNpcFilter) {
  test::TempDir dir;
  test::WriteListFile(dir.File("ItemList.txt"),
                      {"# comment,2", "木材,1", "料理#1,2,extra text", "", "nocomma", "empty,",
                       "odd,x"});
  test::WriteListFile(dir.File("NPCList.txt"), {"海賊団"});
  test::WriteBytes(dir.File("SkillList.txt"), S("砲撃\r\n突撃\n白兵\r"));
  ReferenceLists lists;
  lists.Load(dir.Path());
  EXPECT_EQ(lists.ItemNames, (std::vector<std::string>{S("木材"), S("料理#1"), "odd"}));
  EXPECT_EQ(lists.ItemKinds, (std::vector<std::string>{"1", "2", "x"}));
  EXPECT_EQ(lists.SkillNames, (std::vector<std::string>{S("砲撃"), S("突撃"), S("白兵")}));
  EXPECT_TRUE(lists.ShipNames.empty());  // missing file: empty list

  EXPECT_FALSE(lists.PassesNpcFilter(S("大海賊団艦隊の強襲です！"), false));
  EXPECT_TRUE(lists.PassesNpcFilter(S("大海賊団艦隊の強襲です！"), true));
  EXPECT_TRUE(lists.PassesNpcFilter(S("商船団の強襲です！"), false));
}

TEST(ReferenceListsTest, NpcSearchNeverStartsInsideADoubleByteCharacter) {
  ReferenceLists lists;
  lists.NpcNames = {"\\"};  // the trail byte of 表
  EXPECT_TRUE(lists.PassesNpcFilter(S("表示"), false));
  EXPECT_FALSE(lists.PassesNpcFilter(S("表示") + "\\", false));
  lists.NpcNames = {""};  // an empty entry matches nothing
  lists.PrepareMatchers();
  EXPECT_TRUE(lists.PassesNpcFilter("anything", false));
}

// The filter looks the pieces of a text up in a table rather than searching the text for
// each entry; it must answer exactly as that search does, on texts and lists of double-byte
// and single-byte characters alike (trail bytes that look like ASCII included).
TEST(ReferenceListsTest, NpcLookupAnswersAsSearchingEveryEntry) {
  const unsigned seed = ::testing::UnitTest::GetInstance()->random_seed();
  std::mt19937 rng(seed);
  const std::vector<std::string> pieces = {"A", "\\", "@", S("表"), S("海"), S("賊"), S("ア"), "x", S("団")};
  auto text = [&](std::size_t most) {
    std::string t;
    for (std::size_t n = rng() % (most + 1); n > 0; --n) t += pieces[rng() % pieces.size()];
    return t;
  };
  for (int round = 0; round < 300; ++round) {
    ReferenceLists lists;
    std::vector<std::string> entries;
    for (std::size_t n = rng() % 6; n > 0; --n) entries.push_back(text(3));
    for (const std::string& e : entries) lists.NpcNames.push_back(e);
    lists.PrepareMatchers();
    for (int probe = 0; probe < 20; ++probe) {
      const std::string t = text(8);
      bool found = false;
      for (const std::string& e : entries) found = found || FindChar(t, e) != 0;
      ASSERT_EQ(lists.PassesNpcFilter(t, false), !found)
          << "seed " << seed << " round " << round << " text " << test::U(t);
    }
  }
}

// Registering a name adds it to the file as the file is now: what was added from outside
// stays, a name already there is not added twice, and a file that cannot be read is left
// alone and the registration refused.
TEST(ReferenceListsTest, AppendNpcAddsToTheFileAsItIsOnDisk) {
  namespace fs = std::filesystem;
  const struct {
    const char* what;
    const char* atStartUp;  // NPCList.txt's lines when the lists were loaded (nullptr: none)
    const char* onDisk;     // its bytes when the name is registered (UTF-8)
    bool accepted;
    const char* after;      // the file afterwards (UTF-8)
  } cases[] = {
      {"as read", "海賊団\n私掠艦隊", "海賊団\r\n私掠艦隊\r\n", true, "海賊団\r\n私掠艦隊\r\n密輸船団\r\n"},
      {"a name added from outside", "海賊団", "海賊団\r\n私掠艦隊\r\n", true,
       "海賊団\r\n私掠艦隊\r\n密輸船団\r\n"},
      {"unreadable at start-up, four entries now", nullptr, "a\r\nb\r\nc\r\nd\r\n", true,
       "a\r\nb\r\nc\r\nd\r\n密輸船団\r\n"},
      {"the name added from outside", "海賊団", "海賊団\r\n密輸船団\r\n", true, "海賊団\r\n密輸船団\r\n"},
      {"no line end at the end", "海賊団", "海賊団\n私掠艦隊", true, "海賊団\n私掠艦隊\r\n密輸船団\r\n"},
      {"no file", "海賊団", nullptr, true, "密輸船団\r\n"},
      {"a folder", "海賊団", "folder", false, nullptr},
      {"over 16 MiB", "海賊団", "huge", false, nullptr},
#ifndef _WIN32
      {"a FIFO", "海賊団", "fifo", false, nullptr},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    const std::string path = dir.File("NPCList.txt");
    if (c.atStartUp) test::WriteBytes(path, S(c.atStartUp));
    ReferenceLists lists;
    lists.Load(dir.Path());
    fs::remove(path);
    const std::string disk = c.onDisk ? c.onDisk : "";
    if (disk == "folder") {
      fs::create_directory(path);
    } else if (disk == "huge") {
      test::WriteBytes(path, S("海賊団\r\n"));
      fs::resize_file(path, (std::uintmax_t{16} << 20) + 1);
#ifndef _WIN32
    } else if (disk == "fifo") {
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
#endif
    } else if (c.onDisk) {
      test::WriteBytes(path, S(disk));
    }
    const std::size_t before = lists.NpcNames.size();
    std::string error;
    ASSERT_EQ(lists.AppendNpc(dir.Path(), S("密輸船団"), &error), c.accepted) << error;
    if (c.accepted) {
      EXPECT_EQ(test::U(test::ReadBytes(path)), c.after);
      ASSERT_EQ(lists.NpcNames.size(), before + 1);
      EXPECT_EQ(test::U(lists.NpcNames[before]), "密輸船団");
    } else {
      EXPECT_NE(error.find(path + ": "), std::string::npos) << error;
      EXPECT_EQ(lists.NpcNames.size(), before);
      if (disk == "huge") {
        EXPECT_EQ(fs::file_size(path), (std::uintmax_t{16} << 20) + 1);
      }
      EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator{}), 1) << "no temporary left";
    }
  }
#ifndef _WIN32
  // Permission bits hold no one back who runs as root.
  if (::geteuid() != 0) {
    test::TempDir dir;
    test::WriteBytes(dir.File("NPCList.txt"), "a\r\nb\r\nc\r\nd\r\n");
    ASSERT_EQ(::chmod(dir.File("NPCList.txt").c_str(), 0200), 0);
    ReferenceLists lists;
    lists.Load(dir.Path());
    std::string error;
    EXPECT_FALSE(lists.AppendNpc(dir.Path(), "x", &error));
    ::chmod(dir.File("NPCList.txt").c_str(), 0600);
    EXPECT_EQ(test::ReadBytes(dir.File("NPCList.txt")), "a\r\nb\r\nc\r\nd\r\n");
  }
#endif
}

// Two programs registering names at once (the window and another instance): every name of
// both is in the file once, beside the lines it had, and the lock file is gone afterwards.
TEST(ReferenceListsTest, TwoProcessesRegisteringAtOnceLoseNoName) {
#ifdef _WIN32
  GTEST_SKIP() << "needs fork() for the second process";
#else
  constexpr int kNames = 150;
  test::TempDir dir;
  test::WriteListFile(dir.File("NPCList.txt"), {"海賊団", "私掠艦隊"});
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  // Each registers its own names, from the same start signal; 0 when every one was taken.
  auto registerAll = [&](const std::string& prefix) {
    char byte;
    if (::read(go[0], &byte, 1) != 1) return 3;
    ReferenceLists lists;
    lists.Load(dir.Path());
    std::string error;
    for (int i = 0; i < kNames; ++i) {
      if (!lists.AppendNpc(dir.Path(), prefix + std::to_string(i), &error)) return 1;
    }
    return 0;
  };
  const pid_t child = ::fork();
  if (child == 0) ::_exit(registerAll("child"));
  ASSERT_EQ(::write(go[1], "gg", 2), 2);
  EXPECT_EQ(registerAll("parent"), 0);
  int raw = 0;
  ::waitpid(child, &raw, 0);
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << raw;
  ::close(go[0]);
  ::close(go[1]);

  std::vector<std::string> lines = SplitListLines(test::ReadBytes(dir.File("NPCList.txt")));
  EXPECT_EQ(lines.size(), 2u + 2 * kNames);
  std::vector<std::string> expected = {S("海賊団"), S("私掠艦隊")};
  for (const char* prefix : {"child", "parent"}) {
    for (int i = 0; i < kNames; ++i) expected.push_back(prefix + std::to_string(i));
  }
  std::sort(lines.begin(), lines.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(lines, expected);
  EXPECT_FALSE(std::filesystem::exists(dir.File(kNpcListLockName)));
#endif
}

TEST(ReferenceListsTest, AppendNpcRewritesTheFileAtomically) {
  test::TempDir dir;
  test::WriteListFile(dir.File("NPCList.txt"), {"海賊団", "私掠艦隊"});
  ReferenceLists lists;
  lists.Load(dir.Path());
  std::string error;
  ASSERT_TRUE(lists.AppendNpc(dir.Path(), S("密輸船団"), &error)) << error;
  EXPECT_EQ(test::ReadBytes(dir.File("NPCList.txt")),
            S("海賊団\r\n私掠艦隊\r\n密輸船団\r\n"));
  // A folder that does not exist: the failure is reported, nothing is thrown.
  EXPECT_FALSE(lists.AppendNpc(dir.File("nowhere/"), "x", &error));
  EXPECT_NE(error.find("nowhere"), std::string::npos);
}

}  // namespace
}  // namespace mizuto
