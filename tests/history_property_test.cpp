// For any log: after importing it, the history's battles of that log are the report's
// [battles] and the players' sums over its counted battles are the report's [tallies];
// importing it again, a grown copy, or a renamed copy leaves one log equal to the last
// file's report.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <tuple>

#include "app/commands/active_mode.h"
#include "app/owner/app.h"
#include "app/owner/battle_list_commands.h"
#include "app/modes/history_command.h"
#include "app/season/season_tables.h"
#include "app/owner/history_recorder.h"
#include "app/owner/load_driver.h"
#include "app/modes/report.h"
#include "app/commands/start_up.h"
#include "history/history_store.h"
#include "history/packed_figures.h"
#include "support/property_support.h"
#include "tally/csv_export.h"
#include "text/codec.h"
#include "text/sjis.h"

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

// The tally rows (CSV, UTF-8) with the rows of one name added up, column by column: the
// report shows a row per entry of the name table, where a name entered twice (an empty
// name read again) has two; the history keeps one per name.
Lines SummedByName(const Lines& rows) {
  std::map<std::string, std::vector<long long>> sums;
  for (const std::string& row : rows) {
    std::size_t end = 0;  // past the name field
    if (!row.empty() && row[0] == '"') {
      for (end = 1; end < row.size(); ++end) {
        if (row[end] == '"' && (end + 1 >= row.size() || row[end + 1] != '"')) break;
        if (row[end] == '"') ++end;
      }
      ++end;
    } else {
      end = std::min(row.find(','), row.size());
    }
    std::vector<long long>& sum = sums[row.substr(0, end)];
    std::istringstream cells(end < row.size() ? row.substr(end + 1) : std::string());
    std::size_t i = 0;
    for (std::string cell; std::getline(cells, cell, ','); ++i) {
      if (sum.size() <= i) sum.push_back(0);
      sum[i] += std::stoll(cell);
    }
  }
  Lines summed;
  for (const auto& [name, sum] : sums) {
    summed.push_back(name);
    for (long long v : sum) summed.back() += "," + std::to_string(v);
  }
  return summed;
}

// The history holds exactly one log, and its battles and players are the report's.
void ExpectOneLogLikeTheReport(App& app, const std::string& report, const std::string& fileName,
                               const std::string& why) {
  SCOPED_TRACE(why);
  HistoryStore* store = app.History.Store(app);
  ASSERT_NE(store, nullptr) << test::U(app.History.ErrorText());
  const HistoryFilter all;
  const auto logs = store->Logs(all).Value;
  ASSERT_EQ(logs.size(), 1u) << test::U(app.History.ErrorText());
  EXPECT_EQ(logs[0].FileName, fileName);
  Lines labels;
  for (const BattleRow& b : store->Battles(all).Value) labels.push_back(SjisToUtf8(b.Label));
  EXPECT_EQ(labels, Section(report, "battles"));
  // (A log without battles has a status text in its place.)
  if (!labels.empty()) {
    EXPECT_EQ(Lines{SjisToUtf8(HistorySummaryText(store->Summary(all).Value))}, Section(report, "summary"));
  }

  const SeasonTables season =
      AskSeason(*store, all, TallyOptions{app.Lists, app.SkillChecked, app.ItemChecked}, kSeasonPlayers);
  ASSERT_FALSE(season.Error);
  std::istringstream csv(SjisToUtf8(SeasonTableCsv(season.Players, "\n")));
  Lines mine;
  for (std::string line; std::getline(csv, line);) mine.push_back(line);
  Lines theirs = Section(report, "tallies");
  ASSERT_FALSE(mine.empty());
  ASSERT_FALSE(theirs.empty());
  EXPECT_EQ(mine.front(), theirs.front());  // the columns
  // The rows by name: the tally table keeps the names' order, the history the names'.
  EXPECT_EQ(SummedByName(Lines(mine.begin() + 1, mine.end())), SummedByName(Lines(theirs.begin() + 1, theirs.end())));
}

TEST(HistoryProperty, EveryImportedLogIsItsReport) {
  test::PropertyRun run("history import", 6);
  std::uint64_t seed = 0;
  while (run.Next(&seed)) {
    SCOPED_TRACE(test::PropertyRun::Reproduce(seed));
    test::TempDir dir;
    const test::GeneratedLog generated = test::GenerateLog(seed, dir.Path(), dir.File("scratch"), 12, true);
    test::Rng rng(seed);
    const std::string name = "chat_2024050" + std::to_string(1 + seed % 9) + ".html";
    const std::string log = dir.File(name);

    App app;
    app.ProgramDir = dir.Path();
    StartUp(app);
    app.History.Enable(true);
    app.CurrentLogPath = log;

    // A part of the log as the game had written it then, imported by a load.
    const std::size_t cut = test::CutPoint(generated.Bytes, rng);
    test::WriteBytes(log, generated.Bytes.substr(0, cut));
    ASSERT_TRUE(LoadAndAnalyse(app));
    run.Step(0);
    if (app.History.CurrentLogId() != 0) ExpectOneLogLikeTheReport(app, Report(dir.Path(), log), name, "a part");

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
    const ImportResult result = ImportLogFile(app, *app.History.Store(app), dir.File(copy));
    EXPECT_EQ(result.Outcome, ImportOutcome::Moved);
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
  const bool opened = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
  // The name filter's test, as the lists match names (character by character).
  if (opened) {
    sqlite3_create_function_v2(
        db, "sjis_contains", 2, SQLITE_UTF8, nullptr,
        [](sqlite3_context* context, int, sqlite3_value** values) {
          const auto* name = static_cast<const char*>(sqlite3_value_blob(values[0]));
          const auto* text = static_cast<const char*>(sqlite3_value_blob(values[1]));
          sqlite3_result_int(context, name != nullptr && text != nullptr &&
                                          FindChar(std::string_view(name, static_cast<std::size_t>(sqlite3_value_bytes(values[0]))),
                                                   std::string_view(text, static_cast<std::size_t>(sqlite3_value_bytes(values[1])))) != 0);
        },
        nullptr, nullptr, nullptr);
  }
  if (opened && sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
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

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

// Each present player's uses over the battles a WHERE clause keeps, summed and named as
// the question names them ("name|item|use|count", hex names), from the players' own packed
// uses, read as another program would.
Lines UsesOfBattles(const std::string& path, const std::string& where, const std::string& present) {
  Lines uses;
  std::map<std::int64_t, std::string> useNames;  // id -> "item|hex name"
  for (const std::string& row : Rows(path, "SELECT id, item, hex(name) FROM use_names")) {
    const std::size_t bar = row.find('|');
    useNames[std::stoll(row.substr(0, bar))] = row.substr(bar + 1);
  }
  std::map<std::pair<std::string, std::string>, std::int64_t> sums;
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  const std::string sql = "SELECT hex(n.name), p.uses FROM battles b JOIN battle_players p ON p.battle_id = b.id"
                          " JOIN names n ON n.id = p.name_id" + where + " AND p.name_id IN (" + present + ")";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    uses.push_back(std::string("cannot ask: ") + sqlite3_errmsg(db));
  }
  while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
    const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    const std::string_view packed(static_cast<const char*>(sqlite3_column_blob(statement, 1)),
                                  static_cast<std::size_t>(sqlite3_column_bytes(statement, 1)));
    UseCounts counts;
    if (!UnpackUses(packed, counts)) uses.push_back("damaged uses of " + name);
    for (const auto& [use, count] : counts) sums[{name, useNames[use]}] += count;
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  for (const auto& [key, count] : sums) {
    if (count != 0) uses.push_back(key.first + "|" + key.second + "|" + std::to_string(count));
  }
  std::sort(uses.begin(), uses.end());
  return uses;
}

// Takes a history file back to the first version, as that version wrote it: a row per use,
// a player row only for a player with figures, no per-log totals.
void MakeFirstVersionFile(const std::string& path) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  auto exec = [&](const char* sql) { EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql; };
  exec("BEGIN");
  exec("CREATE TABLE battle_uses(battle_id INTEGER NOT NULL REFERENCES battles(id) ON DELETE CASCADE,"
       " name_id INTEGER NOT NULL, use_id INTEGER NOT NULL REFERENCES use_names(id), count INTEGER NOT NULL,"
       " PRIMARY KEY(battle_id, name_id, use_id)) WITHOUT ROWID");
  sqlite3_stmt* read = nullptr;
  sqlite3_stmt* write = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT battle_id, name_id, uses FROM battle_players", -1, &read, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO battle_uses VALUES(?,?,?,?)", -1, &write, nullptr), SQLITE_OK);
  while (sqlite3_step(read) == SQLITE_ROW) {
    UseCounts counts;
    ASSERT_TRUE(UnpackUses(std::string_view(static_cast<const char*>(sqlite3_column_blob(read, 2)),
                                            static_cast<std::size_t>(sqlite3_column_bytes(read, 2))),
                           counts));
    for (const auto& [use, count] : counts) {
      sqlite3_bind_int64(write, 1, sqlite3_column_int64(read, 0));
      sqlite3_bind_int64(write, 2, sqlite3_column_int64(read, 1));
      sqlite3_bind_int64(write, 3, use);
      sqlite3_bind_int64(write, 4, count);
      EXPECT_EQ(sqlite3_step(write), SQLITE_DONE);
      sqlite3_reset(write);
    }
  }
  sqlite3_finalize(read);
  sqlite3_finalize(write);
  exec("DELETE FROM battle_players WHERE sides = 0 AND relations = 0 AND present = 0 AND sinks = 0 AND sunk = 0"
       " AND captures = 0 AND captured = 0 AND decisive = 0 AND tenacity = 0 AND meals = 0 AND wasted_repairs = 0"
       " AND wasted_care = 0 AND wasted_other = 0 AND taken_by IS NULL");
  exec("ALTER TABLE battle_players DROP COLUMN uses");
  exec("DROP TABLE log_totals");
  // Corrections by battle number, holding the whole class; no first lines, no settings.
  exec("INSERT OR REPLACE INTO corrections(log_id, number, size, type, npc, count_mark)"
       " SELECT b.log_id, b.number, b.size, b.type, b.npc, b.count_mark FROM battle_corrections c"
       " JOIN battles b ON b.log_id = c.log_id AND b.first_line = c.first_line");
  exec("DROP TABLE battle_corrections");
  exec("DROP INDEX battles_by_start");
  exec("ALTER TABLE battles DROP COLUMN first_line");
  exec("ALTER TABLE logs DROP COLUMN shaping");
  exec("DROP INDEX logs_by_bytes");
  exec("DROP INDEX logs_by_head");
  exec("ALTER TABLE logs DROP COLUMN head");
  exec("PRAGMA user_version = 1");
  exec("COMMIT");
  sqlite3_close(db);
}

// A program folder's window with the history on, its log at `log`.
void StartWithHistory(App& app, const test::TempDir& dir, const std::string& log) {
  app.ProgramDir = dir.Path();
  StartUp(app);
  app.History.Enable(true);
  app.CurrentLogPath = log;
}

// Followed in active mode from the first `cut` bytes: a load, then a tick that finds the rest.
void FollowFromAPart(App& app, const std::string& log, const std::string& bytes, std::size_t cut) {
  test::WriteBytes(log, bytes.substr(0, cut));
  app.Acts.ActiveMode.Checked = true;
  ASSERT_TRUE(LoadAndAnalyse(app));
  ApplyActiveModeSwitch(app);
  test::WriteBytes(log, bytes);
  ASSERT_TRUE(TickFollowedLog(app));
}

// The SQL condition on battles `b` of a class filter (-1: any).
std::string ClassCondition(int type, int size, int npc) {
  std::string where;
  if (type >= 0) where += " AND b.type = " + std::to_string(type);
  if (size >= 0) where += " AND b.size = " + std::to_string(size);
  if (npc >= 0) where += " AND b.npc = " + std::to_string(npc);
  return where;
}

// The season's answers for `filter` (without a name) -- the players and their uses, the
// opponents, the summary and the days, which come from the per-log totals -- against
// SQLite's own sums over the battles that `where` keeps (the counted ones of the filter);
// `withPlayers` and `withOpponents` count the answers that were not empty.
void ExpectCountsAreARecount(HistoryStore& store, const std::string& db, const std::vector<std::string>& skills,
                             const std::vector<std::string>& items, const HistoryFilter& filter,
                             const std::string& where, int& withPlayers, int& withOpponents) {
  const std::string present = "SELECT p.name_id FROM battles b JOIN battle_players p ON p.battle_id = b.id" + where +
                              " GROUP BY p.name_id HAVING MAX(p.present <> 0)";
  const auto answer = store.Players(filter, skills, items);
  ASSERT_TRUE(answer.Ok()) << answer.Error.Detail;
  Lines players, uses;
  for (const PlayerRow& r : answer.Value) {
    players.push_back(Hex(r.Name) + "|" + std::to_string(r.Sides.ToStored()) + "|" +
                      std::to_string(r.Relations.ToStored()));
    for (std::int64_t v : {r.Battles, r.Sinks, r.Decisive, r.Sunk, r.Captures, r.Captured, r.Tenacity,
                           r.FleetMeals}) {
      players.back() += "|" + std::to_string(v);
    }
    for (std::size_t i = 0; i < r.SkillUses.size(); ++i) {
      if (r.SkillUses[i] != 0) uses.push_back(Hex(r.Name) + "|0|" + Hex(skills[i]) + "|" + std::to_string(r.SkillUses[i]));
    }
    for (std::size_t i = 0; i < r.ItemUses.size(); ++i) {
      if (r.ItemUses[i] != 0) uses.push_back(Hex(r.Name) + "|1|" + Hex(items[i]) + "|" + std::to_string(r.ItemUses[i]));
    }
  }
  std::sort(uses.begin(), uses.end());
  EXPECT_EQ(players,
            Rows(db,
                 "SELECT hex(n.name), MAX(p.sides & 1) | MAX(p.sides & 2),"
                 " MAX(p.relations & 1) | MAX(p.relations & 2), SUM(p.present), SUM(p.sinks),"
                 " SUM(p.decisive), SUM(p.sunk), SUM(p.captures), SUM(p.captured), SUM(p.tenacity),"
                 " SUM(p.meals) FROM battles b JOIN battle_players p ON p.battle_id = b.id"
                 " JOIN names n ON n.id = p.name_id" + where +
                     " GROUP BY p.name_id HAVING MAX(p.present <> 0) ORDER BY n.name"));
  EXPECT_EQ(uses, UsesOfBattles(db, where, present));
  if (!answer.Value.empty()) ++withPlayers;
  // The opponents, against SQLite's own grouping of the same battles.
  // The page asks for the three at once (one read of the battles): the same answers.
  const auto counts = store.Counts(filter);
  ASSERT_TRUE(counts.Ok()) << counts.Error.Detail;
  const auto opponents = store.Opponents(filter);
  ASSERT_TRUE(opponents.Ok()) << opponents.Error.Detail;
  auto opponentLines = [](const std::vector<OpponentRow>& rows) {
    Lines lines;
    for (const OpponentRow& r : rows) {
      lines.push_back(Hex(r.Opponent));
      for (std::int64_t v : {r.Battles, r.Won, r.Lost, r.Drawn, r.Escaped, r.Withdrawn, r.OwnDown, r.EnemyDown}) {
        lines.back() += "|" + std::to_string(v);
      }
    }
    return lines;
  };
  const Lines against = opponentLines(opponents.Value);
  EXPECT_EQ(opponentLines(counts.Value.Opponents), against);
  EXPECT_EQ(against,
            Rows(db, "SELECT hex(CASE WHEN o.id IS NULL THEN '\?\?\?' ELSE o.name END), COUNT(*) AS battles,"
                     " SUM(b.ended AND b.result = 1), SUM(b.ended AND b.result = 0), SUM(b.ended AND b.result = 4),"
                     " SUM(b.ended AND b.result = 2), SUM(b.ended AND b.result = 3), SUM(b.own_down),"
                     " SUM(b.enemy_down)"
                     " FROM battles b LEFT JOIN names o ON o.id = b.opponent" + where +
                     " GROUP BY b.opponent ORDER BY battles DESC, o.name"));
  if (!opponents.Value.empty()) ++withOpponents;
  // The summary and the chart's days likewise.
  const auto summary = store.Summary(filter);
  ASSERT_TRUE(summary.Ok()) << summary.Error.Detail;
  auto summaryLines = [](const HistorySummary& m) {
    Lines lines{""};
    for (std::int64_t v : {m.Battles, m.Won, m.Lost, m.Undecided, m.Drawn, m.Escaped, m.Withdrawn,
                           m.CriticalsDealt, m.CriticalsTaken, m.WastedRepairs, m.WastedCare, m.WastedOther}) {
      lines.back() += (lines.back().empty() ? "" : "|") + std::to_string(v);
    }
    return lines;
  };
  const Lines counted = summaryLines(summary.Value);
  EXPECT_EQ(summaryLines(counts.Value.Summary), counted);
  EXPECT_EQ(counted, Rows(db, "SELECT COUNT(*), COUNT(b.ended AND b.result = 1 OR NULL),"
                              " COUNT(b.ended AND b.result = 0 OR NULL), COUNT(b.ended AND b.result >= 2 OR NULL),"
                              " COUNT(b.ended AND b.result = 4 OR NULL), COUNT(b.ended AND b.result = 2 OR NULL),"
                              " COUNT(b.ended AND b.result = 3 OR NULL),"
                              " IFNULL(SUM(b.criticals_dealt), 0), IFNULL(SUM(b.criticals_taken), 0),"
                              " IFNULL(SUM(b.wasted_repairs), 0), IFNULL(SUM(b.wasted_care), 0),"
                              " IFNULL(SUM(b.wasted_other), 0) FROM battles b" + where));
  const auto days = store.Days(filter);
  ASSERT_TRUE(days.Ok()) << days.Error.Detail;
  auto dayLines = [](const std::vector<DayRow>& rows) {
    Lines lines;
    for (const DayRow& d : rows) {
      lines.push_back(d.Date);
      for (std::int64_t v : {d.Won, d.Lost, d.Drawn, d.Escaped, d.Withdrawn, d.OwnDown, d.EnemyDown}) {
        lines.back() += "|" + std::to_string(v);
      }
    }
    return lines;
  };
  const Lines perDay = dayLines(days.Value);
  EXPECT_EQ(dayLines(counts.Value.Days), perDay);
  EXPECT_EQ(perDay, Rows(db, "SELECT b.date, SUM(b.ended AND b.result = 1), SUM(b.ended AND b.result = 0),"
                             " SUM(b.ended AND b.result = 4), SUM(b.ended AND b.result = 2),"
                             " SUM(b.ended AND b.result = 3), SUM(b.own_down), SUM(b.enemy_down)"
                             " FROM battles b" + where + " GROUP BY b.date ORDER BY b.date"));
}

// The players' question (its figures and uses, for every class filter), answered from the
// totals kept per log, class and player, is what summing the counted battles' own rows
// gives, whatever happened to the battles: recorded one by one as they ended, imported with
// the rest of the log, corrected (class, count mark) back and forth.
TEST(HistoryProperty, ThePlayersTotalsAreTheSumsOfTheCountedBattlesAfterAnyChanges) {
  test::PropertyRun run("history totals", 6);
  std::uint64_t seed = 0;
  int withPlayers = 0, withOpponents = 0;
  while (run.Next(&seed)) {
    SCOPED_TRACE(test::PropertyRun::Reproduce(seed));
    test::TempDir dir;
    const test::GeneratedLog generated = test::GenerateLog(seed, dir.Path(), dir.File("scratch"), 12, true);
    test::Rng rng(seed);
    const std::string log = dir.File("chat_20240601.html");
    App app;
    StartWithHistory(app, dir, log);
    const std::string db = dir.File(kHistoryFileName);
    // Each class filter's players and uses as the store answers them, against the sums
    // over the battles' own rows.
    auto expectTotals = [&](const char* when) {
      SCOPED_TRACE(when);
      HistoryStore* store = app.History.Store(app);
      ASSERT_NE(store, nullptr);
      for (int type = -1; type <= 3; ++type) {
        for (int size = -1; size <= 3; ++size) {
          for (int npc = -1; npc <= 1; ++npc) {
            SCOPED_TRACE("type " + std::to_string(type) + " size " + std::to_string(size) + " npc " + std::to_string(npc));
            HistoryFilter filter;
            if (type >= 0) filter.Type = static_cast<BattleType>(type);
            if (size >= 0) filter.Size = static_cast<ShipSize>(size);
            if (npc >= 0) filter.Against = npc ? HistoryFilter::Opposition::Npc : HistoryFilter::Opposition::Player;
            ExpectCountsAreARecount(*store, db, app.Lists.SkillNames, app.Lists.ItemNames, filter,
                                    " WHERE b.counted = 1" + ClassCondition(type, size, npc), withPlayers,
                                    withOpponents);
          }
        }
      }
    };

    // Followed in active mode: each battle is recorded as it ends.
    const std::size_t cut = test::CutPoint(generated.Bytes, rng);
    FollowFromAPart(app, log, generated.Bytes, cut);
    run.Step(0);
    expectTotals("followed");

    // The player's corrections, on battles taken at random, some of them more than once.
    app.Acts.ActiveMode.Checked = false;
    ASSERT_TRUE(LoadAndAnalyse(app));
    const int battles = static_cast<int>(app.BattleList.Rows.size());
    void (*const corrections[])(App&) = {CountSelectedBattles, UncountSelectedBattles, MarkSelectedLarge,
                                         MarkSelectedMedium,    MarkSelectedSmall,    MarkSelectedNaval,
                                         MarkSelectedMock,  MarkSelectedReal,  MarkSelectedAsPlayers,
                                         MarkSelectedAsNpcs};
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
    ImportLogFile(app, *app.History.Store(app), copy);
    run.Step(2);
    expectTotals("grown copy");

    // A file of the first version (a row per use, no totals): opened, it is brought up to
    // date and answers as before, from the totals and from the battles (a name filter).
    {
      // A name whole (the default) and the same name as part of any name containing it.
      HistoryFilter all, named, partly;
      const auto everybody = app.History.Store(app)->Players(all, app.Lists.SkillNames, app.Lists.ItemNames);
      if (!everybody.Value.empty()) named.Name = partly.Name = everybody.Value[everybody.Value.size() / 2].Name;
      partly.PartialName = true;
      const HistoryFilter* const filters[] = {&all, &named, &partly};
      std::vector<HistoryAnswer<std::vector<PlayerRow>>> kept;
      for (const HistoryFilter* f : filters) {
        kept.push_back(app.History.Store(app)->Players(*f, app.Lists.SkillNames, app.Lists.ItemNames));
      }
      // The named questions against SQLite's own sums over the battles the name lets through.
      for (std::size_t k = 1; k < std::size(filters) && !named.Name.empty(); ++k) {
        SCOPED_TRACE(filters[k]->PartialName ? "part of a name" : "a whole name");
        const std::string text = "x'" + Hex(named.Name) + "'";
        const std::string matching = filters[k]->PartialName
                                         ? "(SELECT id FROM names WHERE sjis_contains(name, " + text + "))"
                                         : "(SELECT id FROM names WHERE name = " + text + ")";
        Lines got;
        for (const PlayerRow& r : kept[k].Value) {
          got.push_back(Hex(r.Name) + "|" + std::to_string(r.Sides.ToStored()) + "|" + std::to_string(r.Relations.ToStored()));
          for (std::int64_t v : {r.Battles, r.Sinks, r.Decisive, r.Sunk, r.Captures, r.Captured, r.Tenacity,
                                 r.FleetMeals}) {
            got.back() += "|" + std::to_string(v);
          }
        }
        EXPECT_EQ(got, Rows(db, "SELECT hex(n.name), MAX(p.sides & 1) | MAX(p.sides & 2),"
                                " MAX(p.relations & 1) | MAX(p.relations & 2), SUM(p.present), SUM(p.sinks),"
                                " SUM(p.decisive), SUM(p.sunk), SUM(p.captures), SUM(p.captured), SUM(p.tenacity),"
                                " SUM(p.meals) FROM battles b JOIN battle_players p ON p.battle_id = b.id"
                                " JOIN names n ON n.id = p.name_id WHERE b.counted = 1 AND (b.opponent IN " +
                                    matching + " OR EXISTS (SELECT 1 FROM battle_players f WHERE f.battle_id = b.id"
                                    " AND f.name_id IN " + matching + "))"
                                    " GROUP BY p.name_id HAVING MAX(p.present <> 0) ORDER BY n.name"));
      }
      MakeFirstVersionFile(db);
      const HistoryOpen older = OpenHistoryStore(db);
      ASSERT_TRUE(older.Store) << older.Error.Detail;
      EXPECT_EQ(Rows(db, "SELECT count(*) FROM sqlite_schema WHERE name = 'battle_uses'"), Lines{"0"});
      int f = 0;
      for (const HistoryFilter* filter : filters) {
        const auto made = older.Store->Players(*filter, app.Lists.SkillNames, app.Lists.ItemNames);
        ASSERT_TRUE(made.Ok()) << made.Error.Detail;
        ASSERT_EQ(made.Value.size(), kept[static_cast<std::size_t>(f)].Value.size()) << f;
        for (std::size_t i = 0; i < made.Value.size(); ++i) {
          const PlayerRow& a = made.Value[i];
          const PlayerRow& b = kept[static_cast<std::size_t>(f)].Value[i];
          EXPECT_EQ(std::tie(a.Name, a.Sides, a.Relations, a.Battles, a.Sinks, a.Decisive, a.Sunk, a.Captures,
                             a.Captured, a.Tenacity, a.FleetMeals, a.SkillUses, a.ItemUses),
                    std::tie(b.Name, b.Sides, b.Relations, b.Battles, b.Sinks, b.Decisive, b.Sunk, b.Captures,
                             b.Captured, b.Tenacity, b.FleetMeals, b.SkillUses, b.ItemUses))
              << f << " " << i;
        }
        ++f;
      }
    }
  }
  // The generated logs have counted battles: the comparisons were not all of nobody.
  EXPECT_GT(withPlayers, 0);
  EXPECT_GT(withOpponents, 0);
}

// A battle row's every field, one line.
std::string BattleLine(const BattleRow& b) {
  std::string line = std::to_string(b.Id) + "|" + std::to_string(b.LogId) + "|" + b.Date + "|" + b.FileName() + "|" +
                     b.Folder() + "|" + Hex(b.Label);
  for (std::int64_t v : {std::int64_t{b.Number}, std::int64_t{b.FirstLine}, std::int64_t{b.Counted}, std::int64_t{ToStored(b.Result)},
                         std::int64_t{b.Ended}, std::int64_t{b.OwnDown}, std::int64_t{b.EnemyDown}, std::int64_t{ToStored(b.Kind)},
                         static_cast<std::int64_t>(b.Class.Type), static_cast<std::int64_t>(b.Class.Size),
                         std::int64_t{b.Class.Npc}}) {
    line += "|" + std::to_string(v);
  }
  return line + "|" + (b.Admiral ? Hex(*b.Admiral) : "-") + "|" + (b.Opponent ? Hex(*b.Opponent) : "-");
}

// The battles the table lists for `filter`, as the page reads them (their ids in order, each
// row by id, a block at a time, in any order the window shows them), against the whole
// answer read at once and SQLite's own ordering of the battles `where` keeps.
void ExpectBattlesAreTheWholeAnswer(HistoryStore& store, const std::string& db, const HistoryFilter& filter,
                                    const std::string& where, const TallyOptions& columns, test::Rng& rng) {
  const auto ids = store.BattleIds(filter);
  ASSERT_TRUE(ids.Ok()) << ids.Error.Detail;
  const auto whole = store.Battles(filter);
  ASSERT_TRUE(whole.Ok()) << whole.Error.Detail;
  Lines expected, listed;
  for (const BattleRow& b : whole.Value) expected.push_back(std::to_string(b.Id));
  for (std::int64_t id : ids.Value) listed.push_back(std::to_string(id));
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(listed, Rows(db, "SELECT b.id FROM battles b JOIN logs l ON l.id = b.log_id" + where +
                                 " ORDER BY b.date, l.file_name, l.id, b.number"));
  const auto byId = store.BattlesById(ids.Value);
  ASSERT_TRUE(byId.Ok()) << byId.Error.Detail;
  ASSERT_EQ(byId.Value.size(), whole.Value.size());
  for (std::size_t i = 0; i < whole.Value.size(); ++i) EXPECT_EQ(BattleLine(byId.Value[i]), BattleLine(whole.Value[i]));
  // The page's table, its rows made as they are shown, against the table made at once.
  const SeasonTables eager = AskSeason(store, filter, columns, kSeasonBattles);
  auto lazy = std::make_shared<SeasonBattles>([&store] { return &store; }, filter, ids.Value);
  const HistoryTable table = LazyBattleTable(lazy);
  ASSERT_EQ(table.Rows.size(), eager.Battles.Rows.size());
  for (int k = 0; k < 40 && !table.Rows.empty(); ++k) {
    const std::size_t r = static_cast<std::size_t>(rng.Below(static_cast<int>(table.Rows.size())));
    EXPECT_EQ(table.Row(r).Cells, eager.Battles.Rows[r].Cells) << r;
    ASSERT_NE(lazy->Battle(r), nullptr);
    EXPECT_EQ(BattleLine(*lazy->Battle(r)), BattleLine(whole.Value[r]));
  }
}

// A season of several logs, some of them on one day: whatever happens to it -- imports,
// corrections, the logs analysed again under other settings, a log taken out -- the page's
// answers from the per-log totals and its battles read a block at a time are what a plain
// recount of the battles gives, for random ranges and classes.
TEST(HistoryProperty, TheSeasonsAnswersAreAPlainRecountAfterEveryChange) {
  test::PropertyRun run("season recount", 4);
  std::uint64_t seed = 0;
  int withPlayers = 0, withOpponents = 0;
  while (run.Next(&seed)) {
    SCOPED_TRACE(test::PropertyRun::Reproduce(seed));
    test::TempDir dir;
    test::Rng rng(seed);
    const int logCount = 2 + rng.Below(4);
    std::vector<std::string> logs;
    std::vector<std::string> days;
    for (int k = 0; k < logCount; ++k) {
      const test::GeneratedLog generated =
          test::GenerateLog(seed * 16 + static_cast<std::uint64_t>(k), dir.Path(), dir.File("scratch"), 12, true);
      const std::string day = "2024060" + std::to_string(1 + rng.Below(3));
      days.push_back(day.substr(0, 4) + "-" + day.substr(4, 2) + "-" + day.substr(6, 2));
      logs.push_back(dir.File("chat_" + day + "_" + std::to_string(k) + ".html"));
      test::WriteBytes(logs.back(), generated.Bytes);
    }
    App app;
    StartWithHistory(app, dir, logs[0]);
    const std::string db = dir.File(kHistoryFileName);
    auto expectRecount = [&](const char* when) {
      SCOPED_TRACE(when);
      HistoryStore* store = app.History.Store(app);
      ASSERT_NE(store, nullptr);
      for (int k = 0; k < 6; ++k) {
        HistoryFilter filter;
        std::string where;
        const std::string from = days[static_cast<std::size_t>(rng.Below(logCount))];
        const std::string to = days[static_cast<std::size_t>(rng.Below(logCount))];
        if (rng.Below(2)) {
          filter.From = from;
          where += " AND b.date >= '" + from + "'";
        }
        if (rng.Below(2)) {
          filter.To = to;
          where += " AND b.date <= '" + to + "'";
        }
        const int type = rng.Below(5) - 1, size = rng.Below(3) == 0 ? rng.Below(4) : -1, npc = rng.Below(3) - 1;
        if (type >= 0) filter.Type = static_cast<BattleType>(type);
        if (size >= 0) filter.Size = static_cast<ShipSize>(size);
        if (npc >= 0) filter.Against = npc ? HistoryFilter::Opposition::Npc : HistoryFilter::Opposition::Player;
        where += ClassCondition(type, size, npc);
        SCOPED_TRACE("from " + filter.From + " to " + filter.To + " type " + std::to_string(type) + " size " +
                     std::to_string(size) + " npc " + std::to_string(npc));
        ExpectCountsAreARecount(*store, db, app.Lists.SkillNames, app.Lists.ItemNames, filter,
                                " WHERE b.counted = 1" + where, withPlayers, withOpponents);
        ExpectBattlesAreTheWholeAnswer(*store, db, filter, " WHERE 1" + where,
                                       TallyOptions{app.Lists, app.SkillChecked, app.ItemChecked}, rng);
      }
    };
    for (const std::string& log : logs) ImportLogFile(app, *app.History.Store(app), log);
    run.Step(0);
    expectRecount("imported");

    // The player's corrections of a log's battles, as the window makes them.
    app.CurrentLogPath = logs[static_cast<std::size_t>(rng.Below(logCount))];
    ASSERT_TRUE(LoadAndAnalyse(app));
    const int battles = static_cast<int>(app.BattleList.Rows.size());
    void (*const corrections[])(App&) = {UncountSelectedBattles, CountSelectedBattles, MarkSelectedLarge, MarkSelectedSmall,
                                         MarkSelectedNaval,  MarkSelectedMock,  MarkSelectedAsPlayers,      MarkSelectedAsNpcs};
    for (int i = 0; i < 8 && battles > 0; ++i) {
      app.BattleList.Selected.assign(app.BattleList.Selected.size(), 0);
      app.BattleList.Select(rng.Below(battles));
      corrections[rng.Below(static_cast<int>(std::size(corrections)))](app);
    }
    run.Step(1);
    expectRecount("corrected");

    // Every log analysed again with NPC battles the other way.
    app.NpcCheck = !app.NpcCheck;
    ASSERT_FALSE(ReanalyseHistory(app, *app.History.Store(app), [](std::size_t, std::size_t, const std::string&) { return true; },
                                  [](const std::string&, const ImportResult*) {}));
    run.Step(2);
    expectRecount("analysed again");

    // A log taken out.
    const auto forgotten = app.History.Store(app)->ForgetLog(logs[static_cast<std::size_t>(rng.Below(logCount))]);
    ASSERT_TRUE(forgotten.Ok()) << forgotten.Error.Detail;
    EXPECT_NE(forgotten.Value.LogId, 0);
    run.Step(3);
    expectRecount("a log taken out");
  }
  EXPECT_GT(withPlayers, 0);
  EXPECT_GT(withOpponents, 0);
}

// `mizuto --history` over the program folder, importing `imports` first: its output, and its
// error output (the import lines).
std::pair<std::string, std::string> History(const std::string& programDir, const std::vector<std::string>& imports) {
  HistoryOptions options;
  options.ProgramDir = programDir;
  options.Imports = imports;
  std::ostringstream out, err;
  EXPECT_EQ(RunHistory(options, out, err), 0) << err.str();
  return {out.str(), err.str()};
}

// A log's files in one folder: the log, copies of its start cut at random bytes (backups
// made earlier in the day), a copy of it and a renamed one. Imported in any order, some of
// them again and again, they leave the same history: the one log, as its report says. Then
// an import of the whole folder writes nothing and says `unchanged` for every file.
TEST(HistoryProperty, AnyOrderOfImportingALogsCopiesGivesTheSameHistory) {
  test::PropertyRun run("history import order", 4);
  std::uint64_t seed = 0;
  while (run.Next(&seed)) {
    SCOPED_TRACE(test::PropertyRun::Reproduce(seed));
    test::TempDir dir;
    const test::GeneratedLog generated = test::GenerateLog(seed, dir.Path(), dir.File("scratch"), 12);
    test::Rng rng(seed);
    const std::string folder = dir.File("logs");
    std::filesystem::create_directory(folder);
    std::vector<std::string> files;
    auto write = [&](const std::string& name, std::string_view bytes) {
      files.push_back(folder + "/" + name);
      test::WriteBytes(files.back(), bytes);
    };
    write("chat_20240601.html", generated.Bytes);
    const std::vector<std::size_t> cuts = test::CutPoints(generated.Bytes, rng, 3);
    for (std::size_t i = 0; i < cuts.size(); ++i) {
      write("backup" + std::to_string(i) + "_20240601.html", std::string_view(generated.Bytes).substr(0, cuts[i]));
    }
    write("chat_20240601 copy.html", generated.Bytes);
    write("renamed.html", generated.Bytes);
    const std::string whole = Report(dir.Path(), files.front());
    const std::string db = dir.File(kHistoryFileName);

    std::string first;
    for (int order = 0; order < 3; ++order) {
      SCOPED_TRACE("order " + std::to_string(order));
      for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
      std::vector<std::string> sequence = files;
      for (int again = rng.Between(0, 4); again > 0; --again) sequence.push_back(rng.Pick(files));
      rng.Shuffle(sequence);
      for (const std::string& file : sequence) {
        App app;
        StartWithHistory(app, dir, file);
        const ImportResult result = ImportLogFile(app, *app.History.Store(app), file);
        ASSERT_NE(result.Outcome, ImportOutcome::Error) << result.Error.Detail;
      }
      run.Step(order);
      const std::string history = History(dir.Path(), {}).first;
      if (order == 0) first = history;
      EXPECT_EQ(history, first);
      {
        App app;
        StartWithHistory(app, dir, files.front());
        const auto logs = app.History.Store(app)->Logs(HistoryFilter{}).Value;
        ASSERT_EQ(logs.size(), 1u);
        ExpectOneLogLikeTheReport(app, whole, logs[0].FileName, "in any order");
      }

      Rows(db, "PRAGMA wal_checkpoint(TRUNCATE)");
      const std::string bytes = test::ReadBytes(db);
      const auto again = History(dir.Path(), {folder});
      EXPECT_EQ(again.first, first);
      Lines said;
      std::istringstream lines(again.second);
      for (std::string line; std::getline(lines, line);) said.push_back(line);
      EXPECT_EQ(said.size(), files.size());
      for (const std::string& line : said) EXPECT_EQ(line.rfind("unchanged: ", 0), 0u) << line;
      EXPECT_EQ(test::ReadBytes(db), bytes);
      std::error_code noWal;
      const std::uintmax_t wal = std::filesystem::file_size(db + "-wal", noWal);
      EXPECT_TRUE(noWal || wal == 0) << wal;
    }
  }
}

// The window imports its loads beside it (on a thread of their own); whatever uses the
// history next waits for the import. Followed, corrected, grown and loaded again, a log
// leaves the same history either way, row for row.
TEST(HistoryProperty, ImportsBesideTheWindowWriteWhatImportsInTurnWrite) {
  test::PropertyRun run("history background", 5);
  std::uint64_t seed = 0;
  while (run.Next(&seed)) {
    SCOPED_TRACE(test::PropertyRun::Reproduce(seed));
    Lines dumps[2];
    for (const bool background : {false, true}) {
      SCOPED_TRACE(background ? "beside" : "in turn");
      test::TempDir dir;
      const test::GeneratedLog generated = test::GenerateLog(seed, dir.Path(), dir.File("scratch"), 12, true);
      test::Rng rng(seed);
      const std::string log = dir.File("chat_20240601.html");
      App app;
      StartWithHistory(app, dir, log);
      app.History.RunBeside(background);
      const std::size_t cut = test::CutPoint(generated.Bytes, rng);
      FollowFromAPart(app, log, generated.Bytes, cut);
      // Loaded whole, then corrected at once (the import may still be going on).
      app.Acts.ActiveMode.Checked = false;
      ASSERT_TRUE(LoadAndAnalyse(app));
      if (!app.BattleList.Rows.empty()) {
        app.BattleList.Selected.assign(app.BattleList.Selected.size(), 0);
        app.BattleList.Select(rng.Below(static_cast<int>(app.BattleList.Rows.size())));
        MarkSelectedAsNpcs(app);
        UncountSelectedBattles(app);
      }
      // Grown, and loaded twice in a row.
      test::WriteBytes(log, generated.Bytes + generated.Bytes.substr(0, cut));
      ASSERT_TRUE(LoadAndAnalyse(app));
      ASSERT_TRUE(LoadAndAnalyse(app));
      app.History.Settle(app);
      EXPECT_FALSE(app.History.ImportPending());
      EXPECT_NE(app.History.CurrentLogId(), 0);
      EXPECT_EQ(app.History.ErrorText(), "");
      // Grown again and loaded by a window started afresh, which opens the history while
      // it reads: still the one log.
      test::WriteBytes(log, generated.Bytes + generated.Bytes.substr(0, cut) + generated.Bytes.substr(cut));
      App fresh;
      StartWithHistory(fresh, dir, log);
      fresh.History.RunBeside(background);
      ASSERT_TRUE(LoadAndAnalyse(fresh));
      fresh.History.Settle(fresh);
      EXPECT_EQ(fresh.History.CurrentLogId(), app.History.CurrentLogId());
      EXPECT_EQ(fresh.History.ErrorText(), "");
      const std::string db = dir.File(kHistoryFileName);
      Lines& dump = dumps[background ? 1 : 0];
      for (const char* sql :
           {"SELECT id, file_name, size, hex(hash), file_size, hex(file_hash), date FROM logs ORDER BY id",
            "SELECT id, log_id, number, date, kind, type, size, npc, admiral, opponent, result, own_down, enemy_down,"
            " own_points, enemy_points, criticals_dealt, criticals_taken, count_mark, game_not_counted, counted, ended,"
            " wasted_repairs, wasted_care, wasted_other, hex(label) FROM battles ORDER BY id",
            "SELECT battle_id, name_id, sides, relations, present, sinks, sunk, captures, captured, decisive, tenacity,"
            " meals, wasted_repairs, wasted_care, wasted_other, taken_by, hex(uses) FROM battle_players ORDER BY 1, 2",
            "SELECT id, hex(name) FROM names ORDER BY id", "SELECT id, item, hex(name) FROM use_names ORDER BY id",
            "SELECT log_id, type, size, npc, hex(players), hex(uses) FROM log_totals ORDER BY 1, 2, 3, 4",
            "SELECT * FROM corrections ORDER BY 1, 2"}) {
        const Lines rows = Rows(db, sql);
        dump.insert(dump.end(), rows.begin(), rows.end());
        dump.push_back("--");
      }
    }
    EXPECT_EQ(dumps[0], dumps[1]);
    EXPECT_GT(dumps[0].size(), 7u);
  }
}

}  // namespace
}  // namespace mizuto
