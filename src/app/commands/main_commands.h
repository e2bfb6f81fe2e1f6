// The main window's small commands: what a check box, a check mark, a menu or a drop does
// to the program's state. The window calls these and redraws; nothing here knows a widget.
#pragma once

#include <string>

namespace mizuto {

struct App;

// "NPCとの戦闘を含める" clicked: the current log (if any) is loaded and analysed again with
// the new setting.
void NPCCheckClick(App& app, bool checked);

// A check mark of the skill list (skillChecks) or the item list (itemChecks) toggled:
// the tally table gets its new columns and figures. An index outside the list is ignored.
void ToggleSkillColumn(App& app, int index, bool checked);
void ToggleItemColumn(App& app, int index, bool checked);

// Any of the thirteen detail switches, the ShowBattleLog action or a double-click on the battle
// list: the detail pane is drawn again from the selected battles.
void RedrawSelectedBattles(App& app);
void ShowSelectedBattles(App& app);

// The averaging switches: every figure is recomputed.
void ApplyHitDownAveraging(App& app);
void ApplySkillItemAveraging(App& app);

// Opening the File menu: LoadNewLog is offered only when the log folder has a log (searched
// at every opening), ForgetLoadedLog only when the history holds the loaded log.
void PrepareFileMenu(App& app);

// The three ways to (re)load a log and the drop. Each returns what LoadAndAnalyse returns.
bool OpenLogFile(App& app, const std::string& nativePath);  // open dialog and drop
bool LoadNewestLog(App& app);
bool ReloadCurrentLog(App& app);

// A drop carries exactly one log, or the user is told so (Shift-JIS message).
bool DropIsAccepted(int fileCount);
std::string OneLogOnlyMessage();

}  // namespace mizuto
