#include "app/modes/command_line.h"

#include <cstdint>
#include <ostream>
#include <string_view>

#include "app/modes/usage.h"
#include "history/log_identity.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

using Mode = CommandMode;

// --- What each option does with its value ---

bool TakeProgramDir(const std::string& value, CommandLine& options, std::string*) {
  options.ProgramDir = value;
  if (!value.empty() && value.back() != '/') options.ProgramDir += '/';
  return true;
}

bool TakeEncoding(const std::string& value, CommandLine& options, std::string* error) {
  if (value != "sjis" && value != "utf-8") {
    *error = "--encoding takes utf-8 or sjis";
    return false;
  }
  options.Sjis = value == "sjis";
  return true;
}

// A switch: the option sets its field.
template <bool CommandLine::*Field>
bool Set(const std::string&, CommandLine& options, std::string*) {
  options.*Field = true;
  return true;
}

bool TakeScreenshot(const std::string& value, CommandLine& options, std::string*) {
  options.Screenshot = value;
  return true;
}

bool ParsePositive(std::string_view text, int* value) {
  std::int32_t n = 0;
  if (text.empty() || text[0] == '+' || !ParseDecimal(text, &n) || n < 1) return false;
  *value = n;
  return true;
}

// "all", or battle numbers from 1 separated by commas.
bool TakeDetail(const std::string& value, CommandLine& options, std::string* error) {
  options.Detail = true;
  if (value == "all") {
    options.DetailAll = true;
    return true;
  }
  for (std::size_t start = 0;;) {
    const std::size_t comma = value.find(',', start);
    int n = 0;
    if (!ParsePositive(std::string_view(value).substr(start, comma - start), &n)) {
      *error = "--detail takes all or battle numbers from 1, e.g. 1,3";
      return false;
    }
    options.DetailBattles.push_back(n);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

bool TakeInterval(const std::string& value, CommandLine& options, std::string* error) {
  std::int32_t ms = 0;
  if (!ParseDecimal(value, &ms) || ms < kMinFollowIntervalMs) {
    *error = "--interval takes milliseconds, at least " + std::to_string(kMinFollowIntervalMs);
    return false;
  }
  options.IntervalMs = ms;
  return true;
}

bool TakeCounterFile(const std::string& value, CommandLine& options, std::string* error) {
  if (value.empty()) {
    *error = "--counter-file needs a file name";
    return false;
  }
  options.CounterFile = value;
  return true;
}

bool TakeImport(const std::string& value, CommandLine& options, std::string*) {
  options.Imports.push_back(value);
  return true;
}

bool TakeForget(const std::string& value, CommandLine& options, std::string*) {
  options.Forgets.push_back(value);
  return true;
}

bool TakeHtml(const std::string& value, CommandLine& options, std::string* error) {
  if (value.empty()) {
    *error = "--html needs a file name";
    return false;
  }
  options.HtmlFile = value;
  return true;
}

bool TakePort(const std::string& value, CommandLine& options, std::string* error) {
  std::int32_t port = -1;
  if (!ParseDecimal(value, &port) || port < 0 || port > 65535) {
    *error = "--port takes a port number from 1 to 65535 (0: any free port)";
    return false;
  }
  options.Port = port;
  return true;
}

// A date as the options take it: YYYY-MM-DD, a real day.
template <std::string CommandLine::*Field>
bool TakeDate(const std::string& value, CommandLine& options, std::string* error) {
  if (value.size() != 10 || DateFromFileName(value) != value) {
    *error = std::string(Field == &CommandLine::From ? "--from" : "--to") + " takes a date as YYYY-MM-DD";
    return false;
  }
  options.*Field = value;
  return true;
}

// --- The options ---

constexpr const char* kProgramDirHelp =
    "the folder of Mizuto.ini and the list files NPCList.txt,\n"
    "SkillList.txt, ItemList.txt, ShipList.txt (default: the\n"
    "program's folder; for an installed Mizuto $XDG_CONFIG_HOME/mizuto,\n"
    "by default ~/.config/mizuto, made at its first start with the\n"
    "shipped lists); the window writes its settings back there";
constexpr const char* kProgramDirHelpWithoutWindow =
    "the folder of Mizuto.ini and the list files NPCList.txt,\n"
    "SkillList.txt, ItemList.txt, ShipList.txt (default: the\n"
    "program's folder, where the first run writes a Mizuto.ini\n"
    "with every setting for you to change)";

// Every mode's options, each mode's in the order its synopsis and its help list them.
constexpr CommandOption kOptions[] = {
    // clang-format off
    {Mode::Window, "--program-dir", "DIR", nullptr, OptionValue::One, TakeProgramDir, kProgramDirHelp,
     kProgramDirHelpWithoutWindow},
    {Mode::Window, "--screenshot", "PNG", nullptr, OptionValue::One, TakeScreenshot,
     "save a picture of the window once it is drawn, then end", nullptr, false, true},
    {Mode::Window, "--quit-after-load", nullptr, nullptr, OptionValue::None, Set<&CommandLine::QuitAfterLoad>,
     "draw the window once with LOG, then end without saving settings"},
    {Mode::Window, "--no-history", nullptr, nullptr, OptionValue::None, Set<&CommandLine::NoHistory>,
     "leave the season history (MizutoHistory.db) alone"},

    {Mode::Report, "--program-dir", "DIR", nullptr, OptionValue::One, TakeProgramDir, "as for the window",
     "as above"},
    {Mode::Report, "--active", nullptr, nullptr, OptionValue::None, Set<&CommandLine::Active>,
     "active mode: only the newest battle is counted"},
    {Mode::Report, "--avg-hit-down", nullptr, nullptr, OptionValue::None, Set<&CommandLine::AvgHitDown>,
     "sinks and captures as a percentage of the battles"},
    {Mode::Report, "--avg-skill-item", nullptr, nullptr, OptionValue::None, Set<&CommandLine::AvgSkillItem>,
     "skill and item uses as an average per battle"},
    {Mode::Report, "--detail", "all|N[,N...]", "--detail all|N,...", OptionValue::One, TakeDetail,
     "the transcript of every battle, or of the battles numbered N", nullptr, true},
    {Mode::Report, "--encoding", "utf-8|sjis", "--encoding E", OptionValue::One, TakeEncoding,
     "utf-8 (default) or sjis (Shift-JIS) output"},
    {Mode::Report, "--html", "FILE", nullptr, OptionValue::One, TakeHtml,
     "write the browser page of the log to FILE instead, one file\n"
     "with everything inside (for sharing; nothing is fetched)", nullptr, true},

    {Mode::Follow, "--program-dir", "DIR", nullptr, OptionValue::One, TakeProgramDir, "as for the window",
     "as above"},
    {Mode::Follow, "--interval", "MS", nullptr, OptionValue::One, TakeInterval,
     "milliseconds between two reads of the log (default 3000, at\nleast 10)"},
    {Mode::Follow, "--counter-file", "FILE", nullptr, OptionValue::One, TakeCounterFile,
     "keep the sink counter's text (\"味方 N - N 敵\", UTF-8) in FILE,\nreplaced as a whole whenever it changes"},
    {Mode::Follow, "--json", nullptr, nullptr, OptionValue::None, Set<&CommandLine::Json>,
     "one JSON object per ended battle (JSON Lines, UTF-8): number,\n"
     "kind, type, ship_class, npc, admiral, opponent, result, own_down,\n"
     "enemy_down, counted, label; at the end {\"summary\": ...}"},
    {Mode::Follow, "--no-history", nullptr, nullptr, OptionValue::None, Set<&CommandLine::NoHistory>,
     "leave the season history alone (by default every battle that\nends joins it, as in the window)",
     "leave the season history alone (by default every battle that\nends joins it)", true},
    {Mode::Follow, "--encoding", "utf-8|sjis", "--encoding E", OptionValue::One, TakeEncoding,
     "utf-8 (default) or sjis (Shift-JIS) labels"},

    {Mode::History, "--program-dir", "DIR", nullptr, OptionValue::One, TakeProgramDir, "as for the window",
     "as above"},
    {Mode::History, "--import", "PATH...", nullptr, OptionValue::List, TakeImport,
     "import these logs first (a folder: every *.html in it); one line\n"
     "per log on the error output: imported, unchanged, grown, moved,\n"
     "merged, reanalysed or error"},
    {Mode::History, "--forget", "PATH...", nullptr, OptionValue::List, TakeForget,
     "then take these logs out of the history (by the place they were\n"
     "imported from): their battles and corrections go, the totals no\n"
     "longer count them; one line each: forgotten (N battles), or\n"
     "error when the history holds no log there"},
    {Mode::History, "--reanalyse", nullptr, nullptr, OptionValue::None, Set<&CommandLine::Reanalyse>,
     "then analyse every stored log again under the settings now, where\n"
     "its file still is (one line each as for --import; a log whose\n"
     "file has gone keeps its battles: gone)", nullptr, true},
    {Mode::History, "--from", "YYYY-MM-DD", nullptr, OptionValue::One, TakeDate<&CommandLine::From>,
     "only the battles of this day and later (a log's date: from its\n"
     "file name, else its last change)", nullptr, true},
    {Mode::History, "--to", "YYYY-MM-DD", nullptr, OptionValue::One, TakeDate<&CommandLine::To>,
     "only the battles of this day and earlier"},
    {Mode::History, "--json", nullptr, nullptr, OptionValue::None, Set<&CommandLine::Json>,
     "one JSON object per battle (the keys of --follow --json, with\nlog and date), then {\"summary\": ...}"},
    {Mode::History, "--encoding", "utf-8|sjis", "--encoding E", OptionValue::One, TakeEncoding,
     "utf-8 (default) or sjis (Shift-JIS) output"},

    {Mode::Serve, "--port", "N", nullptr, OptionValue::One, TakePort,
     "the port (default 8372; 0: any free port)"},
    {Mode::Serve, "--active", nullptr, nullptr, OptionValue::None, Set<&CommandLine::Active>,
     "start with active mode on (the page has the switch too)"},
    {Mode::Serve, "--program-dir", "DIR", nullptr, OptionValue::One, TakeProgramDir, "as for the window"},
    {Mode::Serve, "--no-history", nullptr, nullptr, OptionValue::None, Set<&CommandLine::NoHistory>,
     "leave the season history alone"},
    // clang-format on
};

constexpr CommandModeText kModes[] = {
    {Mode::Window, nullptr, "[LOG]", false, "one log at a time", nullptr},
    {Mode::Report, "--report", "LOGFILE", true, "only one log file can be reported", nullptr},
    {Mode::Follow, "--follow", "LOGFILE", true, "only one log file can be followed", nullptr},
    {Mode::History, "--history", nullptr, false, nullptr, "a log to import follows --import (to forget, --forget): "},
    {Mode::Serve, "--serve", "[LOG]", false, "one log at a time", nullptr},
};

static_assert(kModes[static_cast<int>(Mode::Window)].Mode == Mode::Window &&
              kModes[static_cast<int>(Mode::Report)].Mode == Mode::Report &&
              kModes[static_cast<int>(Mode::Follow)].Mode == Mode::Follow &&
              kModes[static_cast<int>(Mode::History)].Mode == Mode::History);

const CommandOption* FindOption(Mode mode, const std::string& name) {
  for (const CommandOption& o : kOptions) {
    if (o.Mode == mode && name == o.Name) return &o;
  }
  return nullptr;
}

// An argument that starts with '-' names an option; "-" alone does not.
bool IsOption(const std::string& argument) { return argument.size() > 1 && argument[0] == '-'; }

// Takes the option at args[i] with its value (moving `i` past the value). False with
// `error` set.
bool TakeOption(const CommandOption& option, const std::vector<std::string>& args, std::size_t& i,
                CommandLine& options, std::string* error) {
  const std::string& name = args[i];
  switch (option.Takes) {
    case OptionValue::None: return option.Apply("", options, error);
    case OptionValue::One:
      if (i + 1 >= args.size()) {
        *error = name + " needs a value";
        return false;
      }
      return option.Apply(args[++i], options, error);
    case OptionValue::List: {
      // Every argument up to the next option is one value.
      const std::size_t first = i + 1;
      while (i + 1 < args.size() && !IsOption(args[i + 1])) {
        if (!option.Apply(args[++i], options, error)) return false;
      }
      if (i + 1 == first) {
        *error = name == "--import" ? "--import needs a log file or a folder" : name + " needs a log file";
        return false;
      }
      return true;
    }
  }
  return false;
}

// An argument that is no option: the mode's log, if it takes one.
bool TakeOperand(const CommandModeText& mode, const std::string& argument, CommandLine& options,
                 std::string* error) {
  if (mode.Operand == nullptr) {
    *error = mode.NoOperand + argument;
    return false;
  }
  if (!options.LogPath.empty()) {
    *error = mode.SecondOperand;
    return false;
  }
  options.LogPath = argument;
  return true;
}

}  // namespace

std::span<const CommandOption> CommandOptions() { return kOptions; }
std::span<const CommandModeText> CommandModes() { return kModes; }

bool ParseCommandLine(CommandMode mode, const std::vector<std::string>& args, CommandLine& options,
                      std::string* error) {
  const CommandModeText& text = kModes[static_cast<std::size_t>(mode)];
  options.Mode = mode;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // Help is wanted whatever follows.
    if (a == "--help" || a == "-h") {
      options.Help = true;
      return true;
    }
    if (!IsOption(a)) {
      if (!TakeOperand(text, a, options, error)) return false;
      continue;
    }
    const CommandOption* option = FindOption(mode, a);
    if (option == nullptr) {
      *error = "unknown option " + a;
      return false;
    }
    if (!TakeOption(*option, args, i, options, error)) return false;
  }
  if (text.NeedsOperand && options.LogPath.empty()) {
    *error = "no log file named";
    return false;
  }
  if (options.Json && options.Sjis) {
    *error = "--json writes UTF-8; it does not go with --encoding sjis";
    return false;
  }
  return true;
}

bool ParseWindowArguments(const std::vector<std::string>& args, WindowOptions& options,
                          std::string* error) {
  return ParseCommandLine(CommandMode::Window, args, options, error);
}

int ReadWindowArguments(const std::vector<std::string>& args, WindowOptions& options,
                        std::ostream& out, std::ostream& err) {
  std::string error;
  if (!ParseWindowArguments(args, options, &error)) {
    err << "mizuto: " << error << "\n" << ModeSynopsis(CommandMode::Window) << kHelpHint;
    return 2;
  }
  if (options.Help) {
    out << FullUsage();
    return 0;
  }
  return -1;
}

}  // namespace mizuto
