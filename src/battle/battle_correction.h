// A correction the player makes to a battle in the battle list, as the fields changed: the
// history keeps it so, and a later change of another field leaves these as they are.
#pragma once

#include <optional>

#include "battle/tables.h"

namespace mizuto {

// Only the fields set were changed.
struct BattleCorrection {
  std::optional<ShipSize> Size = std::nullopt;
  std::optional<BattleType> Type = std::nullopt;
  std::optional<bool> Npc = std::nullopt;
  std::optional<bool> CountMark = std::nullopt;
  bool Empty() const { return !Size && !Type && !Npc && !CountMark; }

  static BattleCorrection OfSize(ShipSize size) { return {.Size = size}; }
  static BattleCorrection OfType(BattleType type) { return {.Type = type}; }
  static BattleCorrection OfNpc(bool npc) { return {.Npc = npc}; }
  static BattleCorrection OfCountMark(bool countMark) { return {.CountMark = countMark}; }
};

// `record` as the player corrected it. The game's not-counted mark stays.
inline void ApplyCorrection(BattleRecord& record, const BattleCorrection& c) {
  if (c.Size) record.Class.Size = *c.Size;
  if (c.Type) record.Class.Type = *c.Type;
  if (c.Npc) record.Class.Npc = *c.Npc;
  if (c.CountMark) record.Tally.CountMark = *c.CountMark;
}

}  // namespace mizuto
