// Plain models of the controls that the analysis writes into. The window only draws them;
// the headless report prints them.
#pragma once

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
  bool IsSelected(int row) const { return HasRow(row) && Selected[static_cast<std::size_t>(row)] != 0; }
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

  // Lays out an empty grid of the given size.
  void Reset(int cols, int rows) {
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
