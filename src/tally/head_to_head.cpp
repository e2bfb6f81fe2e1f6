#include "tally/head_to_head.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/app.h"
#include "tally/tally_totals.h"
#include "text/sjis.h"

namespace mizuto {

void FillHeadToHeadFrom(App& app, const std::vector<int>& counted,
                        const std::vector<NameTotals>& totals) {
  // Takers (a sink dealt) become rows, victims (a sink taken) columns, both in name order.
  std::vector<int> takers, victims;
  const int names = std::min(app.NameCount(), static_cast<int>(totals.size()));
  for (int n = 0; n < names; ++n) {
    const NameTotals& t = totals[static_cast<std::size_t>(n)];
    if (app.Names[n].Visible == 0 || t.AnyPresent == 0) continue;
    if (t.Counters[kSinksDealt] != 0) takers.push_back(n);
    if (t.Counters[kSinksTaken] != 0) victims.push_back(n);
  }

  HeadToHeadGrid& grid = app.Grid;
  const int cols = static_cast<int>(victims.size()) + 1;
  const int rows = static_cast<int>(takers.size()) + 1;
  if (grid.ColCount != cols || grid.RowCount != rows) grid.Resize(cols, rows);
  for (int r = 1; r < rows; ++r) grid.Cell(0, r) = app.Names[takers[static_cast<std::size_t>(r - 1)]].Name;
  for (int c = 1; c < cols; ++c) grid.Cell(c, 0) = app.Names[victims[static_cast<std::size_t>(c - 1)]].Name;

  // Rows are matched to a taker by the exact text of their header, so every row that shows
  // the taker's name counts the take.
  std::unordered_map<std::string_view, std::vector<int>> rowsByText;
  for (int r = 1; r < rows; ++r) rowsByText[grid.Cell(0, r)].push_back(r);
  static const std::vector<int> kNoRows;
  auto rowsNamed = [&](std::string_view text) -> const std::vector<int>& {
    const auto it = rowsByText.find(text);
    return it == rowsByText.end() ? kNoRows : it->second;
  };
  std::vector<const std::vector<int>*> rowsOfName(static_cast<std::size_t>(app.NameCount()), nullptr);

  // One column of counts after the other (the takes of a victim land close together), then
  // the texts written in bands of columns, row after row as the grid lays out its cells: a
  // full grid has a million of them.
  const std::size_t height = static_cast<std::size_t>(rows);
  auto index = [height](int c, int r) {
    return static_cast<std::size_t>(c) * height + static_cast<std::size_t>(r);
  };
  std::vector<std::int32_t> takes(static_cast<std::size_t>(cols) * height, 0);
  std::vector<char> self(takes.size(), 0);
  for (int c = 1; c < cols; ++c) {
    // The column keeps the name index it was made from: looking the victim up again by its
    // text would add a name for an empty one on every refresh.
    const int victim = victims[static_cast<std::size_t>(c - 1)];
    const NameBattleStats* stats = app.Names[victim].Stats;
    for (int b : counted) {
      const int taker = stats[b].TakenBy;
      if (!app.Names.Valid(taker)) continue;
      const std::vector<int>*& matching = rowsOfName[static_cast<std::size_t>(taker)];
      if (matching == nullptr) matching = &rowsNamed(app.Names[taker].Name);
      for (int r : *matching) WrapAdd(takes[index(c, r)], 1);
    }
    for (int r : rowsNamed(grid.Cell(c, 0))) self[index(c, r)] = 1;
  }

  static const std::string kZero = "0", kSelf = "-";
  constexpr int kBand = 16;
  for (int first = 1; first < cols; first += kBand) {
    const int last = std::min(cols, first + kBand);
    for (int r = 1; r < rows; ++r) {
      for (int c = first; c < last; ++c) {
        std::string& cell = grid.Cell(c, r);
        const std::int32_t n = takes[index(c, r)];
        if (n != 0) {
          cell = DecimalText(n);
        } else if (self[index(c, r)]) {
          // Where a player's row meets his own column nobody took him out, unless he is
          // recorded as his own taker.
          cell = kSelf;
        } else {
          cell = kZero;
        }
      }
    }
  }
}

void FillHeadToHead(App& app) {
  const std::vector<int> counted = CountedBattleIndices(app);
  std::vector<NameTotals> totals(static_cast<std::size_t>(app.NameCount()));
  for (int n = 0; n < app.NameCount(); ++n) {
    if (app.Names[n].Visible != 0) totals[static_cast<std::size_t>(n)] = FoldNameTotals(app, n, counted);
  }
  FillHeadToHeadFrom(app, counted, totals);
}

}  // namespace mizuto
