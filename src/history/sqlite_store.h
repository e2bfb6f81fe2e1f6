// The history store on SQLite. Internal to src/history: the rest of the program knows only
// HistoryStore.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "history/history_store.h"
#include "history/packed_figures.h"
#include "history/sqlite_database.h"

namespace mizuto {

class SqliteHistoryStore final : public HistoryStore {
 public:
  // Open: the file is opened, in WAL mode, with foreign keys on, at the current schema.
  static HistoryOpen Open(const std::string& path);
  ~SqliteHistoryStore() override;

  const std::string& Path() const override { return db_.Path(); }
  LogCheck CheckLogFile(const std::string& path, std::int64_t limit) override;
  LogCheck ProbesFor(const std::string& path, std::int64_t fileSize) override;
  LogCheck MatchHashed(LogFileRead read, std::vector<PrefixProbe> prefixes) override;
  ImportResult ImportLog(const LogCheck& check, const PreparedLog& log) override;
  HistoryError RecordBattles(std::int64_t logId, const PreparedLog& log) override;
  HistoryError StoreCorrection(std::int64_t logId, int number, const BattleClass& battleClass,
                               bool countMark) override;
  void WaitForLocks(bool wait) override { db_.WaitForLocks(wait); }
  void Checkpoint() override;

  HistoryAnswer<HistoryRange> DefaultRange() override;
  HistoryAnswer<HistorySummary> Summary(const HistoryFilter& filter) override;
  HistoryAnswer<std::vector<OpponentRow>> Opponents(const HistoryFilter& filter) override;
  HistoryAnswer<std::vector<PlayerRow>> Players(const HistoryFilter& filter,
                                                const std::vector<std::string>& skillNames,
                                                const std::vector<std::string>& itemNames) override;
  HistoryAnswer<std::vector<BattleRow>> Battles(const HistoryFilter& filter) override;
  HistoryAnswer<std::vector<LogRow>> Logs(const HistoryFilter& filter) override;
  HistoryAnswer<std::vector<DayRow>> Days(const HistoryFilter& filter) override;

 private:
  struct Correction {
    BattleClass Class;
    bool CountMark = true;
  };
  // Everything a write transaction needs: its statements prepared once per store (an
  // import of a hundred logs would otherwise compile them a hundred times), its lookups
  // started afresh by each transaction.
  struct Writer;
  // The writer, ready for a new transaction; null when its statements cannot be prepared
  // (`code` set).
  Writer* FreshWriter(int* code);
  // The known logs a file begins with: the longest, and the shorter ones.
  struct Match {
    std::int64_t Known = 0;
    std::int64_t KnownSize = -1;
    bool SameBytes = false;
    bool SamePlace = false;
    std::vector<std::int64_t> Shorter;
  };
  // SQLITE_DONE, or the error code of the read.
  int MatchKnown(const std::vector<PrefixProbe>& prefixes, const LogFileIdentity& file, Match* match);

  HistoryError Begin();
  HistoryError Commit();
  void Rollback();
  // Inserts `battle` of `log` under `logId`, with the corrections of that log.
  int InsertBattle(Writer& writer, std::int64_t logId, const std::string& date, const PreparedLog& log,
                   const PreparedBattle& battle);
  std::unordered_map<int, Correction> CorrectionsOf(std::int64_t logId, int* code);
  // The per-log totals the players' question reads (log_totals), made anew from the log's
  // stored battles: after a battle was recorded or corrected, or an older file was brought
  // to this schema (an import sums them as it writes). SQLITE_DONE or the error code.
  int RollUpLog(std::int64_t logId);
  // Replaces the log's rows of log_totals with `totals`. SQLITE_DONE or the error code.
  int WriteTotals(std::int64_t logId, LogTotals& totals);
  HistoryError RollUpMissingLogs();

  // The players' question without a name filter, from the per-log totals.
  HistoryAnswer<std::vector<PlayerRow>> PlayersFromTotals(const HistoryFilter& filter,
                                                          const std::vector<std::string>& skillNames,
                                                          const std::vector<std::string>& itemNames);

  // Runs a question whose statement was built by the filter; `row` reads each result row.
  template <class Rows, class Read>
  HistoryAnswer<Rows> Ask(const std::string& sql, const HistoryFilter& filter, bool counted, Read row);

  SqliteDatabase db_;
  // Declared after the database: its statements are finalized before the database closes.
  std::unique_ptr<Writer> writer_;
};

// The WHERE clause (over battles as `b`) that lets through what `filter` lets through, and
// binds its parameters from `first` on; `counted` keeps only the counted battles.
std::string FilterClause(const HistoryFilter& filter, bool counted);
void BindFilter(SqliteStatement& statement, const HistoryFilter& filter);

}  // namespace mizuto
