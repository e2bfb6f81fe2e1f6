// The text of a battle list row and of the status-bar summary line (Shift-JIS).
#pragma once

#include <string>

#include "battle/analysis.h"

namespace mizuto {

// The row text of battle i once it has ended (or whenever a command relabels it): the
// record's values as they stand. Empty for an index outside the list.
std::string BattleLabel(const Analysis& analysis, int i);

// The row text of battle i while it is in progress: "<<< %3d戦目 戦闘中 >>>".
std::string InProgressLabel(int i);

// The summary of the counted battles (TallyState exactly 1).
std::string SummaryLine(const Analysis& analysis);

}  // namespace mizuto
