// Runs the analysis for the program: the battle list, the status bar, the error pane and
// the sink counter follow what the analysis reports.
#pragma once

namespace mizuto {

struct App;

// Empties the analysis tables for a new log (the owner's name and the lists from the
// settings) and disables PlayerHide and PlayerAll, whose rows go with them.
void ResetAnalysis(App& app);

// Analyses app.Lines from `start` on, continuing the tables as they stand.
void AnalyseNewLines(App& app, int start);

}  // namespace mizuto
