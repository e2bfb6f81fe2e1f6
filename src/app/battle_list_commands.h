// The battle list's commands: the user's corrections, each ending with a refresh of every
// total, and the registration of an NPC fleet.
#pragma once

#include <string>

#include "battle/tables.h"

namespace mizuto {

struct App;
struct Dialogs;

// Sets (include) or clears (exclude) the counted bit of every selected battle.
void SetTallyBit(App& app, bool set);
// Applies `change` to the class of every selected battle.
void ChangeClass(App& app, void (*change)(BattleClass&));

inline void AddTotalListExecute(App& app) { SetTallyBit(app, true); }
inline void DelTotalListExecute(App& app) { SetTallyBit(app, false); }
inline void ShipTypeBExecute(App& app) { ChangeClass(app, [](BattleClass& c) { c.Size = ShipSize::Large; }); }
inline void ShipTypeMExecute(App& app) { ChangeClass(app, [](BattleClass& c) { c.Size = ShipSize::Medium; }); }
inline void ShipTypeSExecute(App& app) { ChangeClass(app, [](BattleClass& c) { c.Size = ShipSize::Small; }); }
inline void BattleTypeKExecute(App& app) { ChangeClass(app, [](BattleClass& c) { c.Type = BattleType::Naval; }); }
inline void BattleTypeMExecute(App& app) { ChangeClass(app, [](BattleClass& c) { c.Type = BattleType::Mock; }); }
inline void BattleTypeRExecute(App& app) { ChangeClass(app, [](BattleClass& c) { c.Type = BattleType::Real; }); }
inline void ToPCExecute(App& app) { ChangeClass(app, [](BattleClass& c) { c.Npc = false; }); }
inline void ToNPCExecute(App& app) { ChangeClass(app, [](BattleClass& c) { c.Npc = true; }); }

// Registers the focused battle's opponent as an NPC fleet. Returns false with `error` set
// when NPCList.txt could not be written.
bool AddNPCExecute(App& app, Dialogs& dialogs, std::string* error);

// Enabling rules of the battle list's context menu.
void PrepareBattleMenu(App& app);

}  // namespace mizuto
