// The user's corrections to the analysis, on the battles selected in the battle list:
// counted or not, size class, battle type, NPC or player opponent; and the name under
// which a battle's opponent joins the NPC list.
#pragma once

#include <string>

#include "battle/analysis.h"
#include "battle/battle_correction.h"
#include "battle/reference_lists.h"
#include "tally/battle_list_view.h"

namespace mizuto {

// Sets (include) or clears (exclude) the counted bit of every selected battle; the game's
// not-counted mark stays. Rows are relabelled and stay selected. False when nothing was
// selected (nothing changed).
bool SetTallyBit(Analysis& analysis, BattleListView& list, bool set);

// Applies `change` (a new ship size, battle type or NPC flag) to every selected battle, as
// SetTallyBit does.
bool ChangeClass(Analysis& analysis, BattleListView& list, const BattleCorrection& change);

// The name under which the opponent of battle `row` would join the NPC list.
struct NpcCandidate {
  enum Kind { None, AlreadyListed, New } What = None;
  std::string Name;  // for New: the opponent's name, a final lone "A" dropped
};
NpcCandidate NpcCandidateOf(const Analysis& analysis, int row, const ReferenceLists& lists);

// Which of the battle list menu's actions are on for a selection of `selected` rows.
struct BattleMenuEnabling {
  bool Commands = false;  // the counting, class, type, NPC-flag and transcript actions
  bool AddNpc = false;    // one row exactly
};
BattleMenuEnabling BattleMenuEnablingFor(int selected);

}  // namespace mizuto
