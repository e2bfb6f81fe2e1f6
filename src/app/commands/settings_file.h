// The settings file Mizuto.ini beside the program: section "Mizuto", Shift-JIS, read as
// the Windows profile format reads, replaced atomically on save.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace mizuto {

struct App;

// Start-up portions, in the order the window runs them. The window's switches are read and
// written where their commands say (window_commands.h).
// Geometry, pane sizes, the version check at start-up, NPC, CRI, UserName, LogDir, BattleView, ErrorView, and the
// [MizutoWindow] section, and the History page's [MizutoHistory].
void LoadSettingsFirst(App& app);
// ItemChk -> skill check marks, SkillChk -> item check marks (the lists must be loaded).
void LoadSettingsChecks(App& app);
// The switches kept after the check marks (the transcript's: Debug .. TChk).
void LoadSettingsSwitches(App& app);

// Every key the file keeps, section and key, in the order a new file gets them.
std::vector<std::pair<std::string, std::string>> SettingsKeyNames();

// Writes every key in save order; false with `error` set when the file cannot be written
// (the old file is left intact).
bool SaveSettings(const App& app, std::string* error);

// Writes Mizuto.ini into `programDir` (ending in a separator) with the settings a first
// start has, when there is none yet, so that a player of a build without the window finds
// every key to set by hand. True when the file was there or was written; false with
// `error` set when it could not be written (the run goes on without it).
bool WriteFirstSettings(const std::string& programDir, std::string* error);

}  // namespace mizuto
