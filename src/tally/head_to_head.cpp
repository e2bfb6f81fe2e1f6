#include "tally/head_to_head.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "battle/analysis.h"
#include "tally/tally_totals.h"
#include "text/sjis.h"

namespace mizuto {

void FillHeadToHeadFrom(const Analysis& analysis, const std::vector<int>& counted,
                        const std::vector<NameTotals>& totals, HeadToHeadGrid& grid) {
  // Takers (a sink dealt) become rows, victims (a sink taken) columns, both in name order.
  std::vector<int> takers, victims;
  const int names = std::min(analysis.NameCount(), static_cast<int>(totals.size()));
  for (int n = 0; n < names; ++n) {
    const NameTotals& t = totals[static_cast<std::size_t>(n)];
    if (analysis.Names[n].Visible == 0 || t.AnyPresent == 0) continue;
    if (t.Counters[kSinksDealt] != 0) takers.push_back(n);
    if (t.Counters[kSinksTaken] != 0) victims.push_back(n);
  }

  const int cols = static_cast<int>(victims.size()) + 1;
  const int rows = static_cast<int>(takers.size()) + 1;
  grid.Reset(cols, rows);
  for (int r = 1; r < rows; ++r) grid.RowHeaders[static_cast<std::size_t>(r)] = analysis.Names[takers[static_cast<std::size_t>(r - 1)]].Name;
  for (int c = 1; c < cols; ++c) grid.ColumnHeaders[static_cast<std::size_t>(c)] = analysis.Names[victims[static_cast<std::size_t>(c - 1)]].Name;

  // Rows are matched to a taker by the exact text of their header, so every row that shows
  // the taker's name counts the take.
  std::unordered_map<std::string_view, std::vector<int>> rowsByText;
  for (int r = 1; r < rows; ++r) rowsByText[grid.RowHeaders[static_cast<std::size_t>(r)]].push_back(r);
  static const std::vector<int> kNoRows;
  auto rowsNamed = [&](std::string_view text) -> const std::vector<int>& {
    const auto it = rowsByText.find(text);
    return it == rowsByText.end() ? kNoRows : it->second;
  };
  std::vector<const std::vector<int>*> rowsOfName(static_cast<std::size_t>(analysis.NameCount()), nullptr);

  for (int c = 1; c < cols; ++c) {
    // Where a player's row meets his own column nobody took him out, unless he is
    // recorded as his own taker.
    for (int r = 1; r < rows; ++r) grid.Kinds[grid.DataIndex(c, r)] = HeadToHeadGrid::CellKind::Number;
    for (int r : rowsNamed(grid.ColumnHeaders[static_cast<std::size_t>(c)])) {
      grid.Kinds[grid.DataIndex(c, r)] = HeadToHeadGrid::CellKind::Self;
    }
    // The column keeps the name index it was made from: looking the victim up again by its
    // text would add a name for an empty one on every refresh.
    const int victim = victims[static_cast<std::size_t>(c - 1)];
    const NameBattleStats* stats = analysis.Names[victim].Stats;
    for (int b : counted) {
      const int taker = stats[b].TakenBy;
      if (!analysis.Names.Valid(taker)) continue;
      const std::vector<int>*& matching = rowsOfName[static_cast<std::size_t>(taker)];
      if (matching == nullptr) matching = &rowsNamed(analysis.Names[taker].Name);
      for (int r : *matching) {
        const std::size_t i = grid.DataIndex(c, r);
        // A "-" cell that is counted becomes 1, as a "0" cell does.
        WrapAdd(grid.Counts[i], 1);
        grid.Kinds[i] = HeadToHeadGrid::CellKind::Number;
      }
    }
  }
}

void FillHeadToHead(const Analysis& analysis, HeadToHeadGrid& grid) {
  const std::vector<int> counted = CountedBattleIndices(analysis);
  std::vector<NameTotals> totals(static_cast<std::size_t>(analysis.NameCount()));
  for (int n = 0; n < analysis.NameCount(); ++n) {
    if (analysis.Names[n].Visible != 0) totals[static_cast<std::size_t>(n)] = FoldNameTotals(analysis, n, counted);
  }
  FillHeadToHeadFrom(analysis, counted, totals, grid);
}

}  // namespace mizuto
