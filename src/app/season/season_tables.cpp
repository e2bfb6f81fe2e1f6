#include "app/season/season_tables.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "history/log_identity.h"
#include "tally/csv_export.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

void AddNumber(HistoryTableRow& row, std::int64_t value) {
  row.Cells.push_back(DecimalText(value));
  row.Values.push_back(value);
}

void AddText(HistoryTableRow& row, std::string text, std::int64_t tieBreak = 0) {
  row.Cells.push_back(std::move(text));
  row.Values.push_back(tieBreak);
}

std::vector<TallyColumn> Columns(const std::vector<std::string>& captions, std::size_t textColumns) {
  std::vector<TallyColumn> columns;
  for (const std::string& caption : captions) columns.push_back(TallyColumn{caption, columns.size() >= textColumns});
  return columns;
}

const std::vector<std::string>& OpponentCaptions() {
  static const std::vector<std::string> captions{SJ("相手"),     SJ("戦闘数"), SJ("勝"),       SJ("敗"),
                                                 SJ("引分"),     SJ("逃げられ"), SJ("撤退"),
                                                 SJ("味方沈没"), SJ("敵沈没")};
  return captions;
}

// The battle's label first: it ends with the result and the opponent, which a narrow pane
// must not cut off for a date the log's name says again.
const std::vector<std::string>& BattleCaptions() {
  static const std::vector<std::string> captions{SJ("戦闘"), SJ("日付"), SJ("ログファイル")};
  return captions;
}

void FillOpponentRows(const std::vector<OpponentRow>& answer, HistoryTable& table) {
  table.Rows.reserve(answer.size());
  for (std::size_t i = 0; i < answer.size(); ++i) {
    const OpponentRow& o = answer[i];
    HistoryTableRow& row = table.Rows.emplace_back();
    row.Cells.reserve(9);
    row.Values.reserve(9);
    row.Source = static_cast<int>(i);
    AddText(row, o.Opponent);
    for (std::int64_t v : {o.Battles, o.Won, o.Lost, o.Drawn, o.Escaped, o.Withdrawn, o.OwnDown, o.EnemyDown}) {
      AddNumber(row, v);
    }
  }
}

// The cells of the player that is row `i` of the answer.
void FillPlayerRow(const PlayerRow& p, std::size_t i, HistoryTableRow& row) {
  const std::size_t cells = 9 + p.SkillUses.size() + p.ItemUses.size();
  row.Cells.reserve(cells);
  row.Values.reserve(cells);
  row.Source = static_cast<int>(i);
  row.Icon = p.Icon;
  AddText(row, p.Name);
  for (std::int64_t v : {p.Battles, p.Sinks, p.Decisive, p.Sunk, p.Captures, p.Captured, p.Tenacity, p.FleetMeals}) {
    AddNumber(row, v);
  }
    for (std::int64_t v : p.SkillUses) AddNumber(row, v);
    for (std::int64_t v : p.ItemUses) AddNumber(row, v);
}

// The cells of the battle that is row `source` of the answer; `fileName` its log's (Shift-JIS).
void FillBattleRow(HistoryTableRow& row, const BattleRow& b, std::size_t source, const std::string& fileName) {
  row.Cells.reserve(3);
  row.Values.reserve(3);
  row.Source = static_cast<int>(source);
  // The answer is in time order: equal texts sort by it, a day's battles as fought.
  const auto when = static_cast<std::int64_t>(source);
  AddText(row, b.Label, when);
  AddText(row, b.Date, when);
  AddText(row, fileName, when);
}

HistoryTable BattleTable(const std::vector<BattleRow>& answer) {
  HistoryTable table;
  table.Columns = Columns(BattleCaptions(), BattleCaptions().size());
  table.Rows.reserve(answer.size());
  // A log's battles come one after another: its name is converted once, not per battle.
  std::int64_t namedLog = -1;
  std::string name;
  for (std::size_t i = 0; i < answer.size(); ++i) {
    const BattleRow& b = answer[i];
    if (b.LogId != namedLog) {
      namedLog = b.LogId;
      name = Utf8ToSjis(b.FileName());
    }
    FillBattleRow(table.Rows.emplace_back(), b, i, name);
  }
  return table;
}

// Sets `error` from the first failed answer; true while this one answered.
template <class Rows>
bool Take(const HistoryAnswer<Rows>& answer, HistoryError& error) {
  if (answer.Ok()) return true;
  if (!error) error = answer.Error;
  return false;
}

}  // namespace

void MakeEveryRow(HistoryTable& table) {
  if (!table.Lazy) return;
  bool all = true;
  for (const HistoryTableRow& row : table.Rows) all = all && !row.Cells.empty();
  if (all) return;
  table.Lazy->ReadAll();
  for (HistoryTableRow& row : table.Rows) {
    if (row.Cells.empty()) row = table.Lazy->RowOf(static_cast<std::size_t>(row.Source));
  }
}

void SortHistoryTable(HistoryTable& table, int column) {
  if (column < 0 || static_cast<std::size_t>(column) >= table.Columns.size()) return;
  // Every row's cells are compared.
  MakeEveryRow(table);
  const bool numbers = table.Columns[static_cast<std::size_t>(column)].RightAligned;
  table.Descending = column == table.SortColumn ? !table.Descending : numbers;
  table.SortColumn = column;
  const std::size_t c = static_cast<std::size_t>(column);
  const bool descending = table.Descending;
  std::stable_sort(table.Rows.begin(), table.Rows.end(), [&](const HistoryTableRow& a, const HistoryTableRow& b) {
    const HistoryTableRow& x = descending ? b : a;
    const HistoryTableRow& y = descending ? a : b;
    if (!numbers && x.Cells[c] != y.Cells[c]) return x.Cells[c] < y.Cells[c];
    return x.Values[c] < y.Values[c];
  });
  ++table.Revision;
}

namespace {

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
std::int64_t DayNumber(int year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

std::string DateOfDayNumber(std::int64_t number) {
  number += 719468;
  const std::int64_t era = (number >= 0 ? number : number - 146096) / 146097;
  const std::int64_t dayOfEra = number - era * 146097;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t shifted = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
  const int month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2);
  char text[32];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02d", static_cast<long long>(year), month, day);
  return text;
}

}  // namespace

HistoryRange LastCalendarDays(const std::string& today, int count) {
  // Only a real day: the file name's reading of a date is the one rule for that.
  if (today.size() != 10 || DateFromFileName(today) != today || count < 1) return {};
  const int year = std::stoi(today.substr(0, 4));
  const int month = std::stoi(today.substr(5, 2));
  const int day = std::stoi(today.substr(8, 2));
  return HistoryRange{DateOfDayNumber(DayNumber(year, month, day) - (count - 1)), today};
}

std::vector<std::string> CheckedNames(const std::vector<std::string>& names, const std::vector<char>& checked) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < names.size() && i < checked.size(); ++i) {
    if (checked[i]) out.push_back(names[i]);
  }
  return out;
}

SeasonTables AskSeason(HistoryStore& store, const HistoryFilter& filter, const TallyOptions& columns, unsigned parts) {
  SeasonTables season;
  HistoryError& error = season.Error;
  // The summary, the opponents and the days are sums over the same battles: one question.
  std::optional<HistoryAnswer<HistoryCounts>> counts;
  if (parts & (kSeasonSummary | kSeasonOpponents | kSeasonDays)) {
    counts = store.Counts(filter);
    Take(*counts, error);
  }
  if (parts & kSeasonSummary) {
    if (counts->Ok()) season.Summary = counts->Value.Summary;
  }
  if (parts & kSeasonOpponents) {
    season.Opponents.Columns = Columns(OpponentCaptions(), 1);
    if (counts->Ok()) FillOpponentRows(counts->Value.Opponents, season.Opponents);
  }
  if (parts & kSeasonPlayers) {
    // The tally table's columns, with the skills and items it shows.
    TallyTableView tallyColumns;
    BuildTallyColumns(columns, tallyColumns);
    season.Players.Columns = std::move(tallyColumns.Columns);
    auto players = store.Players(filter, CheckedNames(columns.Lists.SkillNames, columns.SkillChecked),
                                 CheckedNames(columns.Lists.ItemNames, columns.ItemChecked));
    if (Take(players, error)) {
      // Each row's cells are made as it is shown (all of them for a sort or an export).
      auto answer = std::make_shared<SeasonPlayers>(std::move(players.Value));
      season.Players.Rows.resize(answer->Size());
      for (std::size_t i = 0; i < answer->Size(); ++i) season.Players.Rows[i].Source = static_cast<int>(i);
      season.Players.Lazy = std::move(answer);
    }
  }
  if (parts & kSeasonBattles) {
    auto battles = store.Battles(filter);
    if (Take(battles, error)) season.BattleRows = std::move(battles.Value);
    season.Battles = BattleTable(season.BattleRows);
  }
  if ((parts & kSeasonDays) && counts->Ok()) season.Days = std::move(counts->Value.Days);
  if (parts & kSeasonLogs) {
    auto logs = store.Logs(filter);
    if (Take(logs, error)) season.Logs = std::move(logs.Value);
  }
  return season;
}

std::string SeasonTableCsv(const HistoryTable& table, std::string_view eol) {
  std::string out;
  if (table.Columns.empty()) return out;
  auto record = [&](auto field, std::size_t count) {
    for (std::size_t i = 0; i < table.Columns.size(); ++i) {
      if (i > 0) out += ',';
      if (i < count) out += CsvField(field(i));
    }
    out += eol;
  };
  record([&](std::size_t i) -> const std::string& { return table.Columns[i].Caption; }, table.Columns.size());
  for (std::size_t r = 0; r < table.Rows.size(); ++r) {
    const HistoryTableRow& row = table.Row(r);
    record([&](std::size_t i) -> const std::string& { return row.Cells[i]; }, row.Cells.size());
  }
  return out;
}

namespace {

// The rows a view reads at once when it shows one: a screenful and more, in one pass.
constexpr std::size_t kBlock = 128;

}  // namespace

const HistoryTableRow& SeasonPlayers::RowOf(std::size_t source) {
  if (source >= answer_.size()) {
    none_ = HistoryTableRow{};
    return none_;
  }
  auto [at, made] = rows_.try_emplace(source);
  if (made) FillPlayerRow(answer_[source], source, at->second);
  return at->second;
}

SeasonBattles::SeasonBattles(std::function<HistoryStore*()> store, HistoryFilter filter, std::vector<std::int64_t> ids)
    : store_(std::move(store)),
      filter_(std::move(filter)),
      ids_(std::move(ids)),
      blockRead_((ids_.size() + kBlock - 1) / kBlock, 0) {}

void SeasonBattles::Keep(std::size_t source, BattleRow battle) {
  auto name = logNames_.find(battle.LogId);
  if (name == logNames_.end()) name = logNames_.emplace(battle.LogId, Utf8ToSjis(battle.FileName())).first;
  HistoryTableRow& row = rows_[source];
  row = HistoryTableRow{};
  FillBattleRow(row, battle, source, name->second);
  battles_[source] = std::move(battle);
}

void SeasonBattles::ReadBlockOf(std::size_t source) {
  const std::size_t block = source / kBlock;
  if (block >= blockRead_.size() || blockRead_[block]) return;
  HistoryStore* store = store_ ? store_() : nullptr;
  if (store == nullptr) return;
  blockRead_[block] = 1;
  const std::size_t first = block * kBlock;
  const std::size_t last = std::min(ids_.size(), first + kBlock);
  auto answer = store->BattlesById(std::vector<std::int64_t>(ids_.begin() + static_cast<std::ptrdiff_t>(first),
                                                             ids_.begin() + static_cast<std::ptrdiff_t>(last)));
  if (!answer.Ok()) {
    if (!error_) error_ = answer.Error;
    return;
  }
  // A battle no longer stored is left out of the answer: the others are found by their ids.
  std::size_t at = first;
  for (BattleRow& battle : answer.Value) {
    while (at < last && ids_[at] != battle.Id) ++at;
    if (at == last) break;
    Keep(at++, std::move(battle));
  }
}

void SeasonBattles::ReadAll() {
  bool all = true;
  for (char read : blockRead_) all = all && read;
  HistoryStore* store = all || !store_ ? nullptr : store_();
  if (store == nullptr) return;
  // One pass over the filter's battles costs less than a read by id of each.
  auto answer = store->Battles(filter_);
  if (!answer.Ok()) {
    if (!error_) error_ = answer.Error;
    return;
  }
  std::unordered_map<std::int64_t, std::size_t> sourceOf;
  sourceOf.reserve(ids_.size());
  for (std::size_t i = 0; i < ids_.size(); ++i) sourceOf.emplace(ids_[i], i);
  for (BattleRow& battle : answer.Value) {
    const auto found = sourceOf.find(battle.Id);
    if (found != sourceOf.end() && rows_.count(found->second) == 0) Keep(found->second, std::move(battle));
  }
  std::fill(blockRead_.begin(), blockRead_.end(), 1);
}

const BattleRow* SeasonBattles::Battle(std::size_t source) {
  if (source >= ids_.size()) return nullptr;
  ReadBlockOf(source);
  const auto found = battles_.find(source);
  return found == battles_.end() ? nullptr : &found->second;
}

const HistoryTableRow& SeasonBattles::RowOf(std::size_t source) {
  if (source < ids_.size()) {
    ReadBlockOf(source);
    const auto found = rows_.find(source);
    if (found != rows_.end()) return found->second;
  }
  // Not stored any more: the row shows nothing rather than another battle.
  none_ = HistoryTableRow{};
  none_.Source = static_cast<int>(source);
  none_.Cells.assign(BattleCaptions().size(), std::string());
  none_.Values.assign(BattleCaptions().size(), static_cast<std::int64_t>(source));
  return none_;
}

HistoryTable LazyBattleTable(const std::shared_ptr<SeasonBattles>& answer) {
  HistoryTable table;
  table.Columns = Columns(BattleCaptions(), BattleCaptions().size());
  table.Lazy = answer;
  table.Rows.resize(answer->Size());
  for (std::size_t i = 0; i < table.Rows.size(); ++i) table.Rows[i].Source = static_cast<int>(i);
  return table;
}

}  // namespace mizuto
