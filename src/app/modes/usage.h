// The command line of every mode, as `mizuto --help` prints it: the synopses and the list of
// options come from the option table (command_line.h), the prose around them from here.
#pragma once

#include <string>

#include "app/modes/command_line.h"

namespace mizuto {

// A mode's synopsis ("usage: mizuto --report [--program-dir DIR] ... LOGFILE"), its lines
// ended; it follows the mistake when a mode's arguments were wrong.
std::string ModeSynopsis(CommandMode mode);

// Follows a mode's synopsis when the arguments were wrong.
inline constexpr const char* kHelpHint = "mizuto --help describes every mode and option\n";

// The synopsis of every mode followed by what each option does, for a build with the main
// window or for one without it (the Windows zip), which has only the modes without a display.
std::string FullUsage(bool window = true);

// What a build without the window says when it is started with no argument (on Windows,
// a double-click): in the players' language, how to use it from a prompt.
std::string StartGuide();

}  // namespace mizuto
