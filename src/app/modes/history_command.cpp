#include "app/modes/history_command.h"

#include <functional>
#include <string_view>

#include "app/owner/app.h"
#include "app/modes/follow.h"
#include "app/owner/history_recorder.h"
#include "app/modes/progress_line.h"
#include "app/season/season_tables.h"
#include "app/commands/start_up.h"
#include "history/log_identity.h"
#include "text/codec.h"
#include "text/sjis.h"
#include "text/utf8.h"

namespace mizuto {
namespace {

const char* OutcomeWord(ImportOutcome outcome) {
  switch (outcome) {
    case ImportOutcome::Imported: return "imported";
    case ImportOutcome::Unchanged: return "unchanged";
    case ImportOutcome::Grown: return "grown";
    case ImportOutcome::Reanalysed: return "reanalysed";
    case ImportOutcome::Moved: return "moved";
    case ImportOutcome::Merged: return "merged";
    case ImportOutcome::Error: break;
  }
  return "error";
}

// What else an import line says: which file holds the log when it is not this one, and the
// shorter logs that were taken into it.
std::string OutcomeDetail(const ImportResult& result) {
  std::string detail;
  if (!result.OtherFile.empty()) {
    detail += result.ShorterCopy                          ? ", the start of " + result.OtherFile
              : result.Outcome == ImportOutcome::Moved ? ", moved from " + result.OtherFile
                                                        : ", the same as " + result.OtherFile;
  }
  if (result.TookIn > 0) {
    detail += ", took in " + std::to_string(result.TookIn) + (result.TookIn == 1 ? " shorter log" : " shorter logs");
  }
  return detail;
}

}  // namespace

namespace {

// Takes each log out of the history, one line each on `err`; false when one of them could
// not be (not in the history, or the history failed).
bool ForgetLogs(HistoryStore& store, const std::vector<std::string>& paths, std::ostream& err) {
  bool all = true;
  for (const std::string& path : paths) {
    const auto forgotten = store.ForgetLog(path);
    if (!forgotten.Ok()) {
      err << "error: " << OnOneLine(path) << ": " << SjisToUtf8(HistoryErrorText(forgotten.Error)) << '\n';
      all = false;
    } else if (forgotten.Value.LogId == 0) {
      err << "error: " << OnOneLine(path) << ": not in the season history (nothing was changed)\n";
      all = false;
    } else {
      err << "forgotten: " << OnOneLine(path) << " (" << forgotten.Value.Battles << " battles)\n";
    }
  }
  err.flush();
  return all;
}

}  // namespace

namespace {

// The history of the program folder, or nullptr with the reason on `err`.
HistoryStore* OpenHistory(App& app, const HistoryOptions& options, std::ostream& err) {
  if (!HistoryBuilt()) {
    err << "mizuto: this build has no season history (it was made without SQLite)\n";
    return nullptr;
  }
  app.ProgramDir = options.ProgramDir;
  StartUp(app);
  app.History.Enable(true);
  HistoryStore* store = app.History.Store(app);
  if (store == nullptr) err << "mizuto: " << SjisToUtf8(app.History.ErrorText()) << '\n';
  return store;
}

using ImportProgress = std::function<bool(std::size_t done, std::size_t total, const std::string& path)>;

// Tells on the error output how each log fared as it is imported or analysed again, with a
// progress line between (on a terminal), and remembers whether every one of them could be.
class ImportTeller {
 public:
  ImportTeller(const HistoryOptions& options, std::ostream& err) : options_(options), err_(err), progress_(err) {}

  // Shows how far `doing` got.
  ImportProgress Progress(const char* doing) {
    return [this, doing](std::size_t done, std::size_t total, const std::string&) {
      if (options_.ShowProgress && done < total) {
        progress_.Show(std::string("mizuto: ") + doing + " " + std::to_string(done + 1) + "/" + std::to_string(total));
      }
      return true;
    };
  }

  void Tell(const std::string& path, const ImportResult& result) {
    progress_.Finish();
    err_ << OutcomeWord(result.Outcome) << ": " << OnOneLine(path);
    if (result.Outcome == ImportOutcome::Error) {
      allImported_ = false;
      err_ << ": " << (result.Error ? SjisToUtf8(HistoryErrorText(result.Error)) : result.Error.Detail);
    } else {
      err_ << " (" << result.Battles << " battles" << OutcomeDetail(result) << ")";
    }
    err_ << '\n';
  }

  // A folder that could not be listed.
  void TellUnread(const UnreadPath& folder) {
    allImported_ = false;
    err_ << OutcomeWord(ImportOutcome::Error) << ": " << OnOneLine(folder.Path) << ": " << folder.Reason << '\n';
  }

  // A stored log whose file has gone is no failure: the history keeps what it has of it.
  void TellGone(const std::string& path) {
    progress_.Finish();
    err_ << "gone: " << OnOneLine(path) << " (its battles kept)\n";
  }

  void Done() {
    progress_.Finish();
    err_.flush();
  }
  void Failed() { allImported_ = false; }
  bool AllImported() const { return allImported_; }

 private:
  const HistoryOptions& options_;
  std::ostream& err_;
  ProgressLine progress_;
  bool allImported_ = true;
};

// The logs and folders named with --import.
void ImportNamedLogs(App& app, HistoryStore& store, const std::vector<std::string>& paths, ImportTeller& teller) {
  if (paths.empty()) return;
  std::vector<UnreadPath> unread;
  const std::vector<std::string> logs = LogFilesOf(paths, &unread);
  for (const UnreadPath& folder : unread) teller.TellUnread(folder);
  ImportLogFiles(app, store, logs, teller.Progress("importing"),
                 [&](const std::string& path, const ImportResult& result) { teller.Tell(path, result); });
  teller.Done();
}

// Every stored log analysed again; the history's failure, if it failed.
HistoryError ReanalyseStoredLogs(App& app, HistoryStore& store, ImportTeller& teller) {
  const HistoryError error =
      ReanalyseHistory(app, store, teller.Progress("analysing again"), [&](const std::string& path, const ImportResult* result) {
        if (result != nullptr) return teller.Tell(path, *result);
        teller.TellGone(path);
      });
  teller.Done();
  return error;
}

// One JSON object per battle, then the summary.
void PrintSeasonJson(const SeasonTables& season, std::ostream& out) {
  for (const BattleRow& b : season.BattleRows) {
    const BattleJsonFacts facts{b.Number, b.Kind, b.Class, b.Admiral, b.Opponent, b.Result,
                                b.OwnDown, b.EnemyDown, b.Counted, b.Label, b.Ended};
    out << BattleJsonFields(facts) << ",\"log\":" << JsonString(b.FileName()) << ",\"date\":"
        << JsonString(b.Date) << "}\n";
  }
  out << "{\"summary\":" << JsonString(SjisToUtf8(HistorySummaryText(*season.Summary))) << "}\n";
}

// The sections [logs], [battles], [summary], [opponents] and [players].
void PrintSeasonSections(const SeasonTables& season, bool sjis, std::ostream& out) {
  auto text = [&](std::string_view shiftJis) { return sjis ? std::string(shiftJis) : SjisToUtf8(shiftJis); };
  // File names are the file system's (UTF-8); with --encoding sjis they are converted too.
  // One that holds a line break or a tab would split its row.
  auto fileName = [&](const std::string& utf8) { return OnOneLine(sjis ? Utf8ToSjis(utf8) : utf8); };
  out << "[logs]\n";
  for (const LogRow& l : season.Logs) out << l.Date << '\t' << fileName(l.FileName) << '\t' << l.Battles << '\n';
  out << "[battles]\n";
  for (const BattleRow& b : season.BattleRows) out << b.Date << '\t' << fileName(b.FileName()) << '\t' << text(b.Label) << '\n';
  out << "[summary]\n" << text(HistorySummaryText(*season.Summary)) << '\n';
  out << "[opponents]\n";
  out << text(SeasonTableCsv(season.Opponents, "\n"));
  out << "[players]\n";
  out << text(SeasonTableCsv(season.Players, "\n"));
}

int HistoryFailed(const HistoryError& error, std::ostream& err) {
  err << "mizuto: " << SjisToUtf8(HistoryErrorText(error)) << '\n';
  return 1;
}

}  // namespace

int RunHistory(const HistoryOptions& options, std::ostream& out, std::ostream& err) {
  App app;
  HistoryStore* store = OpenHistory(app, options, err);
  if (store == nullptr) return 1;

  ImportTeller teller(options, err);
  ImportNamedLogs(app, *store, options.Imports, teller);
  if (!ForgetLogs(*store, options.Forgets, err)) teller.Failed();
  if (options.Reanalyse) {
    if (const HistoryError error = ReanalyseStoredLogs(app, *store, teller)) return HistoryFailed(error, err);
  }

  HistoryFilter filter;
  filter.From = options.From;
  filter.To = options.To;
  const unsigned parts = options.Json ? kSeasonBattles | kSeasonSummary
                                      : kSeasonLogs | kSeasonBattles | kSeasonSummary | kSeasonOpponents | kSeasonPlayers;
  const SeasonTables season =
      AskSeason(*store, filter, TallyOptions{app.Lists, app.SkillChecked, app.ItemChecked}, parts);
  if (season.Error) return HistoryFailed(season.Error, err);
  if (options.Json) {
    PrintSeasonJson(season, out);
  } else {
    PrintSeasonSections(season, options.Sjis, out);
  }
  out.flush();
  return teller.AllImported() ? 0 : 1;
}

}  // namespace mizuto
