// The History page's model in the core: how its tables sort and how Mizuto.ini keeps its
// filter and layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>

#include "app/owner/app.h"
#include "app/parts/dialogs.h"
#include "app/history/history_page_model.h"
#include "app/commands/main_commands.h"
#include "app/commands/settings_file.h"
#include "app/commands/start_up.h"
#include "platform/platform.h"
#include "support/test_support.h"

namespace mizuto {
namespace {

using test::S;

HistoryTable NameAndCount(const std::vector<std::pair<std::string, std::int64_t>>& rows) {
  HistoryTable table;
  table.Columns = {TallyColumn{"name", false}, TallyColumn{"count", true}};
  int source = 0;
  for (const auto& [name, count] : rows) {
    table.Rows.push_back(HistoryTableRow{{name, std::to_string(count)}, {0, count}, -1, source++});
  }
  return table;
}

std::vector<int> Sources(const HistoryTable& table) {
  std::vector<int> order;
  for (const HistoryTableRow& row : table.Rows) order.push_back(row.Source);
  return order;
}

// Clicks in turn and the order each leaves; a number column starts with the most, a text
// column alphabetically, the same column again turns round, and ties keep their order.
TEST(HistoryTableSort, ClicksAndTheOrdersTheyLeave) {
  struct Case {
    std::vector<int> Clicks;
    std::vector<int> Order;  // sources top to bottom
    bool Descending;
  };
  const Case cases[] = {
      {{1}, {1, 3, 0, 2}, true},        // counts 5, 5, 2, 1: the tie 1 before 3 as answered
      {{1, 1}, {2, 0, 1, 3}, false},    // turned round, the tie still 1 before 3
      {{0}, {2, 3, 0, 1}, false},       // a, b, c, d
      {{0, 0}, {1, 0, 3, 2}, true},
      {{1, 0}, {2, 3, 0, 1}, false},    // another column starts afresh
      {{0, 1, 1, 1}, {3, 1, 0, 2}, true},  // ties as the name sort left them
      {{7}, {0, 1, 2, 3}, false},       // no such column: nothing moves
  };
  for (const Case& c : cases) {
    HistoryTable table = NameAndCount({{"c", 2}, {"d", 5}, {"a", 1}, {"b", 5}});
    for (int column : c.Clicks) SortHistoryTable(table, column);
    SCOPED_TRACE(::testing::PrintToString(c.Clicks));
    EXPECT_EQ(Sources(table), c.Order);
    if (c.Clicks.back() < 2) {
      EXPECT_EQ(table.Descending, c.Descending);
    }
  }
}

// Over random tables: a sort keeps every row, orders the column, keeps ties in their
// answered order, and counts one revision.
TEST(HistoryTableSort, RandomTablesSortStablyAndLoseNoRow) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::pair<std::string, std::int64_t>> rows;
    const int n = static_cast<int>(rng() % 12);
    for (int i = 0; i < n; ++i) {
      rows.emplace_back(std::string(1, static_cast<char>('a' + rng() % 4)), static_cast<std::int64_t>(rng() % 4));
    }
    HistoryTable table = NameAndCount(rows);
    const int column = static_cast<int>(rng() % 2);
    const int clicks = 1 + static_cast<int>(rng() % 3);
    for (int k = 0; k < clicks; ++k) SortHistoryTable(table, column);
    ASSERT_EQ(table.Revision, static_cast<std::uint64_t>(clicks));
    std::vector<int> sources = Sources(table);
    std::sort(sources.begin(), sources.end());
    for (int i = 0; i < n; ++i) ASSERT_EQ(sources[static_cast<std::size_t>(i)], i);
    for (std::size_t r = 1; r < table.Rows.size(); ++r) {
      const HistoryTableRow& a = table.Rows[r - 1];
      const HistoryTableRow& b = table.Rows[r];
      const auto ka = column == 1 ? std::to_string(a.Values[1]) : a.Cells[0];
      const auto kb = column == 1 ? std::to_string(b.Values[1]) : b.Cells[0];
      if (ka == kb) {
        ASSERT_LT(a.Source, b.Source) << "a tie left its order";
      } else {
        ASSERT_EQ(table.Descending, ka > kb) << "row " << r;
      }
    }
  }
}

class HistoryPageSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { app.ProgramDir = dir.Path(); }
  std::string Ini() const { return dir.File("Mizuto.ini"); }
  test::TempDir dir;
  App app;
};

// The page's settings come back from the file as they were written, in a section of their
// own after the others, and the other sections keep their keys and order.
TEST_F(HistoryPageSettingsTest, TheSectionRoundTripsAfterTheOthers) {
  std::string error;
  ASSERT_TRUE(SaveSettings(app, &error)) << error;
  const std::string kSection = "\r\n[MizutoHistory]\r\n";
  const std::string before = test::ReadBytes(Ini());
  ASSERT_NE(before.find(kSection), std::string::npos);
  const std::string others = before.substr(0, before.find(kSection));
  ASSERT_NE(others.find("[MizutoWindow]"), std::string::npos);
  HistoryPageSettings& s = app.HistoryPage.Settings;
  s.From = "2026-10-01";
  s.To = "2026-11-30";
  s.Type = 2;
  s.Size = 3;
  s.Against = 1;
  s.Name = S("白波");
  s.PartialName = true;
  s.OpponentColumns = {120, 40, 40};
  s.PlayerColumns = {100};
  s.BattleColumns = {80, 150, 400};
  s.Splitter = {300, 200};
  s.UpperSplitter = {350, 350};
  s.LowerSplitter = {500, 200};
  ASSERT_TRUE(SaveSettings(app, &error)) << error;
  EXPECT_EQ(test::ReadBytes(Ini()),
            others + kSection + "From=2026-10-01\r\nTo=2026-11-30\r\nType=2\r\nSize=3\r\nAgainst=1\r\nName=" +
                S("白波") +
                "\r\nPartialName=1\r\nOpponentColumns=120,40,40\r\nPlayerColumns=100\r\nBattleColumns=80,150,400\r\n"
                "Splitter=300,200\r\nUpperSplitter=350,350\r\nLowerSplitter=500,200\r\n");
  App read;
  read.ProgramDir = dir.Path();
  LoadSettingsFirst(read);
  const HistoryPageSettings& r = read.HistoryPage.Settings;
  EXPECT_EQ(r.From, s.From);
  EXPECT_EQ(r.To, s.To);
  EXPECT_EQ(r.Type, 2);
  EXPECT_EQ(r.Size, 3);
  EXPECT_EQ(r.Against, 1);
  EXPECT_EQ(r.Name, s.Name);
  EXPECT_TRUE(r.PartialName);
  EXPECT_EQ(r.OpponentColumns, s.OpponentColumns);
  EXPECT_EQ(r.PlayerColumns, s.PlayerColumns);
  EXPECT_EQ(r.BattleColumns, s.BattleColumns);
  EXPECT_EQ(r.Splitter, s.Splitter);
  EXPECT_EQ(r.UpperSplitter, s.UpperSplitter);
  EXPECT_EQ(r.LowerSplitter, s.LowerSplitter);
}

// Values edited by hand that the page cannot use read as the defaults, one key at a time.
TEST_F(HistoryPageSettingsTest, UnusableValuesReadAsTheDefaults) {
  struct Case {
    const char* Line;
    std::string HistoryPageSettings::*Text = nullptr;
    int HistoryPageSettings::*Choice = nullptr;
    std::vector<int> HistoryPageSettings::*Sizes = nullptr;
  };
  const Case cases[] = {
      {"From=2026-1-5", &HistoryPageSettings::From},
      {"From=yesterday", &HistoryPageSettings::From},
      {"From=2026-11-01", &HistoryPageSettings::From},  // without To: no range
      {"Type=5", nullptr, &HistoryPageSettings::Type},
      {"Type=-1", nullptr, &HistoryPageSettings::Type},
      {"Size=4", nullptr, &HistoryPageSettings::Size},
      {"Against=3", nullptr, &HistoryPageSettings::Against},
      {"Splitter=100,,200", nullptr, nullptr, &HistoryPageSettings::Splitter},
      {"Splitter=100,-5", nullptr, nullptr, &HistoryPageSettings::Splitter},
      {"Splitter=100;200", nullptr, nullptr, &HistoryPageSettings::Splitter},
      {"OpponentColumns=99999999999", nullptr, nullptr, &HistoryPageSettings::OpponentColumns},
      {"BattleColumns=12,", nullptr, nullptr, &HistoryPageSettings::BattleColumns},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Line);
    test::WriteBytes(Ini(), std::string("[MizutoHistory]\r\n") + c.Line + "\r\n");
    App read;
    read.ProgramDir = dir.Path();
    LoadSettingsFirst(read);
    const HistoryPageSettings& r = read.HistoryPage.Settings;
    if (c.Text) {
      EXPECT_EQ(r.*c.Text, "");
    }
    if (c.Choice) {
      EXPECT_EQ(r.*c.Choice, 0);
    }
    if (c.Sizes) {
      EXPECT_TRUE((r.*c.Sizes).empty());
    }
  }
}

// The filter's choices map onto the history's filter in the labels' order.
TEST(HistoryPageFilter, ChoicesMapOntoTheHistorysFilter) {
  HistoryPageSettings s;
  const HistoryFilter all = HistoryFilterOf(s, HistoryRange{"2026-11-01", "2026-11-30"});
  EXPECT_EQ(all.From, "2026-11-01");
  EXPECT_EQ(all.To, "2026-11-30");
  EXPECT_FALSE(all.Type.has_value());
  EXPECT_FALSE(all.Size.has_value());
  EXPECT_EQ(all.Against, HistoryFilter::Opposition::Any);
  const BattleType types[] = {BattleType::Naval, BattleType::Mock, BattleType::Real, BattleType::Camp};
  for (int t = 1; t <= 4; ++t) {
    s.Type = t;
    EXPECT_EQ(HistoryFilterOf(s, {}).Type, types[t - 1]) << t;
  }
  const ShipSize sizes[] = {ShipSize::Small, ShipSize::Medium, ShipSize::Large};
  for (int z = 1; z <= 3; ++z) {
    s.Size = z;
    EXPECT_EQ(HistoryFilterOf(s, {}).Size, sizes[z - 1]) << z;
  }
  s.Against = 1;
  EXPECT_EQ(HistoryFilterOf(s, {}).Against, HistoryFilter::Opposition::Npc);
  s.Against = 2;
  EXPECT_EQ(HistoryFilterOf(s, {}).Against, HistoryFilter::Opposition::Player);
  s.Name = S("鬼丸");
  EXPECT_EQ(HistoryFilterOf(s, {}).Name, S("鬼丸"));
  // The choices' captions are as many as the settings' numbers.
  EXPECT_EQ(HistoryTypeChoices().size(), 5u);
  EXPECT_EQ(HistorySizeChoices().size(), 4u);
  EXPECT_EQ(HistoryAgainstChoices().size(), 3u);
}

// A season of one day's four battles, imported by the folder command: lost to 白波 (次郎 sinks
// 荒波), won against 鬼丸, won against 海賊 (太郎 sinks 黒船), lost to 大波.
class HistorySeasonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(platform::NativePath(dir.File("logs")));
    using test::SystemLine;
    test::WriteBytes(dir.File("logs/chat_2026-11-01.html"),
                     SystemLine("白波と交戦に入ります！") + SystemLine("次郎が荒波を撃沈しました！") +
                         SystemLine("白波に敗北しました…") + SystemLine("鬼丸の強襲です！") + SystemLine("鬼丸に勝利しました！") +
                         SystemLine("海賊の強襲です！") + SystemLine("太郎が黒船を撃沈しました！") +
                         SystemLine("海賊に勝利しました！") + SystemLine("大波と交戦に入ります！") +
                         SystemLine("大波に敗北しました…"));
    test::WriteBytes(dir.File("Mizuto.ini"), "[Mizuto]\r\nLogDir=" + S(dir.File("logs")) + "\r\n");
    app.ProgramDir = dir.Path();
    StartUp(app);
    app.History.Enable(true);
    ImportLogFolderIntoHistory(app, Dialogs{}, nullptr);
    app.HistoryPage.Today = "2026-11-01";
  }
  // The opponents of the battles table's rows, as the page shows them.
  std::vector<std::string> Opponents() {
    std::vector<std::string> names;
    for (const HistoryTableRow& row : app.HistoryPage.Battles.Rows) {
      const BattleRow* b = HistoryBattleRow(app, row.Source);
      names.push_back(b == nullptr ? "(none)" : test::U(b->Opponent.value_or("???")));
    }
    return names;
  }
  test::TempDir dir;
  App app;
};

// The name filter takes a whole name unless the player asks for part of one; the name may be
// the opponent's or a player's.
TEST_F(HistorySeasonTest, TheNameFilterMatchesAWholeNameUnlessAskedForPartOfOne) {
  const struct Case {
    const char* Name;
    bool Partial;
    std::vector<std::string> Opponents;
  } cases[] = {
      {"", false, {"白波", "鬼丸", "海賊", "大波"}},
      {"白波", false, {"白波"}},
      {"波", false, {}},
      {"波", true, {"白波", "大波"}},  // 荒波 is in 白波's battle
      {"荒波", false, {"白波"}},       // a player's name
      {"郎", false, {}},
      {"郎", true, {"白波", "海賊"}},
      {"太郎", false, {"海賊"}},
      {"大波", false, {"大波"}},
      {"白波丸", true, {}},            // longer than every name
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + (c.Partial ? " (part)" : " (whole)"));
    app.HistoryPage.Settings.Name = S(c.Name);
    app.HistoryPage.Settings.PartialName = c.Partial;
    RefreshHistoryPage(app);
    ASSERT_EQ(app.HistoryPage.ErrorText, "");
    EXPECT_EQ(Opponents(), c.Opponents);
    EXPECT_EQ(app.HistoryPage.Battles.Rows.size(), c.Opponents.size());
  }
}

// Without a chosen range the page shows the 30 calendar days up to today, battles or not.
TEST_F(HistorySeasonTest, TheRecentRangeIsTheLastThirtyCalendarDays) {
  const struct Case {
    const char* Today;
    const char* From;
    std::size_t Battles;
  } cases[] = {
      {"2026-11-01", "2026-10-03", 4},
      {"2026-11-30", "2026-11-01", 4},
      {"2026-12-01", "2026-11-02", 0},  // the log's day is the 31st day back
      {"2027-01-10", "2026-12-12", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Today);
    app.HistoryPage.Today = c.Today;
    RefreshHistoryPage(app);
    EXPECT_EQ(app.HistoryPage.Range.From, c.From);
    EXPECT_EQ(app.HistoryPage.Range.To, c.Today);
    EXPECT_EQ(app.HistoryPage.Battles.Rows.size(), c.Battles);
  }
}

TEST(HistoryRecentDays, CountsBackOverMonthsYearsAndLeapDays) {
  const struct Case {
    const char* Today;
    int Count;
    const char* From;  // empty: no range
  } cases[] = {
      {"2026-03-01", 30, "2026-01-31"}, {"2024-03-01", 30, "2024-02-01"}, {"2024-03-01", 1, "2024-03-01"},
      {"2027-01-10", 30, "2026-12-12"}, {"2000-03-01", 2, "2000-02-29"},  {"2100-03-01", 2, ""},  // after 2099
      {"2026-02-30", 30, ""},           {"20261101", 30, ""},             {"2026-11-01", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Today) + " " + std::to_string(c.Count));
    const HistoryRange range = LastCalendarDays(c.Today, c.Count);
    EXPECT_EQ(range.From, c.From);
    EXPECT_EQ(range.To, *c.From ? c.Today : "");
  }
}

// Newest first by the date lists a day's last battle first; the oldest first, its first.
TEST_F(HistorySeasonTest, SortingByTheDateOrdersADaysBattlesAsFought) {
  RefreshHistoryPage(app);
  HistoryTable& battles = app.HistoryPage.Battles;
  ASSERT_EQ(battles.Columns.size(), 3u);
  ASSERT_EQ(battles.Columns[1].Caption, S("日付"));
  auto order = [&] {
    std::vector<int> sources;
    for (const HistoryTableRow& row : battles.Rows) sources.push_back(row.Source);
    return sources;
  };
  SortHistoryTable(battles, 1);
  EXPECT_EQ(order(), (std::vector<int>{0, 1, 2, 3}));
  SortHistoryTable(battles, 1);
  EXPECT_EQ(order(), (std::vector<int>{3, 2, 1, 0}));
  // ... and the order survives the page asking again.
  RefreshHistoryPage(app);
  EXPECT_EQ(order(), (std::vector<int>{3, 2, 1, 0}));
  EXPECT_TRUE(battles.Descending);
}

// The log folder comes from Mizuto.ini as Shift-JIS text and is a path inside the program:
// every command that takes it finds the folder and its logs whatever their names (a
// character with two codes included), and a save writes the setting's bytes back as read.
TEST(LogFolderCommands, EveryFolderCommandFindsAJapaneseFolderFromTheSettingsFile) {
  namespace fs = std::filesystem;
  const struct Case {
    const char* Name;
    std::string Folder;   // UTF-8, as the file system spells it
    std::string IniText;  // LogDir's bytes after the temporary folder's path
    std::string Older, Newer;
  } cases[] = {
      {"ascii", "logs", "logs", "chat_a.html", "chat_b.html"},
      {"japanese folder and files", "ログ", S("ログ"), "戦闘記録１.html", "戦闘記録２.html"},
      {"spaces and kanji", "航海 日誌", S("航海 日誌"), "大海戦.html", "小競り合い.html"},
      {"a character with two codes", "記録≒", S("記録") + "\x87\x90", "一.html", "二.html"},
  };
  const std::string battle = test::SystemLine("鬼丸の強襲です！") + test::SystemLine("鬼丸に勝利しました！");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    test::TempDir dir;
    const std::string folder = dir.Path() + c.Folder;
    fs::create_directory(platform::NativePath(folder));
    // (Another battle: a file that is the start of the newer one would be part of its log.)
    test::WriteBytes(folder + "/" + c.Older, test::SystemLine("白波の強襲です！") + test::SystemLine("白波に勝利しました！"));
    test::WriteBytes(folder + "/" + c.Newer, battle + battle);
    fs::last_write_time(platform::NativePath(folder + "/" + c.Older),
                        fs::last_write_time(platform::NativePath(folder + "/" + c.Newer)) - std::chrono::minutes(5));
    const std::string ini = "[Mizuto]\r\nLogDir=" + S(dir.Path()) + c.IniText + "\r\n";
    test::WriteBytes(dir.File("Mizuto.ini"), ini);
    App app;
    app.ProgramDir = dir.Path();
    StartUp(app);
    app.History.Enable(true);

    // 最新のログを読込
    ASSERT_TRUE(LoadNewestLog(app));
    EXPECT_EQ(app.CurrentLogPath, folder + "/" + c.Newer);
    EXPECT_EQ(app.BattleList.Count(), 2);

    // ログフォルダのログをすべて履歴に取り込む: the newest log is known already.
    std::vector<std::string> said;
    Dialogs ask;
    ask.Message = [&](const std::string& text, const std::string&) { said.push_back(test::U(text)); };
    ImportLogFolderIntoHistory(app, ask, nullptr);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("新しいログ: 1  伸びたログ: 0\n解析し直したログ: 0  変わりなし: 1"), std::string::npos) << said[0];
    EXPECT_EQ(app.ErrorLines, std::vector<std::string>{});

    // Saved unchanged: the setting keeps its bytes.
    std::string error;
    ASSERT_TRUE(SaveSettings(app, &error)) << error;
    EXPECT_NE(test::ReadBytes(dir.File("Mizuto.ini")).find("LogDir=" + S(dir.Path()) + c.IniText + "\r\n"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace mizuto
