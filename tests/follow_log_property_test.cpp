// Following a log that the game is still writing must end where loading the finished log
// ends: the same stored lines, the same battles, the same statistics of every name, and the
// same counted marks and rows as loading it in active mode; after every tick at most one
// battle is counted. The log grows in chunks cut where a read of a half-written file hurts
// most (inside the font opener, inside "</FONT>", inside a character, between CR and LF),
// with an active-mode tick after each chunk.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "app/commands/active_mode.h"
#include "app/owner/app.h"
#include "app/owner/load_driver.h"
#include "app/commands/start_up.h"
#include "support/property_support.h"
#include "support/test_support.h"

namespace mizuto {
namespace {

using test::PropertyRun;
using test::Rng;
using test::U;

std::string Show(std::int32_t v) { return std::to_string(v); }
std::string Show(std::size_t v) { return std::to_string(v); }
std::string Show(std::string_view sjis) { return "\"" + U(sjis) + "\""; }
std::string Show(bool v) { return v ? "true" : "false"; }
std::string Show(const BattleClass& c) { return ::testing::PrintToString(c); }
std::string Show(const TallyState& t) { return ::testing::PrintToString(t); }
std::string Show(BattleKind k) { return std::to_string(ToStored(k)); }
std::string Show(BattleResult r) { return std::to_string(ToStored(r)); }
std::string Show(const std::optional<BattleKind>& k) { return k ? Show(*k) : "none"; }
template <std::size_t N>
std::string Show(const std::array<std::int32_t, N>& a) {
  std::string s;
  for (std::int32_t v : a) s += (s.empty() ? "" : " ") + std::to_string(v);
  return "[" + s + "]";
}

// Keeps the first difference met between the followed and the loaded program.
struct FirstDifference {
  std::string Text;
  template <class T>
  bool Same(const std::string& what, const T& followed, const T& loaded) {
    if (Text.empty() && !(followed == loaded)) {
      Text = what + ": followed " + Show(followed) + ", loaded " + Show(loaded);
    }
    return Text.empty();
  }
};

std::string Compare(const App& f, const App& l) {
  FirstDifference d;
  // The first line that differs shows a lost or doubled line better than the counts do.
  for (std::size_t i = 0; i < std::min(f.Lines.size(), l.Lines.size()); ++i) {
    if (!d.Same("line " + std::to_string(i), f.Lines[i], l.Lines[i])) break;
  }
  d.Same("stored lines", f.Lines.size(), l.Lines.size());
  d.Same("battles", f.Battles.size(), l.Battles.size());
  for (std::size_t b = 0; b < std::min(f.Battles.size(), l.Battles.size()) && d.Text.empty(); ++b) {
    const BattleRecord& x = f.Battles[b];
    const BattleRecord& y = l.Battles[b];
    const std::string at = "battle " + std::to_string(b) + " ";
    d.Same(at + "FirstLine", x.FirstLine, y.FirstLine);
    d.Same(at + "Kind", x.Kind, y.Kind);
    d.Same(at + "Result", x.Result, y.Result);
    d.Same(at + "Class", x.Class, y.Class);
    d.Same(at + "CriticalsDealt", x.CriticalsDealt, y.CriticalsDealt);
    d.Same(at + "CriticalsTaken", x.CriticalsTaken, y.CriticalsTaken);
    d.Same(at + "Admiral", x.Admiral, y.Admiral);
    d.Same(at + "Opponent", x.Opponent, y.Opponent);
    d.Same(at + "OwnSide", x.OwnSide, y.OwnSide);
    d.Same(at + "EnemySide", x.EnemySide, y.EnemySide);
    d.Same(at + "OwnPoints", x.OwnPoints, y.OwnPoints);
    d.Same(at + "EnemyPoints", x.EnemyPoints, y.EnemyPoints);
  }

  d.Same("names", static_cast<std::size_t>(f.NameCount()), static_cast<std::size_t>(l.NameCount()));
  for (int n = 0; n < std::min(f.NameCount(), l.NameCount()) && d.Text.empty(); ++n) {
    const std::string at = "name " + std::to_string(n) + " ";
    d.Same(at + "text", std::string_view(f.Names[n].Name), std::string_view(l.Names[n].Name));
    d.Same(at + "uses", f.Names[n].Uses.size(), l.Names[n].Uses.size());
    for (std::size_t u = 0; u < std::min(f.Names[n].Uses.size(), l.Names[n].Uses.size()); ++u) {
      const UseCount& x = f.Names[n].Uses[u];
      const UseCount& y = l.Names[n].Uses[u];
      d.Same(at + "use " + std::to_string(u),
             std::array<std::int32_t, 4>{x.Battle, x.Item, static_cast<std::int32_t>(x.Index), x.Count},
             std::array<std::int32_t, 4>{y.Battle, y.Item, static_cast<std::int32_t>(y.Index), y.Count});
    }
    for (int b = 0; b < std::min(f.BattleCount(), l.BattleCount()); ++b) {
      const NameBattleStats& x = *f.Names.Stats(n, b);
      const NameBattleStats& y = *l.Names.Stats(n, b);
      const std::string in = at + "in battle " + std::to_string(b) + " ";
      d.Same(in + "Sides", static_cast<std::int32_t>(x.Sides.ToStored()), static_cast<std::int32_t>(y.Sides.ToStored()));
      d.Same(in + "OwnerRelations", static_cast<std::int32_t>(x.OwnerRelations.ToStored()),
             static_cast<std::int32_t>(y.OwnerRelations.ToStored()));
      d.Same(in + "TakenBy", static_cast<std::int32_t>(x.TakenBy), static_cast<std::int32_t>(y.TakenBy));
      d.Same(in + "Present", x.Present, y.Present);
      d.Same(in + "BattleCounts", x.BattleCounts, y.BattleCounts);
      d.Same(in + "ExtraCounts", x.ExtraCounts, y.ExtraCounts);
    }
  }

  const AnalysisState& x = f.State;
  const AnalysisState& y = l.State;
  d.Same("BattleInProgress", x.BattleInProgress, y.BattleInProgress);
  d.Same("NotCountedNotice", x.NotCountedNotice, y.NotCountedNotice);
  d.Same("CurrentAdmiral", x.CurrentAdmiral, y.CurrentAdmiral);
  d.Same("CurrentOpponent", x.CurrentOpponent, y.CurrentOpponent);
  d.Same("OwnShipsDown", x.OwnShipsDown, y.OwnShipsDown);
  d.Same("EnemyShipsDown", x.EnemyShipsDown, y.EnemyShipsDown);
  d.Same("CurrentClass", x.CurrentClass, y.CurrentClass);
  d.Same("error lines", f.ErrorLines.size(), l.ErrorLines.size());
  return d.Text;
}

// What active mode shows: each battle's counted state and row, the summary, the counter.
std::string CompareActive(const App& f, const App& l) {
  FirstDifference d;
  for (std::size_t b = 0; b < std::min(f.Battles.size(), l.Battles.size()) && d.Text.empty(); ++b) {
    d.Same("battle " + std::to_string(b) + " Tally", f.Battles[b].Tally, l.Battles[b].Tally);
  }
  d.Same("rows", static_cast<std::size_t>(f.BattleList.Count()), static_cast<std::size_t>(l.BattleList.Count()));
  for (int i = 0; i < std::min(f.BattleList.Count(), l.BattleList.Count()) && d.Text.empty(); ++i) {
    d.Same("row " + std::to_string(i), std::string_view(f.BattleList.Rows[static_cast<std::size_t>(i)]),
           std::string_view(l.BattleList.Rows[static_cast<std::size_t>(i)]));
  }
  // A log without battles: the load says so, where the ticks show the empty summary.
  if (l.BattleCount() > 0) d.Same("summary", std::string_view(f.StatusText), std::string_view(l.StatusText));
  d.Same("sink counter", std::string_view(f.SinkCounterText), std::string_view(l.SinkCounterText));
  return d.Text;
}

int CountedBattles(const App& app) {
  int counted = 0;
  for (const BattleRecord& r : app.Battles) counted += r.Tally.CountMark ? 1 : 0;
  return counted;
}

void StartProgram(App& app, const test::TempDir& dir, bool npcCheck) {
  app.ProgramDir = dir.Path();
  StartUp(app);
  app.NpcCheck = npcCheck;
}

// Chat lines as long as a piece allows (up to 4095 bytes with CR LF read as one LF), put
// between the generated lines: a half-written one spans many reads.
void AddLongLines(std::string& bytes, Rng& rng) {
  for (int k = rng.Between(1, 3); k > 0; --k) {
    const std::size_t total = static_cast<std::size_t>(rng.Between(3800, 4096));
    std::string line = std::string("<FONT color=\"#") + (rng.Percent(50) ? "10c870" : "ffffff") + "\">";
    const std::string_view close = "</FONT><BR>\r\n";
    line += "Albatross_7：";
    while (line.size() + close.size() + 3 <= total) line += rng.Percent(80) ? "波" : "!";
    line.append(total - close.size() - line.size(), 'x');
    line += close;
    const std::size_t at = bytes.find("\r\n", static_cast<std::size_t>(rng.Below(static_cast<int>(bytes.size()))));
    if (at != std::string::npos) bytes.insert(at + 2, line);
  }
}

// The error pane's line when the followed file was replaced or cut.
constexpr std::string_view kReplaced = "Log Replaced or Truncated: read again from its start";

// One generated log followed chunk by chunk, then loaded whole; the first difference.
// Sometimes, between two chunks, the file is cut back to a shorter part of itself, or
// replaced by another log (the game starting a new one under the same name): from there
// the follower must follow the new file as if it had been loaded from its start.
std::string FollowOnce(std::uint64_t seed, PropertyRun& run) {
  test::TempDir dir;
  test::GeneratedLog log = test::GenerateLog(seed, dir.Path(), dir.File("generated.html"), 8);
  Rng rng(seed ^ 0xF011011ull);
  if (rng.Percent(30)) AddLongLines(log.Bytes, rng);
  const bool npcCheck = rng.Percent(30);
  const std::string path = dir.File("chat.html");
  std::vector<std::size_t> cuts = test::CutPoints(log.Bytes, rng, rng.Between(1, 60));
  cuts.push_back(log.Bytes.size());
  std::size_t written = rng.Percent(10) ? 0 : cuts.front();
  test::WriteBytes(path, std::string_view(log.Bytes).substr(0, written));
  // 0: the file only grows; 1: cut back once; 2: replaced once by another log.
  const int rewrite = rng.Percent(70) ? 0 : rng.Between(1, 2);
  const std::size_t rewriteAt = static_cast<std::size_t>(rng.Below(static_cast<int>(cuts.size())));
  bool shrunk = false, rewritten = false;

  App followed;
  StartProgram(followed, dir, npcCheck);
  followed.CurrentLogPath = path;
  // Active mode either was on when the log was opened, or is switched on after.
  followed.Acts.ActiveMode.Checked = rng.Percent(50);
  if (!LoadAndAnalyse(followed)) return "the first load failed";
  if (!followed.TimerRunning) {
    // A load without a battle leaves the timer off: the player switches active mode on.
    followed.Acts.ActiveMode.Checked = false;
    ApplyActiveModeSwitch(followed);
    followed.Acts.ActiveMode.Checked = true;
    ApplyActiveModeSwitch(followed);
  }
  for (std::size_t k = 0; k < cuts.size(); ++k) {
    run.Step(static_cast<long>(k));
    if (rewrite != 0 && k == rewriteAt && !rewritten) {
      rewritten = true;
      if (rewrite == 2) {
        log = test::GenerateLog(seed + 0x5EED, "", dir.File("other.html"), 8);
        cuts = test::CutPoints(log.Bytes, rng, rng.Between(1, 60));
        cuts.push_back(log.Bytes.size());
        k = 0;
      }
      const std::size_t now = rewrite == 1 ? static_cast<std::size_t>(rng.Below(static_cast<int>(written) + 1))
                                           : cuts.front();
      shrunk = now < written;
      written = now;
      test::WriteBytes(path, std::string_view(log.Bytes).substr(0, written));
      if (!followed.TimerRunning) return "the timer stopped before the log was rewritten";
      TickFollowedLog(followed);
    }
    if (cuts[k] <= written) continue;
    test::AppendBytes(path, std::string_view(log.Bytes).substr(written, cuts[k] - written));
    written = cuts[k];
    for (int ticks = rng.Percent(10) ? 2 : 1; ticks > 0; --ticks) {
      if (!followed.TimerRunning) return "the timer stopped after " + std::to_string(written) + " bytes";
      TickFollowedLog(followed);
      if (CountedBattles(followed) > 1) {
        return std::to_string(CountedBattles(followed)) + " battles counted after the tick at " +
               std::to_string(written) + " bytes";
      }
    }
  }
  // The line that says the log was replaced is the follower's own; the rest of the error
  // pane is the analysis', as a load gives it. A file cut shorter than what was read is
  // always said, and nothing is said twice.
  const auto said = std::count(followed.ErrorLines.begin(), followed.ErrorLines.end(), kReplaced);
  std::erase(followed.ErrorLines, kReplaced);
  if (said > 1) return "the replacement was said " + std::to_string(said) + " times";
  if (shrunk && said == 0) return "a log cut shorter was not noticed";

  App loaded;
  StartProgram(loaded, dir, npcCheck);
  loaded.CurrentLogPath = path;
  if (!LoadAndAnalyse(loaded)) return "the full load failed";
  std::string difference = Compare(followed, loaded);
  if (difference.empty()) {
    App active;
    StartProgram(active, dir, npcCheck);
    active.CurrentLogPath = path;
    active.Acts.ActiveMode.Checked = true;
    if (!LoadAndAnalyse(active)) return "the full load in active mode failed";
    difference = CompareActive(followed, active);
  }
  if (!difference.empty()) {
    difference += " (" + std::to_string(cuts.size()) + " chunks of a " +
                  std::to_string(log.Bytes.size()) + "-byte log, NPC check " +
                  (npcCheck ? "on" : "off") + ", " +
                  (rewrite == 0 ? "growing only" : rewrite == 1 ? "cut back once" : "replaced once") + ")";
  }
  return difference;
}

TEST(FollowLogProperty, FollowingAGrowingLogEqualsLoadingIt) {
  PropertyRun run("following a growing log", 30);
  std::uint64_t seed = 0;
  while (run.Next(&seed)) {
    ASSERT_EQ(FollowOnce(seed, run), "") << PropertyRun::Reproduce(seed);
  }
}

// The log a player met: the first 20000 bytes loaded in active mode, then 14000 bytes at
// once (several battles start and end in them), then the rest. Only the newest battle may
// stay counted, as loading the whole log in active mode says.
TEST(FollowLogProperty, BattlesThatStartAndEndBetweenTwoReadsLeaveOnlyTheNewestCounted) {
  test::TempDir dir;
  loggen::Options options;
  options.Seed = 21;
  options.Battles = 12;
  options.BattlesGiven = true;
  options.Players = 20;
  options.ProgramDir = dir.Path();
  const std::string bytes = test::WriteGeneratedLog(options, dir.File("generated.html"));
  ASSERT_GT(bytes.size(), 34000u);
  const std::string path = dir.File("chat.html");
  test::WriteBytes(path, bytes.substr(0, 20000));

  App followed;
  StartProgram(followed, dir, false);
  followed.CurrentLogPath = path;
  followed.Acts.ActiveMode.Checked = true;
  ASSERT_TRUE(LoadAndAnalyse(followed));
  ApplyActiveModeSwitch(followed);
  for (const std::size_t end : {std::size_t{34000}, bytes.size()}) {
    const int battlesBefore = followed.BattleCount();
    test::AppendBytes(path, std::string_view(bytes).substr(0, end).substr(test::ReadBytes(path).size()));
    TickFollowedLog(followed);
    EXPECT_GE(followed.BattleCount(), battlesBefore + 2) << "the read at " << end << " brings too little";
    EXPECT_EQ(CountedBattles(followed), 1) << "after the read up to byte " << end;
  }

  App active;
  StartProgram(active, dir, false);
  active.CurrentLogPath = path;
  active.Acts.ActiveMode.Checked = true;
  ASSERT_TRUE(LoadAndAnalyse(active));
  EXPECT_EQ(CompareActive(followed, active), "");
  EXPECT_EQ(U(followed.StatusText).substr(0, 28), U(active.StatusText).substr(0, 28));
}

}  // namespace
}  // namespace mizuto
