#include "live/following.h"

#include <string>

#include "battle/battle_label.h"

namespace mizuto {

namespace {

// A row rewritten with the same text would only lose its selection: a player looking at an
// older battle's transcript keeps it while the ticks go on.
void Relabel(const Analysis& analysis, BattleListView& list, int i) {
  if (!list.HasRow(i)) return;
  std::string label = BattleLabel(analysis, i);
  if (label != list.Rows[static_cast<std::size_t>(i)]) list.Replace(i, std::move(label));
}

}  // namespace

void UncountOlderBattlesKeepingGameMarks(Analysis& analysis, BattleListView& list) {
  for (int i = 0; i + 1 < analysis.BattleCount(); ++i) {
    UncountKeepingGameMark(analysis.Battles[static_cast<std::size_t>(i)]);
    Relabel(analysis, list, i);
  }
}

void CountOnlyNewestBattle(Analysis& analysis, BattleListView& list) {
  const int newest = analysis.BattleCount() - 1;
  if (newest < 0) return;
  UncountOlderBattlesKeepingGameMarks(analysis, list);
  CountKeepingGameMark(analysis.Battles.back());
  // The battle in progress keeps its in-progress row.
  if (!analysis.State.BattleInProgress) Relabel(analysis, list, newest);
}

}  // namespace mizuto
