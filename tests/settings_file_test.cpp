#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "app/parts/ini_file.h"
#include "app/commands/settings_file.h"
#include "app/commands/window_commands.h"
#include "support/test_support.h"
#include "text/codec.h"

namespace mizuto {
namespace {

using test::S;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app.ProgramDir = dir.Path();
    app.Lists.SkillNames = {S("砲撃"), S("回避"), S("修理"), S("救助")};
    app.Lists.ItemNames = {S("手桶"), S("予備帆"), S("予備舵")};
    app.SkillChecked.assign(4, 0);
    app.ItemChecked.assign(3, 0);
  }
  void LoadAll() {
    LoadSettingsFirst(app);
    LoadSettingsChecks(app);
    LoadSettingsSwitches(app);
  }
  std::string Ini() const { return dir.File("Mizuto.ini"); }
  void Save() {
    std::string error;
    ASSERT_TRUE(SaveSettings(app, &error)) << error;
  }

  test::TempDir dir;
  App app;
};

const char* const kCreatedFile =
    "[Mizuto]\r\nTop=134\r\nLeft=214\r\nWidth=734\r\nHeight=707\r\nSp1=255\r\nSp2=185\r\n"
    "Sp3=103\r\nSp4=177\r\nSp5=289\r\nVerChk=0\r\nNPC=0\r\nCRI=1\r\nUserName=YOU\r\nLogDir=\r\n"
    "BattleView=1\r\nErrorView=1\r\nItemChk=0000\r\nSkillChk=000\r\nDebug=0\r\nWater=0\r\n"
    "Sail=0\r\nRudder=0\r\nConfuse=0\r\nSChk=0\r\nPChk=0\r\nCChk=0\r\nR1Chk=0\r\nR2Chk=0\r\n"
    "R3Chk=0\r\nTChk=0\r\n"
    "\r\n[MizutoWindow]\r\nInterval=10\r\nMaximized=0\r\n"
    "\r\n[MizutoHistory]\r\nFrom=\r\nTo=\r\nType=0\r\nSize=0\r\nAgainst=0\r\nName=\r\nPartialName=0\r\n"
    "OpponentColumns=\r\nPlayerColumns=\r\nBattleColumns=\r\nSplitter=\r\nUpperSplitter=\r\n"
    "LowerSplitter=\r\n";

TEST_F(SettingsTest, NoFileReadsDefaultsAndSaveCreatesEveryKeyInSaveOrder) {
  app.UserName = "someone";  // the name is "YOU" unless the file says otherwise
  LoadAll();
  EXPECT_EQ(app.UserName, "YOU");
  // The save writes what was read, so the file shows every default.
  Save();
  EXPECT_EQ(test::ReadBytes(Ini()), kCreatedFile);
}

// A build without the window writes the file its player is told to edit at the first run:
// every key with the values a first start has, the check strings as long as the lists. A
// file that is there, even one the program cannot read, is never touched.
TEST_F(SettingsTest, TheFirstRunWritesEveryKeyOnlyWhereThereIsNoFile) {
  test::WriteListFile(dir.File("SkillList.txt"), {"砲撃", "回避", "修理", "救助"});
  test::WriteListFile(dir.File("ItemList.txt"), {"手桶,1", "予備帆,2", "予備舵,3"});
  const struct {
    const char* name;
    const char* existing;  // nullptr: no file
    std::string expected;
  } cases[] = {
      {"no file", nullptr, kCreatedFile},
      {"a file of the player's", "[Mizuto]\r\nUserName=me\r\n", "[Mizuto]\r\nUserName=me\r\n"},
      {"an empty file", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Ini());
    if (c.existing) test::WriteBytes(Ini(), c.existing);
    std::string error;
    EXPECT_TRUE(WriteFirstSettings(dir.Path(), &error)) << error;
    EXPECT_EQ(test::ReadBytes(Ini()), c.expected);
  }
  // Where it cannot be written the run is told why.
  std::filesystem::remove(Ini());
  std::string error;
  EXPECT_FALSE(WriteFirstSettings(dir.File("no such folder/"), &error));
  EXPECT_NE(error, "");
}

TEST_F(SettingsTest, ReadsTheWayTheProfileFunctionsRead) {
  test::WriteBytes(Ini(),
                   "Top=1\r\n"                      // before any section: not ours
                   "[Other]\nLeft=2\n"
                   "  [ MIZUTO ]  \n"
                   "\tTOP\t =  -40 \n"
                   "top=77\n"                       // only the first occurrence counts
                   "Left=abc\nWidth=12px\nHeight=2147483648\n"
                   "Sp1=+7\nSp2=-2147483648\nSp3=\nSp4=\"33\"\nSp5= 0x10\n"
                   "VerChk=5\nNPC=2\nCRI=0\nBattleView=yes\nErrorView=-1\n"
                   "UserName=\n"
                   "LogDir = 'C:\\Logs\\ '\r\n"
                   "Debug=1\nWater\nSail=00\nRudder=1 2\nSChk=  \"1\"  \n"
                   "; PChk=1\n"
                   "[Mizuto]\nConfuse=1\n"          // a second section of the name is not read
                   "[Later]\nTChk=1");
  // Defaults are the values held before the read.
  app.Acts.BattleLogView.Checked = app.Acts.ErrorLogView.Checked = false;
  LoadAll();
  const WindowGeometry& g = app.Geometry;
  // Left, Width, Height (beyond 32 bits), Sp3 (empty) and Sp5 (hex) are not decimal numbers.
  EXPECT_EQ((std::vector<int>{g.Top, g.Left, g.Width, g.Height, g.LowerPanesHeight, g.TranscriptPaneWidth, g.ErrorPaneHeight, g.SkillListWidth, g.ItemListWidth,
                              app.CheckVersionAtStart}),
            (std::vector<int>{-40, 214, 734, 707, 7, -2147483647 - 1, 103, 33, 289, 5}));
  const Actions& a = app.Acts;
  EXPECT_EQ((std::vector<bool>{app.NpcCheck, a.CriticalView.Checked, a.BattleLogView.Checked,
                               a.ErrorLogView.Checked, a.DebugView.Checked, a.WaterView.Checked,
                               a.SailView.Checked, a.RudderView.Checked, a.SayView.Checked,
                               a.PartyView.Checked, a.ConfuseView.Checked, a.TellView.Checked}),
            (std::vector<bool>{true, false, false, true, true, false, false, false, true, false,
                               false, false}));
  EXPECT_EQ(app.UserName, "");
  EXPECT_EQ(app.LogDir.Utf8(), "C:\\Logs\\ ");
}

TEST_F(SettingsTest, CheckStringsGoByPositionUnderCrossedKeys) {
  // ItemChk holds the skill marks and SkillChk the item marks.
  test::WriteBytes(Ini(), "[Mizuto]\r\nItemChk=01\r\nSkillChk=1x11111\r\n");
  app.SkillChecked = {1, 1, 1, 1};  // overwritten: marks beyond a short string end unchecked
  LoadSettingsChecks(app);
  EXPECT_EQ(app.SkillChecked, (std::vector<char>{0, 1, 0, 0}));
  EXPECT_EQ(app.ItemChecked, (std::vector<char>{1, 0, 1}));

  Save();
  const std::string saved = test::ReadBytes(Ini());
  EXPECT_NE(saved.find("ItemChk=0100\r\n"), std::string::npos);
  EXPECT_NE(saved.find("SkillChk=101\r\n"), std::string::npos);  // cut to the list

  // Without the keys the marks stay as they are.
  test::WriteBytes(Ini(), "[Mizuto]\r\n");
  app.SkillChecked = {0, 0, 1, 1};
  LoadSettingsChecks(app);
  EXPECT_EQ(app.SkillChecked, (std::vector<char>{0, 0, 1, 1}));
}

TEST_F(SettingsTest, SaveKeepsTheFileAndRewritesValuesWhereTheyStand) {
  test::WriteBytes(Ini(),
                   "; my settings\r\n"
                   "[Window]\r\nTop=9\r\n\r\n"
                   "[mizuto]\r\n"
                   "TChk = 1\r\n"
                   "Unknown=keep me\r\n"
                   "width=1\r\n"
                   "; note\r\n"
                   "\r\n"
                   "[After]\r\nUserName=other\r\n");
  app.Geometry.Width = 800;
  app.UserName = S("太郎");
  Save();
  std::string expected =
      "; my settings\r\n"
      "[Window]\r\nTop=9\r\n\r\n"
      "[mizuto]\r\n"
      "TChk = 0\r\n"
      "Unknown=keep me\r\n"
      "width=800\r\n"
      "; note\r\n"
      "Top=134\r\nLeft=214\r\nHeight=707\r\nSp1=255\r\nSp2=185\r\nSp3=103\r\nSp4=177\r\n"
      "Sp5=289\r\nVerChk=0\r\nNPC=0\r\nCRI=1\r\nUserName=" +
      S("太郎") +
      "\r\nLogDir=\r\nBattleView=1\r\nErrorView=1\r\nItemChk=0000\r\nSkillChk=000\r\n"
      "Debug=0\r\nWater=0\r\nSail=0\r\nRudder=0\r\nConfuse=0\r\nSChk=0\r\nPChk=0\r\nCChk=0\r\n"
      "R1Chk=0\r\nR2Chk=0\r\nR3Chk=0\r\n"
      "\r\n"
      "[After]\r\nUserName=other\r\n"
      "\r\n[MizutoWindow]\r\nInterval=10\r\nMaximized=0\r\n"
      "\r\n[MizutoHistory]\r\nFrom=\r\nTo=\r\nType=0\r\nSize=0\r\nAgainst=0\r\nName=\r\nPartialName=0\r\n"
      "OpponentColumns=\r\nPlayerColumns=\r\nBattleColumns=\r\nSplitter=\r\nUpperSplitter=\r\n"
      "LowerSplitter=\r\n";
  EXPECT_EQ(test::ReadBytes(Ini()), expected);

  // A file without the section, its last line unterminated, gains the section at its end.
  app.Geometry.Width = 734;
  app.UserName = "YOU";
  test::WriteBytes(Ini(), "[Other]\nA=1");
  Save();
  EXPECT_EQ(test::ReadBytes(Ini()), std::string("[Other]\nA=1\r\n\r\n") + kCreatedFile);
}

TEST_F(SettingsTest, ValuesReadBackAsTheyWereSaved) {
  // Blanks and quotes at the ends would be stripped on reading unless quoted; 表 ends in
  // 0x5C. A line break cannot be stored and must not smuggle a key into the file either.
  const std::string name = " \"" + S("表") + "=x\" ";
  app.UserName = name + "\r\nDebug=1";
  app.LogDir = Utf8Path::FromUtf8("'");
  Save();
  App fresh;
  fresh.ProgramDir = dir.Path();
  LoadSettingsFirst(fresh);
  LoadSettingsSwitches(fresh);
  EXPECT_EQ(fresh.UserName, name);
  EXPECT_EQ(fresh.LogDir.Utf8(), "'");
  EXPECT_FALSE(fresh.Acts.DebugView.Checked);

  // A long value is cut to 2047 bytes, never inside a double-byte character.
  std::string wide;
  for (int i = 0; i < 1100; ++i) wide += S("表");
  ProfileFile file;
  file.Write("s", "k", wide);
  EXPECT_EQ(file.Value("s", "k")->size(), 2046u);
  file.Write("s", "k", "y" + wide);
  EXPECT_EQ(file.Value("s", "k")->size(), 2047u);
}

// The interval and a maximised window live in a section of their own: the first section
// keeps its keys and their order, and an old file without it starts as before.
TEST_F(SettingsTest, IntervalAndMaximisedStateComeBackFromTheirOwnSection) {
  struct Case {
    const char* Stored;  // the section's lines, "" for none
    const char* Field;   // what the interval field shows after the start
    int TimerMs;
    bool Maximized;
  };
  const Case cases[] = {
      {"", "10", 10000, false},  // an old file: the field's first text is the period in force
      {"[MizutoWindow]\r\nInterval=25\r\nMaximized=1\r\n", "25", 25000, true},
      {"[MizutoWindow]\r\nInterval=0\r\n", "1", 1000, false},     // clamped as typed
      {"[MizutoWindow]\r\nInterval=250\r\n", "100", 100000, false},
      {"[MizutoWindow]\r\nInterval=x\r\nMaximized=2\r\n", "10", 10000, true},
      {"[Mizuto]\r\nInterval=25\r\nMaximized=1\r\n", "10", 10000, false},  // not this section
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Stored);
    test::WriteBytes(Ini(), std::string("[Mizuto]\r\nTop=5\r\n") + c.Stored);
    App fresh;
    fresh.ProgramDir = dir.Path();
    LoadSettingsFirst(fresh);
    EXPECT_EQ(fresh.IntervalText, c.Field);
    EXPECT_EQ(fresh.TimerIntervalMs, c.TimerMs);
    EXPECT_EQ(fresh.Geometry.Maximized, c.Maximized);
    EXPECT_EQ(fresh.Geometry.Top, 5);
  }

  app.IntervalText = "42";
  app.Geometry.Maximized = true;
  std::remove(Ini().c_str());
  Save();
  const std::string saved = test::ReadBytes(Ini());
  const std::size_t from = saved.find("TChk=0\r\n");
  EXPECT_EQ(saved.substr(from, saved.find("\r\n[MizutoHistory]") - from),
            "TChk=0\r\n\r\n[MizutoWindow]\r\nInterval=42\r\nMaximized=1\r\n");
  App fresh;
  fresh.ProgramDir = dir.Path();
  LoadSettingsFirst(fresh);
  EXPECT_EQ(fresh.TimerIntervalMs, 42000);
  EXPECT_TRUE(fresh.Geometry.Maximized);
}

// An editor that saves with a UTF-8 byte-order mark must not cost every setting: the mark
// is passed over when reading and stays at the front when the file is written back.
TEST_F(SettingsTest, AByteOrderMarkHidesNoSetting) {
  const std::string bom = "\xEF\xBB\xBF";
  for (const std::string& first : {std::string("[Mizuto]\r\n"), std::string("[mizuto]\n"), std::string("[Mizuto]")}) {
    SCOPED_TRACE(first);
    test::WriteBytes(Ini(), bom + first + (first.back() == ']' ? "\r\n" : "") + "UserName=abc\r\nTop=5\r\n");
    LoadAll();
    EXPECT_EQ(app.UserName, "abc");
    EXPECT_EQ(app.Geometry.Top, 5);
    EXPECT_TRUE(app.ErrorLines.empty());
    Save();
    const std::string saved = test::ReadBytes(Ini());
    EXPECT_EQ(saved.rfind(bom + first, 0), 0u) << saved;
    EXPECT_EQ(saved.find("izuto]", 6 + first.size()), std::string::npos) << "one section only: " << saved;
  }
  // A mark alone, or one in the middle of the file, is no header.
  test::WriteBytes(Ini(), bom);
  app.UserName = "x";
  LoadAll();
  EXPECT_EQ(app.UserName, "YOU");
  test::WriteBytes(Ini(), "[Other]\r\n" + bom + "[Mizuto]\r\nUserName=abc\r\n");
  LoadAll();
  EXPECT_EQ(app.UserName, "YOU");
}

// A settings file over the size limit is not read (the error pane says so) and, since what
// it holds is unknown, not replaced at shut-down either.
TEST_F(SettingsTest, AnOversizedFileIsReportedOnceAndNeverReplaced) {
  test::WriteBytes(Ini(), "[Mizuto]\r\nUserName=abc\r\n");
  std::filesystem::resize_file(Ini(), (std::uintmax_t{16} << 20) + 1);
  LoadAll();
  EXPECT_EQ(app.UserName, "YOU");
  ASSERT_EQ(app.ErrorLines.size(), 1u);
  EXPECT_EQ(app.ErrorLines[0], Utf8ToSjis(Ini() + ": larger than 16 MiB, not read"));
  std::string error;
  EXPECT_FALSE(SaveSettings(app, &error));
  EXPECT_EQ(error, Ini() + ": larger than 16 MiB, not read");
  EXPECT_EQ(std::filesystem::file_size(Ini()), (std::uintmax_t{16} << 20) + 1);
}

TEST_F(SettingsTest, FailedSaveReportsAndLeavesTheOldFile) {
  std::string error;
  // A program folder that does not exist.
  app.ProgramDir = dir.File("missing/");
  EXPECT_FALSE(SaveSettings(app, &error));
  EXPECT_FALSE(error.empty());

  // A folder where the file should be: it is not read as empty, and stays.
  app.ProgramDir = dir.Path();
  std::filesystem::create_directory(Ini());
  error.clear();
  EXPECT_FALSE(SaveSettings(app, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(std::filesystem::is_directory(Ini()));
  std::filesystem::remove(Ini());

#ifndef _WIN32
  // A full disk, simulated by a file size limit (it holds for root too).
  const std::string old = "[Mizuto]\r\nUserName=old\r\n";
  test::WriteBytes(Ini(), old);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit tight = saved;
  tight.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
  error.clear();
  const bool savedOk = SaveSettings(app, &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(savedOk);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(test::ReadBytes(Ini()), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator{}),
            1)
      << "no temporary file left behind";
#endif
}

// LogDir is Shift-JIS in the file and a UTF-8 path inside: read, it is converted; saved
// unchanged, the file keeps the bytes it had (also those a round trip would change, and
// those that are no Shift-JIS, which the error pane names once read); changed, the new
// folder is written in Shift-JIS.
TEST_F(SettingsTest, TheLogFolderIsConvertedAtTheFilesEdgeBothWays) {
  const struct {
    const char* Name;
    std::string Stored;  // LogDir's bytes in the file
    std::string Path;    // what the program holds
    bool Named;          // the error pane names the setting
  } cases[] = {
      {"ascii", "C:\\Logs", "C:\\Logs", false},
      {"japanese", S("D:\\ゲーム\\ログ"), "D:\\ゲーム\\ログ", false},
      {"a character with two codes", "/logs/\x87\x90", "/logs/≒", false},
      {"a lead byte without its trail", "/logs/\x82", "/logs/\xEF\xBF\xBD", true},
      {"a lead byte before a space", "/\x81 logs", "/\xEF\xBF\xBD logs", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string file = "[Mizuto]\r\nLogDir=" + c.Stored + "\r\nBattleView=1\r\n";
    test::WriteBytes(Ini(), file);
    App read;
    read.ProgramDir = dir.Path();
    LoadSettingsFirst(read);
    EXPECT_EQ(read.LogDir.Utf8(), c.Path);
    EXPECT_EQ(read.ErrorLines.size(), c.Named ? 1u : 0u);
    if (c.Named && !read.ErrorLines.empty()) {
      EXPECT_NE(test::U(read.ErrorLines[0]).find("LogDir"), std::string::npos);
    }

    std::string error;
    ASSERT_TRUE(SaveSettings(read, &error)) << error;
    EXPECT_NE(test::ReadBytes(Ini()).find("LogDir=" + c.Stored + "\r\n"), std::string::npos);

    read.LogDir = Utf8Path::FromUtf8(c.Path + "/新");
    ASSERT_TRUE(SaveSettings(read, &error)) << error;
    App again;
    again.ProgramDir = dir.Path();
    LoadSettingsFirst(again);
    if (!c.Named) {
      EXPECT_NE(test::ReadBytes(Ini()).find("LogDir=" + S(c.Path + "/新") + "\r\n"), std::string::npos);
      EXPECT_EQ(again.LogDir, read.LogDir);
    }
  }
}

}  // namespace
}  // namespace mizuto

namespace mizuto {
namespace {

// Every key of the file, each given a value other than a new file's, is written and read
// back as it was: a key that one side forgets, writes under another name or converts one
// way only fails here, and so does a key added to the file without a value below.
TEST_F(SettingsTest, EveryKeyRoundTripsWithAValueOtherThanTheDefault) {
  Save();
  ProfileFile defaults;
  defaults.Parse(test::ReadBytes(Ini()));
  std::remove(Ini().c_str());

  WindowGeometry& g = app.Geometry;
  g = {11, 12, 13, 14, 15, 16, 17, 18, 19, true};
  app.CheckVersionAtStart = 2;
  app.NpcCheck = true;
  app.UserName = S("提督 ") + "x";
  app.LogDir = Utf8Path::FromUtf8("/logs/航海");
  app.SkillChecked = {1, 0, 1, 1};
  app.ItemChecked = {0, 1, 1};
  app.IntervalText = "42";
  app.StreamCounter.SetPath("/tmp/counter 1.txt");
  for (const WindowCommand& c : WindowCommands()) {
    if (c.IniKey != nullptr) (app.Acts.*c.State).Checked = !(app.Acts.*c.State).Checked;
  }
  HistoryPageSettings& page = app.HistoryPage.Settings;
  page = {"2026-01-02", "2026-03-04", 2, 3, 1, S("花子"), true, {100, 50}, {1}, {2, 3, 4}, {5, 6}, {7}, {8, 9}};
  Save();
  const std::string saved = test::ReadBytes(Ini());
  ProfileFile file;
  file.Parse(saved);
  for (const auto& [section, key] : SettingsKeyNames()) {
    SCOPED_TRACE(section + " " + key);
    ASSERT_TRUE(file.Value(section, key).has_value());
    EXPECT_NE(file.Value(section, key), defaults.Value(section, key));
  }

  App fresh;
  fresh.ProgramDir = dir.Path();
  fresh.Lists = app.Lists;
  fresh.SkillChecked.assign(4, 0);
  fresh.ItemChecked.assign(3, 0);
  LoadSettingsFirst(fresh);
  LoadSettingsChecks(fresh);
  LoadSettingsSwitches(fresh);
  const WindowGeometry& h = fresh.Geometry;
  EXPECT_EQ(std::vector<int>({h.Top, h.Left, h.Width, h.Height, h.LowerPanesHeight, h.TranscriptPaneWidth, h.ErrorPaneHeight, h.SkillListWidth, h.ItemListWidth}),
            std::vector<int>({11, 12, 13, 14, 15, 16, 17, 18, 19}));
  EXPECT_TRUE(h.Maximized);
  EXPECT_EQ(fresh.CheckVersionAtStart, 2);
  EXPECT_TRUE(fresh.NpcCheck);
  EXPECT_EQ(fresh.UserName, S("提督 ") + "x");
  EXPECT_EQ(fresh.LogDir.Utf8(), "/logs/航海");
  EXPECT_EQ(fresh.SkillChecked, std::vector<char>({1, 0, 1, 1}));
  EXPECT_EQ(fresh.ItemChecked, std::vector<char>({0, 1, 1}));
  EXPECT_EQ(fresh.IntervalText, "42");
  EXPECT_EQ(fresh.StreamCounter.Path(), "/tmp/counter 1.txt");
  for (const WindowCommand& c : WindowCommands()) {
    if (c.IniKey != nullptr) EXPECT_EQ((fresh.Acts.*c.State).Checked, (app.Acts.*c.State).Checked) << c.IniKey;
  }
  const HistoryPageSettings& q = fresh.HistoryPage.Settings;
  EXPECT_EQ(q.From, "2026-01-02");
  EXPECT_EQ(q.To, "2026-03-04");
  EXPECT_EQ(std::vector<int>({q.Type, q.Size, q.Against}), std::vector<int>({2, 3, 1}));
  EXPECT_EQ(q.Name, S("花子"));
  EXPECT_TRUE(q.PartialName);
  EXPECT_EQ(std::vector<std::vector<int>>({q.OpponentColumns, q.PlayerColumns, q.BattleColumns, q.Splitter,
                                           q.UpperSplitter, q.LowerSplitter}),
            std::vector<std::vector<int>>({{100, 50}, {1}, {2, 3, 4}, {5, 6}, {7}, {8, 9}}));

  // What was read writes the same file again.
  std::remove(Ini().c_str());
  std::string error;
  ASSERT_TRUE(SaveSettings(fresh, &error)) << error;
  EXPECT_EQ(test::ReadBytes(Ini()), saved);
}

// A file an early version wrote (the first section only, keys in another case, a key it
// no longer knows) loads as it always did: what it holds is read, a missing geometry key
// keeps the window's value, and the keys it lacks read as their defaults where they have one.
TEST_F(SettingsTest, AnOldFileLoadsAsBefore) {
  test::WriteBytes(Ini(), "[Mizuto]\r\ntop=40\r\nLeft=-5\r\nSp3=7\r\nVerChk=1\r\nNPC=1\r\nCRI=0\r\n"
                          "UserName=" + S("太郎") + "\r\nLogDir=C:\\log\r\nBattleView=0\r\nItemChk=0101\r\n"
                          "SkillChk=1\r\nDebug=1\r\nTChk=1\r\nOldKey=3\r\n");
  app.UserName = "someone";
  app.Geometry.Width = 900;
  app.HistoryPage.Settings = {"2026-01-01", "2026-01-02", 1, 1, 1, "x", true, {1}, {}, {}, {}, {}, {}};
  LoadAll();
  EXPECT_EQ(app.Geometry.Top, 40);
  EXPECT_EQ(app.Geometry.Left, -5);
  EXPECT_EQ(app.Geometry.Width, 900);
  EXPECT_EQ(app.Geometry.ErrorPaneHeight, 7);
  EXPECT_EQ(app.CheckVersionAtStart, 1);
  EXPECT_TRUE(app.NpcCheck);
  EXPECT_EQ(app.UserName, S("太郎"));
  EXPECT_EQ(app.LogDir.Utf8(), "C:\\log");
  EXPECT_EQ(app.SkillChecked, std::vector<char>({0, 1, 0, 1}));
  EXPECT_EQ(app.ItemChecked, std::vector<char>({1, 0, 0}));
  const std::pair<const char*, bool> switches[] = {{"CRI", false}, {"BattleView", false}, {"ErrorView", true},
                                                   {"Debug", true},  {"TChk", true},        {"Water", false}};
  for (const auto& [key, on] : switches) {
    bool found = false;
    for (const WindowCommand& c : WindowCommands()) {
      if (c.IniKey == nullptr || std::string(c.IniKey) != key) continue;
      found = true;
      EXPECT_EQ((app.Acts.*c.State).Checked, on) << key;
    }
    EXPECT_TRUE(found) << key;
  }
  EXPECT_EQ(app.IntervalText, "10");
  EXPECT_FALSE(app.Geometry.Maximized);
  const HistoryPageSettings& page = app.HistoryPage.Settings;
  EXPECT_EQ(page.From, "");
  EXPECT_EQ(page.To, "");
  EXPECT_EQ(std::vector<int>({page.Type, page.Size, page.Against}), std::vector<int>({0, 0, 0}));
  EXPECT_EQ(page.Name, "");
  EXPECT_FALSE(page.PartialName);
  EXPECT_TRUE(page.OpponentColumns.empty());
}

}  // namespace
}  // namespace mizuto
