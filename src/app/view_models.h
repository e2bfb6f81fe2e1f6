// Plain models of the controls that the analysis writes into. The window only draws them;
// the headless report prints them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

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
  // Replacing a row's text drops its selection; the focus stays where it was.
  void Replace(int row, std::string text) {
    Rows[static_cast<std::size_t>(row)] = std::move(text);
    Selected[static_cast<std::size_t>(row)] = 0;
  }
  // Adds the row to the selection (other rows stay selected) and gives it the focus.
  void Select(int row) {
    Selected[static_cast<std::size_t>(row)] = 1;
    FocusRow = row;
  }
  bool IsSelected(int row) const { return Selected[static_cast<std::size_t>(row)] != 0; }
  int SelectedCount() const {
    int n = 0;
    for (char s : Selected) n += s != 0;
    return n;
  }
  bool AnySelected() const { return SelectedCount() > 0; }
};

// One line of the battle detail pane: text (Shift-JIS), colour 0xRRGGBB, bold or not.
struct DetailLine {
  std::string Text;
  std::uint32_t Colour = 0xFFFFFF;
  bool Bold = false;
  bool operator==(const DetailLine&) const = default;
};

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
};

// The head-to-head grid: cell (column c, row r); row 0 and column 0 are headers.
struct HeadToHeadGrid {
  int ColCount = 2;
  int RowCount = 2;
  std::vector<std::string> Cells = std::vector<std::string>(4);

  std::string& Cell(int c, int r) { return Cells[static_cast<std::size_t>(r * ColCount + c)]; }
  const std::string& Cell(int c, int r) const {
    return Cells[static_cast<std::size_t>(r * ColCount + c)];
  }
  // Resizes keeping the texts of the cells that stay.
  void Resize(int cols, int rows) {
    std::vector<std::string> next(static_cast<std::size_t>(cols * rows));
    for (int r = 0; r < std::min(rows, RowCount); ++r)
      for (int c = 0; c < std::min(cols, ColCount); ++c)
        next[static_cast<std::size_t>(r * cols + c)] = std::move(Cell(c, r));
    ColCount = cols;
    RowCount = rows;
    Cells = std::move(next);
  }
};

struct ActionState {
  bool Enabled = true;
  bool Checked = false;
};

// The main window's actions: enabled and checked states. The checked state of a view
// switch is the program's only record of that setting.
struct Actions {
  ActionState LoadLog, ReloadLog{false}, LoadNewLog, SaveCsv{false}, Setting, Exit;
  ActionState CriView{true, true}, WaterView, SailView, RudderView, ConfuseView, DebugView;
  ActionState SayView, PartyView, CompanyView, RoomView1, RoomView2, RoomView3, TellView;
  ActionState BattleLogView{true, true}, ErrorLogView{true, true};
  ActionState AvgHitDown, AvgSkillItem, ActiveMode;
  ActionState PlayerHide{false}, PlayerAll{false};
  ActionState PrBatLog, AddTotalList, DelTotalList, ShipTypeS, ShipTypeM, ShipTypeB;
  ActionState BattleTypeK, BattleTypeM, BattleTypeR, ToPC, ToNPC, AddNPC;
  ActionState Version, VerCheck, HomePage;
};

}  // namespace mizuto
