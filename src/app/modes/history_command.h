// `mizuto --history`: imports logs into the season history and prints what it holds.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/modes/command_line.h"

namespace mizuto {

// --history's options: --import, --forget, --reanalyse, --from, --to, --json, and
// ShowProgress set when the error output is a terminal.
using HistoryOptions = CommandLine;

// Imports, forgets, then prints. Returns the exit status: 0 on success, 1 when the history
// cannot be used, a named log could not be imported, or a log to forget is not in it.
int RunHistory(const HistoryOptions& options, std::ostream& out, std::ostream& err);

}  // namespace mizuto
