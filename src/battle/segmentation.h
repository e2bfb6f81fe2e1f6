// Splits the line store into battles: follows the owner's fleet and the event phases,
// opens a battle at a start message, ends it at a result message, and hands every line
// inside a battle to the event recognition.
#pragma once

#include "battle/analysis.h"
#include "ingest/log_lines.h"

namespace mizuto {

// Analyses `lines` from index `start` to the end into `analysis`. All state lives in the
// tables, so a later call continues exactly where this one stopped.
void AnalyseLines(Analysis& analysis, const LogLines& lines, int start, const AnalysisInputs& inputs,
                  AnalysisEvents& events);

}  // namespace mizuto
