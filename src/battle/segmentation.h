// Splits the line store into battles: follows the owner's fleet and the event phases,
// opens a battle at a start message, ends it at a result message, and hands every line
// inside a battle to the event recognition.
#pragma once

#include <string_view>

#include "battle/analysis.h"
#include "ingest/log_lines.h"

namespace mizuto {

// What the analysis makes of a System line's text (tag removed): between battles the start
// message that opens one; inside a battle the result message that ends it, or else the
// in-battle rule that decides (an EventRule). -1 for none; a "does not count" notice is
// taken note of in either case.
struct SystemLineMeaning {
  int Message = -1;  // a BattleMessage
  int Rule = -1;
  bool NotCounted = false;
};
SystemLineMeaning ReadSystemLine(std::string_view text, bool betweenBattles);

// Analyses `lines` from index `start` to the end into `analysis`. All state lives in the
// tables, so a later call continues exactly where this one stopped.
void AnalyseLines(Analysis& analysis, const LogLines& lines, int start, const AnalysisInputs& inputs,
                  AnalysisEvents& events);

}  // namespace mizuto
