// The battle list's commands: the user's corrections, each ending with a refresh of every
// total, and the registration of an NPC fleet.
#pragma once

#include <string>

#include "battle/battle_correction.h"

namespace mizuto {

struct App;
struct Dialogs;

// Sets (include) or clears (exclude) the counted bit of every selected battle.
void SetTallyBit(App& app, bool set);
// Applies `change` to every selected battle; the history keeps the fields it sets.
void ChangeClass(App& app, const BattleCorrection& change);

inline void CountSelectedBattles(App& app) { SetTallyBit(app, true); }
inline void UncountSelectedBattles(App& app) { SetTallyBit(app, false); }
inline void MarkSelectedLarge(App& app) { ChangeClass(app, BattleCorrection::OfSize(ShipSize::Large)); }
inline void MarkSelectedMedium(App& app) { ChangeClass(app, BattleCorrection::OfSize(ShipSize::Medium)); }
inline void MarkSelectedSmall(App& app) { ChangeClass(app, BattleCorrection::OfSize(ShipSize::Small)); }
inline void MarkSelectedNaval(App& app) { ChangeClass(app, BattleCorrection::OfType(BattleType::Naval)); }
inline void MarkSelectedMock(App& app) { ChangeClass(app, BattleCorrection::OfType(BattleType::Mock)); }
inline void MarkSelectedReal(App& app) { ChangeClass(app, BattleCorrection::OfType(BattleType::Real)); }
inline void MarkSelectedAsPlayers(App& app) { ChangeClass(app, BattleCorrection::OfNpc(false)); }
inline void MarkSelectedAsNpcs(App& app) { ChangeClass(app, BattleCorrection::OfNpc(true)); }

// Registers the focused battle's opponent as an NPC fleet. Returns false with `error` set
// when NPCList.txt could not be written.
bool AddFocusedOpponentToNpcList(App& app, Dialogs& dialogs, std::string* error);

// Enabling rules of the battle list's context menu.
void PrepareBattleMenu(App& app);

}  // namespace mizuto
