#include "tally/battle_list_view.h"

#include "battle/battle_label.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {

void ShowBattleListHint(const Analysis& analysis, BattleListView& list) {
  ResultCounts results;
  for (int i = 0; i < list.Count() && i < analysis.BattleCount(); ++i) {
    const BattleRecord& r = analysis.Battles[static_cast<std::size_t>(i)];
    if (list.IsSelected(i) && CountedBattle(r)) results.Add(r, BattleEnded(analysis, i));
  }
  // A selection without a counted battle keeps the last record on show.
  if (results.Counted == 0) return;
  list.Hint = DecimalText(results.Won) + SJ("勝 ") + DecimalText(results.Lost) + SJ("敗 ") +
              DecimalText(results.Undecided) + SJ("分(") + SJ("逃げられ:") + DecimalText(results.Escaped) +
              " " + SJ("撤退:") + DecimalText(results.Withdrawn) + ")";
}

}  // namespace mizuto
