// The result views as the commands keep them: the battle list's hint, the transcript of
// the selected battles, the tally table and the head-to-head grid, the summary line.
#pragma once

#include <span>
#include <string>

#include "app/parts/view_models.h"

namespace mizuto {

struct App;

// A transcript switch: the action whose checked state shows a part of the transcript.
struct TranscriptSwitch {
  ActionState Actions::*State;
  bool& (*Part)(DetailSwitches& switches);
};

// Every transcript switch, each part once. Kept here, beside the transcript's drawing, and
// not in the window's command table above it: a load draws the transcript too.
std::span<const TranscriptSwitch> TranscriptSwitches();

// What the transcript shows, from the view switches.
DetailSwitches DetailSwitchesOf(const Actions& acts);

// Empties the detail pane, the tally rows and the battle list; disables PlayerHide and
// PlayerAll.
void ClearResultViews(App& app);

// Clears the detail pane and renders every selected battle in list order; with nothing
// selected the pane keeps its text. The pane shows the transcript from its start.
void RenderSelectedBattles(App& app);

// Active mode's view of the log: the newest battle alone is selected and shown, the pane
// kept at its end, where the battle being fought goes on.
void ShowNewestBattle(App& app);

// The tally table's columns from the lists and their check marks.
void RebuildTallyColumns(App& app);

// Rebuilds the tally rows, the head-to-head grid and the summary line: the one refresh
// point of every total.
void RefreshTallies(App& app);

// The hint for a log in which no chat line was recognised (Shift-JIS).
const std::string& UnrecognisedLogHint();
// The note for a log with more battles than the battle table holds (Shift-JIS).
const std::string& BattleTableFullNote();
// What the status bar shows: the status text, and the hint above while the loaded log has
// given no chat line, or the note above while its later battles were dropped (the report's
// summary is the status text alone).
std::string StatusBarText(const App& app);

// The user changed the selection of the battle list.
void SelectBattles(App& app);

// The tally table: a header click, a selection, hiding the selected players, showing all.
void SortTallyByColumn(App& app, int column);
void SelectTallyRows(App& app);
void HideSelectedTallyPlayers(App& app);
void ShowAllTallyPlayers(App& app);

// Writes the tally table to app.CsvPath (atomically). False with `error` set on failure.
bool SaveTallyCsv(App& app, std::string* error);

}  // namespace mizuto
