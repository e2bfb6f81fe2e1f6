// The program's recorder of the season history: when a load imports its log, a tick records
// the battles it ended, a correction in the battle list is kept. A history that cannot be
// used never costs the analysis: the error pane says once what is wrong (and how to fix it),
// and the History page shows the same text.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/parts/analysis_settings.h"
#include "history/history_store.h"

namespace mizuto {

struct App;

// The history file of a program folder (ends in a separator, or empty).
std::string HistoryFilePath(const std::string& programDir);

// What a load read of its log, as an import tells the log by (the recorder's own).
struct AnalysedBytes;

// Whether `path` is the demo log shipped with the program ("demo.html" in its "demo"
// folder): it is nobody's season, and never joins the history.
bool IsDemoLog(const std::string& path);

class HistoryRecorder {
 public:
  // --- how it records ---
  // Whether loads and ticks record at all: the window and --follow switch it on; the report
  // never does (scripts expect no side effect), nor --follow --no-history.
  void Enable(bool on) { enabled_ = on; }
  bool Enabled() const { return enabled_; }
  // The window's loads (and --follow's) import beside the program, on a thread of their
  // own: the log is shown while its battles are written. Whatever uses the store next waits
  // for the import and takes its result (Settle); so does the end of the program.
  void RunBeside(bool on) { background_ = on; }
  // Whether a loaded log whose file name carries no date stays out of the season (the
  // window: an old test log or copy would put all its battles under the day it was last
  // written). A followed log is being written now, so --follow records it under today.
  void KeepUndatedOut(bool on) { keepUndatedOut_ = on; }

  // --- a load ---
  // Before a load reads its log: has the reader hash it for the import on the way, when the
  // history is enabled and usable.
  void BeginLoad(App& app);
  // What the load's reader gives every byte it reads (empty: nothing to hash).
  const std::function<void(std::string_view)>& ReadTap() const { return importTap_; }
  // The load's read is over: the tap was for it alone (a tick's read goes on from the
  // middle); a read that failed has nothing to import.
  void EndRead(bool read);
  // After a load that opened the log: imports what the load analysed (no second analysis).
  void FinishLoad(App& app);
  // A load analysed only to be imported: no window shows it, so no battle detail is rendered.
  bool ImportOnly() const { return importOnly_; }

  // How each battle of the loaded log ended, as the analysis closed it.
  void NoteBattleEnded(int battle, std::int32_t ownDown, std::int32_t enemyDown);
  void ForgetEnds() { ends_.clear(); }
  const std::vector<BattleEndFigures>& Ends() const { return ends_; }

  // --- what goes on beside ---
  // Whether an import of the loaded log is going on beside the window, and whether it is
  // done (its result not yet taken).
  bool ImportPending() const;
  bool ImportDone() const;
  // Whether an owed import that a tick began is still going on beside (it may wait for
  // another program's lock): a view that follows every tick does not wait for it.
  bool OwedImportGoingOn() const;
  // Waits for an import going on and takes its result (the log's id, what it recorded, a
  // failure for the error pane). Nothing to do when none is going on.
  void Settle(App& app);

  // --- the store ---
  // Opens the history when it is enabled and not yet open. Null when it cannot be used: the
  // error pane was told (once) and ErrorText() says why.
  HistoryStore* Store(App& app);
  // Closes the store; the next use opens it again.
  void Close();
  // What is wrong with the history (Shift-JIS, for the error pane and the History page);
  // empty while all is well.
  const std::string& ErrorText() const { return errorText_; }
  // Counted up whenever the store changed (an import, a record, a correction), so a page
  // that saw this number last knows its answers are still good.
  std::uint64_t Revision() const { return revision_; }
  void NoteChanged() { ++revision_; }
  // Log `logId` was taken out of the history: when it is the loaded log, the loaded log is
  // recorded no more (until it is loaded again).
  void Forgot(std::int64_t logId);
  // The loaded log's id in the store (0: not recorded).
  std::int64_t CurrentLogId() const { return currentLogId_; }
  // The loaded log is owed to the history: its import (or the history's opening) found the
  // file locked by another program. A tick imports it beside itself; the end does too.
  bool ImportOwed() const { return importOwed_; }

  // --- a tick, a correction, the end ---
  // After a tick: records each battle that has ended since the last record. It never waits
  // for the history: while an import goes on beside, or another program holds the file's
  // write lock, the battles are kept and written by a later tick (an owed import is begun
  // beside).
  void RecordEndedBattles(App& app);
  // After a correction in the battle list outside active mode: keeps the fields `change`
  // sets for each selected battle (the fields corrected earlier stay as they were).
  void StoreSelectedCorrections(App& app, const BattleCorrection& change);
  // Before the program ends: waits for what goes on beside, then writes whatever is still
  // owed (the log's import, the ended battles), waiting for the lock as any write does. What
  // cannot be written even so is said in the error pane.
  void Finish(App& app);
  // The window's end, which a player waits for: an import going on beside that is not done
  // within `patience` is stopped and rolled back whole (the log joins the history at its
  // next load, as one never imported); then as Finish.
  void FinishWithin(App& app, std::chrono::milliseconds patience);

 private:
  friend ImportResult ImportLogFile(const AnalysisSettings& settings, HistoryStore& store, const std::string& path);

  // The history opened beside the window's first load while it reads the log: the read is
  // hashed at the known logs' lengths once they are known.
  struct EarlyOpen {
    std::unique_ptr<HistoryStore> Store;
    HistoryError Error;  // the store cannot be used
    LogCheck Probes;     // the known logs' lengths (Prefixes), or why they could not be read
  };
  // An import going on beside, and what it leaves.
  struct Beside {
    std::unique_ptr<HistoryStore> Opened;  // the store the import opened, if it did
    HistoryError OpenError;
    ImportResult Result;
    std::vector<char> Ended;  // the battles that had ended when the log was prepared
  };
  void ReportError(App& app, const HistoryError& error);
  void OweOrReport(App& app, const HistoryError& error);
  void ApplyStoredCorrections(App& app);
  void TapTheRead(std::vector<PrefixProbe> probes, std::int64_t size);
  void TapTheReadWhileOpening(std::int64_t size);
  void TakeOpening();
  AnalysedBytes TakeAnalysedBytes(const App& app);
  void TakeImport(App& app, const ImportResult& result, const std::vector<char>& endedThen);
  std::vector<char> EndedBattles(std::size_t count) const;
  void ImportOwedLogBeside(App& app);
  void WriteOwedBattles(App& app, bool wait);
  // The store to import the loaded log into: open already, opened during the read, or still
  // being opened (`opening`); false when there is none (the error said or the log owed).
  // Whether the loaded log joins the season: not the demo, nor (KeepUndatedOut) a log whose
  // file name carries no date; the error pane says so once for such a log.
  bool JoinsTheSeason(App& app);
  bool StoreForLoad(App& app, HistoryStore** store, std::unique_ptr<HistoryStore>* opened,
                    std::future<EarlyOpen>* opening);

  // Set to stop an import going on beside; declared before every store that looks at it.
  std::atomic<bool> stopping_{false};
  bool enabled_ = false;
  bool background_ = false;
  bool importOnly_ = false;
  bool keepUndatedOut_ = false;
  // Set by the first use; null while unopened or when it cannot be used.
  std::unique_ptr<HistoryStore> store_;
  bool openTried_ = false;
  std::string errorText_;
  bool errorShown_ = false;  // said in the error pane once per run
  std::string undatedSaid_;  // the log without a date the error pane was last told of
  std::int64_t currentLogId_ = 0;
  std::vector<BattleEndFigures> ends_;
  // Battles whose end the store has been told of (active mode records each once). An ended
  // battle not marked here is owed: the history was locked when it was tried.
  std::vector<char> recorded_;
  bool importOwed_ = false;
  // The import going on beside (pending_) is such an owed one, begun by a tick.
  bool owedImportBeside_ = false;
  std::uint64_t revision_ = 0;
  // The next load's file hashed as its reader reads it (importTap_), so that its import
  // reads it no second time: the known logs' lengths to hash it at (probes_) and the hash.
  std::function<void(std::string_view)> importTap_;
  std::shared_ptr<LogFileHashing> hashing_;
  std::vector<PrefixProbe> probes_;
  // The window's first load opens the history beside the window while it reads the log
  // (opening_). The read is hashed at the known logs' lengths once they are known: the tap
  // takes them as they come (openedDuringRead_), and a length the read had passed by then
  // is hashed by the import, from the file's start up to hashedBeforeProbes_.
  std::future<EarlyOpen> opening_;
  std::optional<EarlyOpen> openedDuringRead_;
  PrefixProbe hashedBeforeProbes_;
  // Declared after the store, so it ends first.
  std::future<Beside> pending_;
};

// Imports the log file at `path` with `settings` (the lists, owner name, NPC switch), in a
// load of its own: a log
// known unchanged and analysed under the same settings costs one hash and no analysis;
// under other settings it is analysed again (Reanalysed). For the headless import and the
// page's folder import.
ImportResult ImportLogFile(const AnalysisSettings& settings, HistoryStore& store, const std::string& path);

// Analyses again, with `settings`, every log the history holds whose
// file is still where it was imported from (as ImportLogFile: a log analysed under these
// settings already stays Unchanged). A log whose file has gone keeps what the history holds
// and is given to `done` with no result. `progress` as for ImportLogFiles. Fails only when
// the history cannot say which logs it holds.
HistoryError ReanalyseHistory(const AnalysisSettings& settings, HistoryStore& store,
                              const std::function<bool(std::size_t, std::size_t, const std::string&)>& progress,
                              const std::function<void(const std::string&, const ImportResult*)>& done);

// A folder that could not be listed, or not to its end, and the system's words why.
struct UnreadPath {
  std::string Path;
  std::string Reason;
};

// The logs a list of files and folders names: a file as it is, a folder's "*.html" entries
// that are not folders (sorted by name). A path that is no folder is kept, so its import
// reports the error; a folder whose listing failed is added to `unread` (with what it listed).
std::vector<std::string> LogFilesOf(const std::vector<std::string>& paths, std::vector<UnreadPath>* unread);

// Imports every path in turn; `progress(done, total, path)` is called before each and
// may cancel by returning false (the logs already imported stay, the next is not begun).
// Each result is given to `done` as it comes.
void ImportLogFiles(const AnalysisSettings& settings, HistoryStore& store, const std::vector<std::string>& paths,
                    const std::function<bool(std::size_t, std::size_t, const std::string&)>& progress,
                    const std::function<void(const std::string&, const ImportResult&)>& done);

}  // namespace mizuto
