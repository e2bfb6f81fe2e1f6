// A correction the player makes to a battle in the battle list, as the fields changed: the
// history keeps it so, and a later change of another field leaves these as they are.
#pragma once

#include <optional>

#include "battle/tables.h"

namespace mizuto {

// Only the fields set were changed.
struct BattleCorrection {
  std::optional<ShipSize> Size;
  std::optional<BattleType> Type;
  std::optional<bool> Npc;
  std::optional<bool> CountMark;
  bool Empty() const { return !Size && !Type && !Npc && !CountMark; }

  static BattleCorrection OfSize(ShipSize size) {
    BattleCorrection c;
    c.Size = size;
    return c;
  }
  static BattleCorrection OfType(BattleType type) {
    BattleCorrection c;
    c.Type = type;
    return c;
  }
  static BattleCorrection OfNpc(bool npc) {
    BattleCorrection c;
    c.Npc = npc;
    return c;
  }
  static BattleCorrection OfCountMark(bool countMark) {
    BattleCorrection c;
    c.CountMark = countMark;
    return c;
  }
};

// `record` as the player corrected it. The game's not-counted mark stays.
inline void ApplyCorrection(BattleRecord& record, const BattleCorrection& c) {
  if (c.Size) record.Class.Size = *c.Size;
  if (c.Type) record.Class.Type = *c.Type;
  if (c.Npc) record.Class.Npc = *c.Npc;
  if (c.CountMark) record.Tally.CountMark = *c.CountMark;
}

}  // namespace mizuto
