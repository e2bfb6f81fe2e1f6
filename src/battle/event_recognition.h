// Recognises the battle messages inside a battle and moves the counters of the name table.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "battle/analysis.h"

namespace mizuto {

// The in-battle messages (kEventRuleMessages) in Shift-JIS, in the order they are tried.
const std::vector<std::string>& EventRuleLiterals();

// One in-battle System line's text (tag removed), its LogLines index, the rule it matched
// (an index of EventRuleLiterals(), the first of them occurring in `text`) and the first
// occurrence of that literal (1-based).
void RecogniseEventRule(AnalysisRun& run, std::string_view text, int lineIndex, int rule,
                        std::size_t position);

// One in-battle line with tag "~s" or "~i" (the whole stored line, tag included), and its
// LogLines index (for error reports). The run's lists must have their matchers prepared.
void RecogniseSkillItem(AnalysisRun& run, std::string_view line, int lineIndex);

// Bytes before the first "が" when there is exactly one "が" from there on; -1 when there
// is none or a second one, 0 when the text begins with it.
long SplitAtGa(std::string_view text);

// Splits around the first known name found in the text; false when none occurs.
bool SplitByKnownName(AnalysisRun& run, std::string_view text, int* actor, int* target);

// first := name before m1; second := name before m2 in what follows m1.
std::pair<int, int> SplitByMarkers(AnalysisRun& run, std::string_view text, std::string_view m1,
                                   std::string_view m2);

}  // namespace mizuto
