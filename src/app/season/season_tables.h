// The season's tables: what the season history answers for a filter, made into the rows the
// History page draws and `mizuto --history` prints -- the summary, the opponents, players and
// battles tables, the logs and the days. Built here once, so that every view of the season
// shows the same cells. Every text is Shift-JIS like the rest of the core.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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

// Where the cells of a table's rows come from when they are made only as they are shown.
class HistoryRowSource {
 public:
  virtual ~HistoryRowSource() = default;
  // The row that shows the answer's row `source` (empty cells when it cannot be read).
  virtual const HistoryTableRow& RowOf(std::size_t source) = 0;
  // Readies every row at once, before a sort or an export that needs them all: one read
  // instead of one for each few rows.
  virtual void ReadAll() = 0;
};

struct HistoryTable {
  std::vector<TallyColumn> Columns;  // right-aligned columns hold numbers
  std::vector<HistoryTableRow> Rows;
  int SortColumn = -1;  // -1: as the history answered
  bool Descending = false;
  std::uint64_t Revision = 0;  // counts every change of the rows or the columns
  // Set for a table whose rows are made as they are shown (the season's battles: a whole
  // season's are too many to make at every change of the filter). Its Rows hold their
  // Source alone until made; Row() makes them.
  std::shared_ptr<HistoryRowSource> Lazy;

  // Row `i` with its cells (`i` < Rows.size()).
  const HistoryTableRow& Row(std::size_t i) const {
    const HistoryTableRow& row = Rows[i];
    if (!Lazy || !row.Cells.empty()) return row;
    return Lazy->RowOf(static_cast<std::size_t>(row.Source));
  }
};

// Makes the cells of every row of a table that makes them as shown.
void MakeEveryRow(HistoryTable& table);

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

// The season's battles as a view shows them a few at a time: their ids in the table's order,
// each battle's row read from the history when first shown (with the rows around it), so
// that a change of the filter over a season of a hundred thousand battles costs a read of
// their ids, not of their rows and the table's cells.
class SeasonBattles final : public HistoryRowSource {
 public:
  // `store` gives the history when a row is read (null: it cannot be used now).
  SeasonBattles(std::function<HistoryStore*()> store, HistoryFilter filter, std::vector<std::int64_t> ids);
  std::size_t Size() const { return ids_.size(); }
  // The battle of the answer's row `source`; null when there is no such row, or it is no
  // longer stored, or the history cannot be read.
  const BattleRow* Battle(std::size_t source);
  const HistoryTableRow& RowOf(std::size_t source) override;
  void ReadAll() override;
  // The first failure of a read; none while every read went through.
  const HistoryError& Error() const { return error_; }

 private:
  // Reads the rows of the block `source` is in, when not read yet.
  void ReadBlockOf(std::size_t source);
  void Keep(std::size_t source, BattleRow battle);

  std::function<HistoryStore*()> store_;
  HistoryFilter filter_;
  std::vector<std::int64_t> ids_;
  std::vector<char> blockRead_;  // per block of kBlock rows
  std::unordered_map<std::size_t, BattleRow> battles_;        // by source
  std::unordered_map<std::size_t, HistoryTableRow> rows_;     // by source
  std::unordered_map<std::int64_t, std::string> logNames_;    // a log's file name (Shift-JIS)
  HistoryTableRow none_;
  HistoryError error_;
};

// The season's players table with its cells made as they are shown: a season has thousands
// of players, each with a cell for every use column, and a view shows a screenful.
class SeasonPlayers final : public HistoryRowSource {
 public:
  explicit SeasonPlayers(std::vector<PlayerRow> answer) : answer_(std::move(answer)) {}
  std::size_t Size() const { return answer_.size(); }
  const HistoryTableRow& RowOf(std::size_t source) override;
  void ReadAll() override {}

 private:
  std::vector<PlayerRow> answer_;
  std::unordered_map<std::size_t, HistoryTableRow> rows_;  // by source
  HistoryTableRow none_;
};

// The season's battles table as a view that shows a few rows at a time keeps it: its
// columns, a row for each of the battles `answer` holds (made as shown).
HistoryTable LazyBattleTable(const std::shared_ptr<SeasonBattles>& answer);

// The `count` calendar days that end on `today` ("YYYY-MM-DD"), today included, whether or
// not they have battles; both empty for a `today` that is not a date.
HistoryRange LastCalendarDays(const std::string& today, int count);

// Asks the history the questions `parts` names for `filter`; `columns` are the tally table's
// settings (its checked skills and items make the players' use columns).
SeasonTables AskSeason(HistoryStore& store, const HistoryFilter& filter, const TallyOptions& columns, unsigned parts);

// A table as CSV records: the captions, then each row's cells (Shift-JIS, `eol` after each).
std::string SeasonTableCsv(const HistoryTable& table, std::string_view eol);

}  // namespace mizuto
