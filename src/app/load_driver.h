// Chooses the log and runs a complete load and analysis of it.
#pragma once

namespace mizuto {

struct App;

// Reads what app.CurrentLogPath gained since app.ResumeOffset into app.Lines (the CSV path
// follows the log's name). False when it cannot be opened ("File Open Error" shown).
// With `showProgress` (a whole load) the status bar shows how much of it has been read.
bool ReadCurrentLog(App& app, bool showProgress = false);

// Empties every view and store, reads app.CurrentLogPath, analyses it, selects the first
// (or in active mode the newest) battle, renders it and refreshes the tallies.
// False when the log could not be opened (the views stay cleared).
bool LoadAndAnalyse(App& app);

// True when app.NewestLogPath holds the newest "*.html" of app.LogDir (found once a run).
bool FindNewestLog(App& app);

}  // namespace mizuto
