// The command line of the headless modes (--report, --follow): the options they share and
// one walk over the arguments.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace mizuto {

// The exit status of a headless mode whose output could not be written (a full disk, a
// closed output): 0 and 1 are the run's own, 2 bad arguments.
inline constexpr int kOutputFailedStatus = 3;
// The exit status of a headless mode that ran out of memory (a log too large for the
// memory the system grants): neither the log's fault nor the output's.
inline constexpr int kOutOfMemoryStatus = 4;

struct HeadlessOptions {
  std::string ProgramDir;  // holds Mizuto.ini and the list files; ends in a separator
  std::string LogPath;
  bool Sjis = false;  // output in Shift-JIS bytes instead of UTF-8
  bool Help = false;  // --help: print the usage and do nothing else
};

// What a mode makes of one of its own options: Taken, Unknown (not an option of this
// mode), or Refused (`error` set). `value` fetches the option's value (false when the
// argument list ends before it, with `error` set).
enum class OptionUse { Taken, Unknown, Refused };
using OwnOption = std::function<OptionUse(const std::string& option,
                                          const std::function<bool(std::string*)>& value)>;

// Walks `args`: --help/-h, --program-dir, --encoding and the one log file are handled
// here, every other option goes to `own`. `verb` names what is done to the log in the
// message for a second one ("reported", "followed"). False with `error` set.
bool ParseHeadlessArguments(const std::vector<std::string>& args, HeadlessOptions& options,
                            const char* verb, const OwnOption& own, std::string* error);

// The window's command line: [--program-dir DIR] [--screenshot FILE] [--quit-after-load]
// [--no-history] [LOG]. It is read before the window is wanted, so a mistyped option is named even where
// no display is.
struct WindowOptions {
  std::string ProgramDir;  // empty: the program's folder; else ends in '/'
  std::string LogPath;
  std::string Screenshot;
  bool QuitAfterLoad = false;
  bool NoHistory = false;  // the loads leave the season history alone
  bool Help = false;
};

// False with `error` set ("unknown option --x", "one log at a time").
bool ParseWindowArguments(const std::vector<std::string>& args, WindowOptions& options,
                          std::string* error);
// Reads the window's arguments and answers what needs no window: the usage for --help
// (status 0), the mistake and the usage (status 2). -1: go on with `options`.
int ReadWindowArguments(const std::vector<std::string>& args, WindowOptions& options,
                        std::ostream& out, std::ostream& err);

}  // namespace mizuto
