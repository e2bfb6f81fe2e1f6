// The text of a battle list row and of the status-bar summary line (Shift-JIS).
#pragma once

#include <string>
#include <string_view>

#include "battle/analysis.h"

namespace mizuto {

// The row text of battle i once it has ended (or whenever a command relabels it): the
// record's values as they stand. Empty for an index outside the list.
std::string BattleLabel(const Analysis& analysis, int i);
// The same for a record that need not be in the list (a battle as the history keeps it,
// with the player's corrections), numbered as battle i, with its admiral's name (empty for
// none) and its opponent's (kUnknownOpponent for none).
inline constexpr std::string_view kUnknownOpponent = "???";
std::string BattleLabel(const BattleRecord& record, int i, std::string_view admiral, std::string_view opponent);

// The row text of battle i while it is in progress: "<<< %3d戦目 戦闘中 >>>".
std::string InProgressLabel(int i);

// A battle the tallies, the summary and the hint take: marked to count by the player and
// not refused by the game.
inline bool CountedBattle(const BattleRecord& record) {
  return record.Tally.CountMark && !record.Tally.GameSaysNotCounted;
}

// Taking a battle out of the count, or putting it back, moves only the player's count
// mark: the game's not-counted notice is the game's word on the battle and survives both,
// so a battle the game refused never counts and shows the same mark whoever touched it last.
inline void UncountKeepingGameMark(BattleRecord& record) { record.Tally.CountMark = false; }
inline void CountKeepingGameMark(BattleRecord& record) { record.Tally.CountMark = true; }

// Whether battle i of the list has ended: every battle has but the last one while a
// battle is being fought.
inline bool BattleEnded(const Analysis& analysis, int i) {
  return i != analysis.BattleCount() - 1 || !analysis.State.BattleInProgress;
}

// Where a battle's result counts among 勝, 敗 and 分. A battle still being fought counts in
// none of them: its Result holds the start value, which would read as a defeat.
enum class ResultCount { None, Won, Lost, Escaped, Withdrawn, Drawn };
ResultCount CountOfResult(BattleResult result, bool ended);

// The results of a set of battles: the summary line sums the counted battles, the battle
// list's hint the selected counted ones.
struct ResultCounts {
  std::int32_t Counted = 0, Won = 0, Lost = 0;
  std::int32_t Undecided = 0;  // draws, escapes and withdrawals
  std::int32_t Escaped = 0, Withdrawn = 0;
  void Add(const BattleRecord& record, bool ended);
};

// The summary of the counted battles.
std::string SummaryLine(const Analysis& analysis);

// The summary line's figures, whatever battles they were summed over.
struct SummaryFigures {
  long long Counted = 0, Won = 0, Lost = 0, Undecided = 0, Escaped = 0, Withdrawn = 0;
  long long CriticalsDealt = 0, CriticalsTaken = 0;
  long long WastedRepairs = 0, WastedCare = 0, WastedOther = 0;  // the owner's
};
std::string SummaryText(const SummaryFigures& figures);

}  // namespace mizuto
