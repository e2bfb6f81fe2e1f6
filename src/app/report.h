// The headless report: what the main window would show after loading a log.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"

namespace mizuto {

struct ReportOptions : HeadlessOptions {
  bool Active = false;
  bool AvgHitDown = false;
  bool AvgSkillItem = false;
  bool Detail = false;
  bool DetailAll = false;
  std::vector<int> DetailBattles;  // 1-based
  bool ShowProgress = false;  // a progress line on `err` while a long load runs (a terminal)
  std::string HtmlFile;       // --html: the browser page written to this file instead
};

// Parses the command line after "--report"; false with `error` set on bad arguments.
bool ParseReportArguments(const std::vector<std::string>& args, ReportOptions* options,
                          std::string* error);

// Start-up and the load as the window does them, with the report's switches; false when
// the log could not be opened (said on `err`).
struct App;
bool LoadForReport(const ReportOptions& options, App& app, std::ostream& err);

// Runs start-up and the load as the window does and writes the report. Returns the exit
// status: 0 after a load that opened the file, 1 when the log cannot be opened.
int RunReport(const ReportOptions& options, std::ostream& out, std::ostream& err);

inline constexpr const char* kReportUsage =
    "usage: mizuto --report [--program-dir DIR] [--active] [--avg-hit-down] [--avg-skill-item]\n"
    "                       [--detail all|N[,N...]] [--encoding utf-8|sjis] LOGFILE\n"
    "       mizuto --report --html FILE [--program-dir DIR] [--active] LOGFILE\n";

}  // namespace mizuto
