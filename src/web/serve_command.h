// `mizuto --serve`: the browser view of a log on 127.0.0.1, followed live in active mode;
// and `mizuto --report --html FILE`: the same page written as one file.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/modes/command_line.h"
#include "app/modes/report.h"

namespace mizuto::web {

// The exit status when the port cannot be had (another program listens on it).
inline constexpr int kPortUnavailableStatus = 5;

// --serve's options: --port, --active, --no-history and the log (without one the newest log
// of the log folder is shown).
using ServeOptions = CommandLine;

// Loads as the window does, prints the page's address and serves until a stop is requested.
// Returns the exit status: 0 after a stop, kPortUnavailableStatus when the port cannot be had.
int RunServe(const ServeOptions& options, std::ostream& out, std::ostream& err);

// Writes the page of `options.LogPath` to `options.HtmlFile`, replacing it atomically.
// Returns the exit status: 0, 1 when the log cannot be opened, kOutputFailedStatus when the
// file cannot be written.
int RunHtmlReport(const ReportOptions& options, std::ostream& err);

}  // namespace mizuto::web
