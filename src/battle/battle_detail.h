// The coloured transcript of a battle in the detail pane.
#pragma once

namespace mizuto {

struct App;

// Appends the transcript of the battle that starts at LogLines index `firstLine`, battle
// index `battle`, to app.Detail.
void RenderBattleDetail(App& app, int firstLine, int battle);

// Clears the detail pane and renders every selected battle in list order; with nothing
// selected the pane keeps its text.
void RenderSelectedBattles(App& app);

}  // namespace mizuto
