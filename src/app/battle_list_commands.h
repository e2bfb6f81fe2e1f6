// The battle list's commands: the user's corrections, each ending with a refresh of every
// total, and the registration of an NPC fleet.
#pragma once

#include <string>

namespace mizuto {

struct App;
struct Dialogs;

// Sets (include) or clears (exclude) the counted bit of every selected battle.
void SetTallyBit(App& app, bool set);
// Replaces byte `byteIndex` of the ClassWord of every selected battle by `value`.
void SetClassByte(App& app, int byteIndex, int value);

inline void AddTotalListExecute(App& app) { SetTallyBit(app, true); }
inline void DelTotalListExecute(App& app) { SetTallyBit(app, false); }
inline void ShipTypeBExecute(App& app) { SetClassByte(app, 0, 2); }
inline void ShipTypeMExecute(App& app) { SetClassByte(app, 0, 1); }
inline void ShipTypeSExecute(App& app) { SetClassByte(app, 0, 0); }
inline void BattleTypeKExecute(App& app) { SetClassByte(app, 1, 0); }
inline void BattleTypeMExecute(App& app) { SetClassByte(app, 1, 1); }
inline void BattleTypeRExecute(App& app) { SetClassByte(app, 1, 2); }
inline void ToPCExecute(App& app) { SetClassByte(app, 2, 0); }
inline void ToNPCExecute(App& app) { SetClassByte(app, 2, 1); }

// Registers the focused battle's opponent as an NPC fleet. Returns false with `error` set
// when NPCList.txt could not be written.
bool AddNPCExecute(App& app, Dialogs& dialogs, std::string* error);

// Enabling rules of the battle list's context menu.
void PopupMenu3Popup(App& app);

}  // namespace mizuto
