// Whatever the player does, in whatever order, the program's state stays whole: random
// sequences of every command the main window offers, run on the core as the window runs
// them (a command whose action is disabled does nothing), on generated logs that grow,
// shrink, vanish and come back. After every step no view holds a row its model lacks, no
// selection or focus lies past the rows, no index points past its table; after a load the
// battle list shows every battle and the tally table every shown name once.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/commands/active_mode.h"
#include "app/owner/app.h"
#include "app/owner/battle_list_commands.h"
#include "app/parts/dialogs.h"
#include "app/owner/load_driver.h"
#include "app/commands/main_commands.h"
#include "app/owner/result_views.h"
#include "app/commands/settings_file.h"
#include "app/commands/start_up.h"
#include "app/commands/window_commands.h"
#include "battle/battle_label.h"
#include "support/property_support.h"
#include "support/test_support.h"
#include "text/codec.h"

namespace mizuto {
namespace {

using test::PropertyRun;
using test::Rng;
namespace fs = std::filesystem;

struct Session {
  explicit Session(std::uint64_t seed) : rng(seed ^ 0xC033A2D5ull) {
    logs = dir.Path() + "logs/";
    fs::create_directory(logs);
    sources.push_back(test::GenerateLog(seed, dir.Path(), dir.File("generated.html"), 6).Bytes);  // and the program folder
    for (int i = 1; i <= 2; ++i) sources.push_back(test::GenerateLog(seed * 3 + i, "", dir.File("generated.html"), 6).Bytes);
    test::WriteBytes(logs + "old.html", sources[1]);
    followed = logs + "now.html";
    Recreate();
    app.ProgramDir = dir.Path();
    StartUp(app);
    app.LogDir = Utf8Path::FromUtf8(logs);
    dialogs.Message = [](const std::string&, const std::string&) {};
    dialogs.AskYesNo = [this](const std::string&, const std::string&) { return answerYes; };
  }
  // A random prefix of a random source, written anew as the followed log.
  void Recreate() {
    source = static_cast<std::size_t>(rng.Below(static_cast<int>(sources.size())));
    written = test::CutPoint(sources[source], rng);
    test::WriteBytes(followed, std::string_view(sources[source]).substr(0, written));
  }
  int Pick(int n) { return rng.Below(n); }

  test::TempDir dir;
  std::string logs, followed;
  std::vector<std::string> sources;
  std::size_t source = 0, written = 0;  // the followed log holds sources[source][0, written)
  App app;
  Rng rng;
  Dialogs dialogs;
  bool answerYes = false;
  bool justLoaded = false;  // the step was a load: the views must show all of the analysis
  std::string note;         // what the step chose, for the trail
  std::string problem;      // a command's own finding (a save that failed, settings changed)
};

void Load(Session& s, bool (*command)(App&)) {
  command(s.app);
  s.justLoaded = true;
}

// The followed log grows by a chunk cut anywhere a half-written log can end.
void Grow(Session& s) {
  const std::string& source = s.sources[s.source];
  if (!fs::exists(s.followed) || s.written >= source.size()) return s.Recreate();
  const std::size_t end = s.written + test::CutPoint(std::string_view(source).substr(s.written), s.rng);
  test::AppendBytes(s.followed, std::string_view(source).substr(s.written, end - s.written));
  s.written = end;
}

// The settings written at shut-down come back at the next start-up.
void SaveAndReadSettings(Session& s) {
  std::string error;
  if (!SaveSettings(s.app, &error)) {
    s.problem = "saving the settings failed: " + error;
    return;
  }
  App next;
  next.ProgramDir = s.app.ProgramDir;
  StartUp(next);
  const App& a = s.app;
  const WindowGeometry& g = a.Geometry;
  const WindowGeometry& h = next.Geometry;
  bool same = g.Top == h.Top && g.Left == h.Left && g.Width == h.Width && g.Height == h.Height &&
              g.LowerPanesHeight == h.LowerPanesHeight && g.TranscriptPaneWidth == h.TranscriptPaneWidth && g.ErrorPaneHeight == h.ErrorPaneHeight && g.SkillListWidth == h.SkillListWidth && g.ItemListWidth == h.ItemListWidth &&
              a.CheckVersionAtStart == next.CheckVersionAtStart && a.NpcCheck == next.NpcCheck && a.UserName == next.UserName &&
              a.LogDir == next.LogDir && a.SkillChecked == next.SkillChecked &&
              a.ItemChecked == next.ItemChecked && a.Lists.NpcNames == next.Lists.NpcNames;
  for (const WindowCommand& c : WindowCommands()) {
    if (c.IniKey != nullptr) same = same && (a.Acts.*c.State).Checked == (next.Acts.*c.State).Checked;
  }
  if (!same) s.problem = "the settings read back differ from those saved";
}

// A command of the window's table, as its trigger runs it: nothing when it is disabled, a
// switch flips first. What only the window does (a dialog, a browser, the panes) is left out.
// The loads must show all of the analysis after them.
void RunWindowCommand(Session& s, const WindowCommand& c) {
  s.note = c.Name;
  const std::string_view name = c.Name;
  if (name == "LoadNewLog") PrepareFileMenu(s.app);  // the File menu opens first
  if (name == "AddNPC") s.answerYes = s.Pick(2) == 0;
  CommandContext context;
  context.Ask = s.dialogs;
  context.ReportError = [&s, name](const std::string& error) {
    s.problem = std::string(name) + " failed: " + error;
  };
  const bool ran = TriggerCommand(s.app, c, context, !(s.app.Acts.*c.State).Checked);
  if (ran && (name == "ReloadLog" || name == "LoadNewLog")) s.justLoaded = true;
}

void RunAnyWindowCommand(Session& s) {
  const auto commands = WindowCommands();
  RunWindowCommand(s, commands[static_cast<std::size_t>(s.Pick(static_cast<int>(commands.size())))]);
}

void SaveCsv(Session& s) {
  if (!s.app.Acts.SaveCsv.Enabled) return;
  std::string error;
  if (!SaveTallyCsv(s.app, &error)) {
    s.problem = "saving the CSV failed: " + error;
    return;
  }
  // One record per row after the header.
  const std::string csv = test::ReadBytes(s.app.CsvPath);
  std::size_t records = 0;
  for (std::size_t at = csv.find("\r\n"); at != std::string::npos; at = csv.find("\r\n", at + 2))
    ++records;
  if (records != s.app.TallyTable.Rows.size() + 1)
    s.problem = "the CSV holds " + std::to_string(records) + " records";
}

struct Command {
  const char* Name;
  int Weight;
  void (*Run)(Session&);
};

const Command kCommands[] = {
    {"open the followed log", 4,
     [](Session& s) {
       s.app.CurrentLogPath = s.followed;
       Load(s, [](App& a) { return OpenLogFile(a, a.CurrentLogPath); });
     }},
    {"open another log", 2,
     [](Session& s) {
       const char* names[] = {"old.html", "gone.html", ""};  // "" is the folder itself
       s.app.CurrentLogPath = s.logs + names[s.Pick(3)];
       Load(s, [](App& a) { return OpenLogFile(a, a.CurrentLogPath); });
     }},
    {"window command", 30, RunAnyWindowCommand},
    // Often enough for the ticks to follow the log.
    {"active mode", 3, [](Session& s) { RunWindowCommand(s, *FindWindowCommand("ActiveMode")); }},
    {"NPC switch", 3, [](Session& s) { NPCCheckClick(s.app, !s.app.NpcCheck); }},
    {"skill check mark", 2,
     [](Session& s) {
       const int i = s.Pick(static_cast<int>(s.app.Lists.SkillNames.size()) + 1);
       ToggleSkillColumn(
           s.app, i, i < static_cast<int>(s.app.SkillChecked.size()) ? !s.app.SkillChecked[i] : true);
     }},
    {"item check mark", 2,
     [](Session& s) {
       const int i = s.Pick(static_cast<int>(s.app.Lists.ItemNames.size()) + 1);
       ToggleItemColumn(
           s.app, i, i < static_cast<int>(s.app.ItemChecked.size()) ? !s.app.ItemChecked[i] : true);
     }},
    {"sort by a column", 3,
     [](Session& s) {
       SortTallyByColumn(s.app, s.Pick(static_cast<int>(s.app.TallyTable.Columns.size())));
     }},
    {"select players", 3,
     [](Session& s) {
       for (TallyRow& row : s.app.TallyTable.Rows) row.Selected = s.Pick(4) == 0;
       SelectTallyRows(s.app);
     }},
    {"select battles", 5,
     [](Session& s) {
       BattleListView& list = s.app.BattleList;
       const int chance = 1 + s.Pick(4);
       for (char& selected : list.Selected) selected = s.Pick(chance) == 0;
       list.FocusRow = s.Pick(list.Count() + 1) - 1;  // -1: no row has the focus
       SelectBattles(s.app);
     }},
    {"battle list menu", 3, [](Session& s) { PrepareBattleMenu(s.app); }},
    {"file menu", 1, [](Session& s) { PrepareFileMenu(s.app); }},
    {"double-click the battle list", 1, [](Session& s) { ShowSelectedBattles(s.app); }},
    {"tick", 6,
     [](Session& s) {
       if (s.Pick(3) != 0) Grow(s);
       if (s.app.TimerRunning) TickFollowedLog(s.app);
     }},
    {"the log grows", 3, Grow},
    {"the log is truncated", 1,
     [](Session& s) {
       if (!fs::exists(s.followed)) return;
       s.written = static_cast<std::size_t>(s.Pick(static_cast<int>(s.written) + 1));
       fs::resize_file(s.followed, s.written);
     }},
    {"the log is replaced by a shorter one", 1,
     [](Session& s) {
       const std::size_t size = fs::exists(s.followed) ? fs::file_size(s.followed) : 0;
       s.source = static_cast<std::size_t>(s.Pick(static_cast<int>(s.sources.size())));
       s.written = std::min(s.sources[s.source].size(),
                            static_cast<std::size_t>(s.Pick(static_cast<int>(size) + 1)));
       test::WriteBytes(s.followed + ".new", std::string_view(s.sources[s.source]).substr(0, s.written));
       fs::rename(s.followed + ".new", s.followed);
     }},
    {"the log is deleted", 1,
     [](Session& s) {
       fs::remove(s.followed);
       s.written = 0;
     }},
    {"the log is created again", 1, [](Session& s) { s.Recreate(); }},
    {"save the CSV", 1, SaveCsv},
    {"settings saved and read back", 1, SaveAndReadSettings},
    {"settings dialog", 1,
     [](Session& s) {
       const std::string names[] = {test::S("碧海ナギ"), "YOU", ""};
       s.app.UserName = names[s.Pick(3)];
       s.app.LogDir = Utf8Path::FromUtf8(s.Pick(4) ? s.logs : s.logs + "missing/");
       s.app.CheckVersionAtStart = s.Pick(2);
     }},
    {"interval field", 1,
     [](Session& s) {
       const char* texts[] = {"0", "7", "250", "+3", "", "x"};
       SetIntervalText(s.app, texts[s.Pick(6)]);
     }},
};

// The first broken invariant, or "".
std::string Check(const App& app, bool justLoaded) {
  const auto name = [&app](std::int32_t n) { return n == -1 || app.Names.Valid(n); };
  const BattleListView& list = app.BattleList;
  if (list.Selected.size() != list.Rows.size())
    return "the battle list's selection and rows differ in length";
  if (list.Count() > app.BattleCount()) return "the battle list has more rows than battles";
  if (list.FocusRow < -1 || list.FocusRow >= list.Count())
    return "the battle list's focus lies past its rows";
  // The NPC switch empties the rows while the battles stay; whatever fills them fills all.
  if (list.Count() != 0 && list.Count() != app.BattleCount())
    return "the battle list shows some battles only";
  if (justLoaded && list.Count() != app.BattleCount())
    return "after a load the battle list lacks battles";
  for (int i = 0; justLoaded && i < list.Count(); ++i) {
    const bool ended = i + 1 < list.Count() || !app.State.BattleInProgress;
    if (ended && list.Rows[static_cast<std::size_t>(i)] != BattleLabel(app, i)) {
      return "after a load row " + std::to_string(i) + " does not show its battle";
    }
  }
  if (app.BattleCount() > kMaxBattles || app.NameCount() > kMaxNames)
    return "a table is over its capacity";
  if (app.AnalysedLineCount < 0 || static_cast<std::size_t>(app.AnalysedLineCount) > app.Lines.size()) {
    return "more lines analysed than stored";
  }
  // Before the first load the name table is empty and the running state unused.
  if (app.NameCount() > 0 && (!name(app.State.CurrentAdmiral) || !name(app.State.CurrentOpponent))) {
    return "the running state names nobody";
  }
  for (int b = 0; b < app.BattleCount(); ++b) {
    const BattleRecord& r = app.Battles[static_cast<std::size_t>(b)];
    const std::string at = "battle " + std::to_string(b) + ": ";
    if (r.FirstLine < 0 || static_cast<std::size_t>(r.FirstLine) >= app.Lines.size())
      return at + "its first line is not stored";
    if (!name(r.Admiral) || !name(r.Opponent)) return at + "its admiral or opponent is no name";
    for (std::int32_t n : r.OwnSide)
      if (!name(n)) return at + "a name of its own side is no name";
    for (std::int32_t n : r.EnemySide)
      if (!name(n)) return at + "a name of the enemy side is no name";
  }
  for (int n = 0; n < app.NameCount(); ++n) {
    const NameRecord& record = app.Names[n];
    for (const UseCount& u : record.Uses) {
      if (u.Battle >= app.BattleCount())
        return "name " + std::to_string(n) + " used a skill or item in no battle";
    }
    for (int b = 0; b < app.BattleCount(); ++b) {
      if (!name(app.Names.Stats(n, b)->TakenBy))
        return "name " + std::to_string(n) + " was taken by no name";
    }
  }
  if (app.SkillChecked.size() != app.Lists.SkillNames.size() ||
      app.ItemChecked.size() != app.Lists.ItemNames.size()) {
    return "the check marks and their lists differ in length";
  }

  const TallyTableView& table = app.TallyTable;
  const std::size_t columns =
      9 + static_cast<std::size_t>(std::count(app.SkillChecked.begin(), app.SkillChecked.end(), 1) +
                                   std::count(app.ItemChecked.begin(), app.ItemChecked.end(), 1));
  if (table.Columns.size() != columns)
    return "the tally table has " + std::to_string(table.Columns.size()) + " columns";
  std::set<int> shown;
  for (const TallyRow& row : table.Rows) {
    if (!app.Names.Valid(row.NameIndex)) return "a tally row shows no name";
    if (row.Cells.size() + 1 != table.Columns.size())
      return "a tally row's cells do not fit the columns";
    if (!shown.insert(row.NameIndex).second) return "a name has two tally rows";
  }
  if (justLoaded) {
    // Every visible name present in a counted battle, and no other.
    std::set<int> expected;
    for (int n = 0; n < app.NameCount(); ++n) {
      for (int b = 0; b < app.BattleCount() && app.Names[n].Visible != 0; ++b) {
        if (app.Battles[static_cast<std::size_t>(b)].Tally == test::kCounted &&
            app.Names.Stats(n, b)->Present != 0) {
          expected.insert(n);
        }
      }
    }
    if (shown != expected) return "after a load the tally rows are not the shown names";
  }

  const HeadToHeadGrid& g = app.Grid;
  const std::size_t cells =
      static_cast<std::size_t>(g.ColCount - 1) * static_cast<std::size_t>(g.RowCount - 1);
  if (g.ColCount < 1 || g.RowCount < 1 ||
      g.ColumnHeaders.size() != static_cast<std::size_t>(g.ColCount) ||
      g.RowHeaders.size() != static_cast<std::size_t>(g.RowCount) || g.Counts.size() != cells ||
      g.Kinds.size() != cells) {
    return "the head-to-head grid does not fit its size";
  }
  return "";
}

// A random session of `steps` commands; the first finding with the steps that led to it.
std::string RunSession(std::uint64_t seed, PropertyRun& run) {
  Session s(seed);
  int total = 0;
  for (const Command& c : kCommands) total += c.Weight;
  std::vector<std::string> trail;
  const int steps = s.rng.Between(20, 150);
  for (int step = 0; step < steps; ++step) {
    run.Step(step);
    int pick = s.Pick(total);
    const Command* command = kCommands;
    while (pick >= command->Weight) pick -= (command++)->Weight;
    s.justLoaded = false;
    s.note.clear();
    command->Run(s);
    trail.push_back(s.note.empty() ? command->Name : std::string(command->Name) + " " + s.note);
    std::string problem = s.problem.empty() ? Check(s.app, s.justLoaded) : s.problem;
    if (!problem.empty()) {
      std::string steps;
      for (std::size_t i = trail.size() > 12 ? trail.size() - 12 : 0; i < trail.size(); ++i)
        steps += "\n  " + trail[i];
      return "step " + std::to_string(step) + ": " + problem + "; the last steps:" + steps;
    }
  }
  return "";
}

TEST(CommandSequenceProperty, AnySequenceOfWindowCommandsKeepsTheStateWhole) {
  PropertyRun run("window command sequences", 25);
  std::uint64_t seed = 0;
  while (run.Next(&seed)) {
    ASSERT_EQ(RunSession(seed, run), "") << PropertyRun::Reproduce(seed);
  }
}

}  // namespace
}  // namespace mizuto
