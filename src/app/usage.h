// The command line of every mode, as `mizuto --help` prints it.
#pragma once

#include <string>

namespace mizuto {

inline constexpr const char* kWindowUsage =
    "usage: mizuto [--program-dir DIR] [--screenshot PNG | --quit-after-load] [--no-history] [LOG]\n";

// The browser view (a build with the window has it too).
inline constexpr const char* kServeUsage =
    "usage: mizuto --serve [--port N] [--active] [--program-dir DIR] [--no-history] [LOG]\n";

// Follows a mode's synopsis when the arguments were wrong.
inline constexpr const char* kHelpHint = "mizuto --help describes every mode and option\n";

// The synopsis of every mode followed by what each option does, for a build with the main
// window or for one without it (the Windows zip), which has only the modes without a display.
std::string FullUsage(bool window = true);

// What a build without the window says when it is started with no argument (on Windows,
// a double-click): in the players' language, how to use it from a prompt.
std::string StartGuide();

}  // namespace mizuto
