// Following a log keeps only the newest battle counted.
#pragma once

#include "battle/analysis.h"
#include "tally/battle_list_view.h"

namespace mizuto {

// Clears the counted bit of every battle but the newest (the game's not-counted mark stays)
// and relabels their rows.
void UncountAllButNewest(Analysis& analysis, BattleListView& list);

}  // namespace mizuto
