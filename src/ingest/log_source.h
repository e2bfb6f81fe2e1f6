// The log being followed: which file, what of it is stored, and where the next read and
// the next analysis start.
#pragma once

#include <cstdint>
#include <string>

#include "ingest/log_lines.h"
#include "ingest/log_origin.h"

namespace mizuto {

struct LogSource {
  std::string CurrentLogPath;  // the log being analysed; empty before the first
  std::string NewestLogPath;   // found once in the log folder, then kept for the run
  LogLines Lines;
  std::int64_t ResumeOffset = 0;      // where the next read of the file starts
  std::string CsvPath;                // where the tally table is exported
  std::int32_t AnalysedLineCount = 0;  // lines the analysis has seen
  LogOrigin Origin;                    // what the file was when it was last read
};

}  // namespace mizuto
