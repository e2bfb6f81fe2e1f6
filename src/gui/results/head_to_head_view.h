// The head-to-head page's grid: its look, and the width of its name column.
#pragma once

#include "app/parts/view_models.h"

class QTableView;

namespace mizuto {

// The widest the takers' name column grows for a long name; the whole name is the
// section's tooltip.
inline constexpr int kMaxNameColumnWidth = 200;

// Look of the grid: the Gothic at 11 pixels, grid lines, cells 50 x 18, the fixed first row
// and first column (the header sections) sky blue, row and range selection, read-only.
void SetUpHeadToHeadView(QTableView* grid);

// Makes the takers' column as wide as the longest name of the grid needs (at least as wide
// as a data column, at most kMaxNameColumnWidth).
void FitNameColumn(QTableView* grid, const HeadToHeadGrid& cells);

}  // namespace mizuto
