#include "app/command_line.h"

#include <ostream>

#include "app/usage.h"

namespace mizuto {

bool ParseHeadlessArguments(const std::vector<std::string>& args, HeadlessOptions& options,
                            const char* verb, const OwnOption& own, std::string* error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const std::function<bool(std::string*)> value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        *error = a + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      options.Help = true;
      return true;
    } else if (a == "--program-dir") {
      if (!value(&v)) return false;
      if (!v.empty() && v.back() != '/') v += '/';
      options.ProgramDir = v;
    } else if (a == "--encoding") {
      if (!value(&v)) return false;
      if (v != "sjis" && v != "utf-8") {
        *error = "--encoding takes utf-8 or sjis";
        return false;
      }
      options.Sjis = v == "sjis";
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      switch (own(a, value)) {
        case OptionUse::Taken: break;
        case OptionUse::Refused: return false;
        case OptionUse::Unknown:
          *error = "unknown option " + a;
          return false;
      }
    } else if (options.LogPath.empty()) {
      options.LogPath = a;
    } else {
      *error = std::string("only one log file can be ") + verb;
      return false;
    }
  }
  if (!options.Help && options.LogPath.empty()) {
    *error = "no log file named";
    return false;
  }
  return true;
}

bool ParseWindowArguments(const std::vector<std::string>& args, WindowOptions& options,
                          std::string* error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      options.Help = true;
      return true;
    }
    if ((a == "--program-dir" || a == "--screenshot") && i + 1 < args.size()) {
      if (a == "--screenshot") {
        options.Screenshot = args[++i];
        continue;
      }
      options.ProgramDir = args[++i];
      if (!options.ProgramDir.empty() && options.ProgramDir.back() != '/') options.ProgramDir += '/';
    } else if (a == "--quit-after-load") {
      options.QuitAfterLoad = true;
    } else if (a == "--no-history") {
      options.NoHistory = true;
    } else if (!a.empty() && a[0] == '-') {
      *error = "unknown option " + a;
      return false;
    } else if (options.LogPath.empty()) {
      options.LogPath = a;
    } else {
      *error = "one log at a time";
      return false;
    }
  }
  return true;
}

int ReadWindowArguments(const std::vector<std::string>& args, WindowOptions& options,
                        std::ostream& out, std::ostream& err) {
  std::string error;
  if (!ParseWindowArguments(args, options, &error)) {
    err << "mizuto: " << error << "\n" << kWindowUsage << kHelpHint;
    return 2;
  }
  if (options.Help) {
    out << FullUsage();
    return 0;
  }
  return -1;
}

}  // namespace mizuto
