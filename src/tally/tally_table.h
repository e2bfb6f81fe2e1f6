// Sorting the tally table by a column, hiding and showing players.
#pragma once

namespace mizuto {

struct App;
struct TallyRow;

int IconSortRank(int icon);
// Header click on column c: updates the sort state and sorts the rows.
void ListView1ColumnClick(App& app, int column);
// 1 when row x must come after row y under the current sort state, else 0.
int ListView1Compare(const App& app, const TallyRow& x, const TallyRow& y);
// Selection change in the table.
void ListView1SelectItem(App& app);
void PlayerHideExecute(App& app);
void PlayerAllExecute(App& app);

}  // namespace mizuto
