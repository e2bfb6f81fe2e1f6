// `mizuto --history`: imports logs into the season history and prints what it holds.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "history/history_store.h"
#include "tally/tally_views.h"

namespace mizuto {

struct HistoryOptions : HeadlessOptions {
  std::vector<std::string> Imports;  // log files and folders
  std::vector<std::string> Forgets;  // logs to take out of the history (after the imports)
  std::string From, To;              // "YYYY-MM-DD"; empty: open
  bool Json = false;
  // Analyse every stored log again under the settings now (after the imports).
  bool Reanalyse = false;
  bool ShowProgress = false;  // a progress line on `err` while a long import runs (a terminal)
};

struct App;

// The entries of a list that the tally table shows (its check marks): the skills and items
// whose uses the players' question sums.
std::vector<std::string> CheckedNames(const std::vector<std::string>& names, const std::vector<char>& checked);

// The opponents' columns, in the [opponents] section and on the History page (Shift-JIS).
const std::vector<std::string>& HistoryOpponentCaptions();

// The players of the range as the tally table of `settings` would show them (its skill
// and item columns, sums rather than averages): the [players] section.
HistoryAnswer<TallyTableView> HistoryPlayersTable(const App& settings, HistoryStore& store,
                                                  const HistoryFilter& filter);

// Parses the command line after "--history"; false with `error` set on bad arguments.
bool ParseHistoryArguments(const std::vector<std::string>& args, HistoryOptions* options,
                           std::string* error);

// Imports, forgets, then prints. Returns the exit status: 0 on success, 1 when the history
// cannot be used, a named log could not be imported, or a log to forget is not in it.
int RunHistory(const HistoryOptions& options, std::ostream& out, std::ostream& err);

inline constexpr const char* kHistoryUsage =
    "usage: mizuto --history [--program-dir DIR] [--import PATH...] [--forget PATH...]\n"
    "                        [--reanalyse]\n"
    "                        [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--json] [--encoding utf-8|sjis]\n";

}  // namespace mizuto
