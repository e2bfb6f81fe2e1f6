// The analysis tables: the battle list, the name table with per-name, per-battle
// statistics, and the running state of the segmentation that persists between runs.
//
// All numbers are 32-bit and wrap on overflow (WrapAdd); the capacities are fixed: 512
// battles, 1024 names, 20 names per side. The name index -1 means "no name": writes to
// its counters are dropped and reads give the start values.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <functional>
#include <unordered_map>
#include <vector>

#include "platform/flag_set.h"

namespace mizuto {

constexpr int kMaxBattles = 512;
constexpr int kMaxNames = 1024;
constexpr int kSideSlots = 20;

inline void WrapAdd(std::int32_t& value, std::int32_t delta) {
  value = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) +
                                    static_cast<std::uint32_t>(delta));
}

// How a battle began. The values are what the history stores.
enum class BattleKind : std::int32_t { Assault = 1, Engagement = 2, Reinforcement = 3, Camp = 4 };
// How a battle ended. The values are what the history stores; a battle still being fought
// holds the start value, Defeat, which means nothing until it ends.
enum class BattleResult : std::int32_t { Defeat = 0, Victory = 1, Escaped = 2, Withdrawn = 3, Draw = 4 };

// The numbers the history keeps for a kind and a result, and back. A stored number that
// names none (a damaged row, or one from a later version) comes back as itself: the labels
// show nothing for it, a JSON line null, and no result count takes it.
constexpr std::int32_t ToStored(BattleKind kind) { return static_cast<std::int32_t>(kind); }
constexpr std::int32_t ToStored(BattleResult result) { return static_cast<std::int32_t>(result); }
constexpr BattleKind KindFromStored(std::int64_t stored) {
  return static_cast<BattleKind>(static_cast<std::int32_t>(stored));
}
constexpr BattleResult ResultFromStored(std::int64_t stored) {
  return static_cast<BattleResult>(static_cast<std::int32_t>(stored));
}
enum BattleCounter { kSinksDealt = 0, kSinksTaken = 1, kCapturesDealt = 2, kCapturesTaken = 3, kDecisive = 4 };
enum ExtraCounter { kWastedRepairs = 0, kWastedCare = 1, kWastedOther = 2, kFleetMeals = 3, kTenacity = 4 };

// A battle's class: the size of the ships, the type of battle, and whether the opponent was
// an NPC fleet. The analysis sets the size and the type from the event's notices; the
// player corrects all three from the battle list. The values are in the order of the
// labels and of the --follow keywords.
enum class ShipSize : std::uint8_t { Small, Medium, Large, None };
enum class BattleType : std::uint8_t { Naval, Mock, Real, Camp };
struct BattleClass {
  ShipSize Size = ShipSize::Large;
  BattleType Type = BattleType::Naval;
  bool Npc = false;
  bool operator==(const BattleClass&) const = default;
};
// A log starts with mock battles of large ships; camp battles have no size.
inline constexpr BattleClass kFirstBattleClass{ShipSize::Large, BattleType::Mock, false};
inline constexpr BattleClass kCampBattleClass{ShipSize::None, BattleType::Camp, false};

// Whether a battle counts, as two facts that change apart: the player's count mark (active
// mode and the battle list's commands move it) and the game's notice that the fight does
// not count, which nobody takes back. CountedBattle (battle_label.h) says what they make
// together.
struct TallyState {
  bool CountMark = true;
  bool GameSaysNotCounted = false;
  bool operator==(const TallyState&) const = default;
};

// The two sides of a battle.
enum class Side : std::uint8_t { Own, Enemy };
// The sides a name was seen on. Stored as Own 1, Enemy 2, ORed.
using SideSet = FlagSet<Side, 2>;

// How a name stands to the owner in one battle: the owner took it out, or it took the
// owner out (both may hold).
enum class OwnerRelation : std::uint8_t { TakenOutByOwner, TookOwnerOut };
// Stored as TakenOutByOwner 1, TookOwnerOut 2, ORed.
using RelationSet = FlagSet<OwnerRelation, 2>;

struct BattleRecord {
  std::int32_t FirstLine = 0;
  BattleKind Kind = BattleKind::Assault;
  BattleResult Result = BattleResult::Defeat;
  TallyState Tally;
  BattleClass Class;
  std::int32_t CriticalsDealt = 0;
  std::int32_t CriticalsTaken = 0;
  std::int32_t Admiral = -1;
  std::int32_t Opponent = -1;
  std::array<std::int32_t, kSideSlots> OwnSide;
  std::array<std::int32_t, kSideSlots> EnemySide;
  std::int32_t OwnPoints = 0;
  std::int32_t EnemyPoints = 0;

  BattleRecord() {
    OwnSide.fill(-1);
    EnemySide.fill(-1);
  }
};

// A name index kept as index + 1, so that all-zero memory reads as -1, "nobody".
class StoredNameIndex {
 public:
  operator std::int32_t() const { return static_cast<std::int32_t>(stored_ - 1u); }
  StoredNameIndex& operator=(std::int32_t index) {
    stored_ = static_cast<std::uint32_t>(index) + 1u;
    return *this;
  }

 private:
  std::uint32_t stored_;
};

// One name in one battle. Every field's start value is all-zero memory: the name table
// hands out the stats of fresh names from zero pages, so only the battles a name actually
// takes part in ever cost memory.
struct NameBattleStats {
  SideSet Sides;               // the sides the name was seen on
  RelationSet OwnerRelations;  // how it stood to the owner
  StoredNameIndex TakenBy;     // -1 (nobody) at the start
  std::int32_t Present;
  std::array<std::int32_t, 5> BattleCounts;  // BattleCounter
  std::array<std::int32_t, 5> ExtraCounts;   // ExtraCounter

  void AddSide(Side side) { Sides = Sides.With(side); }
  void SetOnlySide(Side side) { Sides = SideSet{side}; }
  void AddRelation(OwnerRelation relation) { OwnerRelations = OwnerRelations.With(relation); }
  // Seen on this side and never on the other.
  bool OnlyOn(Side side) const { return Sides.Only(side); }
};
static_assert(std::is_trivially_default_constructible_v<NameBattleStats>);

// Skill and item uses are rare next to the battle counters, so they are kept sparsely:
// one entry per (battle, skill or item) that was used at least once, in the order of first
// use. Analysis moves forward through the battles, so the entries of the battle being
// analysed are always at the end.
struct UseCount {
  std::uint16_t Battle = 0;
  bool Item = false;
  std::uint32_t Index = 0;
  std::int32_t Count = 0;
};

struct NameRecord {
  std::string Name;
  std::int32_t Visible = 1;
  NameBattleStats* Stats = nullptr;  // kMaxBattles entries, owned by the NameTable
  int SkillCount = 0;  // length of the skill list when the record was made
  int ItemCount = 0;   // length of the item list when the record was made
  std::vector<UseCount> Uses;

  // Adds `delta` to skill (item == false) or item `index` in `battle`; an index beyond the
  // list length of the record's creation is ignored.
  void AddUse(int battle, bool item, int index, std::int32_t delta);
  std::int32_t UsesIn(int battle, bool item, int index) const;

  // AddUse's shortcut into Uses for the battle it counts in (HintBattle): the position + 1
  // of each skill's (index) and item's (SkillCount + index) entry, 0 for none. A hint is
  // checked against its entry before use; all are rebuilt when AddUse turns to a battle
  // that has entries already, or finds Uses grown or shrunk by someone else.
  std::vector<std::uint32_t> UseHint;
  int HintBattle = -1;
  std::size_t HintUsesSize = 0;

 private:
  void RebuildUseHint(int battle);
};

class NameTable {
 public:
  NameTable() = default;
  NameTable(const NameTable&) = delete;
  NameTable& operator=(const NameTable&) = delete;

  int Count() const { return static_cast<int>(records_.size()); }
  bool Valid(int n) const { return n >= 0 && n < Count(); }
  const NameRecord& operator[](int n) const { return records_[static_cast<std::size_t>(n)]; }
  NameRecord& operator[](int n) { return records_[static_cast<std::size_t>(n)]; }

  // The stats of name n in battle b, or nullptr for "no name" or a battle out of range.
  NameBattleStats* Stats(int n, int b);
  const NameBattleStats* Stats(int n, int b) const;

  void Clear();
  // Appends a record (the caller checked the capacity); returns its index.
  int Add(std::string name, int skillCount, int itemCount);
  // Lowest index whose non-empty Name is a prefix of `text` (bytewise), or -1. A found
  // answer for a text that is no stored name is remembered (for a bounded number of texts):
  // names added later have higher indices, so it stays right until Clear.
  int FindPrefixOf(std::string_view text);

 private:
  std::vector<NameRecord> records_;
  // The stats of every possible name, kMaxNames x kMaxBattles, reserved once and filled
  // by the operating system's zero pages as they are first touched.
  struct StatsBlockDeleter {
    void operator()(NameBattleStats* block) const;
  };
  std::unique_ptr<NameBattleStats, StatsBlockDeleter> statsBlock_;
  std::size_t touchedNames_ = 0;  // names whose stats may have been written since Clear
  // The lowest index whose name is a prefix of `text`, by probing every stored length.
  int ScanPrefixesOf(std::string_view text) const;

  // Exact non-empty names -> the lowest index whose name is a prefix of that name (the name
  // itself included), and the distinct lengths of those names. A text that is exactly a
  // stored name (the usual case) costs one probe; any other a few, instead of a scan of
  // every name. The answer for a stored name never changes later: a name added afterwards
  // has a higher index than the name itself.
  // The names sit in an open-addressed table of small slots (most lookups read one slot
  // and one name), at most half full.
  struct NameKey {
    std::string Name;
    int Lowest = -1;
  };
  struct NameSlot {
    std::uint32_t Hash = 0;
    std::int32_t Key = -1;  // into keys_; -1: free
  };
  // Index into keys_ of `name`, or -1.
  int FindKey(std::string_view name, std::uint64_t hash) const;
  void AddKey(std::string name, int lowest, std::uint64_t hash);
  std::vector<NameKey> keys_;     // the stored names, then remembered texts
  std::vector<NameSlot> slots_;  // a power of two in size
  std::size_t remembered_ = 0;   // texts in keys_ that are no stored name
  std::vector<std::size_t> lengths_;  // sorted ascending
};

struct AnalysisState {
  std::optional<BattleKind> BattleInProgress;  // the battle being fought; none between battles
  // The game's notice that the battle being fought, or else the next one, does not count.
  bool NotCountedNotice = false;
  std::int32_t CurrentAdmiral = 0;
  std::int32_t CurrentOpponent = -1;
  std::int32_t OwnShipsDown = 0;
  std::int32_t EnemyShipsDown = 0;
  BattleClass CurrentClass = kFirstBattleClass;
  // Capacity refusals are reported once per load.
  bool BattleTableFullReported = false;
  bool NameTableFullReported = false;
};

}  // namespace mizuto
