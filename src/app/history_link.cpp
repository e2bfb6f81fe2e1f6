#include "app/history_link.h"

#include <algorithm>
#include <chrono>
#include <cctype>
#include <filesystem>
#include <future>
#include <memory>
#include <system_error>
#include <unordered_map>

#include "app/app.h"
#include "app/load_driver.h"
#include "app/result_views.h"
#include "battle/battle_label.h"
#include "history/log_identity.h"
#include "ingest/chat_log_reader.h"
#include "platform/folder_listing.h"
#include "platform/platform.h"

namespace mizuto {
namespace {

// The error pane hears of each kind of trouble once per run; the page always shows the
// latest.
void ReportHistoryError(App& app, const HistoryError& error) {
  std::string text = HistoryErrorText(error);
  if (text.empty()) return;
  if (!app.History.ErrorShown || text != app.History.ErrorText) {
    app.AppendError(text);
    app.History.ErrorShown = true;
  }
  app.History.ErrorText = std::move(text);
}

// A history locked by another program is no failure: what could not be written is owed and
// written later. Only what lasts is said.
void OweOrReport(App& app, const HistoryError& error) {
  if (error.Failure != HistoryFailure::Locked) {
    ReportHistoryError(app, error);
    return;
  }
  app.History.ImportOwed = true;
  if (!app.History.Store) app.History.OpenTried = false;
}

AnalysedLog AnalysedLogOf(const App& app) {
  return AnalysedLog{app, app.Lists.SkillNames, app.Lists.ItemNames, app.History.Ends};
}

// The whole analysis of `app` as an import writes it, with what shaped it.
PreparedLog PreparedImportOf(const App& app) {
  PreparedLog prepared = PrepareLog(AnalysedLogOf(app), 0, kMaxBattles);
  prepared.Shaping = AnalysisShaping(app.Lists, app.UserName, app.NpcCheck);
  return prepared;
}

// The battle list shows what the history holds: the corrections kept for the loaded log go
// over its analysis (in active mode the count marks are the mode's own).
void ApplyStoredCorrections(App& app) {
  HistoryLink& link = app.History;
  if (!link.Store || link.CurrentLogId == 0) return;
  const auto kept = link.Store->Corrections(link.CurrentLogId);
  if (!kept.Ok()) {
    ReportHistoryError(app, kept.Error);
    return;
  }
  if (kept.Value.empty()) return;
  std::unordered_map<std::int32_t, BattleCorrection> byLine;
  for (const StoredCorrection& c : kept.Value) byLine[c.FirstLine] = c.Change;
  BattleListView& list = app.BattleList;
  const int focus = list.FocusRow;
  bool changed = false;
  for (int b = 0; b < app.BattleCount(); ++b) {
    BattleRecord& record = app.Battles[static_cast<std::size_t>(b)];
    const auto found = byLine.find(record.FirstLine);
    if (found == byLine.end()) continue;
    BattleCorrection change = found->second;
    if (app.Acts.ActiveMode.Checked) change.CountMark.reset();
    ApplyCorrection(record, change);
    changed = true;
    if (!list.HasRow(b)) continue;
    const bool selected = list.IsSelected(b);
    list.Replace(b, BattleLabel(app, b));
    if (selected) list.Select(b);
  }
  list.FocusRow = focus;
  if (changed) RefreshTallies(app);
}

// Readies the next load of `app` to hash its file of `size` bytes on the way, at the
// lengths `probes` names.
void TapTheRead(App& app, std::vector<PrefixProbe> probes, std::int64_t size) {
  HistoryLink& link = app.History;
  link.Probes = std::move(probes);
  // The hashing keeps pointers into the probes: they stay where they are until it is done.
  link.Hashing = std::make_shared<LogFileHashing>(size, -1, &link.Probes, kRereadBytes);
  link.ImportTap = [hashing = link.Hashing.get()](std::string_view bytes) { hashing->Add(bytes); };
}

// The history opened beside the read, now that it has: the read is hashed at the known
// logs' lengths from here on (those it has passed are left to the import).
void TakeOpening(HistoryLink& link) {
  HistoryLink::EarlyOpen opened = link.Opening.get();
  if (link.Hashing) {
    if (!opened.Error && !opened.Probes.StoreError) {
      link.HashedBeforeProbes = link.Hashing->SoFar();
      link.Probes = std::move(opened.Probes.Prefixes);
      link.Hashing->AddProbes(&link.Probes);
    } else {
      // Without the lengths the import reads the file again, should it get that far.
      link.Hashing.reset();
    }
  }
  link.OpenedDuringRead = std::move(opened);
}

// Whether what goes on beside the window is done (its result not yet taken).
template <class Result>
bool Ready(const std::future<Result>& beside) {
  return beside.valid() && beside.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// As TapTheRead, while the history is still being opened beside the read: the lengths are
// taken as soon as they are known.
void TapTheReadWhileOpening(App& app, std::int64_t size) {
  HistoryLink& link = app.History;
  link.Probes.clear();
  link.Hashing = std::make_shared<LogFileHashing>(size, -1, nullptr, kRereadBytes);
  link.ImportTap = [&link](std::string_view bytes) {
    if (Ready(link.Opening)) TakeOpening(link);
    if (link.Hashing) link.Hashing->Add(bytes);
  };
}

// What tells which known log a load's bytes are, taken from the load (and its hashing) so
// that the store may be asked later, on another thread.
struct AnalysedBytes {
  std::string Path;
  std::int64_t ResumeOffset = 0;  // where the analysis stopped reading
  std::int64_t OriginLength = 0;  // the file's length as the load found it
  bool Hashed = false;            // Read and Prefixes come from the load's own read
  LogFileRead Read;
  std::vector<PrefixProbe> Prefixes;
  // The read's start, hashed before the known lengths were: one of them that it holds is
  // hashed from the file by the import.
  PrefixProbe HashedBefore;
};

AnalysedBytes TakeAnalysedBytes(App& app) {
  HistoryLink& link = app.History;
  AnalysedBytes bytes;
  bytes.Path = app.CurrentLogPath;
  bytes.ResumeOffset = app.ResumeOffset;
  bytes.OriginLength = app.Origin.Length;
  if (Ready(link.Opening)) TakeOpening(link);
  if (link.Hashing) {
    bytes.Hashed = true;
    bytes.Read = link.Hashing->Finish(app.CurrentLogPath);
    // Still opening: the lengths come with the store, and the whole read is behind them.
    bytes.HashedBefore = link.Opening.valid() ? link.Hashing->SoFar() : link.HashedBeforeProbes;
    bytes.Prefixes = std::move(link.Probes);
    link.Hashing.reset();
    link.Probes.clear();
  }
  link.HashedBeforeProbes = PrefixProbe{};
  return bytes;
}

// Which known log the bytes the load analysed are: from the hash made as the reader read
// them (`check` when there was none, which may have hashed the file before the load).
LogCheck CheckOfAnalysedBytes(HistoryStore& store, AnalysedBytes bytes, LogCheck check) {
  if (bytes.Hashed) check = store.MatchHashed(std::move(bytes.Read), std::move(bytes.Prefixes));
  // The log is known by the bytes the analysis read (not the page's last lines, which the
  // game rewrites, nor what was added since the hash). Where the reader stopped as usual,
  // 18 bytes before the end of the file as hashed, that hash is had already.
  const PrefixProbe& usual = check.Read.FromEnd;
  if (check.Read.Ok() && usual.Reached && bytes.ResumeOffset == usual.Size &&
      bytes.OriginLength == check.Read.File.FileSize) {
    check.Read.File.Size = usual.Size;
    check.Read.File.Hash = usual.Hash;
    std::erase_if(check.Prefixes, [&](const PrefixProbe& p) { return p.Size > usual.Size; });
    check.SameBytes = false;
    return check;
  }
  return store.CheckLogFile(bytes.Path, bytes.ResumeOffset);
}

// The import of a loaded log, from what was taken of the load: it touches nothing but the
// store, so it may run beside the window.
ImportResult ImportAnalysedBytes(HistoryStore& store, AnalysedBytes bytes, const PreparedLog& log) {
  // Gone or changed since the read: the next load tries again, and nobody is told.
  ImportResult gone;
  gone.Outcome = ImportOutcome::Unchanged;
  if (bytes.Hashed && !HashFileStart(bytes.Path, bytes.HashedBefore, bytes.Prefixes)) return gone;
  const LogCheck check = CheckOfAnalysedBytes(store, std::move(bytes), LogCheck{});
  if (!check.Read.Ok()) return gone;
  return store.ImportLog(check, log);
}

// What an import of the loaded log leaves the window with.
void TakeImport(App& app, const ImportResult& result, const std::vector<char>& endedThen) {
  HistoryLink& link = app.History;
  if (result.Outcome == ImportOutcome::Error) {
    OweOrReport(app, result.Error);
    return;
  }
  link.CurrentLogId = result.LogId;
  // The battles that had ended when the log was prepared are in; a tick records the rest.
  for (std::size_t b = 0; b < link.Recorded.size() && b < endedThen.size(); ++b) link.Recorded[b] = endedThen[b];
  if (result.Outcome != ImportOutcome::Unchanged) ++link.Revision;
  ApplyStoredCorrections(app);
}

// The battles that have ended by now, by index (what an import of the log as it stands
// takes in, so that a tick records only the later ones).
std::vector<char> EndedBattles(const HistoryLink& link, std::size_t count) {
  std::vector<char> ended(count, 0);
  for (std::size_t b = 0; b < count && b < link.Ends.size(); ++b) ended[b] = link.Ends[b].Ended ? 1 : 0;
  return ended;
}

// The owed import of the loaded log, begun beside the caller: the log as the analysis has
// it now (read again and hashed there, as the load's hash went with the failed import),
// into the store, opened there when it is not yet. Its result is taken as a load's is.
void ImportOwedLogBeside(App& app) {
  HistoryLink& link = app.History;
  link.ImportOwed = false;
  if (app.CurrentLogPath.empty()) return;
  const auto count = static_cast<std::size_t>(app.BattleCount());
  link.Recorded.resize(count, 0);
  AnalysedBytes bytes;
  bytes.Path = app.CurrentLogPath;
  bytes.ResumeOffset = app.ResumeOffset;
  bytes.OriginLength = app.Origin.Length;
  link.OwedImportBeside = true;
  link.Pending = std::async(std::launch::async, [store = link.Store.get(), file = HistoryFilePath(app.ProgramDir),
                                                 bytes = std::move(bytes), ended = EndedBattles(link, count),
                                                 prepared = PrepareLog(AnalysedLogOf(app), 0, kMaxBattles)]() mutable {
    HistoryLink::Beside done;
    done.Ended = std::move(ended);
    if (store == nullptr) {
      HistoryOpen open = OpenHistoryStore(file);
      if (!open.Store) {
        done.OpenError = open.Error;
        return done;
      }
      done.Opened = std::move(open.Store);
      store = done.Opened.get();
    }
    done.Result = ImportAnalysedBytes(*store, std::move(bytes), prepared);
    return done;
  });
}

// Records the ended battles the store has not been told of. Without waiting (a tick), a
// file locked by another program keeps them owed for the next try; waiting (the end), any
// failure is said.
void WriteOwedBattles(App& app, bool wait) {
  HistoryLink& link = app.History;
  if (link.CurrentLogId == 0 || !link.Store) return;
  link.Recorded.resize(static_cast<std::size_t>(app.BattleCount()), 0);
  link.Store->WaitForLocks(wait);
  for (std::size_t b = 0; b < link.Recorded.size() && b < link.Ends.size(); ++b) {
    if (link.Recorded[b] || !link.Ends[b].Ended) continue;
    const HistoryError error = link.Store->RecordBattle(link.CurrentLogId, AnalysedLogOf(app), static_cast<int>(b));
    if (error) {
      if (wait || error.Failure != HistoryFailure::Locked) ReportHistoryError(app, error);
      break;  // tried again at the next tick
    }
    link.Recorded[b] = 1;
    ++link.Revision;
  }
  link.Store->WaitForLocks(true);
}

}  // namespace

std::string HistoryFilePath(const std::string& programDir) { return programDir + kHistoryFileName; }

bool HistoryImportPending(const App& app) {
  const HistoryLink& link = app.History;
  return link.Pending.valid() || link.Opening.valid() || link.OpenedDuringRead.has_value();
}

bool HistoryImportDone(const App& app) {
  const HistoryLink& link = app.History;
  if (link.Pending.valid()) return Ready(link.Pending);
  if (link.Opening.valid()) return Ready(link.Opening);
  return link.OpenedDuringRead.has_value();
}

bool OwedImportGoingOn(const App& app) {
  const HistoryLink& link = app.History;
  return link.OwedImportBeside && link.Pending.valid() && !Ready(link.Pending);
}

void SettleHistory(App& app) {
  HistoryLink& link = app.History;
  link.OwedImportBeside = false;
  if (link.Pending.valid()) {
    HistoryLink::Beside done = link.Pending.get();
    if (done.Opened) link.Store = std::move(done.Opened);
    if (done.OpenError) {
      OweOrReport(app, done.OpenError);
    } else {
      TakeImport(app, done.Result, done.Ended);
    }
  }
  // Opened beside a load that imported nothing (its read failed), or not yet taken.
  if (link.Opening.valid()) TakeOpening(link);
  if (link.OpenedDuringRead) {
    HistoryLink::EarlyOpen opened = std::move(*link.OpenedDuringRead);
    link.OpenedDuringRead.reset();
    if (opened.Error) {
      OweOrReport(app, opened.Error);
    } else {
      link.Store = std::move(opened.Store);
    }
  }
}

HistoryStore* UsableHistory(App& app) {
  HistoryLink& link = app.History;
  // One thread at a time uses the store: an import going on is waited for.
  SettleHistory(app);
  if (!link.Enabled) return nullptr;
  if (link.Store) return link.Store.get();
  if (link.OpenTried) return nullptr;
  link.OpenTried = true;
  HistoryOpen open = OpenHistoryStore(HistoryFilePath(app.ProgramDir));
  if (!open.Store) {
    ReportHistoryError(app, open.Error);
    // Locked while it was brought up to date: opened again when next wanted.
    if (open.Error.Failure == HistoryFailure::Locked) link.OpenTried = false;
    return nullptr;
  }
  link.Store = std::move(open.Store);
  return link.Store.get();
}

void HashLogAsItLoads(App& app) {
  HistoryLink& link = app.History;
  link.Hashing.reset();
  link.ImportTap = {};
  link.HashedBeforeProbes = PrefixProbe{};
  SettleHistory(app);
  std::error_code sizeError;
  const std::uintmax_t size = std::filesystem::file_size(platform::NativePath(app.CurrentLogPath), sizeError);
  if (link.Background && !link.Store && !link.OpenTried) {
    // The window's first load: the history is opened (or made) beside the read, which
    // hashes the log meanwhile and takes the known lengths when they come.
    link.OpenTried = true;
    const std::int64_t known = sizeError ? -1 : static_cast<std::int64_t>(size);
    link.Opening = std::async(std::launch::async, [file = HistoryFilePath(app.ProgramDir), log = app.CurrentLogPath, known] {
      HistoryLink::EarlyOpen opened;
      HistoryOpen open = OpenHistoryStore(file);
      if (!open.Store) {
        opened.Error = open.Error;
        return opened;
      }
      opened.Probes = open.Store->ProbesFor(log, known);
      opened.Store = std::move(open.Store);
      return opened;
    });
    if (!sizeError) TapTheReadWhileOpening(app, known);
    return;
  }
  HistoryStore* store = UsableHistory(app);
  if (store == nullptr) return;
  if (sizeError) return;  // the load says what is wrong; the import hashes what it finds
  LogCheck probes = store->ProbesFor(app.CurrentLogPath, static_cast<std::int64_t>(size));
  if (!probes.StoreError) TapTheRead(app, std::move(probes.Prefixes), static_cast<std::int64_t>(size));
}

void ImportLoadedLog(App& app) {
  HistoryLink& link = app.History;
  if (link.Pending.valid()) SettleHistory(app);
  link.CurrentLogId = 0;
  link.ImportOwed = false;
  link.Recorded.assign(static_cast<std::size_t>(app.BattleCount()), 0);
  if (!link.Enabled) return;
  // Exactly the bytes the analysis read: a line still being written is not part of it.
  AnalysedBytes bytes = TakeAnalysedBytes(app);
  // The store: open already, opened while the log was read, or still being opened.
  HistoryStore* store = nullptr;
  std::unique_ptr<HistoryStore> opened;
  std::future<HistoryLink::EarlyOpen> opening;
  if (link.OpenedDuringRead) {
    HistoryLink::EarlyOpen early = std::move(*link.OpenedDuringRead);
    link.OpenedDuringRead.reset();
    if (early.Error) {
      OweOrReport(app, early.Error);
      return;
    }
    opened = std::move(early.Store);
  } else if (link.Opening.valid()) {
    opening = std::move(link.Opening);
  } else {
    store = UsableHistory(app);
    if (store == nullptr) {
      // Locked while it was opened: the log is owed.
      link.ImportOwed = link.Enabled && !link.OpenTried;
      return;
    }
  }
  std::vector<char> ended = EndedBattles(link, link.Recorded.size());
  PreparedLog prepared = PreparedImportOf(app);
  if (!link.Background) {
    TakeImport(app, ImportAnalysedBytes(*store, std::move(bytes), prepared), ended);
    return;
  }
  // Beside the window: it has the load's copy of everything it writes, and whatever uses
  // the store next waits for it (SettleHistory).
  link.Pending = std::async(std::launch::async, [store, opened = std::move(opened), opening = std::move(opening),
                                                 bytes = std::move(bytes), prepared = std::move(prepared),
                                                 ended = std::move(ended)]() mutable {
    HistoryLink::Beside done;
    done.Ended = std::move(ended);
    if (opening.valid()) {
      HistoryLink::EarlyOpen early = opening.get();
      if (early.Error) {
        done.OpenError = early.Error;
        return done;
      }
      opened = std::move(early.Store);
      // The whole read was hashed before the lengths were known (or they could not be read,
      // and the file is read again).
      if (early.Probes.StoreError) {
        bytes.Hashed = false;
      } else {
        bytes.Prefixes = std::move(early.Probes.Prefixes);
      }
    }
    if (opened) {
      done.Opened = std::move(opened);
      store = done.Opened.get();
    }
    done.Result = ImportAnalysedBytes(*store, std::move(bytes), prepared);
    // The copy into the file proper is made here too, not when the program ends.
    if (done.Result.Outcome != ImportOutcome::Unchanged && done.Result.Outcome != ImportOutcome::Error) {
      store->Checkpoint();
    }
    return done;
  });
}

void RecordEndedBattles(App& app) {
  HistoryLink& link = app.History;
  // What goes on beside is taken once it is done, never waited for.
  if (HistoryImportPending(app) && !HistoryImportDone(app)) return;
  SettleHistory(app);
  if (!link.Enabled) return;
  if (link.ImportOwed) {
    ImportOwedLogBeside(app);
    return;
  }
  WriteOwedBattles(app, false);
}

void FinishHistory(App& app) {
  HistoryLink& link = app.History;
  SettleHistory(app);
  if (!link.Enabled) return;
  if (link.ImportOwed) {
    ImportOwedLogBeside(app);
    SettleHistory(app);
    if (link.ImportOwed) {
      ReportHistoryError(app, HistoryError{HistoryFailure::Locked, HistoryFilePath(app.ProgramDir), {}});
      return;
    }
  }
  WriteOwedBattles(app, true);
}

void StoreSelectedCorrections(App& app, const BattleCorrection& change) {
  HistoryLink& link = app.History;
  SettleHistory(app);
  // Active mode moves the count marks itself; only the player's own corrections are kept.
  if (!link.Enabled || link.CurrentLogId == 0 || !link.Store || app.Acts.ActiveMode.Checked) return;
  for (int b = 0; b < app.BattleCount() && b < app.BattleList.Count(); ++b) {
    if (!app.BattleList.IsSelected(b)) continue;
    const BattleRecord& record = app.Battles[static_cast<std::size_t>(b)];
    const HistoryError error = link.Store->StoreCorrection(link.CurrentLogId, record.FirstLine, change);
    if (error) {
      ReportHistoryError(app, error);
      return;
    }
  }
  ++link.Revision;
}

namespace {

// Whether `path` is the history file of `programDir` or one of the files its engine keeps
// beside it, under whatever name (a link, another spelling of the folder).
bool IsHistoryFile(const std::string& programDir, const std::string& path) {
  namespace fs = std::filesystem;
  const std::string history = HistoryFilePath(programDir);
  for (const std::string& own : {history, history + "-wal", history + "-shm", history + "-journal"}) {
    std::error_code ec;
    if (fs::equivalent(platform::NativePath(path), platform::NativePath(own), ec)) return true;
  }
  return false;
}

}  // namespace

ImportResult ImportLogFile(const App& settingsFrom, HistoryStore& store, const std::string& path) {
  auto failed = [&](std::string detail) {
    ImportResult result;
    result.Error.Path = path;
    result.Error.Detail = std::move(detail);
    return result;
  };
  // Read as a log, the database would be analysed (and hashed) while it is written.
  if (IsHistoryFile(settingsFrom.ProgramDir, path)) return failed("the season history itself, not a log");
  // A file that may be known to the byte is hashed first, as its analysis may be spared;
  // any other is hashed on the way as the analysis reads it, not read twice.
  std::error_code sizeError;
  const std::uintmax_t size = std::filesystem::file_size(platform::NativePath(path), sizeError);
  LogCheck probes;
  if (!sizeError) probes = store.ProbesFor(path, static_cast<std::int64_t>(size));
  LogCheck check;
  const bool tapped = !sizeError && !probes.StoreError && !probes.MayBeKnown;
  const std::string shaping = AnalysisShaping(settingsFrom.Lists, settingsFrom.UserName, settingsFrom.NpcCheck);
  if (!tapped) {
    check = store.CheckLogFile(path, -1);
    if (!check.Read.Ok()) return failed(check.Read.Error);
    if (check.SameBytes && check.KnownShaping == shaping) {
      // Known to the byte and analysed as these settings would: nothing to analyse.
      static const std::vector<std::string> none;
      static const std::vector<BattleEndFigures> noEnds;
      Analysis empty;
      return store.ImportLog(check, AnalysedLog{empty, none, none, noEnds});
    }
  }
  App scratch;
  scratch.ProgramDir = settingsFrom.ProgramDir;
  scratch.UserName = settingsFrom.UserName;
  scratch.LogDir = settingsFrom.LogDir;
  scratch.NpcCheck = settingsFrom.NpcCheck;
  // Prepared once for a whole folder: the copy carries the matchers along, built already.
  settingsFrom.Lists.PrepareMatchers();
  scratch.Lists = settingsFrom.Lists;
  scratch.SkillChecked = settingsFrom.SkillChecked;
  scratch.ItemChecked = settingsFrom.ItemChecked;
  scratch.CurrentLogPath = path;
  scratch.History.ImportOnly = true;
  if (tapped) TapTheRead(scratch, std::move(probes.Prefixes), static_cast<std::int64_t>(size));
  if (!LoadAndAnalyse(scratch)) return failed(LogNotOpenedReason(scratch.LastRead.Error));
  check = CheckOfAnalysedBytes(store, TakeAnalysedBytes(scratch), std::move(check));
  return store.ImportLog(check, PreparedImportOf(scratch));
}

std::vector<std::string> LogFilesOf(const std::vector<std::string>& paths, std::vector<UnreadPath>* unread) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    std::error_code ec;
    if (!std::filesystem::is_directory(platform::NativePath(path), ec)) {
      files.push_back(path);
      continue;
    }
    std::vector<platform::FolderEntry> entries;
    std::string reason;
    // A folder listed in part still gives its logs; the rest is said, never taken for all.
    if (!platform::ListFolder(path, &entries, &reason)) unread->push_back(UnreadPath{path, reason});
    std::vector<std::string> found;
    for (const platform::FolderEntry& entry : entries) {
      // Anything by a log's name but a folder is tried, so that one that cannot be read
      // (a dangling link, a pipe) is named by its import rather than passed over.
      if (IsHtmlLogName(entry.Name) && !entry.Folder) found.push_back(entry.Path);
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
  }
  return files;
}

void ImportLogFiles(const App& settingsFrom, HistoryStore& store, const std::vector<std::string>& paths,
                    const std::function<bool(std::size_t, std::size_t, const std::string&)>& progress,
                    const std::function<void(const std::string&, const ImportResult&)>& done) {
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (progress && !progress(i, paths.size(), paths[i])) return;
    const ImportResult result = ImportLogFile(settingsFrom, store, paths[i]);
    if (done) done(paths[i], result);
  }
  if (progress) progress(paths.size(), paths.size(), std::string());
}

HistoryError ReanalyseHistory(const App& settingsFrom, HistoryStore& store,
                              const std::function<bool(std::size_t, std::size_t, const std::string&)>& progress,
                              const std::function<void(const std::string&, const ImportResult*)>& done) {
  namespace fs = std::filesystem;
  const auto logs = store.Logs(HistoryFilter{});
  if (!logs.Ok()) return logs.Error;
  const std::size_t total = logs.Value.size();
  for (std::size_t i = 0; i < total; ++i) {
    const LogRow& log = logs.Value[i];
    const std::string path = platform::PathString(fs::path(platform::NativePath(log.Folder)) / platform::NativePath(log.FileName));
    if (progress && !progress(i, total, path)) return {};
    std::error_code ec;
    // A log is not looked for elsewhere: the player knows where it went, and what the
    // history holds of it stays.
    if (!fs::is_regular_file(platform::NativePath(path), ec)) {
      if (done) done(path, nullptr);
      continue;
    }
    const ImportResult result = ImportLogFile(settingsFrom, store, path);
    if (done) done(path, &result);
  }
  if (progress) progress(total, total, std::string());
  return {};
}

}  // namespace mizuto
