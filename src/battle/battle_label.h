// The text of a battle list row and of the status-bar summary line (Shift-JIS).
#pragma once

#include <string>

namespace mizuto {

struct App;

// The row text of battle i. While a battle is in progress, i == BattleCount (the battle
// being created) gives the in-progress form "<<< %3d戦目 戦闘中 >>>".
std::string BattleLabel(const App& app, int i);

// The summary of the counted battles (TallyState exactly 1).
std::string SummaryLine(const App& app);

}  // namespace mizuto
