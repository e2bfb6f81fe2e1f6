// The program's link to the season history: when a load imports its log, a tick records the
// battles it ended, a correction in the battle list is kept. A history that cannot be used
// never costs the analysis: the error pane says once what is wrong (and how to fix it), and
// the History page shows the same text.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_store.h"

namespace mizuto {

struct App;

struct HistoryLink {
  // Whether loads and ticks record at all: the window and --follow switch it on; the report
  // never does (scripts expect no side effect), nor --follow --no-history.
  bool Enabled = false;
  // Set by the first use; null while unopened or when it cannot be used.
  std::unique_ptr<HistoryStore> Store;
  bool OpenTried = false;
  // What is wrong with the history (Shift-JIS, for the error pane and the History page);
  // empty while all is well. Said in the error pane once per run.
  std::string ErrorText;
  bool ErrorShown = false;
  // The loaded log's id in the store (0: not recorded), and how each of its battles ended.
  std::int64_t CurrentLogId = 0;
  std::vector<BattleEndFigures> Ends;
  // Battles whose end the store has been told of (active mode records each once). An ended
  // battle not marked here is owed: the history was locked when it was tried.
  std::vector<char> Recorded;
  // The loaded log is owed to the history: its import (or the history's opening) found the
  // file locked by another program. A tick imports it beside itself; the end does too.
  bool ImportOwed = false;
  // The import going on beside (Pending) is such an owed one, begun by a tick.
  bool OwedImportBeside = false;
  // Counted up whenever the store changed (an import, a record, a correction), so a page
  // that saw this number last knows its answers are still good.
  std::uint64_t Revision = 0;
  // A log analysed only to be imported (no window shows it): no battle detail is rendered.
  bool ImportOnly = false;
  // The next load's file hashed as its reader reads it (ImportTap), so that its import
  // reads it no second time: the known logs' lengths to hash it at (Probes) and the hash.
  std::function<void(std::string_view)> ImportTap;
  std::shared_ptr<LogFileHashing> Hashing;
  std::vector<PrefixProbe> Probes;
  // The window's loads import beside it (on a thread of their own): the log is shown while
  // its battles are written. Whatever uses the store next waits for the import and takes its
  // result (SettleHistory); so does the end of the program. Declared after Store, so it
  // ends first.
  bool Background = false;
  // The window's first load opens the history beside the window while it reads the log
  // (Opening). The read is hashed at the known logs' lengths once they are known: the tap
  // takes them as they come (OpenedDuringRead), and a length the read had passed by then is
  // hashed by the import, from the file's start up to HashedBeforeProbes.
  struct EarlyOpen {
    std::unique_ptr<HistoryStore> Store;
    HistoryError Error;  // the store cannot be used
    LogCheck Probes;     // the known logs' lengths (Prefixes), or why they could not be read
  };
  std::future<EarlyOpen> Opening;
  std::optional<EarlyOpen> OpenedDuringRead;
  PrefixProbe HashedBeforeProbes;
  struct Beside {
    std::unique_ptr<HistoryStore> Opened;  // the store the import opened, if it did
    HistoryError OpenError;
    ImportResult Result;
    std::vector<char> Ended;  // the battles that had ended when the log was prepared
  };
  std::future<Beside> Pending;
};

// The history file of a program folder (ends in a separator, or empty).
std::string HistoryFilePath(const std::string& programDir);

// Whether an import of the loaded log is going on beside the window, and whether it is done
// (its result not yet taken).
bool HistoryImportPending(const App& app);
bool HistoryImportDone(const App& app);
// Whether an owed import that a tick began is still going on beside (it may wait for
// another program's lock): a view that follows every tick does not wait for it.
bool OwedImportGoingOn(const App& app);
// Waits for an import going on and takes its result (the log's id, what it recorded, a
// failure for the error pane). Nothing to do when none is going on.
void SettleHistory(App& app);

// Opens the history when it is enabled and not yet open. Null when it cannot be used: the
// error pane was told (once) and app.History.ErrorText says why.
HistoryStore* UsableHistory(App& app);

// Before a load reads its log: has the reader hash it for the import on the way, when the
// history is enabled and usable.
void HashLogAsItLoads(App& app);

// After a load that opened the log: imports what the load analysed (no second analysis).
void ImportLoadedLog(App& app);

// After a tick: records each battle that has ended since the last record. It never waits for
// the history: while an import goes on beside, or another program holds the file's write
// lock, the battles are kept and written by a later tick (an owed import is begun beside).
void RecordEndedBattles(App& app);

// Before the program ends: waits for what goes on beside, then writes whatever is still
// owed (the log's import, the ended battles), waiting for the lock as any write does. What
// cannot be written even so is said in the error pane.
void FinishHistory(App& app);

// After a correction in the battle list outside active mode: keeps the fields `change` sets
// for each selected battle (the fields corrected earlier stay as they were).
void StoreSelectedCorrections(App& app, const BattleCorrection& change);

// Imports the log file at `path` with the settings of `settingsFrom` (its lists, owner
// name, NPC switch), in a load of its own that leaves `settingsFrom` as it was: a log
// known unchanged and analysed under the same settings costs one hash and no analysis;
// under other settings it is analysed again (Reanalysed). For the headless import and the
// page's folder import.
ImportResult ImportLogFile(const App& settingsFrom, HistoryStore& store, const std::string& path);

// Analyses again, with the settings of `settingsFrom`, every log the history holds whose
// file is still where it was imported from (as ImportLogFile: a log analysed under these
// settings already stays Unchanged). A log whose file has gone keeps what the history holds
// and is given to `done` with no result. `progress` as for ImportLogFiles. Fails only when
// the history cannot say which logs it holds.
HistoryError ReanalyseHistory(const App& settingsFrom, HistoryStore& store,
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
void ImportLogFiles(const App& settingsFrom, HistoryStore& store, const std::vector<std::string>& paths,
                    const std::function<bool(std::size_t, std::size_t, const std::string&)>& progress,
                    const std::function<void(const std::string&, const ImportResult&)>& done);

}  // namespace mizuto
