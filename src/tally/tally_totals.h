// Per-name totals folded in one pass over the counted battles, shared by the tally table
// and the head-to-head grid so a refresh walks every name's statistics only once.
// Internal to src/tally.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "battle/analysis.h"
#include "tally/tally_views.h"

namespace mizuto {


struct NameTotals {
  std::int32_t AnyPresent = 0;      // OR of Present
  RelationSet Relations{};          // every battle's OwnerRelations together
  SideSet Sides{};                  // every battle's Sides together
  std::int32_t BattlesPresent = 0;  // battles with Present non-zero
  std::array<std::int32_t, 5> Counters{};  // BattleCounter sums
  std::int32_t Tenacity = 0;
  std::int32_t FleetMeals = 0;
};

// The indices of the counted battles, ascending.
std::vector<int> CountedBattleIndices(const Analysis& analysis);

// The totals of name n over `counted` (all zero for an invalid index).
NameTotals FoldNameTotals(const Analysis& analysis, int n, const std::vector<int>& counted);

// The head-to-head grid from totals already folded for every visible name; `totals` is
// indexed by name index, entries of hidden names are ignored.
void FillHeadToHeadFrom(const Analysis& analysis, const std::vector<int>& counted,
                        const std::vector<NameTotals>& totals, HeadToHeadGrid& grid);

}  // namespace mizuto
