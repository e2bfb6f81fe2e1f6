// The command line of every mode read against the one option table: what each list of
// arguments gives, or the mistake it is told.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "app/modes/command_line.h"
#include "app/modes/usage.h"

namespace mizuto {
namespace {

// The fields a parse set, in the struct's order ("" for none of them).
std::string Described(const CommandLine& o) {
  std::string d;
  auto add = [&](bool set, const std::string& text) {
    if (set) d += (d.empty() ? "" : " ") + text;
  };
  auto joined = [](const auto& list) {
    std::string text;
    for (const auto& item : list) {
      if (!text.empty()) text += ',';
      if constexpr (std::is_same_v<std::decay_t<decltype(item)>, int>) {
        text += std::to_string(item);
      } else {
        text += item;
      }
    }
    return text;
  };
  add(o.Help, "Help");
  add(!o.ProgramDir.empty(), "ProgramDir=" + o.ProgramDir);
  add(!o.LogPath.empty(), "LogPath=" + o.LogPath);
  add(o.Sjis, "Sjis");
  add(!o.Screenshot.empty(), "Screenshot=" + o.Screenshot);
  add(o.QuitAfterLoad, "QuitAfterLoad");
  add(o.NoHistory, "NoHistory");
  add(o.Active, "Active");
  add(o.AvgHitDown, "AvgHitDown");
  add(o.AvgSkillItem, "AvgSkillItem");
  add(o.Detail, "Detail=" + (o.DetailAll ? std::string("all") : joined(o.DetailBattles)));
  add(!o.CounterFile.empty(), "CounterFile=" + o.CounterFile);
  add(o.IntervalMs != 3000, "IntervalMs=" + std::to_string(o.IntervalMs));
  add(o.Json, "Json");
  add(!o.Imports.empty(), "Imports=" + joined(o.Imports));
  add(!o.Forgets.empty(), "Forgets=" + joined(o.Forgets));
  add(!o.From.empty(), "From=" + o.From);
  add(!o.To.empty(), "To=" + o.To);
  add(o.Reanalyse, "Reanalyse");
  add(!o.HtmlFile.empty(), "HtmlFile=" + o.HtmlFile);
  add(o.Port != kDefaultServePort, "Port=" + std::to_string(o.Port));
  return d;
}

TEST(CommandLine, EveryModeReadsItsOwnOptionsAndNamesEachMistake) {
  using M = CommandMode;
  struct Case {
    M Mode;
    std::vector<std::string> Args;
    const char* Parsed;  // nullptr: refused
    const char* Error;   // "" when parsed
  };
  const Case cases[] = {
      // clang-format off
      {M::Window, {}, "", ""},
      {M::Window, {"chat.html"}, "LogPath=chat.html", ""},
      {M::Window, {"--program-dir", "d", "--screenshot", "s.png", "--quit-after-load", "--no-history", "l.html"},
       "ProgramDir=d/ LogPath=l.html Screenshot=s.png QuitAfterLoad NoHistory", ""},
      {M::Window, {"--active"}, nullptr, "unknown option --active"},
      {M::Window, {"--program-dir"}, nullptr, "--program-dir needs a value"},
      {M::Window, {"a.html", "b.html"}, nullptr, "one log at a time"},
      {M::Window, {"x.html", "-h", "--bogus"}, "Help LogPath=x.html", ""},

      {M::Report, {"--program-dir", "p", "--active", "--avg-hit-down", "--avg-skill-item", "--detail", "1,3",
                   "--encoding", "sjis", "log.html"},
       "ProgramDir=p/ LogPath=log.html Sjis Active AvgHitDown AvgSkillItem Detail=1,3", ""},
      {M::Report, {"--detail", "all", "x"}, "LogPath=x Detail=all", ""},
      {M::Report, {"--encoding", "utf-8", "-", "--active"}, "LogPath=- Active", ""},
      {M::Report, {"x", "--help", "--bogus"}, "Help LogPath=x", ""},
      {M::Report, {"--detail", "0", "x"}, nullptr, "--detail takes all or battle numbers from 1, e.g. 1,3"},
      {M::Report, {"--detail", "1,,2", "x"}, nullptr, "--detail takes all or battle numbers from 1, e.g. 1,3"},
      {M::Report, {"--detail", "+1", "x"}, nullptr, "--detail takes all or battle numbers from 1, e.g. 1,3"},
      {M::Report, {"--encoding", "latin1", "x"}, nullptr, "--encoding takes utf-8 or sjis"},
      {M::Report, {"x", "--encoding"}, nullptr, "--encoding needs a value"},
      {M::Report, {"--program-dir", "--active"}, nullptr, "no log file named"},  // the value is taken as it is
      {M::Report, {}, nullptr, "no log file named"},
      {M::Report, {"a.html", "b.html"}, nullptr, "only one log file can be reported"},
      {M::Report, {"--json", "x"}, nullptr, "unknown option --json"},
      {M::Report, {"--html", "page.html", "--active", "x"}, "LogPath=x Active HtmlFile=page.html", ""},
      {M::Report, {"--html", "", "x"}, nullptr, "--html needs a file name"},

      {M::Follow, {"--interval", "10", "--counter-file", "c.txt", "--json", "--no-history", "f.html"},
       "LogPath=f.html NoHistory CounterFile=c.txt IntervalMs=10 Json", ""},
      {M::Follow, {"--interval", "9", "f"}, nullptr, "--interval takes milliseconds, at least 10"},
      {M::Follow, {"--interval", "1e3", "f"}, nullptr, "--interval takes milliseconds, at least 10"},
      {M::Follow, {"--counter-file", "", "f"}, nullptr, "--counter-file needs a file name"},
      {M::Follow, {"--json", "--encoding", "sjis", "f"}, nullptr, "--json writes UTF-8; it does not go with --encoding sjis"},
      {M::Follow, {"--json", "--encoding", "sjis", "--help"}, "Help Sjis Json", ""},
      {M::Follow, {"a", "b"}, nullptr, "only one log file can be followed"},
      {M::Follow, {"--active", "f"}, nullptr, "unknown option --active"},

      {M::History, {}, "", ""},
      {M::History, {"--import", "a.html", "logs", "--forget", "old.html", "--reanalyse", "--from", "2026-01-31",
                    "--to", "2026-02-28", "--json", "--program-dir", "p"},
       "ProgramDir=p/ Json Imports=a.html,logs Forgets=old.html From=2026-01-31 To=2026-02-28 Reanalyse", ""},
      {M::History, {"--import", "-", "x", "--encoding", "sjis"}, "Sjis Imports=-,x", ""},
      {M::History, {"--import"}, nullptr, "--import needs a log file or a folder"},
      {M::History, {"--import", "--json"}, nullptr, "--import needs a log file or a folder"},
      {M::History, {"--forget"}, nullptr, "--forget needs a log file"},
      {M::History, {"--from", "2026-02-30"}, nullptr, "--from takes a date as YYYY-MM-DD"},
      {M::History, {"--to", "2026-1-1"}, nullptr, "--to takes a date as YYYY-MM-DD"},
      {M::History, {"log.html"}, nullptr, "a log to import follows --import (to forget, --forget): log.html"},

      {M::Serve, {}, "", ""},
      {M::Serve, {"--port", "0", "--active", "--no-history", "--program-dir", "p", "l.html"},
       "ProgramDir=p/ LogPath=l.html NoHistory Active Port=0", ""},
      {M::Serve, {"--port", "65536"}, nullptr, "--port takes a port number from 1 to 65535 (0: any free port)"},
      {M::Serve, {"--port", "-1"}, nullptr, "--port takes a port number from 1 to 65535 (0: any free port)"},
      {M::Serve, {"a.html", "b.html"}, nullptr, "one log at a time"},
      {M::Serve, {"--json"}, nullptr, "unknown option --json"},
      {M::History, {"--json", "--encoding", "sjis"}, nullptr, "--json writes UTF-8; it does not go with --encoding sjis"},
      {M::History, {"--interval", "10"}, nullptr, "unknown option --interval"},
      // clang-format on
  };
  for (const Case& c : cases) {
    std::string shown = std::to_string(static_cast<int>(c.Mode)) + ":";
    for (const std::string& a : c.Args) shown += " '" + a + "'";
    SCOPED_TRACE(shown);
    CommandLine options;
    std::string error;
    const bool parsed = ParseCommandLine(c.Mode, c.Args, options, &error);
    EXPECT_EQ(parsed, c.Parsed != nullptr);
    EXPECT_EQ(error, c.Error);
    if (parsed && c.Parsed != nullptr) {
      EXPECT_EQ(Described(options), c.Parsed);
      EXPECT_EQ(options.Mode, c.Mode);
    }
  }
}

// The synopses follow a mistake and stand in the README: each mode's, line for line.
TEST(CommandLine, EachModesSynopsisListsItsOptions) {
  EXPECT_EQ(ModeSynopsis(CommandMode::Window),
            "usage: mizuto [--program-dir DIR] [--screenshot PNG | --quit-after-load] [--no-history] [LOG]\n");
  EXPECT_EQ(ModeSynopsis(CommandMode::Report),
            "usage: mizuto --report [--program-dir DIR] [--active] [--avg-hit-down] [--avg-skill-item]\n"
            "                       [--detail all|N[,N...]] [--encoding utf-8|sjis]\n"
            "                       [--html FILE] LOGFILE\n");
  EXPECT_EQ(ModeSynopsis(CommandMode::Follow),
            "usage: mizuto --follow [--program-dir DIR] [--interval MS] [--counter-file FILE] [--json]\n"
            "                       [--no-history] [--encoding utf-8|sjis] LOGFILE\n");
  EXPECT_EQ(ModeSynopsis(CommandMode::History),
            "usage: mizuto --history [--program-dir DIR] [--import PATH...] [--forget PATH...]\n"
            "                        [--reanalyse]\n"
            "                        [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--json] [--encoding utf-8|sjis]\n");
  EXPECT_EQ(ModeSynopsis(CommandMode::Serve),
            "usage: mizuto --serve [--port N] [--active] [--program-dir DIR] [--no-history] [LOG]\n");
  // Each option of the list, with what it does, under its mode's heading.
  const std::string usage = FullUsage(true);
  for (const CommandOption& o : CommandOptions()) {
    SCOPED_TRACE(o.Name);
    EXPECT_NE(usage.find(std::string("  ") + o.Name), std::string::npos);
    const std::string firstLine = std::string(o.Help).substr(0, std::string(o.Help).find('\n'));
    EXPECT_NE(usage.find(firstLine), std::string::npos);
  }
}

}  // namespace
}  // namespace mizuto
