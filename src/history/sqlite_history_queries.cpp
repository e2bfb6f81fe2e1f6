// The questions the History page and `mizuto --history` ask: one filter, plain rows.
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <memory>
#include <string_view>
#include <optional>
#include <tuple>
#include <unordered_map>

#include "battle/battle_label.h"
#include "history/sqlite_store.h"
#include "tally/tallies.h"

namespace mizuto {

std::string FilterClause(const HistoryFilter& filter, bool counted) {
  // Only the conditions the filter sets are written, each with its parameter's number, so
  // that SQLite walks the range's battles by their date (and a name's battles from the
  // name) instead of reading every battle of the history and letting most of them go.
  std::string where = " WHERE 1";
  if (!filter.From.empty()) where += " AND b.date >= ?1";
  if (!filter.To.empty()) where += " AND b.date <= ?2";
  if (filter.Type) where += " AND b.type = ?3";
  if (filter.Size) where += " AND b.size = ?4";
  if (filter.Against != HistoryFilter::Opposition::Any) where += " AND b.npc = ?5";
  if (!filter.Name.empty() && !filter.PartialName) {
    // One name: its id, and the battles it was in, by the players' name index and the
    // opponents' -- a few dozen battles looked up by id, where testing the name on every
    // battle of a season took longer than the rest of the page.
    where += " AND b.id IN (SELECT f.battle_id FROM battle_players f"
             " WHERE f.name_id = (SELECT id FROM names WHERE name = ?6)"
             " UNION SELECT o.id FROM battles o WHERE o.opponent = (SELECT id FROM names WHERE name = ?6))";
  } else if (!filter.Name.empty()) {
    // A battle's few players are read and each looked up among the matching names (the
    // "+" keeps SQLite from probing the battle once per matching name instead: with
    // thousands of names matching, that took minutes over the whole history).
    where += " AND (b.opponent IN (SELECT id FROM names WHERE sjis_contains(name, ?6))"
             " OR EXISTS (SELECT 1 FROM battle_players f WHERE f.battle_id = b.id"
             " AND +f.name_id IN (SELECT id FROM names WHERE sjis_contains(name, ?6))))";
  }
  if (counted) where += " AND b.counted = 1";
  return where;
}

namespace {

// A battle's result as the status bar counts it (a battle still going on is none of them).
void CountResult(std::int64_t result, bool ended, std::int64_t& won, std::int64_t& lost, std::int64_t& drawn,
                 std::int64_t& escaped, std::int64_t& withdrawn) {
  switch (CountOfResult(ResultFromStored(result), ended)) {
    case ResultCount::Won: ++won; break;
    case ResultCount::Lost: ++lost; break;
    case ResultCount::Drawn: ++drawn; break;
    case ResultCount::Escaped: ++escaped; break;
    case ResultCount::Withdrawn: ++withdrawn; break;
    case ResultCount::None: break;
  }
}

// The names of the ids an answer refers to: a few read one by one, many from the names
// the store has read before, reading only those added since (a season's range refers to
// thousands, and each lookup costs a statement's step and reset: the players' and
// opponents' questions spent most of their time there, then reading every name again).
class NameById {
 public:
  NameById(SqliteDatabase& db, KnownNames& known)
      : db_(db), known_(known), statement_(db.Prepare("SELECT name FROM names WHERE id = ?")) {}
  // Why the names cannot be read; no failure when they can.
  HistoryError Failure() const {
    return statement_ ? HistoryError{} : db_.Failure(sqlite3_errcode(db_.Handle()), SqliteUse::Reading);
  }
  // Reads the names added since the last time when `ids` are many; SQLITE_DONE, or an
  // error code.
  template <class Ids>
  int Prefetch(const Ids& ids) {
    constexpr std::size_t kOnePassFrom = 256;
    if (ids.size() < kOnePassFrom) return SQLITE_DONE;
    SqliteStatement added = db_.Prepare("SELECT id, name FROM names WHERE id > ? ORDER BY id");
    if (!added) return sqlite3_errcode(db_.Handle());
    added.Bind(1, known_.Through);
    int code;
    std::int64_t through = known_.Through;
    while ((code = added.Step()) == SQLITE_ROW) {
      known_.ById.insert_or_assign(added.Int(0), added.Bytes(1));
      through = added.Int(0);
    }
    if (code != SQLITE_DONE) return code;
    known_.Through = through;
    readAll_ = true;
    return SQLITE_DONE;
  }
  // SQLITE_ROW with `name` set, SQLITE_DONE when no name has that id, or an error code.
  int Find(std::int64_t id, std::string& name) {
    if (readAll_) {
      const auto found = known_.ById.find(id);
      if (found == known_.ById.end()) return SQLITE_DONE;
      name = found->second;
      return SQLITE_ROW;
    }
    statement_.Bind(1, id);
    const int code = statement_.Step();
    if (code == SQLITE_ROW) name = statement_.Bytes(0);
    statement_.Reset();
    return code;
  }

 private:
  SqliteDatabase& db_;
  KnownNames& known_;
  SqliteStatement statement_;
  bool readAll_ = false;  // Prefetch brought known_ up to the names stored now
};

// The filter over the per-log totals (`t`, with its log as `l`): the log's date is its
// battles' date, and the totals are of counted battles only. The name filter cannot be
// answered from them.
std::string TotalsClause() {
  // Without a class to filter, each log's row of every class; with one, its rows by class.
  return " WHERE (?1 = '' OR l.date >= ?1) AND (?2 = '' OR l.date <= ?2)"
         " AND (CASE WHEN ?3 < 0 AND ?4 < 0 AND ?5 < 0 THEN t.type < 0"
         " ELSE t.type >= 0 AND (?3 < 0 OR t.type = ?3) AND (?4 < 0 OR t.size = ?4) AND (?5 < 0 OR t.npc = ?5) END)";
}

// Which of the question's columns a use's figures go to; a name the lists hold twice gets
// the same figure twice.
struct UseColumns {
  bool Item = false;
  std::vector<std::size_t> At;
};
UseColumns ColumnsOfUse(bool item, const std::string& name, const std::vector<std::string>& skillNames,
                        const std::vector<std::string>& itemNames) {
  UseColumns columns;
  columns.Item = item;
  const std::vector<std::string>& list = item ? itemNames : skillNames;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i] == name) columns.At.push_back(i);
  }
  return columns;
}

// Rows by id: names, opponents and uses have ids from 1 up, so a vector indexed by the id
// finds a row where a hash map cost the players' question a fifth of its time; an id past
// kDenseIds (a file another program wrote, say) goes to a map.
class RowsById {
 public:
  static constexpr std::int64_t kDenseIds = std::int64_t{1} << 22;
  // The row of `id`; `made` tells whether it was added now (at the end).
  std::size_t Of(std::int64_t id, bool* made) {
    std::int32_t* slot = nullptr;
    if (id >= 0 && id < kDenseIds) {
      if (static_cast<std::size_t>(id) >= dense_.size()) {
        dense_.resize(std::min(static_cast<std::size_t>(id) * 2 + 64, static_cast<std::size_t>(kDenseIds)), -1);
      }
      slot = &dense_[static_cast<std::size_t>(id)];
    } else {
      slot = &sparse_.try_emplace(id, -1).first->second;
    }
    *made = *slot < 0;
    if (*made) {
      *slot = static_cast<std::int32_t>(ids_.size());
      ids_.push_back(id);
    }
    return static_cast<std::size_t>(*slot);
  }
  // The row of `id`, or -1.
  std::int64_t Find(std::int64_t id) const {
    if (id >= 0 && id < kDenseIds) {
      return static_cast<std::size_t>(id) < dense_.size() ? dense_[static_cast<std::size_t>(id)] : -1;
    }
    const auto found = sparse_.find(id);
    return found == sparse_.end() ? -1 : found->second;
  }
  // The ids in the order their rows were made.
  const std::vector<std::int64_t>& Ids() const { return ids_; }

 private:
  std::vector<std::int32_t> dense_;
  std::unordered_map<std::int64_t, std::int32_t> sparse_;
  std::vector<std::int64_t> ids_;
};

// The players' figures summed by name id: side and relation bits, battles present, then the
// other seven sums (LogTotals' order).
class PlayerSums {
 public:
  using Sums = std::array<std::int64_t, LogTotals::kFigures>;
  Sums& operator[](std::int64_t id) {
    bool made = false;
    const std::size_t row = rows_.Of(id, &made);
    if (made) sums_.emplace_back().fill(0);
    return sums_[row];
  }
  const std::vector<std::int64_t>& Ids() const { return rows_.Ids(); }
  const Sums& At(std::size_t row) const { return sums_[row]; }
  std::int64_t RowOf(std::int64_t id) const { return rows_.Find(id); }

 private:
  RowsById rows_;
  std::vector<Sums> sums_;
};

// Which of the question's columns each use's count goes to, each use's learnt once.
class UseSpreader {
 public:
  UseSpreader(SqliteDatabase& db, const std::vector<std::string>& skillNames, const std::vector<std::string>& itemNames)
      : useOf_(db.Prepare("SELECT item, name FROM use_names WHERE id = ?")), skillNames_(skillNames), itemNames_(itemNames) {}
  explicit operator bool() const { return static_cast<bool>(useOf_); }
  // The columns of use `use` (none for a use the table does not show).
  const UseColumns& ColumnsOf(std::int64_t use) {
    bool made = false;
    const std::size_t row = rows_.Of(use, &made);
    if (made) {
      UseColumns& columns = columnsOf_.emplace_back();
      useOf_.Bind(1, use);
      if (useOf_.Step() == SQLITE_ROW) columns = ColumnsOfUse(useOf_.Int(0) != 0, useOf_.Bytes(1), skillNames_, itemNames_);
      useOf_.Reset();
    }
    return columnsOf_[row];
  }

 private:
  SqliteStatement useOf_;
  const std::vector<std::string>& skillNames_;
  const std::vector<std::string>& itemNames_;
  RowsById rows_;                     // use id -> its row of columnsOf_
  std::vector<UseColumns> columnsOf_;  // each use's columns
};

// A player's row from its sums (side and relation bits, battles present, the other sums),
// its uses not yet counted.
PlayerRow RowOfSums(std::string name, const PlayerSums::Sums& sums, std::size_t skills, std::size_t items) {
  PlayerRow row;
  row.Name = std::move(name);
  row.Sides = SideSet::FromStored(sums[0]);
  row.Relations = RelationSet::FromStored(sums[1]);
  row.Icon = TallyIcon(row.Sides, row.Relations);
  std::size_t i = 2;
  for (std::int64_t* field : {&row.Battles, &row.Sinks, &row.Decisive, &row.Sunk, &row.Captures, &row.Captured,
                              &row.Tenacity, &row.FleetMeals}) {
    *field = sums[i++];
  }
  row.SkillUses.assign(skills, 0);
  row.ItemUses.assign(items, 0);
  return row;
}

// The players who were present, with their names, in name order (byte by byte, as SQLite
// orders blobs); an error when a name cannot be read.
HistoryError NamePresentPlayers(SqliteDatabase& db, KnownNames& known, const PlayerSums& players,
                                std::vector<std::pair<std::string, std::int64_t>>& named) {
  NameById nameOf(db, known);
  if (HistoryError error = nameOf.Failure()) return error;
  std::vector<std::int64_t> present;
  for (std::size_t r = 0; r < players.Ids().size(); ++r) {
    if (players.At(r)[2] > 0) present.push_back(players.Ids()[r]);
  }
  if (const int code = nameOf.Prefetch(present); code != SQLITE_DONE) return db.Failure(code, SqliteUse::Reading);
  named.reserve(present.size());
  for (const std::int64_t id : present) {
    std::string name;
    const int code = nameOf.Find(id, name);
    if (code != SQLITE_ROW) return db.Failure(code == SQLITE_DONE ? SQLITE_CORRUPT : code, SqliteUse::Reading);
    named.emplace_back(std::move(name), id);
  }
  std::sort(named.begin(), named.end());
  return {};
}

// Adds the players' uses (packed name, use, count, ...) to their rows (`rowOf`: the row of
// each summed player, -1 for one not present).
HistoryError AddUses(SqliteDatabase& db, const PlayerSums& players, const std::vector<std::int64_t>& rowOf,
                     const std::vector<std::string>& packedUses, const std::vector<std::string>& skillNames,
                     const std::vector<std::string>& itemNames, std::vector<PlayerRow>& rows) {
  UseSpreader spread(db, skillNames, itemNames);
  if (!spread) return db.Failure(sqlite3_errcode(db.Handle()), SqliteUse::Reading);
  // The uses are summed in one block, a player's columns where the player's sums are (the
  // order the logs list them in), and then handed to the rows (in name order): adding to
  // each row's own columns as the uses came cost a cache miss each.
  const std::size_t width = skillNames.size() + itemNames.size();
  std::vector<std::int64_t> sums(players.Ids().size() * width, 0);
  for (const std::string& packed : packedUses) {
    std::string_view in = packed;
    std::int64_t name = 0, use = 0, count = 0;
    while (!in.empty()) {
      if (!UnpackNumber(in, &name) || !UnpackNumber(in, &use) || !UnpackNumber(in, &count)) {
        return db.Failure(SQLITE_CORRUPT, SqliteUse::Reading);
      }
      // Most uses are of skills and items the table does not show: the player is looked
      // up only for those it does.
      const UseColumns& columns = spread.ColumnsOf(use);
      if (columns.At.empty()) continue;
      const std::int64_t summed = players.RowOf(name);
      if (summed < 0) continue;
      std::int64_t* at = sums.data() + static_cast<std::size_t>(summed) * width + (columns.Item ? skillNames.size() : 0);
      for (std::size_t i : columns.At) at[i] += count;
    }
  }
  for (std::size_t summed = 0; summed < rowOf.size(); ++summed) {
    if (rowOf[summed] < 0) continue;
    PlayerRow& row = rows[static_cast<std::size_t>(rowOf[summed])];
    const auto first = sums.begin() + static_cast<std::ptrdiff_t>(summed * width);
    const auto items = first + static_cast<std::ptrdiff_t>(skillNames.size());
    std::copy(first, items, row.SkillUses.begin());
    std::copy(items, items + static_cast<std::ptrdiff_t>(itemNames.size()), row.ItemUses.begin());
  }
  return {};
}

// Each player's sums (name id -> side and relation bits, battles present, the other
// sums) and uses (packed name, use, count, ...) as the question's rows: each player who
// was present, in name order.
HistoryAnswer<std::vector<PlayerRow>> PlayerRowsOf(SqliteDatabase& db, KnownNames& known, PlayerSums& players,
                                                   const std::vector<std::string>& packedUses,
                                                   const std::vector<std::string>& skillNames,
                                                   const std::vector<std::string>& itemNames) {
  HistoryAnswer<std::vector<PlayerRow>> answer;
  std::vector<std::pair<std::string, std::int64_t>> named;
  answer.Error = NamePresentPlayers(db, known, players, named);
  if (answer.Error) return answer;
  std::vector<PlayerRow>& rows = answer.Value;
  // The answer's row of each summed player's (-1: not present).
  std::vector<std::int64_t> rowOf(players.Ids().size(), -1);
  rows.reserve(named.size());
  for (auto& [name, id] : named) {
    const std::size_t summed = static_cast<std::size_t>(players.RowOf(id));
    rowOf[summed] = static_cast<std::int64_t>(rows.size());
    rows.push_back(RowOfSums(std::move(name), players.At(summed), skillNames.size(), itemNames.size()));
  }
  if (rows.empty() || packedUses.empty()) return answer;
  answer.Error = AddUses(db, players, rowOf, packedUses, skillNames, itemNames, rows);
  return answer;
}

// A battle without an admiral's or opponent's name id.
constexpr std::int64_t kNoName = std::numeric_limits<std::int64_t>::min();

// The battles question's columns: the log, the date, the row's own (ReadBattleFigures),
// the admiral's and opponent's name ids (12 and 13), and the battle's id (16).
constexpr const char* kBattleColumns =
    "SELECT b.log_id, b.date, b.label, b.number, b.counted, b.result, b.own_down, b.enemy_down, b.kind, b.type,"
    " b.size, b.npc, b.admiral, b.opponent, b.first_line, b.ended, b.id FROM battles b";

// A battle row's own columns of the battles question (2 to 11, 14 and 15).
void ReadBattleFigures(const SqliteStatement& s, BattleRow& row) {
  row.Label = s.Bytes(2);
  row.Number = static_cast<int>(s.Int(3));
  row.Counted = s.Int(4) != 0;
  row.Result = ResultFromStored(s.Int(5));
  row.OwnDown = static_cast<std::int32_t>(s.Int(6));
  row.EnemyDown = static_cast<std::int32_t>(s.Int(7));
  row.Kind = KindFromStored(s.Int(8));
  row.Class.Type = static_cast<BattleType>(std::clamp<std::int64_t>(s.Int(9), 0, 3));
  row.Class.Size = static_cast<ShipSize>(std::clamp<std::int64_t>(s.Int(10), 0, 3));
  row.Class.Npc = s.Int(11) != 0;
  row.FirstLine = s.IsNull(14) ? -1 : static_cast<std::int32_t>(s.Int(14));
  row.Ended = s.Int(15) != 0;
}

// Names the battle rows' admirals and opponents from their name ids (kNoName: none), each
// name read once; SQLITE_DONE, or the code of the read that failed.
int NameBattleRows(NameById& nameOf, const std::vector<std::array<std::int64_t, 2>>& nameIds,
                   std::vector<BattleRow>& rows) {
  std::unordered_map<std::int64_t, std::optional<std::string>> names;  // a name id's name, if any
  for (const auto& ids : nameIds) {
    for (std::int64_t id : ids) {
      if (id != kNoName) names.try_emplace(id);
    }
  }
  std::vector<std::int64_t> distinct;
  distinct.reserve(names.size());
  for (const auto& entry : names) distinct.push_back(entry.first);
  if (const int code = nameOf.Prefetch(distinct); code != SQLITE_DONE) return code;
  for (auto& [id, name] : names) {
    std::string found;
    if (nameOf.Find(id, found) == SQLITE_ROW) name = std::move(found);
  }
  for (std::size_t r = 0; r < rows.size(); ++r) {
    BattleRow& row = rows[r];
    if (nameIds[r][0] != kNoName) row.Admiral = names[nameIds[r][0]];
    if (nameIds[r][1] != kNoName) row.Opponent = names[nameIds[r][1]];
  }
  return SQLITE_DONE;
}

// Puts the battle rows by date, then as the logs are named (`rank`, per row), then as each
// log holds them.
void SortBattleRows(std::vector<BattleRow>& rows, const std::vector<std::size_t>& rank) {
  // The table's order is usually that already (logs imported in date and name order, each
  // log's battles in its order): then nothing moves.
  std::vector<std::size_t> order(rows.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  const auto before = [&](std::size_t x, std::size_t y) {
    const BattleRow& a = rows[x];
    const BattleRow& b = rows[y];
    if (a.Date != b.Date) return a.Date < b.Date;
    if (rank[x] != rank[y]) return rank[x] < rank[y];
    return a.Number < b.Number;
  };
  if (std::is_sorted(order.begin(), order.end(), before)) return;
  std::sort(order.begin(), order.end(), before);
  std::vector<BattleRow> sorted;
  sorted.reserve(rows.size());
  for (std::size_t i : order) sorted.push_back(std::move(rows[i]));
  rows = std::move(sorted);
}

// Adds a battle to the summary: its result, and from column 6 on its criticals and wasted
// efforts.
void AddToSummary(HistorySummary& summary, const SqliteStatement& s, std::int64_t result, bool ended) {
  ++summary.Battles;
  // 分 is what the draws, escapes and withdrawals gained.
  const std::int64_t before = summary.Drawn + summary.Escaped + summary.Withdrawn;
  CountResult(result, ended, summary.Won, summary.Lost, summary.Drawn, summary.Escaped, summary.Withdrawn);
  summary.Undecided += summary.Drawn + summary.Escaped + summary.Withdrawn - before;
  summary.CriticalsDealt += s.Int(6);
  summary.CriticalsTaken += s.Int(7);
  summary.WastedRepairs += s.Int(8);
  summary.WastedCare += s.Int(9);
  summary.WastedOther += s.Int(10);
}

// An opponent as counted, before its name is read.
struct CountedOpponent {
  OpponentRow Row;
  bool Named = false;  // the opponent is a known name ("???" otherwise)
};
constexpr std::int64_t kNoOpponent = std::numeric_limits<std::int64_t>::min();

// Names the counted opponents, each name read once, and puts them in `out` with the most
// battles first; then the unnamed, then by name.
HistoryError NameAndOrderOpponents(SqliteDatabase& db, KnownNames& known,
                                   std::unordered_map<std::int64_t, CountedOpponent>& by, std::vector<OpponentRow>& out) {
  NameById nameOf(db, known);
  if (HistoryError error = nameOf.Failure()) return error;
  std::vector<std::int64_t> ids;
  ids.reserve(by.size());
  for (const auto& entry : by) {
    if (entry.first != kNoOpponent) ids.push_back(entry.first);
  }
  if (const int code = nameOf.Prefetch(ids); code != SQLITE_DONE) return db.Failure(code, SqliteUse::Reading);
  std::vector<CountedOpponent*> order;
  order.reserve(by.size());
  for (auto& [id, opponent] : by) {
    if (id != kNoOpponent) {
      const int code = nameOf.Find(id, opponent.Row.Opponent);
      if (code != SQLITE_ROW && code != SQLITE_DONE) return db.Failure(code, SqliteUse::Reading);
      opponent.Named = code == SQLITE_ROW;
    }
    if (!opponent.Named) opponent.Row.Opponent = "???";
    order.push_back(&opponent);
  }
  std::sort(order.begin(), order.end(), [](const CountedOpponent* x, const CountedOpponent* y) {
    if (x->Row.Battles != y->Row.Battles) return x->Row.Battles > y->Row.Battles;
    if (x->Named != y->Named) return !x->Named;
    return x->Row.Opponent < y->Row.Opponent;
  });
  out.reserve(order.size());
  for (CountedOpponent* opponent : order) out.push_back(std::move(opponent->Row));
  return {};
}

}  // namespace

void BindFilter(SqliteStatement& statement, const HistoryFilter& filter) {
  statement.BindText(1, filter.From);
  statement.BindText(2, filter.To);
  statement.Bind(3, filter.Type ? static_cast<int>(*filter.Type) : -1);
  statement.Bind(4, filter.Size ? static_cast<int>(*filter.Size) : -1);
  statement.Bind(5, filter.Against == HistoryFilter::Opposition::Any ? -1
                    : filter.Against == HistoryFilter::Opposition::Npc ? 1
                                                                        : 0);
  if (!filter.Name.empty()) statement.BindBlob(6, filter.Name);
}

template <class Rows, class Read>
HistoryAnswer<Rows> SqliteHistoryStore::Ask(const std::string& sql, const HistoryFilter& filter, bool, Read row) {
  HistoryAnswer<Rows> answer;
  SqliteStatement statement = db_.Prepare(sql);
  if (!statement) {
    answer.Error = db_.Failure(sqlite3_errcode(db_.Handle()), SqliteUse::Reading);
    return answer;
  }
  BindFilter(statement, filter);
  int code;
  while ((code = statement.Step()) == SQLITE_ROW) row(statement, answer.Value);
  if (code != SQLITE_DONE) answer.Error = db_.Failure(code, SqliteUse::Reading);
  return answer;
}

HistoryAnswer<HistoryRange> SqliteHistoryStore::DefaultRange() {
  HistoryAnswer<HistoryRange> answer;
  SqliteStatement statement = db_.Prepare("SELECT DISTINCT date FROM battles ORDER BY date DESC LIMIT 30");
  if (!statement) {
    answer.Error = db_.Failure(sqlite3_errcode(db_.Handle()), SqliteUse::Reading);
    return answer;
  }
  int code;
  while ((code = statement.Step()) == SQLITE_ROW) {
    if (answer.Value.To.empty()) answer.Value.To = statement.Bytes(0);
    answer.Value.From = statement.Bytes(0);
  }
  if (code != SQLITE_DONE) answer.Error = db_.Failure(code, SqliteUse::Reading);
  return answer;
}

namespace {

// A row of the per-log totals: battles, won, lost, drawn, escaped, withdrawn, own down, enemy
// down, criticals dealt and taken, wasted repairs, care and other (LogTotals' order).
using TotalsFigures = std::array<std::int64_t, LogTotals::kBattleFigures>;

void AddToSummary(HistorySummary& summary, const TotalsFigures& row) {
  summary.Battles += row[0];
  summary.Won += row[1];
  summary.Lost += row[2];
  summary.Drawn += row[3];
  summary.Escaped += row[4];
  summary.Withdrawn += row[5];
  summary.Undecided += row[3] + row[4] + row[5];
  summary.CriticalsDealt += row[8];
  summary.CriticalsTaken += row[9];
  summary.WastedRepairs += row[10];
  summary.WastedCare += row[11];
  summary.WastedOther += row[12];
}

void AddToDay(DayRow& day, const TotalsFigures& row) {
  day.Won += row[1];
  day.Lost += row[2];
  day.Drawn += row[3];
  day.Escaped += row[4];
  day.Withdrawn += row[5];
  day.OwnDown += row[6];
  day.EnemyDown += row[7];
}

using DayRows = std::map<std::string, DayRow, std::less<>>;

// The row of `date`, looked up only when it is not the day of the row before (`last`):
// battles and totals come mostly in date order.
DayRow& DayOf(DayRows& days, DayRow*& last, std::string_view date) {
  if (last == nullptr || last->Date != date) {
    auto at = days.find(date);
    if (at == days.end()) at = days.emplace(std::string(date), DayRow{std::string(date)}).first;
    last = &at->second;
  }
  return *last;
}

// The days' rows, in date order.
std::vector<DayRow> DaysInOrder(DayRows& days) {
  std::vector<DayRow> rows;
  rows.reserve(days.size());
  for (auto& [date, row] : days) rows.push_back(std::move(row));
  return rows;
}

// The opponents' rows from their summed figures (`rows`: the opponent of each sum).
std::unordered_map<std::int64_t, CountedOpponent> OpponentsOfSums(const RowsById& rows,
                                                                  const std::vector<TotalsFigures>& sums) {
  std::unordered_map<std::int64_t, CountedOpponent> by;
  by.reserve(sums.size());
  for (std::size_t at = 0; at < sums.size(); ++at) {
    const std::int64_t id = rows.Ids()[at];
    const TotalsFigures& f = sums[at];
    OpponentRow& row = by[id == LogTotals::kNoOpponent ? kNoOpponent : id].Row;
    row.Battles = f[0];
    row.Won = f[1];
    row.Lost = f[2];
    row.Drawn = f[3];
    row.Escaped = f[4];
    row.Withdrawn = f[5];
    row.OwnDown = f[6];
    row.EnemyDown = f[7];
  }
  return by;
}

}  // namespace

HistoryAnswer<HistoryCounts> SqliteHistoryStore::CountFromTotals(const HistoryFilter& filter, unsigned parts) {
  // The per-log totals keep each log and class's counted battles summed per opponent: a
  // season's few thousand rows instead of its every battle. A log's battles have its date.
  constexpr std::size_t kFigures = LogTotals::kBattleFigures;
  RowsById opponentRows;
  std::vector<TotalsFigures> opponentSums;
  DayRows days;
  DayRow* day = nullptr;
  HistoryAnswer<HistoryCounts> answer;
  HistorySummary& summary = answer.Value.Summary;
  bool damaged = false;
  const auto read = Ask<int>(
      "SELECT l.date, t.battles FROM log_totals t JOIN logs l ON l.id = t.log_id" + TotalsClause(), filter, true,
      [&](SqliteStatement& s, int&) {
        std::string_view in = s.View(1);
        std::array<std::int64_t, kFigures> row{};  // the opponents' sums of this row
        std::int64_t opponent = 0;
        while (!in.empty() && UnpackNumber(in, &opponent)) {
          std::array<std::int64_t, kFigures> f{};
          for (std::size_t i = 0; i < kFigures; ++i) {
            if (!UnpackNumber(in, &f[i])) {
              damaged = true;
              return;
            }
            row[i] += f[i];
          }
          if (parts & kCountOpponents) {
            bool made = false;
            const std::size_t at = opponentRows.Of(opponent, &made);
            if (made) opponentSums.emplace_back().fill(0);
            for (std::size_t i = 0; i < kFigures; ++i) opponentSums[at][i] += f[i];
          }
        }
        if (!in.empty()) damaged = true;
        if (row[0] == 0) return;
        if (parts & kCountSummary) AddToSummary(summary, row);
        if (parts & kCountDays) AddToDay(DayOf(days, day, s.View(0)), row);
      });
  if (read.Ok() && damaged) answer.Error = db_.Failure(SQLITE_CORRUPT, SqliteUse::Reading);
  if (!read.Ok()) answer.Error = read.Error;
  if (answer.Error) return answer;
  answer.Value.Days = DaysInOrder(days);
  if (!(parts & kCountOpponents)) return answer;
  std::unordered_map<std::int64_t, CountedOpponent> by = OpponentsOfSums(opponentRows, opponentSums);
  answer.Error = NameAndOrderOpponents(db_, names_, by, answer.Value.Opponents);
  return answer;
}

HistoryAnswer<HistoryCounts> SqliteHistoryStore::CountBattles(const HistoryFilter& filter, unsigned parts) {
  if (filter.Name.empty()) return CountFromTotals(filter, parts);
  // The battles' few columns, summed here: SQLite's grouping worked out every sum for every
  // battle and sorted them all, and the summary, the opponents and the days each read the
  // range's battles again. One read serves the three.
  std::unordered_map<std::int64_t, CountedOpponent> by;  // by opponent id; kNoOpponent: none
  // The battles come mostly in date order (logs are imported day by day) and many in a row
  // against one opponent: a day or an opponent is looked up only when it changes. (The
  // maps' entries stay where they are as the maps grow.)
  DayRows days;
  DayRow* day = nullptr;
  OpponentRow* against = nullptr;
  std::int64_t againstId = 0;
  HistoryAnswer<HistoryCounts> answer;
  HistorySummary& summary = answer.Value.Summary;
  const auto read = Ask<int>(
      "SELECT b.result, b.ended, b.own_down, b.enemy_down, b.opponent, b.date, b.criticals_dealt,"
      " b.criticals_taken, b.wasted_repairs, b.wasted_care, b.wasted_other FROM battles b" +
          FilterClause(filter, true),
      filter, true, [&](SqliteStatement& s, int&) {
        const std::int64_t result = s.Int(0);
        const bool ended = s.Int(1) != 0;
        const std::int64_t ownDown = s.Int(2);
        const std::int64_t enemyDown = s.Int(3);
        if (parts & kCountSummary) AddToSummary(summary, s, result, ended);
        if (parts & kCountOpponents) {
          const std::int64_t id = s.IsNull(4) ? kNoOpponent : s.Int(4);
          if (against == nullptr || againstId != id) {
            against = &by[id].Row;
            againstId = id;
          }
          ++against->Battles;
          CountResult(result, ended, against->Won, against->Lost, against->Drawn, against->Escaped,
                      against->Withdrawn);
          against->OwnDown += ownDown;
          against->EnemyDown += enemyDown;
        }
        if (parts & kCountDays) {
          DayRow& d = DayOf(days, day, s.View(5));
          CountResult(result, ended, d.Won, d.Lost, d.Drawn, d.Escaped, d.Withdrawn);
          d.OwnDown += ownDown;
          d.EnemyDown += enemyDown;
        }
      });
  if (!read.Ok()) {
    answer.Error = read.Error;
    return answer;
  }
  answer.Value.Days = DaysInOrder(days);
  if (!(parts & kCountOpponents)) return answer;

  answer.Error = NameAndOrderOpponents(db_, names_, by, answer.Value.Opponents);
  return answer;
}

HistoryAnswer<HistoryCounts> SqliteHistoryStore::Counts(const HistoryFilter& filter) {
  return CountBattles(filter, kCountSummary | kCountOpponents | kCountDays);
}

HistoryAnswer<HistorySummary> SqliteHistoryStore::Summary(const HistoryFilter& filter) {
  auto counts = CountBattles(filter, kCountSummary);
  return {counts.Value.Summary, counts.Error};
}

HistoryAnswer<std::vector<OpponentRow>> SqliteHistoryStore::Opponents(const HistoryFilter& filter) {
  auto counts = CountBattles(filter, kCountOpponents);
  return {std::move(counts.Value.Opponents), counts.Error};
}

HistoryAnswer<std::vector<DayRow>> SqliteHistoryStore::Days(const HistoryFilter& filter) {
  auto counts = CountBattles(filter, kCountDays);
  return {std::move(counts.Value.Days), counts.Error};
}

HistoryAnswer<std::vector<PlayerRow>> SqliteHistoryStore::Players(const HistoryFilter& filter,
                                                                  const std::vector<std::string>& skillNames,
                                                                  const std::vector<std::string>& itemNames) {
  if (filter.Name.empty()) return PlayersFromTotals(filter, skillNames, itemNames);
  // A name to look for: only the battles themselves can tell which to sum. The battles come
  // first (CROSS JOIN keeps them the outer loop), so the name is looked for once a battle,
  // not once a player of it; the sums are made here, in the one pass.
  PlayerSums players;
  std::string packedUses;  // name, use, count, ...
  const bool wantUses = !skillNames.empty() || !itemNames.empty();
  UseCounts unpacked;
  bool damaged = false;
  auto read = Ask<int>(
      "SELECT p.name_id, p.sides, p.relations, p.present, p.sinks, p.decisive, p.sunk, p.captures, p.captured,"
      " p.tenacity, p.meals, p.uses FROM battles b CROSS JOIN battle_players p ON p.battle_id = b.id" +
          FilterClause(filter, true),
      filter, true, [&](SqliteStatement& s, int&) {
        const std::int64_t name = s.Int(0);
        auto& sums = players[name];
        sums[0] |= s.Int(1) & 3;
        sums[1] |= s.Int(2) & 3;
        sums[2] += std::max<std::int64_t>(s.Int(3), 0);
        for (int i = 3; i < LogTotals::kFigures; ++i) sums[static_cast<std::size_t>(i)] += s.Int(i + 1);
        if (!wantUses || s.IsNull(11)) return;
        unpacked.clear();
        if (!UnpackUses(s.Bytes(11), unpacked)) damaged = true;
        for (const auto& [use, count] : unpacked) {
          PackNumber(packedUses, name);
          PackNumber(packedUses, use);
          PackNumber(packedUses, count);
        }
      });
  if (read.Ok() && damaged) read.Error = db_.Failure(SQLITE_CORRUPT, SqliteUse::Reading);
  if (!read.Ok()) {
    HistoryAnswer<std::vector<PlayerRow>> failed;
    failed.Error = read.Error;
    return failed;
  }
  return PlayerRowsOf(db_, names_, players, {packedUses}, skillNames, itemNames);
}

HistoryAnswer<std::vector<PlayerRow>> SqliteHistoryStore::PlayersFromTotals(const HistoryFilter& filter,
                                                                            const std::vector<std::string>& skillNames,
                                                                            const std::vector<std::string>& itemNames) {
  // Each player's figures summed over the packed totals of the logs and classes the filter
  // lets through: (name, sides, relations, battles present, then the other seven sums).
  constexpr int kFigures = LogTotals::kFigures;
  PlayerSums players;
  std::vector<std::string> packedUses;
  bool damaged = false;
  auto answer = Ask<std::vector<PlayerRow>>(
      "SELECT t.players, t.uses FROM log_totals t JOIN logs l ON l.id = t.log_id" + TotalsClause(), filter, true,
      [&](SqliteStatement& s, std::vector<PlayerRow>&) {
        std::string_view in = s.View(0);
        std::int64_t name = 0;
        while (!in.empty() && UnpackNumber(in, &name)) {
          std::array<std::int64_t, kFigures>& sums = players[name];
          for (int i = 0; i < kFigures; ++i) {
            std::int64_t v = 0;
            if (!UnpackNumber(in, &v)) {
              damaged = true;
              return;
            }
            if (i < 2) sums[static_cast<std::size_t>(i)] |= v; else sums[static_cast<std::size_t>(i)] += v;
          }
        }
        if (!in.empty()) damaged = true;
        if (!skillNames.empty() || !itemNames.empty()) packedUses.push_back(s.Bytes(1));
      });
  if (answer.Ok() && damaged) answer.Error = db_.Failure(SQLITE_CORRUPT, SqliteUse::Reading);
  if (!answer.Ok()) return answer;

  return PlayerRowsOf(db_, names_, players, packedUses, skillNames, itemNames);
}

HistoryAnswer<std::vector<BattleRow>> SqliteHistoryStore::Battles(const HistoryFilter& filter) {
  // The battles alone, in the table's order: the few logs and names they refer to are read
  // once each instead of joined to every battle, and the order is made here, which costs
  // less than SQLite's sorting of whole rows.
  struct Log {
    std::shared_ptr<const LogPlace> Place;  // shared by the log's rows
    std::size_t Rank = 0;                   // in file name order, then by id
  };
  std::unordered_map<std::int64_t, Log> logs;
  auto logAnswer = Ask<int>("SELECT id, file_name, folder FROM logs WHERE ?1 = ?1 AND ?2 = ?2 AND ?3 = ?3"
                            " AND ?4 = ?4 AND ?5 = ?5 ORDER BY file_name, id",
                            HistoryFilter{}, false, [&](SqliteStatement& s, int&) {
                              logs.emplace(s.Int(0), Log{std::make_shared<const LogPlace>(LogPlace{s.Bytes(1), s.Bytes(2)}),
                                                         logs.size()});
                            });
  HistoryAnswer<std::vector<BattleRow>> answer;
  if (!logAnswer.Ok()) {
    answer.Error = logAnswer.Error;
    return answer;
  }
  NameById nameOf(db_, names_);
  answer.Error = nameOf.Failure();
  if (answer.Error) return answer;
  // The admiral's and the opponent's name ids per row (kNoName: none), named after the read.
  std::vector<std::array<std::int64_t, 2>> nameIds;
  std::vector<std::size_t> rank;  // per row: its log's rank
  // Room for every battle at once: growing the rows row by row moves them all again and again.
  std::size_t room = 0;
  if (SqliteStatement count = db_.Prepare("SELECT COUNT(*) FROM battles"); count && count.Step() == SQLITE_ROW) {
    room = static_cast<std::size_t>(std::max<std::int64_t>(count.Int(0), 0));
  }
  answer = Ask<std::vector<BattleRow>>(
      std::string(kBattleColumns) + FilterClause(filter, false),
      filter, false, [&](SqliteStatement& s, std::vector<BattleRow>& rows) {
        if (rows.empty()) {
          rows.reserve(room);
          rank.reserve(room);
          nameIds.reserve(room);
        }
        const auto log = logs.find(s.Int(0));
        if (log == logs.end()) return;  // a battle belongs to a log, or is not listed
        BattleRow& row = rows.emplace_back();
        row.Id = s.Int(16);
        row.LogId = log->first;
        row.Date = s.Bytes(1);
        row.Place = log->second.Place;
        rank.push_back(log->second.Rank);
        ReadBattleFigures(s, row);
        nameIds.push_back({s.IsNull(12) ? kNoName : s.Int(12), s.IsNull(13) ? kNoName : s.Int(13)});
      });
  if (!answer.Ok()) return answer;
  if (const int code = NameBattleRows(nameOf, nameIds, answer.Value); code != SQLITE_DONE) {
    answer.Error = db_.Failure(code, SqliteUse::Reading);
  }
  if (!answer.Ok()) return answer;
  SortBattleRows(answer.Value, rank);
  return answer;
}

HistoryAnswer<std::vector<std::int64_t>> SqliteHistoryStore::BattleIds(const HistoryFilter& filter) {
  // Battles' order (date, the log's file name and id, the battle's number) from three
  // columns of each battle, read from the date index alone, without the rows' texts: a
  // season's hundred thousand battles are shown a few at a time, and reading their rows
  // took most of a refresh. A battle has its log's date, so the logs' order gives the
  // dates' too.
  HistoryAnswer<std::vector<std::int64_t>> answer;
  RowsById rankOf;  // log id -> rank, by date, file name, id
  const auto logs = Ask<int>("SELECT id FROM logs WHERE ?1 = ?1 AND ?2 = ?2 AND ?3 = ?3 AND ?4 = ?4 AND ?5 = ?5"
                             " ORDER BY date, file_name, id",
                             HistoryFilter{}, false, [&](SqliteStatement& s, int&) {
                               bool made = false;
                               rankOf.Of(s.Int(0), &made);
                             });
  if (!logs.Ok()) {
    answer.Error = logs.Error;
    return answer;
  }
  struct Key {
    std::int64_t Rank = 0;
    std::int64_t Number = 0;
    std::int64_t Id = 0;
  };
  std::vector<Key> keys;
  const auto read = Ask<int>(
      "SELECT b.id, b.log_id, b.number FROM battles b" + FilterClause(filter, false), filter, false,
      [&](SqliteStatement& s, int&) {
        const std::int64_t rank = rankOf.Find(s.Int(1));
        if (rank < 0) return;  // a battle belongs to a log, or is not listed
        keys.push_back(Key{rank, s.Int(2), s.Int(0)});
      });
  if (!read.Ok()) {
    answer.Error = read.Error;
    return answer;
  }
  const auto before = [](const Key& a, const Key& b) { return std::tie(a.Rank, a.Number) < std::tie(b.Rank, b.Number); };
  if (!std::is_sorted(keys.begin(), keys.end(), before)) std::sort(keys.begin(), keys.end(), before);
  answer.Value.reserve(keys.size());
  for (const Key& k : keys) answer.Value.push_back(k.Id);
  return answer;
}

HistoryAnswer<std::vector<BattleRow>> SqliteHistoryStore::BattlesById(const std::vector<std::int64_t>& ids) {
  HistoryAnswer<std::vector<BattleRow>> answer;
  NameById nameOf(db_, names_);
  answer.Error = nameOf.Failure();
  if (answer.Error) return answer;
  SqliteDatabase::Lease battle = db_.Reuse(std::string(kBattleColumns) + " WHERE b.id = ?");
  SqliteDatabase::Lease place = db_.Reuse("SELECT file_name, folder FROM logs WHERE id = ?");
  if (!battle || !place) {
    answer.Error = db_.Failure(sqlite3_errcode(db_.Handle()), SqliteUse::Reading);
    return answer;
  }
  std::unordered_map<std::int64_t, std::shared_ptr<const LogPlace>> places;  // by log id
  std::vector<std::array<std::int64_t, 2>> nameIds;
  std::vector<BattleRow>& rows = answer.Value;
  rows.reserve(ids.size());
  for (const std::int64_t id : ids) {
    battle->Bind(1, id);
    int code = battle->Step();
    if (code == SQLITE_ROW) {
      const SqliteStatement& s = *battle;
      auto [log, made] = places.try_emplace(s.Int(0));
      if (made) {
        place->Bind(1, s.Int(0));
        code = place->Step();
        if (code == SQLITE_ROW) log->second = std::make_shared<const LogPlace>(LogPlace{place->Bytes(0), place->Bytes(1)});
        place->Reset();
        if (code == SQLITE_ROW) code = SQLITE_DONE;
      }
      if (log->second) {
        BattleRow& row = rows.emplace_back();
        row.Id = id;
        row.LogId = log->first;
        row.Date = s.Bytes(1);
        row.Place = log->second;
        ReadBattleFigures(s, row);
        nameIds.push_back({s.IsNull(12) ? kNoName : s.Int(12), s.IsNull(13) ? kNoName : s.Int(13)});
      }
      if (code == SQLITE_ROW) code = SQLITE_DONE;
    }
    battle->Reset();
    if (code != SQLITE_DONE) {
      answer.Value.clear();
      answer.Error = db_.Failure(code, SqliteUse::Reading);
      return answer;
    }
  }
  if (const int code = NameBattleRows(nameOf, nameIds, rows); code != SQLITE_DONE) {
    answer.Value.clear();
    answer.Error = db_.Failure(code, SqliteUse::Reading);
  }
  return answer;
}

HistoryAnswer<std::vector<LogRow>> SqliteHistoryStore::Logs(const HistoryFilter& filter) {
  const bool everything = filter.From.empty() && filter.To.empty() && !filter.Type && !filter.Size &&
                          filter.Against == HistoryFilter::Opposition::Any && filter.Name.empty();
  // Unfiltered, a log without battles is listed too; the filter's parameters are still
  // bound (and let everything through).
  const std::string sql =
      everything ? "SELECT l.id, l.date, l.file_name, l.folder, l.size, COUNT(b.id) FROM logs l"
                   " LEFT JOIN battles b ON b.log_id = l.id WHERE ?1 = ?1 AND ?2 = ?2 AND ?3 = ?3 AND ?4 = ?4"
                   " AND ?5 = ?5 GROUP BY l.id ORDER BY l.date, l.file_name, l.id"
                 : "SELECT l.id, l.date, l.file_name, l.folder, l.size, COUNT(b.id) FROM battles b"
                   " JOIN logs l ON l.id = b.log_id" +
                       FilterClause(filter, false) + " GROUP BY l.id ORDER BY l.date, l.file_name, l.id";
  return Ask<std::vector<LogRow>>(sql, filter, false, [](SqliteStatement& s, std::vector<LogRow>& rows) {
    LogRow& row = rows.emplace_back();
    row.LogId = s.Int(0);
    row.Date = s.Bytes(1);
    row.FileName = s.Bytes(2);
    row.Folder = s.Bytes(3);
    row.Size = s.Int(4);
    row.Battles = s.Int(5);
  });
}

}  // namespace mizuto
