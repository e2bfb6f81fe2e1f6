// What the history answers: one filter for every question, and plain rows. Texts that come
// from the logs (names, labels) are Shift-JIS like every text of the core; file names and
// folders are in the file system's spelling (UTF-8); dates are "YYYY-MM-DD".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "battle/battle_correction.h"
#include "battle/tables.h"

namespace mizuto {

// Which battles a question is about. Every field left at its default lets all through.
struct HistoryFilter {
  std::string From;  // "YYYY-MM-DD", inclusive; empty: from the first
  std::string To;    // "YYYY-MM-DD", inclusive; empty: to the last
  std::optional<BattleType> Type;  // 海戦, 模擬, 実戦, ＢＣ (the labels' order)
  std::optional<ShipSize> Size;    // 小, 中, 大 (and None, a camp battle's)
  enum class Opposition { Any, Npc, Player };
  Opposition Against = Opposition::Any;  // the battle's NPC flag
  // Shift-JIS; empty: everybody. Keeps the battles whose opponent or one of whose players
  // has this name -- or, with PartialName, a name containing this text (character by
  // character, as the lists match).
  std::string Name;
  bool PartialName = false;
};

// A date range; both empty when the history has no battle.
struct HistoryRange {
  std::string From;
  std::string To;
};

// The counted battles of the range in the status bar's terms. Undecided is what the status
// bar calls 分 (draws, escapes and withdrawals); Drawn the draws alone.
struct HistorySummary {
  std::int64_t Battles = 0, Won = 0, Lost = 0, Undecided = 0, Drawn = 0, Escaped = 0, Withdrawn = 0;
  std::int64_t CriticalsDealt = 0, CriticalsTaken = 0;
  // The owner's wasted efforts: repairs, surgery and rescue, other.
  std::int64_t WastedRepairs = 0, WastedCare = 0, WastedOther = 0;
};

// One opponent over the counted battles of the range ("???" when the log never named one).
struct OpponentRow {
  std::string Opponent;  // Shift-JIS
  std::int64_t Battles = 0, Won = 0, Lost = 0, Drawn = 0, Escaped = 0, Withdrawn = 0;
  std::int64_t OwnDown = 0, EnemyDown = 0;
};

// One player: the tally table's columns summed over the counted battles of the range in
// which the player took part, and the sets the tally table's row icon is made of (the icon
// itself is TallyIcon(Sides, Relations)).
struct PlayerRow {
  std::string Name;  // Shift-JIS
  SideSet Sides{};          // every side the player was seen on over the battles
  RelationSet Relations{};  // every relation to the owner over the battles
  int Icon = 0;
  std::int64_t Battles = 0, Sinks = 0, Decisive = 0, Sunk = 0, Captures = 0, Captured = 0;
  std::int64_t Tenacity = 0, FleetMeals = 0;
  // Parallel to the skill and item names the question named.
  std::vector<std::int64_t> SkillUses, ItemUses;
};

// One battle of the range, counted or not, in date order and then as the logs hold them.
// Where a log was when it was last imported (UTF-8): its battles' rows share it.
struct LogPlace {
  std::string FileName;
  std::string Folder;
};

struct BattleRow {
  std::int64_t Id = 0;  // the battle's own, as BattleIds and BattlesById know it
  std::int64_t LogId = 0;
  std::string Date;
  std::shared_ptr<const LogPlace> Place;
  const std::string& FileName() const { return Place ? Place->FileName : NoText(); }
  const std::string& Folder() const { return Place ? Place->Folder : NoText(); }
  std::string Label;     // as the battle list shows it (Shift-JIS)
  int Number = 0;        // the battle's number in its log, from 1
  // Where the battle starts in its log (its first line, from 0): what its corrections and
  // the window's battle list know it by, whatever battles come before it. -1 for a battle
  // stored before the history kept it (until its log is analysed again).
  std::int32_t FirstLine = -1;
  bool Counted = false;
  BattleResult Result = BattleResult::Defeat;  // counts only once the battle has ended
  bool Ended = true;
  std::int32_t OwnDown = 0, EnemyDown = 0;
  BattleKind Kind = BattleKind::Assault;
  BattleClass Class;  // with the player's corrections
  std::optional<std::string> Admiral, Opponent;  // Shift-JIS; none when the log named none

 private:
  static const std::string& NoText() {
    static const std::string none;
    return none;
  }
};

// A correction the history keeps, by the battle's start in its log.
struct StoredCorrection {
  std::int32_t FirstLine = 0;
  BattleCorrection Change;
};

// One log that has battles in the range (or, unfiltered, every log).
struct LogRow {
  std::int64_t LogId = 0;
  std::string Date;
  std::string FileName;  // UTF-8
  std::string Folder;    // UTF-8
  std::int64_t Size = 0;
  std::int64_t Battles = 0;  // its battles the filter lets through
};

// One day of the range that has counted battles: how many by result, ships down.
struct DayRow {
  std::string Date;
  std::int64_t Won = 0, Lost = 0, Drawn = 0, Escaped = 0, Withdrawn = 0;
  std::int64_t OwnDown = 0, EnemyDown = 0;
};

}  // namespace mizuto
