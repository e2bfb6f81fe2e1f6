// The history's packed figures: numbers kept one after another in a blob instead of a row
// each. A battle and player's skill and item uses are one blob beside the player's figures
// (a log of many uses would otherwise insert hundreds of rows), and each log and class's
// totals (log_totals) are two blobs the players' question sums without reading a battle.
// Internal to src/history (and its tests).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mizuto {

// Each number a zigzag varint, one after another.
void PackNumber(std::string& out, std::int64_t value);
// The next number of `in`, which moves past it; false at the end or on a cut-off number.
bool UnpackNumber(std::string_view& in, std::int64_t* value);

// (use id, count) pairs: sorted by id, a use named twice summed into one pair.
using UseCounts = std::vector<std::pair<std::int64_t, std::int64_t>>;
// `uses` sorted and merged in place, then packed as id, count, id, count...
std::string PackUses(UseCounts& uses);
// Appends the pairs of a packed blob to `out`; false when the blob is damaged.
bool UnpackUses(std::string_view packed, UseCounts& out);

// A player's figures in one battle as battle_players keeps them. Present is how many of
// the analysis' entries of the name were present: one, but for a name the log entered
// twice (an empty name read again), whose entries' figures are summed into one row as the
// report's rows of that name add up.
struct PlayerFigures {
  std::int64_t Sides = 0, Relations = 0, Present = 0;
  std::int64_t Sinks = 0, Decisive = 0, Sunk = 0, Captures = 0, Captured = 0, Tenacity = 0, Meals = 0;
};

// A counted battle's own figures as the season's summary, opponents and days sum them: its
// result as the status bar counts it, ships down, criticals and the owner's wasted efforts.
struct BattleFigures {
  std::int64_t Won = 0, Lost = 0, Drawn = 0, Escaped = 0, Withdrawn = 0;
  std::int64_t OwnDown = 0, EnemyDown = 0, CriticalsDealt = 0, CriticalsTaken = 0;
  std::int64_t WastedRepairs = 0, WastedCare = 0, WastedOther = 0;
};

// The per-log totals of counted battles, per class (type, size, NPC): for each player (by
// name id, ascending) the side and relation bits ORed, the battles present and the other
// sums; for each player and use the count; for each opponent the battles and their figures.
class LogTotals {
 public:
  using Class = std::array<std::int64_t, 3>;  // type, size, npc
  // The number of figures after the name in a players blob.
  static constexpr int kFigures = 10;
  // The number of figures after the opponent in a battles blob: the battles, then
  // BattleFigures' in its order.
  static constexpr int kBattleFigures = 13;
  // The opponent of a battle whose log named none.
  static constexpr std::int64_t kNoOpponent = 0;
  // The class of the row that sums every class (type, size and npc all -1): a question
  // that filters no class reads one row per log instead of one per class.
  static constexpr Class kEveryClass{-1, -1, -1};

  void Clear();
  // One battle's player; false when `packedUses` is damaged (nothing of it is added).
  bool Add(const Class& battleClass, std::int64_t nameId, const PlayerFigures& figures, std::string_view packedUses);
  // One counted battle against `opponent` (a name id, or kNoOpponent).
  void AddBattle(const Class& battleClass, std::int64_t opponent, const BattleFigures& figures);

  struct Row {
    Class Of{};
    std::string Players;  // name id, then the kFigures sums, per player
    std::string Uses;     // name id, use id, count, per player and use
    std::string Battles;  // opponent, then the kBattleFigures sums, per opponent
  };
  // Per class, ascending (kEveryClass first, then each class that has a battle); each
  // player, use and opponent once, in id order.
  std::vector<Row> Rows();

 private:
  // Gathered as they come and summed when the rows are made: a log's thousands of uses
  // cost a sort, not a tree insertion each.
  struct Player {
    Class Of{};
    std::int64_t Name = 0;
    std::array<std::int64_t, kFigures> Figures{};
  };
  struct Use {
    Class Of{};
    std::int64_t Name = 0, Id = 0, Count = 0;
  };
  struct Battle {
    Class Of{};
    std::int64_t Opponent = 0;
    std::array<std::int64_t, kBattleFigures> Figures{};
  };
  std::vector<Player> players_;
  std::vector<Use> uses_;
  std::vector<Battle> battles_;
  UseCounts scratch_;
};

}  // namespace mizuto
