#include "app/owner/history_recorder.h"

#include <algorithm>
#include <chrono>
#include <cctype>
#include <filesystem>
#include <future>
#include <memory>
#include <system_error>
#include <unordered_map>

#include "app/owner/app.h"
#include "app/owner/load_driver.h"
#include "app/owner/result_views.h"
#include "battle/battle_label.h"
#include "history/log_identity.h"
#include "ingest/chat_log_reader.h"
#include "platform/folder_listing.h"
#include "platform/platform.h"
#include "text/codec.h"

namespace mizuto {

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

namespace {

AnalysedLog AnalysedLogOf(const App& app) {
  return AnalysedLog{app, app.Lists.SkillNames, app.Lists.ItemNames, app.History.Ends()};
}

// The whole analysis of `app` as an import writes it, with what shaped it.
PreparedLog PreparedImportOf(const App& app) {
  PreparedLog prepared = PrepareLog(AnalysedLogOf(app), 0, kMaxBattles);
  prepared.Shaping = AnalysisShaping(app.Lists, app.UserName, app.NpcCheck);
  return prepared;
}

// Whether what goes on beside the window is done (its result not yet taken).
template <class Result>
bool Ready(const std::future<Result>& beside) {
  return beside.valid() && beside.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// What the analysis read of the loaded log, as far as the file goes.
AnalysedBytes BytesOfLoad(const App& app) {
  AnalysedBytes bytes;
  bytes.Path = app.CurrentLogPath;
  bytes.ResumeOffset = app.ResumeOffset;
  bytes.OriginLength = app.Origin.Length;
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

}  // namespace

// The error pane hears of each kind of trouble once per run; the page always shows the
// latest.
void HistoryRecorder::ReportError(App& app, const HistoryError& error) {
  std::string text = HistoryErrorText(error);
  if (text.empty()) return;
  if (!errorShown_ || text != errorText_) {
    app.AppendError(text);
    errorShown_ = true;
  }
  errorText_ = std::move(text);
}

// A history locked by another program is no failure: what could not be written is owed and
// written later. Only what lasts is said.
void HistoryRecorder::OweOrReport(App& app, const HistoryError& error) {
  if (error.Failure != HistoryFailure::Locked) {
    ReportError(app, error);
    return;
  }
  importOwed_ = true;
  if (!store_) openTried_ = false;
}

// The battle list shows what the history holds: the corrections kept for the loaded log go
// over its analysis (in active mode the count marks are the mode's own).
void HistoryRecorder::ApplyStoredCorrections(App& app) {
  if (!store_ || currentLogId_ == 0) return;
  const auto kept = store_->Corrections(currentLogId_);
  if (!kept.Ok()) {
    ReportError(app, kept.Error);
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

// Readies the next load to hash its file of `size` bytes on the way, at the lengths
// `probes` names.
void HistoryRecorder::TapTheRead(std::vector<PrefixProbe> probes, std::int64_t size) {
  probes_ = std::move(probes);
  // The hashing keeps pointers into the probes: they stay where they are until it is done.
  hashing_ = std::make_shared<LogFileHashing>(size, -1, &probes_, kRereadBytes);
  importTap_ = [hashing = hashing_.get()](std::string_view bytes) { hashing->Add(bytes); };
}

// The history opened beside the read, now that it has: the read is hashed at the known
// logs' lengths from here on (those it has passed are left to the import).
void HistoryRecorder::TakeOpening() {
  EarlyOpen opened = opening_.get();
  if (hashing_) {
    if (!opened.Error && !opened.Probes.StoreError) {
      hashedBeforeProbes_ = hashing_->SoFar();
      probes_ = std::move(opened.Probes.Prefixes);
      hashing_->AddProbes(&probes_);
    } else {
      // Without the lengths the import reads the file again, should it get that far.
      hashing_.reset();
    }
  }
  openedDuringRead_ = std::move(opened);
}

// As TapTheRead, while the history is still being opened beside the read: the lengths are
// taken as soon as they are known.
void HistoryRecorder::TapTheReadWhileOpening(std::int64_t size) {
  probes_.clear();
  hashing_ = std::make_shared<LogFileHashing>(size, -1, nullptr, kRereadBytes);
  importTap_ = [this](std::string_view bytes) {
    if (Ready(opening_)) TakeOpening();
    if (hashing_) hashing_->Add(bytes);
  };
}

AnalysedBytes HistoryRecorder::TakeAnalysedBytes(const App& app) {
  AnalysedBytes bytes = BytesOfLoad(app);
  if (Ready(opening_)) TakeOpening();
  if (hashing_) {
    bytes.Hashed = true;
    bytes.Read = hashing_->Finish(app.CurrentLogPath);
    // Still opening: the lengths come with the store, and the whole read is behind them.
    bytes.HashedBefore = opening_.valid() ? hashing_->SoFar() : hashedBeforeProbes_;
    bytes.Prefixes = std::move(probes_);
    hashing_.reset();
    probes_.clear();
  }
  hashedBeforeProbes_ = PrefixProbe{};
  return bytes;
}

// What an import of the loaded log leaves the window with.
void HistoryRecorder::TakeImport(App& app, const ImportResult& result, const std::vector<char>& endedThen) {
  if (result.Outcome == ImportOutcome::Error) {
    OweOrReport(app, result.Error);
    return;
  }
  currentLogId_ = result.LogId;
  // The battles that had ended when the log was prepared are in; a tick records the rest.
  for (std::size_t b = 0; b < recorded_.size() && b < endedThen.size(); ++b) recorded_[b] = endedThen[b];
  if (result.Outcome != ImportOutcome::Unchanged) ++revision_;
  ApplyStoredCorrections(app);
}

// The battles that have ended by now, by index (what an import of the log as it stands
// takes in, so that a tick records only the later ones).
std::vector<char> HistoryRecorder::EndedBattles(std::size_t count) const {
  std::vector<char> ended(count, 0);
  for (std::size_t b = 0; b < count && b < ends_.size(); ++b) ended[b] = ends_[b].Ended ? 1 : 0;
  return ended;
}

// The owed import of the loaded log, begun beside the caller: the log as the analysis has
// it now (read again and hashed there, as the load's hash went with the failed import),
// into the store, opened there when it is not yet. Its result is taken as a load's is.
void HistoryRecorder::ImportOwedLogBeside(App& app) {
  importOwed_ = false;
  if (app.CurrentLogPath.empty()) return;
  const auto count = static_cast<std::size_t>(app.BattleCount());
  recorded_.resize(count, 0);
  owedImportBeside_ = true;
  pending_ = std::async(std::launch::async, [store = store_.get(), file = HistoryFilePath(app.ProgramDir),
                                             stop = &stopping_, bytes = BytesOfLoad(app), ended = EndedBattles(count),
                                             prepared = PrepareLog(AnalysedLogOf(app), 0, kMaxBattles)]() mutable {
    Beside done;
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
    store->StopWhen(stop);
    done.Result = ImportAnalysedBytes(*store, std::move(bytes), prepared);
    store->StopWhen(nullptr);
    store->StopWhen(nullptr);
    return done;
  });
}

// Records the ended battles the store has not been told of. Without waiting (a tick), a
// file locked by another program keeps them owed for the next try; waiting (the end), any
// failure is said.
void HistoryRecorder::WriteOwedBattles(App& app, bool wait) {
  if (currentLogId_ == 0 || !store_) return;
  recorded_.resize(static_cast<std::size_t>(app.BattleCount()), 0);
  store_->WaitForLocks(wait);
  for (std::size_t b = 0; b < recorded_.size() && b < ends_.size(); ++b) {
    if (recorded_[b] || !ends_[b].Ended) continue;
    const HistoryError error = store_->RecordBattle(currentLogId_, AnalysedLogOf(app), static_cast<int>(b));
    if (error) {
      if (wait || error.Failure != HistoryFailure::Locked) ReportError(app, error);
      break;  // tried again at the next tick
    }
    recorded_[b] = 1;
    ++revision_;
  }
  store_->WaitForLocks(true);
}

std::string HistoryFilePath(const std::string& programDir) { return programDir + kHistoryFileName; }

bool HistoryRecorder::ImportPending() const {
  return pending_.valid() || opening_.valid() || openedDuringRead_.has_value();
}

bool HistoryRecorder::ImportDone() const {
  if (pending_.valid()) return Ready(pending_);
  if (opening_.valid()) return Ready(opening_);
  return openedDuringRead_.has_value();
}

bool HistoryRecorder::OwedImportGoingOn() const {
  return owedImportBeside_ && pending_.valid() && !Ready(pending_);
}

void HistoryRecorder::Settle(App& app) {
  owedImportBeside_ = false;
  if (pending_.valid()) {
    Beside done = pending_.get();
    if (done.Opened) store_ = std::move(done.Opened);
    if (done.OpenError) {
      OweOrReport(app, done.OpenError);
    } else {
      TakeImport(app, done.Result, done.Ended);
    }
  }
  // Opened beside a load that imported nothing (its read failed), or not yet taken.
  if (opening_.valid()) TakeOpening();
  if (openedDuringRead_) {
    EarlyOpen opened = std::move(*openedDuringRead_);
    openedDuringRead_.reset();
    if (opened.Error) {
      OweOrReport(app, opened.Error);
    } else {
      store_ = std::move(opened.Store);
    }
  }
}

HistoryStore* HistoryRecorder::Store(App& app) {
  // One thread at a time uses the store: an import going on is waited for.
  Settle(app);
  if (!enabled_) return nullptr;
  if (store_) return store_.get();
  if (openTried_) return nullptr;
  openTried_ = true;
  HistoryOpen open = OpenHistoryStore(HistoryFilePath(app.ProgramDir));
  if (!open.Store) {
    ReportError(app, open.Error);
    // Locked while it was brought up to date: opened again when next wanted.
    if (open.Error.Failure == HistoryFailure::Locked) openTried_ = false;
    return nullptr;
  }
  store_ = std::move(open.Store);
  return store_.get();
}

void HistoryRecorder::Close() {
  if (pending_.valid()) pending_.wait();
  store_.reset();
  openTried_ = false;
}

void HistoryRecorder::BeginLoad(App& app) {
  // An import's own load was tapped before it began (ImportLogFile).
  if (!enabled_ || importOnly_) return;
  hashing_.reset();
  importTap_ = {};
  hashedBeforeProbes_ = PrefixProbe{};
  Settle(app);
  std::error_code sizeError;
  const std::uintmax_t size = std::filesystem::file_size(platform::NativePath(app.CurrentLogPath), sizeError);
  if (background_ && !store_ && !openTried_) {
    // The window's first load: the history is opened (or made) beside the read, which
    // hashes the log meanwhile and takes the known lengths when they come.
    openTried_ = true;
    const std::int64_t known = sizeError ? -1 : static_cast<std::int64_t>(size);
    opening_ = std::async(std::launch::async, [file = HistoryFilePath(app.ProgramDir), log = app.CurrentLogPath, known] {
      EarlyOpen opened;
      HistoryOpen open = OpenHistoryStore(file);
      if (!open.Store) {
        opened.Error = open.Error;
        return opened;
      }
      opened.Probes = open.Store->ProbesFor(log, known);
      opened.Store = std::move(open.Store);
      return opened;
    });
    if (!sizeError) TapTheReadWhileOpening(known);
    return;
  }
  HistoryStore* store = Store(app);
  if (store == nullptr) return;
  if (sizeError) return;  // the load says what is wrong; the import hashes what it finds
  LogCheck probes = store->ProbesFor(app.CurrentLogPath, static_cast<std::int64_t>(size));
  if (!probes.StoreError) TapTheRead(std::move(probes.Prefixes), static_cast<std::int64_t>(size));
}

void HistoryRecorder::Forgot(std::int64_t logId) {
  if (logId != 0 && logId == currentLogId_) {
    currentLogId_ = 0;
    importOwed_ = false;
  }
  ++revision_;
}

void HistoryRecorder::EndRead(bool read) {
  importTap_ = {};
  if (!read) hashing_.reset();
}

void HistoryRecorder::NoteBattleEnded(int battle, std::int32_t ownDown, std::int32_t enemyDown) {
  const auto b = static_cast<std::size_t>(battle);
  if (ends_.size() <= b) ends_.resize(b + 1);
  ends_[b] = {true, ownDown, enemyDown};
}

bool HistoryRecorder::StoreForLoad(App& app, HistoryStore** store, std::unique_ptr<HistoryStore>* opened,
                                   std::future<EarlyOpen>* opening) {
  if (openedDuringRead_) {
    EarlyOpen early = std::move(*openedDuringRead_);
    openedDuringRead_.reset();
    if (early.Error) {
      OweOrReport(app, early.Error);
      return false;
    }
    *opened = std::move(early.Store);
    return true;
  }
  if (opening_.valid()) {
    *opening = std::move(opening_);
    return true;
  }
  *store = Store(app);
  // Locked while it was opened: the log is owed.
  if (*store == nullptr) importOwed_ = enabled_ && !openTried_;
  return *store != nullptr;
}

bool IsDemoLog(const std::string& path) {
  const std::filesystem::path native = platform::NativePath(path);
  return native.filename() == "demo.html" && native.parent_path().filename() == "demo";
}

bool HistoryRecorder::JoinsTheSeason(App& app) {
  if (IsDemoLog(app.CurrentLogPath)) return false;
  // Its battles would all fall on the day the file was last written: a copy's or a test
  // log's day.
  const std::string name = platform::PathString(platform::NativePath(app.CurrentLogPath).filename());
  if (!keepUndatedOut_ || !DateFromFileName(name).empty()) return true;
  if (undatedSaid_ != app.CurrentLogPath) {
    undatedSaid_ = app.CurrentLogPath;
    app.AppendError(SJ("履歴に加えていません: ") + Utf8ToSjis(name) +
                    SJ(" (ファイル名に日付がなく、戦闘の日がわかりません。名前に日付 YYYYMMDD を入れると加わります)"));
  }
  return false;
}

void HistoryRecorder::FinishLoad(App& app) {
  if (pending_.valid()) Settle(app);
  currentLogId_ = 0;
  importOwed_ = false;
  recorded_.assign(static_cast<std::size_t>(app.BattleCount()), 0);
  if (!enabled_) return;
  // Exactly the bytes the analysis read: a line still being written is not part of it.
  AnalysedBytes bytes = TakeAnalysedBytes(app);
  if (!JoinsTheSeason(app)) return;
  HistoryStore* store = nullptr;
  std::unique_ptr<HistoryStore> opened;
  std::future<EarlyOpen> opening;
  if (!StoreForLoad(app, &store, &opened, &opening)) return;
  std::vector<char> ended = EndedBattles(recorded_.size());
  PreparedLog prepared = PreparedImportOf(app);
  if (!background_) {
    TakeImport(app, ImportAnalysedBytes(*store, std::move(bytes), prepared), ended);
    return;
  }
  // Beside the window: it has the load's copy of everything it writes, and whatever uses
  // the store next waits for it (Settle).
  pending_ = std::async(std::launch::async, [store, opened = std::move(opened), opening = std::move(opening),
                                             stop = &stopping_, bytes = std::move(bytes), prepared = std::move(prepared),
                                             ended = std::move(ended)]() mutable {
    Beside done;
    done.Ended = std::move(ended);
    if (opening.valid()) {
      EarlyOpen early = opening.get();
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
    store->StopWhen(stop);
    done.Result = ImportAnalysedBytes(*store, std::move(bytes), prepared);
    // The copy into the file proper is made here too, not when the program ends.
    if (done.Result.Outcome != ImportOutcome::Unchanged && done.Result.Outcome != ImportOutcome::Error) {
      store->Checkpoint();
    }
    return done;
  });
}

void HistoryRecorder::RecordEndedBattles(App& app) {
  // What goes on beside is taken once it is done, never waited for.
  if (ImportPending() && !ImportDone()) return;
  Settle(app);
  if (!enabled_) return;
  if (importOwed_) {
    ImportOwedLogBeside(app);
    return;
  }
  WriteOwedBattles(app, false);
}

void HistoryRecorder::Finish(App& app) {
  Settle(app);
  if (!enabled_) return;
  if (importOwed_) {
    ImportOwedLogBeside(app);
    Settle(app);
    if (importOwed_) {
      ReportError(app, HistoryError{HistoryFailure::Locked, HistoryFilePath(app.ProgramDir), {}});
      return;
    }
  }
  WriteOwedBattles(app, true);
}

void HistoryRecorder::FinishWithin(App& app, std::chrono::milliseconds patience) {
  if (pending_.valid() && pending_.wait_for(patience) != std::future_status::ready) stopping_ = true;
  Settle(app);
  stopping_ = false;
  Finish(app);
}

void HistoryRecorder::StoreSelectedCorrections(App& app, const BattleCorrection& change) {
  Settle(app);
  // Active mode moves the count marks itself; only the player's own corrections are kept.
  if (!enabled_ || currentLogId_ == 0 || !store_ || app.Acts.ActiveMode.Checked) return;
  for (int b = 0; b < app.BattleCount() && b < app.BattleList.Count(); ++b) {
    if (!app.BattleList.IsSelected(b)) continue;
    const BattleRecord& record = app.Battles[static_cast<std::size_t>(b)];
    const HistoryError error = store_->StoreCorrection(currentLogId_, record.FirstLine, change);
    if (error) {
      ReportError(app, error);
      return;
    }
  }
  ++revision_;
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

ImportResult ImportLogFile(const AnalysisSettings& settings, HistoryStore& store, const std::string& path) {
  auto failed = [&](std::string detail) {
    ImportResult result;
    result.Error.Path = path;
    result.Error.Detail = std::move(detail);
    return result;
  };
  // Read as a log, the database would be analysed (and hashed) while it is written.
  if (IsHistoryFile(settings.ProgramDir, path)) return failed("the season history itself, not a log");
  if (IsDemoLog(path)) return failed("the demo log shipped with the program, not a player's");
  // A file that may be known to the byte is hashed first, as its analysis may be spared;
  // any other is hashed on the way as the analysis reads it, not read twice.
  std::error_code sizeError;
  const std::uintmax_t size = std::filesystem::file_size(platform::NativePath(path), sizeError);
  LogCheck probes;
  if (!sizeError) probes = store.ProbesFor(path, static_cast<std::int64_t>(size));
  LogCheck check;
  const bool tapped = !sizeError && !probes.StoreError && !probes.MayBeKnown;
  const std::string shaping = AnalysisShaping(settings.Lists, settings.UserName, settings.NpcCheck);
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
  // Prepared once for a whole folder: the copy carries the matchers along, built already.
  settings.Lists.PrepareMatchers();
  App scratch;
  static_cast<AnalysisSettings&>(scratch) = settings;
  scratch.History.importOnly_ = true;
  if (tapped) scratch.History.TapTheRead(std::move(probes.Prefixes), static_cast<std::int64_t>(size));
  if (!LoadAndAnalyse(scratch, path)) return failed(LogNotOpenedReason(scratch.LastRead.Error));
  check = CheckOfAnalysedBytes(store, scratch.History.TakeAnalysedBytes(scratch), std::move(check));
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

void ImportLogFiles(const AnalysisSettings& settings, HistoryStore& store, const std::vector<std::string>& paths,
                    const std::function<bool(std::size_t, std::size_t, const std::string&)>& progress,
                    const std::function<void(const std::string&, const ImportResult&)>& done) {
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (progress && !progress(i, paths.size(), paths[i])) return;
    const ImportResult result = ImportLogFile(settings, store, paths[i]);
    if (done) done(paths[i], result);
  }
  if (progress) progress(paths.size(), paths.size(), std::string());
}

HistoryError ReanalyseHistory(const AnalysisSettings& settings, HistoryStore& store,
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
    const ImportResult result = ImportLogFile(settings, store, path);
    if (done) done(path, &result);
  }
  if (progress) progress(total, total, std::string());
  return {};
}

}  // namespace mizuto
