#include "tally/tally_table.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "text/sjis.h"

namespace mizuto {
namespace {

// The number a cell shows, "%" ignored. Parsed without the process locale: the texts are
// always written with a decimal point. Kept in single precision, so values that differ only
// beyond it sort as equal.
float CellValue(const TallyRow& row, int column) {
  const std::size_t index = static_cast<std::size_t>(column - 1);
  if (index >= row.Cells.size()) return 0.0f;
  const std::string text = ReplaceAllText(row.Cells[index], "%", "");
  double value = 0.0;
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;  // from_chars takes no plus sign
  if (std::from_chars(first, last, value).ec != std::errc()) value = 0.0;
  return static_cast<float>(value);
}

}  // namespace

int IconSortRank(int icon) {
  switch (icon) {
    case 0: return 0;
    case 2: return 1;
    case 9: return 2;
    case 12: return 3;
    case 10: return 5;
    case 13: return 6;
    case 8: return 8;
    case 11: return 9;
    case 3: return 11;
    case 1: return 12;
    default: return 0;  // the other icons are never given to a row
  }
}

int CompareTallyRows(const TallyTableView& table, const TallyRow& x, const TallyRow& y) {
  const int c = table.SortColumn;
  if (c <= 0) {
    const int kx = IconSortRank(x.Icon), ky = IconSortRank(y.Icon);
    return table.SortReversed == 0 ? kx > ky : ky > kx;
  }
  const float vx = CellValue(x, c), vy = CellValue(y, c);
  return table.SortReversed == 0 ? vy > vx : vx > vy;
}

namespace {

void SortRows(TallyTableView& table) {
  // Stable, so rows with equal keys keep their order (there is no second key).
  table.SortRows([&table](const TallyRow& a, const TallyRow& b) {
    return CompareTallyRows(table, b, a) == 1;
  });
}

}  // namespace

void SortTallyRows(TallyTableView& table, int column) {
  table.SortColumn = column;
  table.SortReversed = column == table.PreviousSortColumn ? 1 - table.SortReversed : 0;
  table.Sorted = true;
  SortRows(table);
  table.PreviousSortColumn = column;
}

void ReapplyTallySort(TallyTableView& table) {
  if (!table.Sorted || table.SortColumn < 0 ||
      static_cast<std::size_t>(table.SortColumn) >= table.Columns.size()) {
    return;
  }
  SortRows(table);
}

bool TallySortIsDescending(const TallyTableView& table) {
  // The name column ranks ascending unless reversed; a number column shows its largest
  // value first unless reversed.
  return table.SortColumn <= 0 ? table.SortReversed != 0 : table.SortReversed == 0;
}

bool HideSelectedPlayers(const TallyTableView& table, NameTable& names) {
  bool hidden = false;
  for (const TallyRow& row : table.Rows) {
    if (!row.Selected || !names.Valid(row.NameIndex)) continue;
    names[row.NameIndex].Visible = 0;
    hidden = true;
  }
  return hidden;
}

void ShowAllPlayers(NameTable& names) {
  for (int n = 0; n < names.Count(); ++n) names[n].Visible = 1;
}

}  // namespace mizuto
