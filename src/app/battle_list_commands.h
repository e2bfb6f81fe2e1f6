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

inline void AddTotalListExecute(App& app) { SetTallyBit(app, true); }
inline void DelTotalListExecute(App& app) { SetTallyBit(app, false); }
inline void ShipTypeBExecute(App& app) { ChangeClass(app, BattleCorrection::OfSize(ShipSize::Large)); }
inline void ShipTypeMExecute(App& app) { ChangeClass(app, BattleCorrection::OfSize(ShipSize::Medium)); }
inline void ShipTypeSExecute(App& app) { ChangeClass(app, BattleCorrection::OfSize(ShipSize::Small)); }
inline void BattleTypeKExecute(App& app) { ChangeClass(app, BattleCorrection::OfType(BattleType::Naval)); }
inline void BattleTypeMExecute(App& app) { ChangeClass(app, BattleCorrection::OfType(BattleType::Mock)); }
inline void BattleTypeRExecute(App& app) { ChangeClass(app, BattleCorrection::OfType(BattleType::Real)); }
inline void ToPCExecute(App& app) { ChangeClass(app, BattleCorrection::OfNpc(false)); }
inline void ToNPCExecute(App& app) { ChangeClass(app, BattleCorrection::OfNpc(true)); }

// Registers the focused battle's opponent as an NPC fleet. Returns false with `error` set
// when NPCList.txt could not be written.
bool AddNPCExecute(App& app, Dialogs& dialogs, std::string* error);

// Enabling rules of the battle list's context menu.
void PrepareBattleMenu(App& app);

}  // namespace mizuto
