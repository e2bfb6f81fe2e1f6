// Per-player totals over the counted battles, the tally table's columns and rows, and the
// one refresh point of every totals view.
#pragma once

#include <cstdint>

namespace mizuto {

struct App;
struct BattleRecord;

enum TallyKind {
  kAnyPresent = 0, kRelationBits = 1, kSideBits = 2, kCounterSum = 3, kSkillSum = 4,
  kItemSum = 5, kBattlesPresent = 6, kCountedBattles = 10, kVictories = 11, kDefeats = 12,
  kUndecided = 13, kEscapedBattles = 15, kWithdrawnBattles = 16, kCriticalsDealtSum = 20,
  kCriticalsTakenSum = 21, kWastedRepairsSum = 30, kWastedCareSum = 31, kWastedOtherSum = 32,
  kFleetMealsSum = 33, kTenacitySum = 34
};

// A battle the tallies take: TallyState exactly 1.
bool CountedBattle(const BattleRecord& record);

// One total over the counted battles (0 for an unknown kind).
std::int32_t TallyQuery(const App& app, int nameIndex, int kind, int column);

// The row icon from the side bits and the relation bits.
int TallyIcon(std::int32_t sideBits, std::int32_t relationBits);

// Fixed columns, then one per checked skill, then one per checked item.
void RebuildTallyColumns(App& app);

// Rebuilds the tally rows, the head-to-head grid and the summary line.
void RefreshTallies(App& app);

}  // namespace mizuto
