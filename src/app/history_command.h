// `mizuto --history`: imports logs into the season history and prints what it holds.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"

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
