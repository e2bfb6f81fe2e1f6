// The questions the History page and `mizuto --history` ask: one filter, plain rows.
#include <sqlite3.h>

#include <algorithm>
#include <unordered_map>

#include "history/sqlite_store.h"
#include "tally/tallies.h"

namespace mizuto {

std::string FilterClause(const HistoryFilter& filter, bool counted) {
  // Every condition is always there, so the parameters keep their numbers; an open one
  // lets everything through.
  std::string where = " WHERE (?1 = '' OR b.date >= ?1) AND (?2 = '' OR b.date <= ?2)"
                      " AND (?3 < 0 OR b.type = ?3) AND (?4 < 0 OR b.size = ?4) AND (?5 < 0 OR b.npc = ?5)";
  if (!filter.Name.empty()) {
    where += " AND (b.opponent IN (SELECT id FROM names WHERE sjis_contains(name, ?6))"
             " OR EXISTS (SELECT 1 FROM battle_players f WHERE f.battle_id = b.id"
             " AND f.name_id IN (SELECT id FROM names WHERE sjis_contains(name, ?6))))";
  }
  if (counted) where += " AND b.counted = 1";
  return where;
}

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

HistoryAnswer<HistorySummary> SqliteHistoryStore::Summary(const HistoryFilter& filter) {
  return Ask<HistorySummary>(
      "SELECT COUNT(*), TOTAL(result = 1), TOTAL(result = 0), TOTAL(result >= 2), TOTAL(result = 4),"
      " TOTAL(result = 2), TOTAL(result = 3), TOTAL(criticals_dealt), TOTAL(criticals_taken),"
      " TOTAL(wasted_repairs), TOTAL(wasted_care), TOTAL(wasted_other) FROM battles b" +
          FilterClause(filter, true),
      filter, true, [](SqliteStatement& s, HistorySummary& out) {
        int i = 0;
        for (std::int64_t* field : {&out.Battles, &out.Won, &out.Lost, &out.Undecided, &out.Drawn, &out.Escaped,
                                    &out.Withdrawn, &out.CriticalsDealt, &out.CriticalsTaken, &out.WastedRepairs,
                                    &out.WastedCare, &out.WastedOther}) {
          *field = s.Int(i++);
        }
      });
}

HistoryAnswer<std::vector<OpponentRow>> SqliteHistoryStore::Opponents(const HistoryFilter& filter) {
  return Ask<std::vector<OpponentRow>>(
      "SELECT o.name, o.id IS NULL, COUNT(*) AS battles, TOTAL(b.result = 1), TOTAL(b.result = 0),"
      " TOTAL(b.result = 4), TOTAL(b.result = 2), TOTAL(b.result = 3), TOTAL(b.own_down), TOTAL(b.enemy_down)"
      " FROM battles b LEFT JOIN names o ON o.id = b.opponent" +
          FilterClause(filter, true) + " GROUP BY b.opponent ORDER BY battles DESC, o.name",
      filter, true, [](SqliteStatement& s, std::vector<OpponentRow>& rows) {
        OpponentRow& row = rows.emplace_back();
        row.Opponent = s.Int(1) != 0 ? std::string("???") : s.Bytes(0);
        int i = 2;
        for (std::int64_t* field : {&row.Battles, &row.Won, &row.Lost, &row.Drawn, &row.Escaped, &row.Withdrawn,
                                    &row.OwnDown, &row.EnemyDown}) {
          *field = s.Int(i++);
        }
      });
}

HistoryAnswer<std::vector<PlayerRow>> SqliteHistoryStore::Players(const HistoryFilter& filter,
                                                                  const std::vector<std::string>& skillNames,
                                                                  const std::vector<std::string>& itemNames) {
  std::unordered_map<std::int64_t, std::size_t> rowOf;  // name id -> row
  auto answer = Ask<std::vector<PlayerRow>>(
      "SELECT p.name_id, n.name, MAX(p.sides & 1) | MAX(p.sides & 2), MAX(p.relations & 1) | MAX(p.relations & 2),"
      " TOTAL(p.present <> 0), TOTAL(p.sinks), TOTAL(p.decisive), TOTAL(p.sunk), TOTAL(p.captures),"
      " TOTAL(p.captured), TOTAL(p.tenacity), TOTAL(p.meals)"
      " FROM battles b JOIN battle_players p ON p.battle_id = b.id JOIN names n ON n.id = p.name_id" +
          FilterClause(filter, true) + " GROUP BY p.name_id HAVING MAX(p.present <> 0) ORDER BY n.name",
      filter, true, [&](SqliteStatement& s, std::vector<PlayerRow>& rows) {
        rowOf[s.Int(0)] = rows.size();
        PlayerRow& row = rows.emplace_back();
        row.Name = s.Bytes(1);
        row.SideBits = static_cast<std::int32_t>(s.Int(2));
        row.RelationBits = static_cast<std::int32_t>(s.Int(3));
        row.Icon = TallyIcon(row.SideBits, row.RelationBits);
        int i = 4;
        for (std::int64_t* field : {&row.Battles, &row.Sinks, &row.Decisive, &row.Sunk, &row.Captures, &row.Captured,
                                    &row.Tenacity, &row.FleetMeals}) {
          *field = s.Int(i++);
        }
        row.SkillUses.assign(skillNames.size(), 0);
        row.ItemUses.assign(itemNames.size(), 0);
      });
  if (!answer.Ok() || (skillNames.empty() && itemNames.empty()) || answer.Value.empty()) return answer;

  // The uses by list entry name; a name the lists hold twice gets the same figure twice.
  std::vector<PlayerRow>& rows = answer.Value;
  auto uses = Ask<int>(
      "SELECT x.name_id, u.item, u.name, TOTAL(x.count) FROM battles b JOIN battle_uses x ON x.battle_id = b.id"
      " JOIN use_names u ON u.id = x.use_id" +
          FilterClause(filter, true) + " GROUP BY x.name_id, x.use_id",
      filter, true, [&](SqliteStatement& s, int&) {
        const auto found = rowOf.find(s.Int(0));
        if (found == rowOf.end()) return;
        PlayerRow& row = rows[found->second];
        const bool item = s.Int(1) != 0;
        const std::string name = s.Bytes(2);
        const std::vector<std::string>& list = item ? itemNames : skillNames;
        std::vector<std::int64_t>& sums = item ? row.ItemUses : row.SkillUses;
        for (std::size_t i = 0; i < list.size(); ++i) {
          if (list[i] == name) sums[i] += s.Int(3);
        }
      });
  if (!uses.Ok()) answer.Error = uses.Error;
  return answer;
}

HistoryAnswer<std::vector<BattleRow>> SqliteHistoryStore::Battles(const HistoryFilter& filter) {
  return Ask<std::vector<BattleRow>>(
      "SELECT b.log_id, b.date, l.file_name, l.folder, b.label, b.number, b.counted, b.result, b.own_down,"
      " b.enemy_down, b.kind, b.type, b.size, b.npc, a.name, a.id IS NULL, o.name, o.id IS NULL"
      " FROM battles b JOIN logs l ON l.id = b.log_id LEFT JOIN names a ON a.id = b.admiral"
      " LEFT JOIN names o ON o.id = b.opponent" +
          FilterClause(filter, false) + " ORDER BY b.date, l.file_name, b.log_id, b.number",
      filter, false, [](SqliteStatement& s, std::vector<BattleRow>& rows) {
        BattleRow& row = rows.emplace_back();
        row.LogId = s.Int(0);
        row.Date = s.Bytes(1);
        row.FileName = s.Bytes(2);
        row.Folder = s.Bytes(3);
        row.Label = s.Bytes(4);
        row.Number = static_cast<int>(s.Int(5));
        row.Counted = s.Int(6) != 0;
        row.Result = static_cast<std::int32_t>(s.Int(7));
        row.OwnDown = static_cast<std::int32_t>(s.Int(8));
        row.EnemyDown = static_cast<std::int32_t>(s.Int(9));
        row.Kind = static_cast<std::int32_t>(s.Int(10));
        row.Class.Type = static_cast<BattleType>(std::clamp<std::int64_t>(s.Int(11), 0, 3));
        row.Class.Size = static_cast<ShipSize>(std::clamp<std::int64_t>(s.Int(12), 0, 3));
        row.Class.Npc = s.Int(13) != 0;
        if (s.Int(15) == 0) row.Admiral = s.Bytes(14);
        if (s.Int(17) == 0) row.Opponent = s.Bytes(16);
      });
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

HistoryAnswer<std::vector<DayRow>> SqliteHistoryStore::Days(const HistoryFilter& filter) {
  return Ask<std::vector<DayRow>>(
      "SELECT b.date, TOTAL(b.result = 1), TOTAL(b.result = 0), TOTAL(b.result = 4), TOTAL(b.result = 2),"
      " TOTAL(b.result = 3), TOTAL(b.own_down), TOTAL(b.enemy_down) FROM battles b" +
          FilterClause(filter, true) + " GROUP BY b.date ORDER BY b.date",
      filter, true, [](SqliteStatement& s, std::vector<DayRow>& rows) {
        DayRow& row = rows.emplace_back();
        row.Date = s.Bytes(0);
        int i = 1;
        for (std::int64_t* field : {&row.Won, &row.Lost, &row.Drawn, &row.Escaped, &row.Withdrawn, &row.OwnDown,
                                    &row.EnemyDown}) {
          *field = s.Int(i++);
        }
      });
}

}  // namespace mizuto
