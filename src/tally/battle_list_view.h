// The battle list and its hint: the record of the selected counted battles.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "battle/analysis.h"

namespace mizuto {

// The battle list: one text row per battle, several rows may be selected.
struct BattleListView {
  std::vector<std::string> Rows;
  std::vector<char> Selected;  // parallel to Rows
  int FocusRow = -1;           // the row that has the focus, -1 for none
  std::string Hint;

  int Count() const { return static_cast<int>(Rows.size()); }
  void Clear() {
    Rows.clear();
    Selected.clear();
    FocusRow = -1;
  }
  void Append(std::string text) {
    Rows.push_back(std::move(text));
    Selected.push_back(0);
  }
  bool HasRow(int row) const { return row >= 0 && row < Count(); }
  // Replacing a row's text drops its selection; the focus stays where it was. A row that
  // is not there (the rows were emptied while the battles stay) is left alone.
  void Replace(int row, std::string text) {
    if (!HasRow(row)) return;
    Rows[static_cast<std::size_t>(row)] = std::move(text);
    Selected[static_cast<std::size_t>(row)] = 0;
  }
  // Adds the row to the selection (other rows stay selected) and gives it the focus.
  void Select(int row) {
    if (!HasRow(row)) return;
    Selected[static_cast<std::size_t>(row)] = 1;
    FocusRow = row;
  }
  // The row alone is selected, and has the focus.
  void SelectOnly(int row) {
    if (!HasRow(row)) return;
    std::fill(Selected.begin(), Selected.end(), 0);
    Select(row);
  }
  bool IsSelected(int row) const { return HasRow(row) && Selected[static_cast<std::size_t>(row)] != 0; }
  int SelectedCount() const {
    int n = 0;
    for (char s : Selected) n += s != 0;
    return n;
  }
  bool AnySelected() const { return SelectedCount() > 0; }
};

// The hint shows the results of the selected counted battles; a selection without one
// keeps the hint it had.
void ShowBattleListHint(const Analysis& analysis, BattleListView& list);

}  // namespace mizuto
