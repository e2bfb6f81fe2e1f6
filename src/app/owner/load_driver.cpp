#include "app/owner/load_driver.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "app/owner/analysis_driver.h"
#include "app/owner/app.h"
#include "app/owner/history_recorder.h"
#include "app/owner/result_views.h"
#include "battle/battle_detail.h"
#include "battle/battle_label.h"
#include "battle/segmentation.h"
#include "live/following.h"
#include "ingest/chat_log_reader.h"
#include "platform/platform.h"
#include "tally/tallies.h"
#include "text/codec.h"
#include "text/utf8.h"

namespace mizuto {

namespace {

// Reads what the log at `path` gained since app.ResumeOffset, as ReadCurrentLog says.
bool ReadLog(App& app, const std::string& path, bool showProgress) {
  app.CsvPath = DeriveCsvPath(app.ProgramDir, path);
  ReadProgress progress;
  if (showProgress) {
    // A whole log can be large enough to read for seconds: the status bar counts it, as
    // the analysis counts its lines after it.
    progress = [&app, shown = -1](std::int64_t read, std::int64_t total) mutable {
      const int percent = total > 0 ? static_cast<int>(std::min<std::int64_t>(read * 100 / total, 100)) : 100;
      if (percent != shown) app.SetStatus(SJ("読込中:") + std::to_string(percent) + "%");
      shown = percent;
      if (app.OnLoadProgress) app.OnLoadProgress(LoadStage::Reading, percent);
    };
  }
  app.LastRead = ReadChatLog(path, app.ResumeOffset, app.Lines, progress, app.History.ReadTap());
  if (!app.LastRead) app.AppendError(kFileOpenError);
  return app.LastRead.Opened();
}

}  // namespace

bool ReadCurrentLog(App& app, bool showProgress) { return ReadLog(app, app.CurrentLogPath, showProgress); }

// The system's words, or ours where it has none.
std::string LogNotOpenedReason(const platform::OpenError& error) {
  if (!error.SystemText.empty()) return error.SystemText;
  switch (error.Failure) {
    case platform::OpenFailure::kFolder: return "is a folder";
    case platform::OpenFailure::kNotRegularFile: return "not a regular file";
    default: return "cannot be opened";
  }
}

std::string LogNotOpenedStatus(const std::string& path, const platform::OpenError& error) {
  std::string reason;
  switch (error.Failure) {
    case platform::OpenFailure::kMissing: reason = SJ("ファイルが見つかりません"); break;
    case platform::OpenFailure::kFolder: reason = SJ("フォルダです"); break;
    case platform::OpenFailure::kNotRegularFile: reason = SJ("通常のファイルではありません"); break;
    case platform::OpenFailure::kAccessDenied: reason = SJ("アクセスが拒否されました"); break;
    default: reason = Utf8ToSjis(LogNotOpenedReason(error)); break;
  }
  const std::string name = platform::PathString(platform::NativePath(path).filename());
  return SJ("ログを開けませんでした: ") + Utf8ToSjis(name.empty() ? path : name) + " (" + reason + ")";
}

std::string LogNotOpenedLine(const std::string& path, const platform::OpenError& error) {
  return std::string(kFileOpenError) + ": " + OnOneLine(path) + ": " + LogNotOpenedReason(error);
}

// Before `path` is read: nothing of the last log stays shown, counted or pending.
static void ForgetShownLog(App& app, const std::string& path) {
  ClearResultViews(app);
  app.BattleList.Hint.clear();
  app.LogLoaded = false;
  if (app.ErrorPaneNamesLoads) app.ErrorHeadingDue = SJ("■ ") + LogFileName(path);
  app.TimerRunning = false;
  app.Acts.SaveCsv.Enabled = false;
  app.Acts.ReloadLog.Enabled = false;
  app.ResumeOffset = 0;
  app.Lines.clear();
  // Nothing of the new log is analysed yet: should the read fail, a tick that finds the
  // log back must analyse it from its first line.
  app.AnalysedLineCount = 0;
  ResetAnalysis(app);
  app.LogUnrecognised = false;
  app.Origin = LogOrigin{};
  // The counter shows this log's score from now on, even should the read fail.
  ShowSinkCount(app);
}

bool LoadAndAnalyse(App& app) { return LoadAndAnalyse(app, app.CurrentLogPath); }

bool LoadAndAnalyse(App& app, std::string path) {
  // The log shown from now on, though it may not open: a reload or a tick tries it again.
  // The history's recorder, which the load tells of its steps, reads it there.
  app.CurrentLogPath = path;
  ForgetShownLog(app, path);
  app.History.BeginLoad(app);
  const bool read = ReadLog(app, path, true);
  app.History.EndRead(read);
  if (!read) {
    // The error pane may be hidden, and the old summary would pass for this log's.
    app.SetStatus(LogNotOpenedStatus(path, app.LastRead.Error));
    return false;
  }
  app.LogLoaded = true;
  NoteLogOrigin(path, app.Origin);
  if (app.Lines.empty()) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(platform::NativePath(path), ec);
    app.LogUnrecognised = !ec && size > 0;
  }
  app.AnalysedLineCount = static_cast<std::int32_t>(app.Lines.size());
  AnalyseNewLines(app, 0);
  ShowSinkCount(app);
  const int count = app.BattleCount();
  if (count <= 0) {
    app.SetStatus(SJ("戦闘データはありません"));
    app.History.FinishLoad(app);
    return true;
  }
  if (app.Acts.ActiveMode.Checked) {
    app.Caption = app.ProgramTitle() + " [ActiveMode]";
    app.TimerRunning = true;
    CountOnlyNewestBattle(app, app.BattleList);
    if (app.History.ImportOnly()) {
      app.BattleList.Select(count - 1);
    } else {
      ShowNewestBattle(app);
    }
  } else {
    app.Caption = app.ProgramTitle();
    if (app.BattleList.Count() > 0) app.BattleList.Select(0);
    if (!app.History.ImportOnly()) RenderSelectedBattles(app);
  }
  // A load only to import shows nothing: neither the transcript nor the tallies, whose
  // table and grid cost a fold over every name and battle, are wanted of it.
  if (!app.History.ImportOnly()) RefreshTallies(app);
  app.Acts.ReloadLog.Enabled = true;
  app.Acts.SaveCsv.Enabled = true;
  app.History.FinishLoad(app);
  return true;
}

bool IsHtmlLogName(const std::string& name) {
  if (name.size() < 5) return false;
  std::string tail = name.substr(name.size() - 5);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".html";
}

bool FindNewestLog(App& app) {
  app.NewestLogPath.clear();
  if (app.LogDir.Empty()) return false;
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(app.LogDir.Native(), ec);
  if (ec) return false;
  bool found = false;
  fs::file_time_type best{};
  std::string bestName;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string name = platform::PathString(it->path().filename());
    if (!IsHtmlLogName(name)) continue;
    std::error_code timeError;
    const fs::file_time_type time = fs::last_write_time(it->path(), timeError);
    if (timeError) continue;
    // Strictly newer wins; on a tie the entry met first stays.
    if (!found || time > best) {
      found = true;
      best = time;
      bestName = name;
    }
  }
  if (!found) return false;
  app.NewestLogPath = app.LogDir.Child(bestName).Utf8();
  return true;
}

}  // namespace mizuto
