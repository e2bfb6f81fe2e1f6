// Following the log that the game is still writing: the active-mode switch, the timer
// tick and the interval field.
#pragma once

#include <string>

namespace mizuto {

struct App;

// Runs after the ActiveMode action flipped its checked state.
void ApplyActiveModeSwitch(App& app);

// One tick of the timer: reads what the file gained, analyses the new lines and keeps only
// the newest battle counted. False when the log could not be opened (the reader has put its
// message in the error pane); the next tick tries again from the same offset. When the file
// at the log's path is shorter than what was read, or begins otherwise (another log), the
// error pane says so and the file is loaded from its start as a new log is.
bool TickFollowedLog(App& app);

// In active mode, writes the sink counter into the counter file the settings name (the
// follower's rule: only when its text changed); a failure is said in the error pane once.
void KeepCounterFile(App& app);

// The interval field's text changed. False when the text is not a decimal integer (the
// window shows the invalid-number message; nothing changes).
bool SetIntervalText(App& app, const std::string& text);
// The text the interval field's arrows put in it: the interval in force, `delta` seconds on,
// within the rule's range.
std::string SteppedIntervalText(const App& app, int delta);

}  // namespace mizuto
