// The command line of every mode, as `mizuto --help` prints it.
#pragma once

#include <string>

namespace mizuto {

inline constexpr const char* kWindowUsage =
    "usage: mizuto [--program-dir DIR] [--screenshot PNG | --quit-after-load] [--no-history] [LOG]\n";

// Follows a mode's synopsis when the arguments were wrong.
inline constexpr const char* kHelpHint = "mizuto --help describes every mode and option\n";

// The synopsis of every mode followed by what each option does.
std::string FullUsage();

}  // namespace mizuto
