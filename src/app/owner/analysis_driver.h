// Runs the analysis for the program: the battle list, the status bar, the error pane and
// the sink counter follow what the analysis reports.
#pragma once

namespace mizuto {

struct App;

// Empties the analysis tables for a new log (the owner's name and the lists from the
// settings) and disables PlayerHide and PlayerAll, whose rows go with them.
void ResetAnalysis(App& app);

// What one run of the analysis did to the battle table.
struct AnalysedBattles {
  int Opened = 0;  // battles that started
  int Ended = 0;   // battles whose result was read
};

// Analyses app.Lines from `start` on, continuing the tables as they stand.
AnalysedBattles AnalyseNewLines(App& app, int start);

// Writes the sink counter's text from the analysis' counters as they are now.
void ShowSinkCount(App& app);

}  // namespace mizuto
