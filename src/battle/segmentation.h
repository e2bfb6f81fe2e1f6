// Splits the line store into battles: follows the owner's fleet and the event phases,
// opens a battle at a start message, ends it at a result message, and hands every line
// inside a battle to the event recognition.
#pragma once

namespace mizuto {

struct App;

// Analyses app.Lines from index `start` to the end. All state lives in the App's tables,
// so a later call continues exactly where this one stopped.
void AnalyseLines(App& app, int start);

}  // namespace mizuto
