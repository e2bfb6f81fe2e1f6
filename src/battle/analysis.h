// The analysis as a whole: its tables (the battle list, the name table and the running
// state that carries from one line and one run to the next), what it reads besides the
// lines (the reference lists and the NPC switch), and what it tells the outside while it
// runs (a battle opened or ended, ships down, progress, error lines). The analysis never
// writes a view itself: whoever runs it listens to its events.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "battle/reference_lists.h"
#include "battle/tables.h"

namespace mizuto {

struct Analysis {
  std::vector<BattleRecord> Battles;  // the battle list; size() is BattleCount
  NameTable Names;                    // Count() is NameCount
  AnalysisState State;

  int BattleCount() const { return static_cast<int>(Battles.size()); }
  int NameCount() const { return Names.Count(); }
};

struct AnalysisInputs {
  const ReferenceLists& Lists;
  bool NpcCheck = false;  // battles against NPC fleets are analysed too
};

class AnalysisEvents {
 public:
  virtual ~AnalysisEvents() = default;
  // Battle b joined the list, in progress.
  virtual void BattleOpened(int b) = 0;
  // Battle b has its result: its label is final.
  virtual void BattleEnded(int b) = 0;
  // A ship was put out of action; the state holds the new counters.
  virtual void ShipsDown(const AnalysisState& state) = 0;
  // The run reached `percent` of the lines (sent when the figure changes, and 100 at the
  // end).
  virtual void Progress(int percent) = 0;
  // A line for the error pane.
  virtual void Error(std::string line) = 0;
};

// The writers' view of one run: the tables, what the run reads, where it reports, and the
// line being analysed (error reports carry its number).
struct AnalysisRun {
  AnalysisRun(Analysis& tables, const AnalysisInputs& inputs, AnalysisEvents& events)
      : Tables(tables), Battles(tables.Battles), Names(tables.Names), State(tables.State),
        Lists(inputs.Lists), NpcCheck(inputs.NpcCheck), Events(events) {}

  Analysis& Tables;
  std::vector<BattleRecord>& Battles;
  NameTable& Names;
  AnalysisState& State;
  const ReferenceLists& Lists;
  bool NpcCheck;
  AnalysisEvents& Events;
  int CurrentLine = -1;

  int BattleCount() const { return Tables.BattleCount(); }
};

// Empties the tables: the name table down to the owner's entry (`userName`), the battle
// list, the running state.
void ResetAnalysis(Analysis& analysis, const std::string& userName, int skillCount, int itemCount);

// The index of the name that `text` stands for (prefix match on the stored names, lowest
// index first), adding a new record when there is none (cut after a ship-name prefix of
// the list). -1 when the table is full (reported once per load).
int InternName(AnalysisRun& run, std::string_view text);

// Interns `text`, marks it present in the current battle, seen on `side`; returns the index.
int MarkPresent(AnalysisRun& run, std::string_view text, Side side);

// Adds a name index to a record's list of the names on `side`.
void AddToSide(BattleRecord& record, std::int32_t nameIndex, Side side);

// "@@@@@@@ Error Code NNN @@@@@@@ Line:" followed by `lineNumber` (1-based).
std::string ErrorCodeLine(int code, long long lineNumber);

}  // namespace mizuto
