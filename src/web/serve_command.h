// `mizuto --serve`: the browser view of a log on 127.0.0.1, followed live in active mode;
// and `mizuto --report --html FILE`: the same page written as one file.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/report.h"

namespace mizuto::web {

// The port a player's browser and streaming program are told to use unless --port says
// otherwise (the README names it).
inline constexpr int kDefaultServePort = 8372;
// The exit status when the port cannot be had (another program listens on it).
inline constexpr int kPortUnavailableStatus = 5;

struct ServeOptions : HeadlessOptions {
  int Port = kDefaultServePort;  // 0: any free port (the address printed names it)
  bool Active = false;           // start with active mode on
  bool NoHistory = false;        // leave the season history alone
};

// Parses the command line after "--serve" (the log is optional: without one the newest log
// of the log folder is shown); false with `error` set on bad arguments.
bool ParseServeArguments(const std::vector<std::string>& args, ServeOptions* options, std::string* error);

// Loads as the window does, prints the page's address and serves until a stop is requested.
// Returns the exit status: 0 after a stop, kPortUnavailableStatus when the port cannot be had.
int RunServe(const ServeOptions& options, std::ostream& out, std::ostream& err);

// Writes the page of `options.LogPath` to `options.HtmlFile`, replacing it atomically.
// Returns the exit status: 0, 1 when the log cannot be opened, kOutputFailedStatus when the
// file cannot be written.
int RunHtmlReport(const ReportOptions& options, std::ostream& err);

}  // namespace mizuto::web
