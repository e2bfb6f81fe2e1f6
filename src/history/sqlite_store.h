// The history store on SQLite. Internal to src/history: the rest of the program knows only
// HistoryStore.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "history/history_store.h"
#include "history/packed_figures.h"
#include "history/sqlite_database.h"

namespace mizuto {

// The names read so far, by id. The store only ever adds names, each under an id past
// every earlier one, so what was read stays true and only names past Through are new.
struct KnownNames {
  std::unordered_map<std::int64_t, std::string> ById;
  std::int64_t Through = 0;  // every name up to this id was read
};

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
  void StopWhen(const std::atomic<bool>* stop) override;
  HistoryError RecordBattles(std::int64_t logId, const PreparedLog& log) override;
  HistoryError StoreCorrection(std::int64_t logId, std::int32_t firstLine, const BattleCorrection& change) override;
  HistoryAnswer<std::vector<StoredCorrection>> Corrections(std::int64_t logId) override;
  HistoryAnswer<ForgottenLog> ForgetLog(const std::string& path) override;
  HistoryAnswer<ForgottenLog> ForgetLogById(std::int64_t logId) override;
  void WaitForLocks(bool wait) override { db_.WaitForLocks(wait); }
  void Checkpoint() override;

  HistoryAnswer<HistoryRange> DefaultRange() override;
  HistoryAnswer<HistorySummary> Summary(const HistoryFilter& filter) override;
  HistoryAnswer<std::vector<OpponentRow>> Opponents(const HistoryFilter& filter) override;
  HistoryAnswer<std::vector<PlayerRow>> Players(const HistoryFilter& filter,
                                                const std::vector<std::string>& skillNames,
                                                const std::vector<std::string>& itemNames) override;
  HistoryAnswer<std::vector<BattleRow>> Battles(const HistoryFilter& filter) override;
  HistoryAnswer<std::vector<std::int64_t>> BattleIds(const HistoryFilter& filter) override;
  HistoryAnswer<std::vector<BattleRow>> BattlesById(const std::vector<std::int64_t>& ids) override;
  HistoryAnswer<std::vector<LogRow>> Logs(const HistoryFilter& filter) override;
  HistoryAnswer<std::vector<DayRow>> Days(const HistoryFilter& filter) override;
  HistoryAnswer<HistoryCounts> Counts(const HistoryFilter& filter) override;

 private:
  // Everything a write transaction needs: its statements prepared once per store (an
  // import of a hundred logs would otherwise compile them a hundred times), its lookups
  // started afresh by each transaction.
  struct Writer;
  // The writer, ready for a new transaction; null when its statements cannot be prepared
  // (`code` set).
  Writer* FreshWriter(int* code);
  // What a file is to the store: the known logs it begins with (the longest, and the
  // shorter ones), or the known longer log it is the start of.
  struct Match {
    std::int64_t Known = 0;
    std::int64_t KnownSize = -1;
    bool SameBytes = false;
    bool SamePlace = false;
    std::string Shaping;  // the longest's
    std::vector<std::int64_t> Shorter;
    // Same bytes elsewhere: where the known log is kept, and whether it stays there.
    std::string KnownFile;
    bool KeepPlace = false;
    // A longer log whose file still holds it and begins with this file's bytes.
    std::int64_t Longer = 0;
    std::int64_t LongerSize = -1;
    std::string LongerFile;
  };
  // SQLITE_DONE, or the error code of the read. The file's own length is matched too.
  int MatchKnown(const std::vector<PrefixProbe>& prefixes, const LogFileIdentity& file, Match* match);
  // MatchKnown under the write lock, with the lengths of logs another program has stored
  // since the check (hashed from the file when it still begins as it did), the longer log
  // the file is the start of, and whether a copy's log stays where it is.
  int MatchUnderLock(const LogCheck& check, Match* match);
  int FindLongerLog(const LogFileIdentity& file, Match* match);
  int DecidePlace(const LogFileIdentity& file, Match* match);
  // The start's hash of the logs stored before it was kept, where it can be had: without
  // it, an import would open the files of all such longer logs to tell whether the file
  // is one's start.
  HistoryError FillMissingHeads();
  // Takes the logs `shorter` into log `into`: their corrections of battles it has none for
  // move over, and their rows go. SQLITE_DONE or the error code.
  int TakeIn(std::int64_t into, const std::vector<std::int64_t>& shorter);

  // ForgetLog's work: the log whose row `where` finds (its places bound by `bind`), found
  // again under the write lock.
  HistoryAnswer<ForgottenLog> ForgetWhere(const char* where, const std::function<void(SqliteStatement&)>& bind);

  HistoryError Begin();
  HistoryError Commit();
  void Rollback();
  // Inserts `battle` of `log` under `logId`, with the corrections of that log, and its
  // players (InsertPlayers, `r` the battle as corrected). SQLITE_OK/DONE or the error code.
  int InsertBattle(Writer& writer, std::int64_t logId, const std::string& date, const PreparedLog& log,
                   const PreparedBattle& battle);
  int InsertPlayers(Writer& writer, std::int64_t battleId, const BattleRecord& r, const PreparedLog& log,
                    const PreparedBattle& battle);

  // The steps of ImportLog. What the check alone answers (a failure, an empty log, a log
  // known to the byte where it is), with no lock taken; nothing when there is work to do.
  std::optional<ImportResult> NothingToWrite(const LogCheck& check, const PreparedLog& log);
  // A file whose battles the store holds already (the same bytes, or the start of a longer
  // log): only shorter copies taken in (`takenIn`) or the log's new place are written.
  ImportResult KeepKnownLog(const Match& match, std::int64_t into, bool takenIn, const LogFileIdentity& file);
  // The log's place and date follow the file. SQLITE_DONE or the error code.
  int MoveLog(std::int64_t logId, const LogFileIdentity& file);
  // The log's row, new or (known != 0) replacing a known log's, whose battles go; `logId`
  // set to the log's id. SQLITE_DONE or the error code.
  int WriteLogRow(std::int64_t known, const LogFileIdentity& file, const PreparedLog& log, std::int64_t* logId);
  // Every battle of `log` under `logId`, and the log's totals. SQLITE_OK/DONE or the code.
  int WriteBattles(std::int64_t logId, const std::string& date, const PreparedLog& log);
  // The import failed with `code`: the transaction is rolled back.
  ImportResult FailedImport(int code);
  int BattleCount(std::int64_t logId);
  // The log's corrections by the first line of their battles.
  std::unordered_map<std::int32_t, BattleCorrection> CorrectionsOf(std::int64_t logId, int* code);
  // The corrections of an older file, kept by battle number, moved onto the battles of the
  // log's new analysis `log` before its old battles go: each old battle is found again by
  // how it began and ended, and only the fields that differ from the new analysis are kept.
  // SQLITE_DONE or the error code.
  int KeyNumberedCorrections(std::int64_t logId, const PreparedLog& log);
  // Makes the shorter known log `shorter` part of `known`: its corrections move over, and
  // it goes. SQLITE_DONE or the error code.
  int TakeInShorterLog(std::int64_t known, std::int64_t shorter);
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

  // The parts of Counts that `parts` names (kCount... bits), in one read of the battles.
  enum : unsigned { kCountSummary = 1, kCountOpponents = 2, kCountDays = 4 };
  HistoryAnswer<HistoryCounts> CountBattles(const HistoryFilter& filter, unsigned parts);
  // CountBattles without a name filter, from the per-log totals.
  HistoryAnswer<HistoryCounts> CountFromTotals(const HistoryFilter& filter, unsigned parts);

  // Runs a question whose statement was built by the filter; `row` reads each result row.
  template <class Rows, class Read>
  HistoryAnswer<Rows> Ask(const std::string& sql, const HistoryFilter& filter, bool counted, Read row);

  SqliteDatabase db_;
  KnownNames names_;
  // Declared after the database: its statements are finalized before the database closes.
  std::unique_ptr<Writer> writer_;
};

// The folder and the file name of a log, the folder made absolute, so the same file
// named from two working folders is one place.
struct FilePlace {
  std::string Folder;
  std::string FileName;
  std::string Path() const;  // the two joined again
};
FilePlace PlaceOf(const std::string& path);
std::string_view HashBytesView(const LogHash& hash);

// The WHERE clause (over battles as `b`) that lets through what `filter` lets through, and
// binds its parameters from `first` on; `counted` keeps only the counted battles.
std::string FilterClause(const HistoryFilter& filter, bool counted);
void BindFilter(SqliteStatement& statement, const HistoryFilter& filter);

}  // namespace mizuto
