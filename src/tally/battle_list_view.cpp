#include "tally/battle_list_view.h"

#include <cstdint>

#include "app/app.h"
#include "tally/tallies.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {

void ShowBattleListHint(App& app) {
  std::int32_t total = 0, wins = 0, losses = 0, draws = 0, escaped = 0, withdrawn = 0;
  const BattleListView& list = app.BattleList;
  for (int i = 0; i < list.Count() && i < app.BattleCount(); ++i) {
    const BattleRecord& r = app.Battles[static_cast<std::size_t>(i)];
    if (!list.IsSelected(i) || !CountedBattle(r)) continue;
    ++total;
    switch (r.Result) {
      case kVictory: ++wins; break;
      case kDefeat: ++losses; break;
      case kEscaped: ++draws; ++escaped; break;
      case kWithdrawn: ++draws; ++withdrawn; break;
      case kDraw: ++draws; break;
    }
  }
  // A selection without a counted battle keeps the last record on show.
  if (total == 0) return;
  app.BattleList.Hint = DecimalText(wins) + SJ("勝 ") + DecimalText(losses) + SJ("敗 ") +
                        DecimalText(draws) + SJ("分(") + SJ("逃げられ:") + DecimalText(escaped) +
                        " " + SJ("撤退:") + DecimalText(withdrawn) + ")";
}

}  // namespace mizuto
