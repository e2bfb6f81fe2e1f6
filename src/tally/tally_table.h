// Sorting the tally table by a column, hiding and showing players.
#pragma once

#include "battle/tables.h"
#include "tally/tally_views.h"

namespace mizuto {

// Where a row's icon sorts in the name column.
int IconSortRank(int icon);

// 1 when row x must come after row y under the table's sort state, else 0.
int CompareTallyRows(const TallyTableView& table, const TallyRow& x, const TallyRow& y);

// A header click on column c: updates the sort state (a second click on the same column
// reverses it) and sorts the rows.
void SortTallyRows(TallyTableView& table, int column);

// Sorts freshly built rows as the last header click did (the state stays as it is); rows
// that were never sorted keep their name order. A column that is gone since sorts nothing.
void ReapplyTallySort(TallyTableView& table);

// Whether the sorted column shows its largest value (for the name column: its highest
// rank) first, for the header's sort arrow.
bool TallySortIsDescending(const TallyTableView& table);

// Hides the players of the selected rows; false when no row was selected.
bool HideSelectedPlayers(const TallyTableView& table, NameTable& names);
void ShowAllPlayers(NameTable& names);

}  // namespace mizuto
