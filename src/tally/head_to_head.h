// The head-to-head grid: who took whom out in the counted battles.
#pragma once

#include "battle/analysis.h"
#include "tally/tally_views.h"

namespace mizuto {

// Fills `grid` from the counted battles: takers as rows, victims as columns.
void FillHeadToHead(const Analysis& analysis, HeadToHeadGrid& grid);

}  // namespace mizuto
