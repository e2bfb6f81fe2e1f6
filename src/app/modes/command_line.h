// The command line of every mode (the window, --report, --follow, --history): one table of
// the options, which each mode's arguments are read against and which the usage is printed
// from (usage.h).
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <vector>

namespace mizuto {

// The exit status of a headless mode whose output could not be written (a full disk, a
// closed output): 0 and 1 are the run's own, 2 bad arguments.
inline constexpr int kOutputFailedStatus = 3;
// The exit status of a headless mode that ran out of memory (a log too large for the
// memory the system grants): neither the log's fault nor the output's.
inline constexpr int kOutOfMemoryStatus = 4;
// The shortest period --follow reads the log at.
inline constexpr int kMinFollowIntervalMs = 10;

// The port the browser view listens on unless --port says otherwise (the README names it).
inline constexpr int kDefaultServePort = 8372;

enum class CommandMode { Window, Report, Follow, History, Serve };

// What the arguments of a mode say; each mode reads the fields of its own options.
struct CommandLine {
  CommandMode Mode = CommandMode::Window;
  bool Help = false;       // --help: print the usage and do nothing else
  std::string ProgramDir;  // holds Mizuto.ini and the list files; empty or ending in '/'
  std::string LogPath;
  bool Sjis = false;       // output in Shift-JIS bytes instead of UTF-8
  // The window.
  std::string Screenshot;
  bool QuitAfterLoad = false;
  bool NoHistory = false;  // the window's loads, or --follow, leave the season history alone
  // --report.
  bool Active = false;
  bool AvgHitDown = false;
  bool AvgSkillItem = false;
  bool Detail = false;
  bool DetailAll = false;
  std::vector<int> DetailBattles;  // 1-based
  std::string HtmlFile;            // --html: the browser page written to this file instead
  // --follow.
  std::string CounterFile;  // empty: no counter file
  int IntervalMs = 3000;    // the window's period at start-up
  bool Json = false;        // --follow and --history: JSON Lines
  // --history.
  std::vector<std::string> Imports;  // log files and folders
  std::vector<std::string> Forgets;  // logs to take out of the history (after the imports)
  std::string From, To;              // "YYYY-MM-DD"; empty: open
  bool Reanalyse = false;  // analyse every stored log again under the settings now
  // --serve (and --active, --no-history above).
  int Port = kDefaultServePort;  // 0: any free port (the address printed names it)
  // Not an option: a progress line on the error output while a long load or import runs
  // (set when that output is a terminal).
  bool ShowProgress = false;
};
// Each mode's options are the command line read for that mode.
using WindowOptions = CommandLine;
using HeadlessOptions = CommandLine;

// Reads `args` (those after the mode's own word) as `mode`'s options. False with `error`
// set ("unknown option --x", "--interval takes milliseconds, at least 10", ...).
bool ParseCommandLine(CommandMode mode, const std::vector<std::string>& args, CommandLine& options,
                      std::string* error);

// The window's command line: [--program-dir DIR] [--screenshot PNG | --quit-after-load]
// [--no-history] [LOG]. It is read before the window is wanted, so a mistyped option is
// named even where no display is.
bool ParseWindowArguments(const std::vector<std::string>& args, WindowOptions& options,
                          std::string* error);
// Reads the window's arguments and answers what needs no window: the usage for --help
// (status 0), the mistake and the usage (status 2). -1: go on with `options`.
int ReadWindowArguments(const std::vector<std::string>& args, WindowOptions& options,
                        std::ostream& out, std::ostream& err);

// --- The tables the usage is printed from ---

// How an option takes its value.
enum class OptionValue {
  None,  // a switch
  One,   // the next argument, whatever it is
  List,  // every argument up to the next option, at least one
};

// One option of one mode, in the order the usage lists them.
struct CommandOption {
  CommandMode Mode;
  const char* Name;      // "--detail"
  const char* Synopsis;  // its value in the synopsis ("all|N[,N...]"), nullptr: none
  const char* Shown;     // the option as the list of options names it ("--detail all|N,..."),
                         // nullptr: the name and the synopsis' value; "": not listed
  OptionValue Takes;
  // Takes the option (and its value) into `options`; false with `error` set.
  bool (*Apply)(const std::string& value, CommandLine& options, std::string* error);
  const char* Help;      // what it does, lines joined by '\n'
  const char* HelpWithoutWindow = nullptr;  // another wording in a build without it
  bool NewSynopsisLine = false;  // the synopsis breaks its line before the option
  bool OrNext = false;   // the synopsis offers it or the next one in one bracket
};
std::span<const CommandOption> CommandOptions();

// One mode: its word, its operand, what an argument that is no option means to it.
struct CommandModeText {
  CommandMode Mode;
  const char* Word;     // "--report"; nullptr: the window (no word)
  const char* Operand;  // "LOGFILE", "[LOG]"; nullptr: none
  bool NeedsOperand;
  const char* SecondOperand;  // the error when a second one is given
  const char* NoOperand;      // the error for an operand where the mode takes none (it is appended)
};
std::span<const CommandModeText> CommandModes();

}  // namespace mizuto
