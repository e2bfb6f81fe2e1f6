// Helpers shared by the tests of the command layer and what stands on it: an App set up on
// a temporary program folder, lines stored and analysed straight into it, and the basics.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/owner/app.h"
#include "support/test_basics.h"

namespace mizuto {
// Readable failure output for the battle's typed state.
void PrintTo(const TallyState& tally, std::ostream* os);
void PrintTo(const BattleClass& battleClass, std::ostream* os);
}  // namespace mizuto

namespace mizuto::test {

// The tally states by what the player's mark and the game's notice say.
inline constexpr TallyState kUncounted{false, false}, kCounted{true, false};
inline constexpr TallyState kRefused{false, true}, kRefusedMarked{true, true};

// An App whose program folder is `dir` (lists loaded from it), with ResetAnalysis done.
void SetUpApp(App& app, const TempDir& dir);

// Loads the lines (UTF-8 text with tags, e.g. "~0" + text) straight into app.Lines as
// Shift-JIS, bypassing the reader.
void AddStoredLines(App& app, const std::vector<std::string>& utf8Lines);

// Appends the lines (tagged UTF-8, as AddStoredLines) and analyses only them, as active
// mode does.
void AnalyseMore(App& app, const std::vector<std::string>& utf8Lines);

// The table writers' view of an App as the analysis has it during a run, for tests that
// call the writers directly; error lines go to the App's error pane.
struct TableWriter final : AnalysisEvents {
  explicit TableWriter(App& app) : Owner(app), Inputs{app.Lists, app.NpcCheck}, Run(app, Inputs, *this) {}
  void BattleOpened(int) override {}
  void BattleEnded(int) override {}
  void ShipsDown(const AnalysisState&) override {}
  void Progress(int) override {}
  void Error(std::string line) override { Owner.AppendError(std::move(line)); }

  App& Owner;
  AnalysisInputs Inputs;
  AnalysisRun Run;
};

// The index of the name table entry named exactly `utf8`, or -1.
int NameIndex(const App& app, std::string_view utf8);

}  // namespace mizuto::test
