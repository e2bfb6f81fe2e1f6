// The season history: every analysed log's battles, kept in one SQLite file
// (MizutoHistory.db beside Mizuto.ini), and the questions the History page and
// `mizuto --history` ask across logs.
//
// What is kept is what the analysis derived, never chat text: per log its file name, folder,
// size, a hash of its bytes as imported, last write and date; per battle its figures, class,
// result and label; per battle and player the side, every tally figure and each skill and
// item use by its list entry's name, and who took the player out.
//
// A log is known by its bytes: a file that begins with all the bytes of a log imported before
// is that log (grown, moved, renamed or copied), and importing it replaces that log's battles
// in one transaction; a file whose bytes are the start of a known longer log is part of it.
// Each log keeps what shaped its analysis (AnalysisShaping): the same bytes under another
// shaping are analysed again and replace the log's battles. The player's corrections (ship
// size, battle type, NPC flag, count mark; only the fields changed) are kept apart, matched
// by where the battle starts in its log, and survive every re-import.
//
// Every call reports failure as a HistoryError and never throws; a store that failed once
// stays usable for the calls that still can work (a read after a failed write, say).
#pragma once

#include <atomic>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "battle/analysis.h"
#include "history/history_rows.h"
#include "history/log_identity.h"
#include "history/prepared_log.h"

namespace mizuto {

// The history's file in the program folder.
inline constexpr const char* kHistoryFileName = "MizutoHistory.db";

enum class HistoryFailure {
  None,
  NotAvailable,  // this build has no history (the Windows cross build)
  CannotOpen,    // the file or its folder cannot be opened or created
  CannotWrite,   // read-only file or folder, full disk
  Locked,        // another program holds the write lock (longer than the store waits)
  Corrupt,       // not a history file, or damaged
  NewerVersion,  // written by a newer Mizuto; left untouched
  Refused,       // the file refused a record as inconsistent (a fault of ours, not of the disk)
};

struct HistoryError {
  HistoryFailure Failure = HistoryFailure::None;
  std::string Path;    // the database file (UTF-8)
  std::string Detail;  // the database engine's own words (UTF-8), may be empty
  explicit operator bool() const { return Failure != HistoryFailure::None; }
};

// What the player reads about a failure (Shift-JIS, Japanese): what is wrong, the file's
// path, and what to do about it. Empty for no failure.
std::string HistoryErrorText(const HistoryError& error);

// How a battle ended, as the analysis driver saw it when the result was read: the sink
// counter's figures then. A battle without an entry (or with Ended false) is in progress.
struct BattleEndFigures {
  bool Ended = false;
  std::int32_t OwnDown = 0;
  std::int32_t EnemyDown = 0;
};

// One log's analysis as the history takes it.
struct AnalysedLog {
  const Analysis& Tables;
  // The lists the name table's skill and item uses are counted against (their indices).
  const std::vector<std::string>& SkillNames;
  const std::vector<std::string>& ItemNames;
  // Per battle index; a battle in progress takes the analysis state's counters.
  const std::vector<BattleEndFigures>& Ends;
};

// Which known log a file is, from one pass over its bytes.
struct LogCheck {
  LogFileRead Read;              // the file's identity, or why it could not be read
  std::int64_t KnownLogId = 0;   // the longest known log the file begins with; 0: a new log
  std::vector<std::int64_t> AlsoPrefixes;  // shorter known logs it begins with too
  bool SameBytes = false;        // exactly the bytes of KnownLogId
  bool SamePlace = false;        // ... and at the path it was imported from
  std::string KnownShaping;      // what shaped KnownLogId's analysis (empty: not known)
  // The hash of the file's first Size bytes for each length a known log had (the import
  // matches them again inside its transaction).
  std::vector<PrefixProbe> Prefixes;
  HistoryError StoreError;       // the store could not be read
  bool MayBeKnown = false;       // ProbesFor: a known log may have exactly this file's bytes
};

// What an import did to the history. Moved: the same bytes as a known log, whose place and
// date now follow this file. Merged: nothing but shorter logs taken into the file's log.
// Reanalysed: the same bytes, analysed again under another shaping.
enum class ImportOutcome { Imported, Unchanged, Grown, Moved, Merged, Reanalysed, Error };

struct ImportResult {
  ImportOutcome Outcome = ImportOutcome::Error;
  std::int64_t LogId = 0;  // the log's id in the store (0 on error)
  int Battles = 0;         // the battles the store holds for it now
  HistoryError Error;      // set with ImportOutcome::Error (a file error has Detail only)
  // The file the log is kept at when it is not this one (UTF-8): a copy of the same bytes
  // (Unchanged), the longer log this file is the start of (ShorterCopy), or the place the
  // log was at before (Moved).
  std::string OtherFile;
  bool ShorterCopy = false;
  int TookIn = 0;  // shorter logs taken into the log (their battles were counted apart)
};

// A log taken out of the history (ForgetLog): which, and how many battles went with it.
struct ForgottenLog {
  std::int64_t LogId = 0;  // 0: the history holds no such log (nothing was changed)
  std::string FileName;    // UTF-8
  int Battles = 0;
};

// A question's answer: the rows, or what went wrong.
template <class Rows>
struct HistoryAnswer {
  Rows Value{};
  HistoryError Error;
  bool Ok() const { return !Error; }
};

// What the counted battles of a filter sum to: the summary, the opponents and the days, as
// HistoryStore's questions of those names answer them.
struct HistoryCounts {
  HistorySummary Summary;
  std::vector<OpponentRow> Opponents;
  std::vector<DayRow> Days;
};

class HistoryStore {
 public:
  virtual ~HistoryStore() = default;

  // The database file (UTF-8).
  virtual const std::string& Path() const = 0;

  // --- recording ---

  // Reads the file at `path` (its first `limit` bytes; all when limit < 0) and tells which
  // known log it is. Costs one streaming pass over the bytes and one read of the store.
  virtual LogCheck CheckLogFile(const std::string& path, std::int64_t limit) = 0;

  // CheckLogFile in two halves, for a caller that reads the whole file anyway and hashes it
  // on the way (LogFileHashing): the probes to hash (Prefixes), and whether the file at
  // `path`, of `fileSize` bytes, may be a known log to the byte (MayBeKnown: then
  // CheckLogFile first, as its analysis may be spared). Only a known file of that size at
  // that place may be: a moved copy is analysed again, and its import still finds it known.
  virtual LogCheck ProbesFor(const std::string& path, std::int64_t fileSize) {
    (void)path;
    (void)fileSize;
    LogCheck check;
    check.MayBeKnown = true;
    return check;
  }
  // Which known log the hashed file is, from the probes ProbesFor gave (hashed).
  virtual LogCheck MatchHashed(LogFileRead read, std::vector<PrefixProbe> prefixes) {
    (void)prefixes;
    return CheckLogFile(read.File.Path, -1);
  }

  // Imports `log`, the analysis of exactly the bytes `check` hashed: a new log is added; a
  // known one (and any shorter known log the file also begins with) has its battles
  // replaced, in one transaction. The same bytes at the same place write nothing
  // (Unchanged); the same bytes elsewhere move the log only when its place no longer holds
  // them or this file is the original (written earlier; then the lesser path), so that any
  // order of importing copies ends at the same place. A file that is the start of a known
  // longer log, whose file still holds it, is part of that log and writes nothing. The same
  // bytes analysed under another shaping (log.Shaping, when set) replace its battles
  // (Reanalysed). Which log is which is asked again under the write lock, so two programs
  // importing one log at once leave one log.
  virtual ImportResult ImportLog(const LogCheck& check, const PreparedLog& log) = 0;
  // From now on, while `*stop` holds (it may be set from another thread), each statement
  // fails at once and the write it is part of is rolled back whole: a long import need not
  // hold the end of the program. Null: nothing stops the store.
  virtual void StopWhen(const std::atomic<bool>* stop) { (void)stop; }
  ImportResult ImportLog(const LogCheck& check, const AnalysedLog& log) {
    return ImportLog(check, PrepareLog(log, 0, kMaxBattles));
  }

  // Records the battles of `log` (a part of the followed log `logId`, as it stands now)
  // over any earlier record of them (a battle recorded in progress and then ended).
  virtual HistoryError RecordBattles(std::int64_t logId, const PreparedLog& log) = 0;
  // Battle `battle` (0-based) of `log`.
  HistoryError RecordBattle(std::int64_t logId, const AnalysedLog& log, int battle) {
    if (battle < 0) return {};
    return RecordBattles(logId, PrepareLog(log, battle, battle + 1));
  }

  // Keeps the player's correction of the battle of log `logId` that starts at line
  // `firstLine`: the fields `change` sets, over those of an earlier correction of that
  // battle. It is applied to the battle's record at once and at every later import.
  virtual HistoryError StoreCorrection(std::int64_t logId, std::int32_t firstLine, const BattleCorrection& change) = 0;
  // The corrections kept for log `logId`, by the battles' first lines.
  virtual HistoryAnswer<std::vector<StoredCorrection>> Corrections(std::int64_t logId) = 0;

  // Takes a log out of the history: its battles, their players and uses, its corrections
  // and its totals, in one transaction; the season's answers no longer count it. By the
  // place it was imported from (`path`, as ImportLog keeps it), or by its id.
  virtual HistoryAnswer<ForgottenLog> ForgetLog(const std::string& path) {
    HistoryAnswer<ForgottenLog> answer;
    answer.Error = HistoryError{HistoryFailure::NotAvailable, path, {}};
    return answer;
  }
  virtual HistoryAnswer<ForgottenLog> ForgetLogById(std::int64_t logId) {
    (void)logId;
    HistoryAnswer<ForgottenLog> answer;
    answer.Error = HistoryError{HistoryFailure::NotAvailable, Path(), {}};
    return answer;
  }

  // Whether a write waits for another program's write lock (up to ten seconds, as a store
  // opens) or fails at once with Locked, so that a caller who must not wait keeps what it
  // could not write and tries again later.
  virtual void WaitForLocks(bool wait) { (void)wait; }

  // Copies what was written into the file proper, so that closing the store later has
  // nothing left to copy (it would wait for the disk twice then). Done after an import
  // beside the window; a failure leaves it for the close, which does it anyway.
  virtual void Checkpoint() {}

  // --- questions ---

  // The last 30 days that have battles (From: the 30th date from the end, To: the last).
  virtual HistoryAnswer<HistoryRange> DefaultRange() = 0;
  virtual HistoryAnswer<HistorySummary> Summary(const HistoryFilter& filter) = 0;
  // By battles, most first, then by name.
  virtual HistoryAnswer<std::vector<OpponentRow>> Opponents(const HistoryFilter& filter) = 0;
  // By name (bytes); Skill/ItemUses parallel to the given names.
  virtual HistoryAnswer<std::vector<PlayerRow>> Players(const HistoryFilter& filter,
                                                        const std::vector<std::string>& skillNames,
                                                        const std::vector<std::string>& itemNames) = 0;
  virtual HistoryAnswer<std::vector<BattleRow>> Battles(const HistoryFilter& filter) = 0;
  // The ids of the battles Battles answers, in its order, without their rows: a view that
  // shows a few of a season's battles at a time reads those with BattlesById.
  virtual HistoryAnswer<std::vector<std::int64_t>> BattleIds(const HistoryFilter& filter) = 0;
  // The rows of the battles `ids` names, in that order, as Battles answers them; a battle no
  // longer stored is left out.
  virtual HistoryAnswer<std::vector<BattleRow>> BattlesById(const std::vector<std::int64_t>& ids) = 0;
  // Logs with battles the filter lets through, by date then file name; with the default
  // filter every log, also those without battles.
  virtual HistoryAnswer<std::vector<LogRow>> Logs(const HistoryFilter& filter) = 0;
  // Days with counted battles, ascending.
  virtual HistoryAnswer<std::vector<DayRow>> Days(const HistoryFilter& filter) = 0;
  // Summary, Opponents and Days at once (a view that shows the three): a store may read the
  // filter's battles once for them instead of three times.
  virtual HistoryAnswer<HistoryCounts> Counts(const HistoryFilter& filter) {
    HistoryAnswer<HistoryCounts> answer;
    auto summary = Summary(filter);
    auto opponents = Opponents(filter);
    auto days = Days(filter);
    answer.Error = summary.Error ? summary.Error : opponents.Error ? opponents.Error : days.Error;
    answer.Value = HistoryCounts{summary.Value, std::move(opponents.Value), std::move(days.Value)};
    return answer;
  }
};

struct HistoryOpen {
  std::unique_ptr<HistoryStore> Store;  // null on failure
  HistoryError Error;
};

// Opens (creating when missing) the history file at `path`, brings an older schema up to
// date, and refuses a newer one without touching the file.
HistoryOpen OpenHistoryStore(const std::string& path);

// Whether this build keeps a history at all.
bool HistoryBuilt();

// The status bar's summary line for a range of the history (Shift-JIS).
std::string HistorySummaryText(const HistorySummary& summary);

}  // namespace mizuto
