// The battle list's hint: the record of the selected counted battles.
#pragma once

namespace mizuto {

struct App;

void ShowBattleListHint(App& app);
// The user changed the selection of the battle list.
inline void ListBox1Click(App& app) { ShowBattleListHint(app); }

}  // namespace mizuto
