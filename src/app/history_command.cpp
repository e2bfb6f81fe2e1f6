#include "app/history_command.h"

#include "app/app.h"
#include "app/follow.h"
#include "app/history_recorder.h"
#include "app/progress_line.h"
#include "app/season_tables.h"
#include "app/start_up.h"
#include "history/log_identity.h"
#include "text/codec.h"
#include "text/sjis.h"
#include "text/utf8.h"

namespace mizuto {
namespace {

// A date as the options take it: YYYY-MM-DD, a real day.
bool ValidDateOption(const std::string& text) {
  return text.size() == 10 && DateFromFileName(text) == text;
}

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

bool ParseHistoryArguments(const std::vector<std::string>& args, HistoryOptions* options,
                           std::string* error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        *error = a + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      options->Help = true;
      return true;
    } else if (a == "--program-dir") {
      if (!value(&v)) return false;
      if (!v.empty() && v.back() != '/') v += '/';
      options->ProgramDir = v;
    } else if (a == "--encoding") {
      if (!value(&v)) return false;
      if (v != "sjis" && v != "utf-8") {
        *error = "--encoding takes utf-8 or sjis";
        return false;
      }
      options->Sjis = v == "sjis";
    } else if (a == "--import" || a == "--forget") {
      // Every argument up to the next option is a log (or, to import, a folder).
      std::vector<std::string>& paths = a == "--import" ? options->Imports : options->Forgets;
      const std::size_t before = paths.size();
      while (i + 1 < args.size() && !(args[i + 1].size() > 1 && args[i + 1][0] == '-')) paths.push_back(args[++i]);
      if (paths.size() == before) {
        *error = a == "--import" ? "--import needs a log file or a folder" : "--forget needs a log file";
        return false;
      }
    } else if (a == "--from" || a == "--to") {
      if (!value(&v)) return false;
      if (!ValidDateOption(v)) {
        *error = a + " takes a date as YYYY-MM-DD";
        return false;
      }
      (a == "--from" ? options->From : options->To) = v;
    } else if (a == "--json") {
      options->Json = true;
    } else if (a == "--reanalyse") {
      options->Reanalyse = true;
    } else if (!a.empty() && a[0] == '-') {
      *error = "unknown option " + a;
      return false;
    } else {
      *error = "a log to import follows --import (to forget, --forget): " + a;
      return false;
    }
  }
  if (options->Json && options->Sjis) {
    *error = "--json writes UTF-8; it does not go with --encoding sjis";
    return false;
  }
  return true;
}

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

int RunHistory(const HistoryOptions& options, std::ostream& out, std::ostream& err) {
  if (!HistoryBuilt()) {
    err << "mizuto: this build has no season history (it was made without SQLite)\n";
    return 1;
  }
  App app;
  app.ProgramDir = options.ProgramDir;
  StartUp(app);
  app.History.Enable(true);
  HistoryStore* store = app.History.Store(app);
  if (store == nullptr) {
    err << "mizuto: " << SjisToUtf8(app.History.ErrorText()) << '\n';
    return 1;
  }

  bool allImported = true;
  ProgressLine progress(err);
  auto showProgress = [&](const char* doing) {
    return [&, doing](std::size_t done, std::size_t total, const std::string&) {
      if (options.ShowProgress && done < total) {
        progress.Show(std::string("mizuto: ") + doing + " " + std::to_string(done + 1) + "/" + std::to_string(total));
      }
      return true;
    };
  };
  auto tell = [&](const std::string& path, const ImportResult& result) {
    progress.Finish();
    err << OutcomeWord(result.Outcome) << ": " << OnOneLine(path);
    if (result.Outcome == ImportOutcome::Error) {
      allImported = false;
      err << ": " << (result.Error ? SjisToUtf8(HistoryErrorText(result.Error)) : result.Error.Detail);
    } else {
      err << " (" << result.Battles << " battles" << OutcomeDetail(result) << ")";
    }
    err << '\n';
  };
  if (!options.Imports.empty()) {
    std::vector<UnreadPath> unread;
    const std::vector<std::string> logs = LogFilesOf(options.Imports, &unread);
    for (const UnreadPath& folder : unread) {
      allImported = false;
      err << OutcomeWord(ImportOutcome::Error) << ": " << OnOneLine(folder.Path) << ": " << folder.Reason << '\n';
    }
    ImportLogFiles(app, *store, logs, showProgress("importing"), tell);
    progress.Finish();
    err.flush();
  }
  if (!ForgetLogs(*store, options.Forgets, err)) allImported = false;
  if (options.Reanalyse) {
    // A log whose file has gone is no failure: the history keeps what it has of it.
    const HistoryError error =
        ReanalyseHistory(app, *store, showProgress("analysing again"), [&](const std::string& path, const ImportResult* result) {
          if (result != nullptr) return tell(path, *result);
          progress.Finish();
          err << "gone: " << OnOneLine(path) << " (its battles kept)\n";
        });
    progress.Finish();
    err.flush();
    if (error) {
      err << "mizuto: " << SjisToUtf8(HistoryErrorText(error)) << '\n';
      return 1;
    }
  }

  HistoryFilter filter;
  filter.From = options.From;
  filter.To = options.To;
  auto text = [&](std::string_view sjis) { return options.Sjis ? std::string(sjis) : SjisToUtf8(sjis); };
  auto failed = [&](const HistoryError& error) {
    err << "mizuto: " << SjisToUtf8(HistoryErrorText(error)) << '\n';
    return 1;
  };

  const unsigned parts = options.Json ? kSeasonBattles | kSeasonSummary
                                      : kSeasonLogs | kSeasonBattles | kSeasonSummary | kSeasonOpponents | kSeasonPlayers;
  const SeasonTables season =
      AskSeason(*store, filter, TallyOptions{app.Lists, app.SkillChecked, app.ItemChecked}, parts);
  if (season.Error) return failed(season.Error);

  if (options.Json) {
    for (const BattleRow& b : season.BattleRows) {
      const BattleJsonFacts facts{b.Number, b.Kind, b.Class, b.Admiral, b.Opponent, b.Result,
                                  b.OwnDown, b.EnemyDown, b.Counted, b.Label, b.Ended};
      out << BattleJsonFields(facts) << ",\"log\":" << JsonString(b.FileName()) << ",\"date\":"
          << JsonString(b.Date) << "}\n";
    }
    out << "{\"summary\":" << JsonString(SjisToUtf8(HistorySummaryText(*season.Summary))) << "}\n";
    out.flush();
    return allImported ? 0 : 1;
  }

  // File names are the file system's (UTF-8); with --encoding sjis they are converted too.
  // One that holds a line break or a tab would split its row.
  auto fileName = [&](const std::string& utf8) { return OnOneLine(options.Sjis ? Utf8ToSjis(utf8) : utf8); };
  out << "[logs]\n";
  for (const LogRow& l : season.Logs) out << l.Date << '\t' << fileName(l.FileName) << '\t' << l.Battles << '\n';
  out << "[battles]\n";
  for (const BattleRow& b : season.BattleRows) out << b.Date << '\t' << fileName(b.FileName()) << '\t' << text(b.Label) << '\n';
  out << "[summary]\n" << text(HistorySummaryText(*season.Summary)) << '\n';
  out << "[opponents]\n";
  out << text(SeasonTableCsv(season.Opponents, "\n"));
  out << "[players]\n";
  out << text(SeasonTableCsv(season.Players, "\n"));
  out.flush();
  return allImported ? 0 : 1;
}

}  // namespace mizuto
