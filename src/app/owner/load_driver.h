// Chooses the log and runs a complete load and analysis of it.
#pragma once

#include <string>

#include "platform/platform.h"

namespace mizuto {

struct App;

// The error pane's line for a log that did not open.
inline constexpr const char* kFileOpenError = "File Open Error";

// Reads what app.CurrentLogPath gained since app.ResumeOffset into app.Lines (the CSV path
// follows the log's name) and keeps the outcome in app.LastRead. False when it cannot be
// opened: the error pane's last line is then kFileOpenError.
// With `showProgress` (a whole load) the status bar shows how much of it has been read.
bool ReadCurrentLog(App& app, bool showProgress = false);

// A log that did not open, for the status bar (Shift-JIS): "ログを開けませんでした: " the
// file's name and, in brackets, why.
std::string LogNotOpenedStatus(const std::string& path, const platform::OpenError& error);

// The same for the error output of the command-line modes (UTF-8):
// "File Open Error: " the path ": " the system's reason, on one line whatever the path holds.
std::string LogNotOpenedLine(const std::string& path, const platform::OpenError& error);
// The system's reason alone (UTF-8), for a message that names the path itself.
std::string LogNotOpenedReason(const platform::OpenError& error);

// Empties every view and store, reads the log at `path` (UTF-8), analyses it, selects the
// first (or in active mode the newest) battle, renders it and refreshes the tallies. From
// then on `path` is the log the program shows and follows (app.CurrentLogPath), read or not.
// False when the log could not be opened: the views stay cleared and the status bar says
// which log did not open and why.
bool LoadAndAnalyse(App& app, std::string path);
// The same for the log the program shows now: a reload.
bool LoadAndAnalyse(App& app);

// Searches app.LogDir for its newest "*.html" into app.NewestLogPath (emptied when there is
// none) and says whether one was found. Searched afresh at every call: the game starts a new
// log each day, and the folder itself may have been changed in the settings.
bool FindNewestLog(App& app);

// Whether a file name ends in ".html" (any case): what the game names its chat logs.
bool IsHtmlLogName(const std::string& name);

}  // namespace mizuto
