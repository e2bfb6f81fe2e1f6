#include "curate/battle_corrections.h"

#include <algorithm>
#include <cstdint>

#include "battle/battle_label.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

// Applies `change` to every selected battle, relabels its row and selects it again (a new
// row text drops the selection).
template <class Change>
bool ChangeSelectedBattles(Analysis& analysis, BattleListView& list, Change change) {
  if (!list.AnySelected()) return false;
  // Re-selecting a row moves the focus to it; the focus must stay on the row the user left
  // it on, since "NPCリストへ登録" acts on that row.
  const int focus = list.FocusRow;
  const int rows = std::min(list.Count(), analysis.BattleCount());
  for (int i = 0; i < rows; ++i) {
    if (!list.IsSelected(i)) continue;
    change(analysis.Battles[static_cast<std::size_t>(i)]);
    list.Replace(i, BattleLabel(analysis, i));
    list.Select(i);
  }
  list.FocusRow = focus;
  return true;
}

}  // namespace

bool SetTallyBit(Analysis& analysis, BattleListView& list, bool set) {
  return ChangeSelectedBattles(analysis, list, [set](BattleRecord& r) {
    if (set) {
      CountKeepingGameMark(r);
    } else {
      UncountKeepingGameMark(r);
    }
  });
}

bool ChangeClass(Analysis& analysis, BattleListView& list, const BattleCorrection& change) {
  return ChangeSelectedBattles(analysis, list, [&change](BattleRecord& r) { ApplyCorrection(r, change); });
}

NpcCandidate NpcCandidateOf(const Analysis& analysis, int row, const ReferenceLists& lists) {
  NpcCandidate candidate;
  if (row < 0 || row >= analysis.BattleCount()) return candidate;
  const BattleRecord& battle = analysis.Battles[static_cast<std::size_t>(row)];
  // A battle that ended without an opponent has nobody to register.
  if (!analysis.Names.Valid(battle.Opponent)) return candidate;
  candidate.Name = analysis.Names[battle.Opponent].Name;
  // Listed when an entry occurs in the name, as the NPC filter compares.
  if (!lists.PassesNpcFilter(candidate.Name, false)) {
    candidate.What = NpcCandidate::AlreadyListed;
    return candidate;
  }
  // A name whose only "A" is its final character is registered without it. The search is
  // by character: the second byte of a double-byte character such as "ア" (0x83 0x41) is
  // not an "A", and removing it would leave half a character behind.
  std::string& name = candidate.Name;
  if (!name.empty() && FindChar(name, "A") == name.size()) name.pop_back();
  candidate.What = NpcCandidate::New;
  return candidate;
}

BattleMenuEnabling BattleMenuEnablingFor(int selected) { return {selected > 0, selected == 1}; }

}  // namespace mizuto
