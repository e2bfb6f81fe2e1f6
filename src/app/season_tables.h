// The season's tables: what the season history answers for a filter, made into the rows the
// History page draws and `mizuto --history` prints -- the summary, the opponents, players and
// battles tables, the logs and the days. Built here once, so that every view of the season
// shows the same cells. Every text is Shift-JIS like the rest of the core.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_store.h"
#include "tally/tallies.h"
#include "tally/tally_views.h"

namespace mizuto {

// A table of the season: text cells, and beside each the number it sorts by. A text cell's
// number breaks ties between equal texts (the battles' place in time, so that the newest
// first lists a day's last battle first); 0 where nothing need break them.
struct HistoryTableRow {
  std::vector<std::string> Cells;  // every column, the first included
  std::vector<std::int64_t> Values;
  int Icon = -1;   // the tally table's row icon for a player, -1 for none
  int Source = 0;  // the answer's row this row shows (a battle's place in Battles)
};

struct HistoryTable {
  std::vector<TallyColumn> Columns;  // right-aligned columns hold numbers
  std::vector<HistoryTableRow> Rows;
  int SortColumn = -1;  // -1: as the history answered
  bool Descending = false;
  std::uint64_t Revision = 0;  // counts every change of the rows or the columns
};

// Sorts by `column`: the same column again turns the order round; another column starts
// with the most first for numbers and alphabetically for text. Rows that tie keep their
// order.
void SortHistoryTable(HistoryTable& table, int column);

// The entries of a list that the tally table shows (its check marks): the skills and items
// whose uses the players' question sums.
std::vector<std::string> CheckedNames(const std::vector<std::string>& names, const std::vector<char>& checked);

// The questions a view asks; the others are not asked and their tables stay empty.
enum SeasonPart : unsigned {
  kSeasonSummary = 1u << 0,
  kSeasonOpponents = 1u << 1,
  kSeasonPlayers = 1u << 2,
  kSeasonBattles = 1u << 3,
  kSeasonDays = 1u << 4,
  kSeasonLogs = 1u << 5,
};

struct SeasonTables {
  std::optional<HistorySummary> Summary;  // none when not asked or not answered
  // The opponents' figures; the players as the tally table shows them (its skill and item
  // columns, sums rather than averages); the battles, label first.
  HistoryTable Opponents, Players, Battles;
  std::vector<BattleRow> BattleRows;  // the battles as the history answered (Battles' Source)
  std::vector<DayRow> Days;
  std::vector<LogRow> Logs;
  // The first question that failed; its table (and those not asked) stay empty.
  HistoryError Error;
};

// The `count` calendar days that end on `today` ("YYYY-MM-DD"), today included, whether or
// not they have battles; both empty for a `today` that is not a date.
HistoryRange LastCalendarDays(const std::string& today, int count);

// Asks the history the questions `parts` names for `filter`; `columns` are the tally table's
// settings (its checked skills and items make the players' use columns).
SeasonTables AskSeason(HistoryStore& store, const HistoryFilter& filter, const TallyOptions& columns, unsigned parts);

// A table as CSV records: the captions, then each row's cells (Shift-JIS, `eol` after each).
std::string SeasonTableCsv(const HistoryTable& table, std::string_view eol);

}  // namespace mizuto
