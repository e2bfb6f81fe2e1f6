// Taking a log out of the season history from the window: the log a battle of the History
// page came from, or the loaded log. Each asks first, naming the log and its battles.
#pragma once

#include <cstdint>
#include <string>

#include "app/parts/dialogs.h"

namespace mizuto {

struct App;

// The question asked before a log goes (Shift-JIS): its file name (UTF-8) and battles.
std::string ForgetLogQuestion(const std::string& fileName, std::int64_t battles);

// Takes log `logId` out of the history once the player says yes (no question to ask: it
// stays). The status bar says what went; a failure goes to the error pane. True when the log
// went.
bool ForgetHistoryLog(App& app, std::int64_t logId, const Dialogs& ask);

// The log of battle row `row` of the History page.
bool ForgetHistoryBattleLog(App& app, int row, const Dialogs& ask);

// The loaded log, when the history holds it (the File menu's command is enabled then).
bool ForgetLoadedLogAfterAsking(App& app, const Dialogs& ask);
bool LoadedLogInHistory(App& app);

}  // namespace mizuto
