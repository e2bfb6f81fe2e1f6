#include "live/following.h"

#include "battle/battle_label.h"

namespace mizuto {

void UncountOlderBattlesKeepingGameMarks(Analysis& analysis, BattleListView& list) {
  for (int i = 0; i + 1 < analysis.BattleCount(); ++i) {
    UncountKeepingGameMark(analysis.Battles[static_cast<std::size_t>(i)]);
    list.Replace(i, BattleLabel(analysis, i));
  }
}

void CountOnlyNewestBattle(Analysis& analysis, BattleListView& list) {
  const int newest = analysis.BattleCount() - 1;
  if (newest < 0) return;
  UncountOlderBattlesKeepingGameMarks(analysis, list);
  CountKeepingGameMark(analysis.Battles.back());
  // A row rewritten with the same text would only lose its selection.
  const bool ended = (analysis.State.BattleInProgress & 0xFF) == 0;
  if (ended && list.HasRow(newest)) {
    std::string label = BattleLabel(analysis, newest);
    if (label != list.Rows[static_cast<std::size_t>(newest)]) list.Replace(newest, std::move(label));
  }
}

}  // namespace mizuto
