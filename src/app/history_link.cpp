#include "app/history_link.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/app.h"
#include "app/load_driver.h"
#include "history/log_identity.h"
#include "ingest/chat_log_reader.h"
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

AnalysedLog AnalysedLogOf(const App& app) {
  return AnalysedLog{app, app.Lists.SkillNames, app.Lists.ItemNames, app.History.Ends};
}

// Readies the next load of `app` to hash its file of `size` bytes on the way, at the
// lengths `probes` names.
void TapTheRead(App& app, LogCheck probes, std::int64_t size) {
  HistoryLink& link = app.History;
  link.Probes = std::move(probes);
  // The hashing keeps pointers into the probes: they stay where they are until it is done.
  link.Hashing = std::make_shared<LogFileHashing>(size, -1, &link.Probes.Prefixes, kRereadBytes);
  link.ImportTap = [hashing = link.Hashing.get()](std::string_view bytes) { hashing->Add(bytes); };
}

// Which known log the bytes the load analysed are: from the hash made as the reader read
// them (`check` when there was none, which may have hashed the file before the load).
LogCheck CheckOfAnalysedBytes(App& app, HistoryStore& store, LogCheck check) {
  HistoryLink& link = app.History;
  if (link.Hashing) {
    check = store.MatchHashed(link.Hashing->Finish(app.CurrentLogPath), std::move(link.Probes.Prefixes));
    link.Hashing.reset();
    link.Probes = LogCheck{};
  }
  // The log is known by the bytes the analysis read (not the page's last lines, which the
  // game rewrites, nor what was added since the hash). Where the reader stopped as usual,
  // 18 bytes before the end of the file as hashed, that hash is had already.
  const PrefixProbe& usual = check.Read.FromEnd;
  if (check.Read.Ok() && usual.Reached && app.ResumeOffset == usual.Size &&
      app.Origin.Length == check.Read.File.FileSize) {
    check.Read.File.Size = usual.Size;
    check.Read.File.Hash = usual.Hash;
    std::erase_if(check.Prefixes, [&](const PrefixProbe& p) { return p.Size > usual.Size; });
    check.SameBytes = false;
    return check;
  }
  return store.CheckLogFile(app.CurrentLogPath, app.ResumeOffset);
}

}  // namespace

std::string HistoryFilePath(const std::string& programDir) { return programDir + kHistoryFileName; }

HistoryStore* UsableHistory(App& app) {
  HistoryLink& link = app.History;
  if (!link.Enabled) return nullptr;
  if (link.Store) return link.Store.get();
  if (link.OpenTried) return nullptr;
  link.OpenTried = true;
  HistoryOpen open = OpenHistoryStore(HistoryFilePath(app.ProgramDir));
  if (!open.Store) {
    ReportHistoryError(app, open.Error);
    return nullptr;
  }
  link.Store = std::move(open.Store);
  return link.Store.get();
}

void HashLogAsItLoads(App& app) {
  HistoryLink& link = app.History;
  link.Hashing.reset();
  link.ImportTap = {};
  HistoryStore* store = UsableHistory(app);
  if (store == nullptr) return;
  std::error_code sizeError;
  const std::uintmax_t size = std::filesystem::file_size(platform::NativePath(app.CurrentLogPath), sizeError);
  if (sizeError) return;  // the load says what is wrong; the import hashes what it finds
  LogCheck probes = store->ProbesFor(app.CurrentLogPath, static_cast<std::int64_t>(size));
  if (!probes.StoreError) TapTheRead(app, std::move(probes), static_cast<std::int64_t>(size));
}

void ImportLoadedLog(App& app) {
  HistoryLink& link = app.History;
  link.CurrentLogId = 0;
  link.Recorded.assign(static_cast<std::size_t>(app.BattleCount()), 0);
  HistoryStore* store = UsableHistory(app);
  if (store == nullptr) return;
  // Exactly the bytes the analysis read: a line still being written is not part of it.
  const LogCheck check = CheckOfAnalysedBytes(app, *store, LogCheck{});
  if (!check.Read.Ok()) return;  // gone since the read: the next load tries again
  const ImportResult result = store->ImportLog(check, AnalysedLogOf(app));
  if (result.Outcome == ImportOutcome::Error) {
    ReportHistoryError(app, result.Error);
    return;
  }
  link.CurrentLogId = result.LogId;
  for (std::size_t b = 0; b < link.Recorded.size() && b < link.Ends.size(); ++b) {
    link.Recorded[b] = link.Ends[b].Ended ? 1 : 0;
  }
  if (result.Outcome != ImportOutcome::Unchanged) ++link.Revision;
}

void RecordEndedBattles(App& app) {
  HistoryLink& link = app.History;
  if (!link.Enabled || link.CurrentLogId == 0 || !link.Store) return;
  link.Recorded.resize(static_cast<std::size_t>(app.BattleCount()), 0);
  for (std::size_t b = 0; b < link.Recorded.size() && b < link.Ends.size(); ++b) {
    if (link.Recorded[b] || !link.Ends[b].Ended) continue;
    const HistoryError error = link.Store->RecordBattle(link.CurrentLogId, AnalysedLogOf(app), static_cast<int>(b));
    if (error) {
      ReportHistoryError(app, error);
      return;  // tried again at the next tick
    }
    link.Recorded[b] = 1;
    ++link.Revision;
  }
}

void StoreSelectedCorrections(App& app) {
  HistoryLink& link = app.History;
  // Active mode moves the count marks itself; only the player's own corrections are kept.
  if (!link.Enabled || link.CurrentLogId == 0 || !link.Store || app.Acts.ActiveMode.Checked) return;
  for (int b = 0; b < app.BattleCount() && b < app.BattleList.Count(); ++b) {
    if (!app.BattleList.IsSelected(b)) continue;
    const BattleRecord& record = app.Battles[static_cast<std::size_t>(b)];
    const HistoryError error = link.Store->StoreCorrection(link.CurrentLogId, b + 1, record.Class, record.Tally.CountMark);
    if (error) {
      ReportHistoryError(app, error);
      return;
    }
  }
  ++link.Revision;
}

ImportResult ImportLogFile(const App& settingsFrom, HistoryStore& store, const std::string& path) {
  auto failed = [&](std::string detail) {
    ImportResult result;
    result.Error.Path = path;
    result.Error.Detail = std::move(detail);
    return result;
  };
  // A file that may be known to the byte is hashed first, as its analysis may be spared;
  // any other is hashed on the way as the analysis reads it, not read twice.
  std::error_code sizeError;
  const std::uintmax_t size = std::filesystem::file_size(platform::NativePath(path), sizeError);
  LogCheck probes;
  if (!sizeError) probes = store.ProbesFor(path, static_cast<std::int64_t>(size));
  LogCheck check;
  const bool tapped = !sizeError && !probes.StoreError && !probes.MayBeKnown;
  if (!tapped) {
    check = store.CheckLogFile(path, -1);
    if (!check.Read.Ok()) return failed(check.Read.Error);
    if (check.SameBytes) {
      // Known to the byte: nothing to analyse.
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
  if (tapped) TapTheRead(scratch, std::move(probes), static_cast<std::int64_t>(size));
  if (!LoadAndAnalyse(scratch)) return failed(LogNotOpenedLine(path, scratch.LastRead.Error));
  check = CheckOfAnalysedBytes(scratch, store, std::move(check));
  return store.ImportLog(check, AnalysedLog{scratch, scratch.Lists.SkillNames, scratch.Lists.ItemNames,
                                            scratch.History.Ends});
}

std::vector<std::string> LogFilesOf(const std::vector<std::string>& paths) {
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    std::error_code ec;
    if (!fs::is_directory(platform::NativePath(path), ec)) {
      files.push_back(path);
      continue;
    }
    std::vector<std::string> found;
    for (fs::directory_iterator it(platform::NativePath(path), ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = platform::PathString(it->path().filename());
      std::error_code typeError;
      if (IsHtmlLogName(name) && it->is_regular_file(typeError)) found.push_back(platform::PathString(it->path()));
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

}  // namespace mizuto
