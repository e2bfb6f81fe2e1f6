// Following a log keeps only the newest battle counted.
#pragma once

#include "battle/analysis.h"
#include "tally/battle_list_view.h"

namespace mizuto {

// Takes every battle but the newest out of the count, keeping the game's not-counted mark
// (UncountKeepingGameMark), and relabels the rows whose text changed.
void UncountOlderBattlesKeepingGameMarks(Analysis& analysis, BattleListView& list);

// Leaves exactly the newest battle counted: the older ones as above, the newest put into the
// count keeping the game's mark (so a battle the game refused stays out). The newest row is
// relabelled when it has ended and its text changed; the battle in progress keeps its
// in-progress row. Load, switch-on and every tick that opened or ended a battle end here,
// so a followed log and the same log loaded in active mode show the same marks.
void CountOnlyNewestBattle(Analysis& analysis, BattleListView& list);

}  // namespace mizuto
