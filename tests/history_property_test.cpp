// For any log: after importing it, the history's battles of that log are the report's
// [battles] and the players' sums over its counted battles are the report's [tallies];
// importing it again, a grown copy, or a renamed copy leaves one log equal to the last
// file's report.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <sstream>

#include "app/active_mode.h"
#include "app/app.h"
#include "app/battle_list_commands.h"
#include "app/history_command.h"
#include "app/history_link.h"
#include "app/load_driver.h"
#include "app/report.h"
#include "app/start_up.h"
#include "history/history_store.h"
#include "support/property_support.h"
#include "tally/csv_export.h"
#include "text/codec.h"

namespace mizuto {
namespace {

using Lines = std::vector<std::string>;

// A section of the report's output, line by line.
Lines Section(const std::string& report, const std::string& name) {
  Lines lines;
  std::istringstream in(report);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '[' && line.back() == ']') {
      inside = line == "[" + name + "]";
    } else if (inside) {
      lines.push_back(line);
    }
  }
  return lines;
}

std::string Report(const std::string& programDir, const std::string& log) {
  ReportOptions options;
  options.ProgramDir = programDir;
  options.LogPath = log;
  std::ostringstream out, err;
  EXPECT_EQ(RunReport(options, out, err), 0) << err.str();
  return out.str();
}

// The history holds exactly one log, and its battles and players are the report's.
void ExpectOneLogLikeTheReport(App& app, const std::string& report, const std::string& fileName,
                               const std::string& why) {
  SCOPED_TRACE(why);
  HistoryStore* store = UsableHistory(app);
  ASSERT_NE(store, nullptr) << test::U(app.History.ErrorText);
  const HistoryFilter all;
  const auto logs = store->Logs(all).Value;
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].FileName, fileName);
  Lines labels;
  for (const BattleRow& b : store->Battles(all).Value) labels.push_back(SjisToUtf8(b.Label));
  EXPECT_EQ(labels, Section(report, "battles"));
  // (A log without battles has a status text in its place.)
  if (!labels.empty()) {
    EXPECT_EQ(Lines{SjisToUtf8(HistorySummaryText(store->Summary(all).Value))}, Section(report, "summary"));
  }

  const auto players = HistoryPlayersTable(app, *store, all);
  ASSERT_TRUE(players.Ok());
  std::istringstream csv(SjisToUtf8(TallyTableCsv(players.Value, "\n")));
  Lines mine;
  for (std::string line; std::getline(csv, line);) mine.push_back(line);
  Lines theirs = Section(report, "tallies");
  ASSERT_FALSE(mine.empty());
  ASSERT_FALSE(theirs.empty());
  EXPECT_EQ(mine.front(), theirs.front());  // the columns
  // The rows as sets: the tally table keeps the names' order, the history the names'.
  std::sort(mine.begin() + 1, mine.end());
  std::sort(theirs.begin() + 1, theirs.end());
  EXPECT_EQ(mine, theirs);
}

TEST(HistoryProperty, EveryImportedLogIsItsReport) {
  test::PropertyRun run("history import", 6);
  std::uint64_t seed = 0;
  while (run.Next(&seed)) {
    SCOPED_TRACE(test::PropertyRun::Reproduce(seed));
    test::TempDir dir;
    const test::GeneratedLog generated = test::GenerateLog(seed, dir.Path(), dir.File("scratch"), 12);
    test::Rng rng(seed);
    const std::string name = "chat_2024050" + std::to_string(1 + seed % 9) + ".html";
    const std::string log = dir.File(name);

    App app;
    app.ProgramDir = dir.Path();
    StartUp(app);
    app.History.Enabled = true;
    app.CurrentLogPath = log;

    // A part of the log as the game had written it then, imported by a load.
    const std::size_t cut = test::CutPoint(generated.Bytes, rng);
    test::WriteBytes(log, generated.Bytes.substr(0, cut));
    ASSERT_TRUE(LoadAndAnalyse(app));
    run.Step(0);
    if (app.History.CurrentLogId != 0) ExpectOneLogLikeTheReport(app, Report(dir.Path(), log), name, "a part");

    // The whole log: it has grown.
    test::WriteBytes(log, generated.Bytes);
    ASSERT_TRUE(LoadAndAnalyse(app));
    run.Step(1);
    const std::string whole = Report(dir.Path(), log);
    ExpectOneLogLikeTheReport(app, whole, name, "grown");

    // Again, unchanged; then a copy under another name, imported from the folder.
    ASSERT_TRUE(LoadAndAnalyse(app));
    ExpectOneLogLikeTheReport(app, whole, name, "again");
    const std::string copy = "renamed.html";
    test::WriteBytes(dir.File(copy), generated.Bytes);
    std::remove(log.c_str());
    const ImportResult result = ImportLogFile(app, *UsableHistory(app), dir.File(copy));
    EXPECT_EQ(result.Outcome, ImportOutcome::Unchanged);
    run.Step(2);
    ExpectOneLogLikeTheReport(app, Report(dir.Path(), dir.File(copy)), copy, "renamed");
  }
}

// The rows a query gives on the history file, read as another program would, each row's
// values joined by '|'.
Lines Rows(const std::string& path, const std::string& sql) {
  Lines rows;
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      std::string& row = rows.emplace_back();
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
        row += (i ? "|" : "") + std::string(text ? text : "NULL");
      }
    }
  } else {
    rows.push_back(std::string("cannot ask: ") + sqlite3_errmsg(db));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

// The totals kept per log, class and player are what summing the counted battles' own rows
// gives, whatever happened to the battles: recorded one by one as they ended, imported with
// the rest of the log, corrected (class, count mark) back and forth.
TEST(HistoryProperty, ThePlayersTotalsAreTheSumsOfTheCountedBattlesAfterAnyChanges) {
  test::PropertyRun run("history totals", 6);
  std::uint64_t seed = 0;
  int withTotals = 0;
  while (run.Next(&seed)) {
    SCOPED_TRACE(test::PropertyRun::Reproduce(seed));
    test::TempDir dir;
    const test::GeneratedLog generated = test::GenerateLog(seed, dir.Path(), dir.File("scratch"), 12);
    test::Rng rng(seed);
    const std::string log = dir.File("chat_20240601.html");
    App app;
    app.ProgramDir = dir.Path();
    StartUp(app);
    app.History.Enabled = true;
    app.CurrentLogPath = log;
    const std::string db = dir.File(kHistoryFileName);
    auto expectTotals = [&](const char* when) {
      SCOPED_TRACE(when);
      EXPECT_EQ(Rows(db, "SELECT * FROM player_totals ORDER BY 1, 2, 3, 4, 5"),
                Rows(db,
                     "SELECT b.log_id, b.type, b.size, b.npc, p.name_id, COUNT(*), SUM(p.sides & 1 <> 0),"
                     " SUM(p.sides & 2 <> 0), SUM(p.relations & 1 <> 0), SUM(p.relations & 2 <> 0),"
                     " SUM(p.present <> 0), SUM(p.sinks), SUM(p.decisive), SUM(p.sunk), SUM(p.captures),"
                     " SUM(p.captured), SUM(p.tenacity), SUM(p.meals) FROM battles b JOIN battle_players p"
                     " ON p.battle_id = b.id WHERE b.counted = 1 GROUP BY 1, 2, 3, 4, 5 ORDER BY 1, 2, 3, 4, 5"));
      EXPECT_EQ(Rows(db, "SELECT * FROM use_totals ORDER BY 1, 2, 3, 4, 5, 6"),
                Rows(db,
                     "SELECT b.log_id, b.type, b.size, b.npc, x.name_id, x.use_id, SUM(x.count) FROM battles b"
                     " JOIN battle_uses x ON x.battle_id = b.id WHERE b.counted = 1"
                     " GROUP BY 1, 2, 3, 4, 5, 6 ORDER BY 1, 2, 3, 4, 5, 6"));
    };

    // Followed in active mode: each battle is recorded as it ends.
    const std::size_t cut = test::CutPoint(generated.Bytes, rng);
    test::WriteBytes(log, generated.Bytes.substr(0, cut));
    app.Acts.ActiveMode.Checked = true;
    ASSERT_TRUE(LoadAndAnalyse(app));
    ActiveModeExecute(app);
    test::WriteBytes(log, generated.Bytes);
    ASSERT_TRUE(TickFollowedLog(app));
    run.Step(0);
    expectTotals("followed");

    // The player's corrections, on battles taken at random, some of them more than once.
    app.Acts.ActiveMode.Checked = false;
    ASSERT_TRUE(LoadAndAnalyse(app));
    const int battles = static_cast<int>(app.BattleList.Rows.size());
    void (*const corrections[])(App&) = {AddTotalListExecute, DelTotalListExecute, ShipTypeBExecute,
                                         ShipTypeMExecute,    ShipTypeSExecute,    BattleTypeKExecute,
                                         BattleTypeMExecute,  BattleTypeRExecute,  ToPCExecute,
                                         ToNPCExecute};
    for (int i = 0; i < 12 && battles > 0; ++i) {
      app.BattleList.Selected.assign(app.BattleList.Selected.size(), 0);
      app.BattleList.Select(rng.Below(battles));
      corrections[rng.Below(static_cast<int>(std::size(corrections)))](app);
    }
    run.Step(1);
    expectTotals("corrected");

    // A grown copy under another name takes the log's place and its corrections.
    const std::string copy = dir.File("chat_20240602.html");
    test::WriteBytes(copy, generated.Bytes + generated.Bytes.substr(0, cut));
    ImportLogFile(app, *UsableHistory(app), copy);
    run.Step(2);
    expectTotals("grown copy");
    if (Rows(db, "SELECT 1 FROM player_totals LIMIT 1") == Lines{"1"}) ++withTotals;
  }
  // The generated logs have counted battles: the comparisons were not of empty tables.
  EXPECT_GT(withTotals, 0);
}

}  // namespace
}  // namespace mizuto
