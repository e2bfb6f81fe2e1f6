// The models of the tally table and the head-to-head grid: what the window draws and the
// report prints.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace mizuto {

struct TallyColumn {
  std::string Caption;
  bool RightAligned = true;
};

struct TallyRow {
  std::string Caption;             // the player's name
  int Icon = 0;                    // index into the row icon list
  int NameIndex = -1;              // the NameTable entry the row shows
  std::vector<std::string> Cells;  // the texts of columns 1 .. last
  bool Selected = false;
};

struct TallyTableView {
  std::vector<TallyColumn> Columns;
  std::vector<TallyRow> Rows;
  // Sort state: lives for the whole run, never reset.
  int SortColumn = 0;
  int PreviousSortColumn = 0;
  int SortReversed = 0;
  bool Sorted = false;  // a header was clicked: every rebuild keeps the rows in this order
  // Counts every change of the rows or the columns, so a view that saw this number last
  // knows it has nothing to redraw. The changes below count it; a row's selection is the
  // window's own and counts nothing.
  std::uint64_t Revision = 0;

  void ClearRows() {
    Rows.clear();
    ++Revision;
  }
  void SetRows(std::vector<TallyRow> rows) {
    Rows = std::move(rows);
    ++Revision;
  }
  void SetColumns(std::vector<TallyColumn> columns) {
    Columns = std::move(columns);
    ++Revision;
  }
  // Reorders the rows, keeping the order of rows that `less` finds equal.
  template <class Less>
  void SortRows(Less less) {
    std::stable_sort(Rows.begin(), Rows.end(), less);
    ++Revision;
  }
};

// The head-to-head grid: cell (column c, row r); row 0 and column 0 are headers. The data
// cells are kept as numbers and made into text when asked for: a full grid has a million
// of them.
struct HeadToHeadGrid {
  enum class CellKind : std::uint8_t { Empty, Number, Self };

  int ColCount = 2;
  int RowCount = 2;
  std::vector<std::string> ColumnHeaders = std::vector<std::string>(2);  // cells (c, 0)
  std::vector<std::string> RowHeaders = std::vector<std::string>(2);     // cells (0, r)
  std::vector<std::int32_t> Counts = std::vector<std::int32_t>(1);       // cells c, r >= 1
  std::vector<CellKind> Kinds = std::vector<CellKind>(1);                //   column by column
  // Counts the grids laid out: a view that saw this number last has nothing to redraw.
  std::uint64_t Revision = 0;

  // Lays out an empty grid of the given size.
  void Reset(int cols, int rows) {
    ++Revision;
    ColCount = cols;
    RowCount = rows;
    ColumnHeaders.assign(static_cast<std::size_t>(cols), std::string());
    RowHeaders.assign(static_cast<std::size_t>(rows), std::string());
    const std::size_t data = static_cast<std::size_t>(cols - 1) * static_cast<std::size_t>(rows - 1);
    Counts.assign(data, 0);
    Kinds.assign(data, CellKind::Empty);
  }
  std::size_t DataIndex(int c, int r) const {
    return static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(RowCount - 1) +
           static_cast<std::size_t>(r - 1);
  }
  // The cell's text: a header, "-" where a player's row meets his own column, a decimal
  // count, or empty.
  std::string Cell(int c, int r) const {
    if (r == 0) return ColumnHeaders[static_cast<std::size_t>(c)];
    if (c == 0) return RowHeaders[static_cast<std::size_t>(r)];
    const std::size_t i = DataIndex(c, r);
    switch (Kinds[i]) {
      case CellKind::Number: return std::to_string(Counts[i]);
      case CellKind::Self: return "-";
      case CellKind::Empty: break;
    }
    return std::string();
  }
};

}  // namespace mizuto
