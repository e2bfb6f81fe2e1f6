// The log being followed: which file, what of it is stored, and where the next read and
// the next analysis start.
#pragma once

#include <cstdint>
#include <string>

#include "ingest/chat_log_reader.h"
#include "ingest/log_lines.h"
#include "ingest/log_origin.h"

namespace mizuto {

struct LogSource {
  std::string CurrentLogPath;  // the log being analysed; empty before the first
  std::string NewestLogPath;   // the newest log of the log folder at the latest search
  LogLines Lines;
  std::int64_t ResumeOffset = 0;      // where the next read of the file starts
  std::string CsvPath;                // where the tally table is exported
  std::int32_t AnalysedLineCount = 0;  // lines the analysis has seen
  LogRead LastRead;                    // how the latest read of the file went
  LogOrigin Origin;                    // what the file was when it was last read
};

}  // namespace mizuto
