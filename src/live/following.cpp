#include "live/following.h"

#include "battle/battle_label.h"

namespace mizuto {

void UncountAllButNewest(Analysis& analysis, BattleListView& list) {
  for (int i = 0; i + 1 < analysis.BattleCount(); ++i) {
    analysis.Battles[static_cast<std::size_t>(i)].TallyState &= ~1;
    list.Replace(i, BattleLabel(analysis, i));
  }
}

}  // namespace mizuto
