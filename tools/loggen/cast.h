// Everything with a name: the player names, the NPC fleets and ships, and the contents of
// the four list files. All of it is invented here and kept apart from the game's fixed
// message wording, so that the analysis splits every generated message the way it should.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mizuto::loggen {

struct ItemEntry {
  std::string Name;     // UTF-8
  char Kind = '1';      // '2': a meal, counted as a fleet meal
  std::string Trailer;  // optional text after the kind code (",修理用"), ignored by readers
};

struct Lists {
  std::vector<std::string> Skills;  // SkillList.txt
  std::vector<ItemEntry> Items;     // ItemList.txt (without its comment line)
  std::vector<std::string> Npc;     // NPCList.txt
  std::vector<std::string> Ships;   // ShipList.txt
};

struct Cast {
  std::string Owner;
  std::vector<std::string> Players;
  std::vector<std::string> NpcFleets;       // each holds an NPCList.txt entry
  std::vector<std::string> NpcShips;        // each begins with a ShipList.txt entry
  std::vector<std::string> OwnCampShips;    // event ships of the own camp
  std::vector<std::string> EnemyCampShips;  // event ships of the enemy camp
};

// `skills` and `items` entries (fewer only if the pools run dry, which they do not below
// 100 skills and 160 items).
Lists MakeLists(std::uint64_t seed, int skills, int items);

// `players` distinct names: none is part of another, of the owner's name, of a list entry
// or of the game's message wording. Throws std::runtime_error when that many cannot be
// formed.
Cast MakeCast(std::uint64_t seed, const std::string& owner, int players, const Lists& lists);

// The largest --players that MakeCast can serve.
inline constexpr int kMaxPlayers = 3000;

}  // namespace mizuto::loggen
