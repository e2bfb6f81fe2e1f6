// The headless report: what the main window would show after loading a log.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/modes/command_line.h"

namespace mizuto {

// --report's options: --active, --avg-hit-down, --avg-skill-item, --detail, and
// ShowProgress set when the error output is a terminal.
using ReportOptions = CommandLine;

// Start-up and the load as the window does them, with the report's switches; false when
// the log could not be opened (said on `err`).
struct App;
bool LoadForReport(const ReportOptions& options, App& app, std::ostream& err);

// Runs start-up and the load as the window does and writes the report. Returns the exit
// status: 0 after a load that opened the file, 1 when the log cannot be opened.
int RunReport(const ReportOptions& options, std::ostream& out, std::ostream& err);

}  // namespace mizuto
