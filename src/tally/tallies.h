// Per-player totals over the counted battles: the tally table's columns and rows and the
// head-to-head grid.
#pragma once

#include <cstdint>
#include <vector>

#include "battle/analysis.h"
#include "battle/reference_lists.h"
#include "tally/tally_views.h"

namespace mizuto {

// What the tally table shows besides the fixed columns, and how.
struct TallyOptions {
  const ReferenceLists& Lists;
  const std::vector<char>& SkillChecked;  // parallel to Lists.SkillNames
  const std::vector<char>& ItemChecked;   // parallel to Lists.ItemNames
  bool AverageHits = false;    // sinks, decisive blows and captures as % of the battles
  bool AverageOthers = false;  // tenacity, meals, skills and items per battle
};

// The row icon from the sides a name was seen on and how it stood to the owner.
int TallyIcon(SideSet sides, RelationSet relations);

// Fixed columns, then one per checked skill, then one per checked item.
void BuildTallyColumns(const TallyOptions& options, TallyTableView& table);

// The rows of the tally table (one per visible name present in a counted battle, in name
// order) and the head-to-head grid, from the counted battles.
void BuildTallies(const Analysis& analysis, const TallyOptions& options, TallyTableView& table,
                  HeadToHeadGrid& grid);

}  // namespace mizuto
