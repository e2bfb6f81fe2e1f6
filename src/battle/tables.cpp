#include "battle/tables.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/platform.h"

namespace mizuto {

void NameRecord::AddUse(int battle, bool item, int index, std::int32_t delta) {
  if (index < 0 || index >= (item ? ItemCount : SkillCount)) return;
  if (battle < 0 || battle >= kMaxBattles) return;
  // Searching Uses for the entry costs as many steps as the battle has entries so far;
  // the hint finds it at once. Analysis moves forward, so a new battle has no entries
  // yet, and the hints left from the last one fail their check below.
  if (battle != HintBattle || Uses.size() != HintUsesSize) {
    if (UseHint.empty() || Uses.size() != HintUsesSize ||
        (!Uses.empty() && Uses.back().Battle >= battle)) {
      RebuildUseHint(battle);
    }
    HintBattle = battle;
  }
  const std::size_t key = static_cast<std::size_t>(item ? SkillCount + index : index);
  if (const std::uint32_t hint = UseHint[key]; hint != 0 && hint <= Uses.size()) {
    UseCount& u = Uses[hint - 1];
    if (u.Battle == battle && u.Item == item && u.Index == static_cast<std::uint32_t>(index)) {
      WrapAdd(u.Count, delta);
      return;
    }
  }
  UseCount use;
  use.Battle = static_cast<std::uint16_t>(battle);
  use.Item = item;
  use.Index = static_cast<std::uint32_t>(index);
  use.Count = delta;
  // Keep the entries ordered by battle (the tallies walk them so). Entries of this battle
  // all lie before the new one, so no other hint of this battle moves.
  auto at = std::upper_bound(Uses.begin(), Uses.end(), use.Battle,
                             [](std::uint16_t b, const UseCount& u) { return b < u.Battle; });
  UseHint[key] = static_cast<std::uint32_t>(at - Uses.begin()) + 1;
  Uses.insert(at, use);
  HintUsesSize = Uses.size();
}

void NameRecord::RebuildUseHint(int battle) {
  UseHint.assign(static_cast<std::size_t>(SkillCount) + static_cast<std::size_t>(ItemCount), 0);
  // From the end, so that of two entries for one use (only a hand-made Uses has them) the
  // later one is counted, as a search from the end would find it.
  for (std::size_t i = Uses.size(); i-- > 0 && Uses[i].Battle >= battle;) {
    const UseCount& u = Uses[i];
    const auto count = static_cast<std::uint32_t>(u.Item ? ItemCount : SkillCount);
    if (u.Battle != battle || u.Index >= count) continue;
    std::uint32_t& hint = UseHint[u.Item ? SkillCount + u.Index : u.Index];
    if (hint == 0) hint = static_cast<std::uint32_t>(i) + 1;
  }
  HintUsesSize = Uses.size();
}

std::int32_t NameRecord::UsesIn(int battle, bool item, int index) const {
  for (const UseCount& u : Uses) {
    if (u.Battle == battle && u.Item == item && u.Index == static_cast<std::uint32_t>(index)) {
      return u.Count;
    }
  }
  return 0;
}

NameBattleStats* NameTable::Stats(int n, int b) {
  if (!Valid(n) || b < 0 || b >= kMaxBattles) return nullptr;
  return &records_[static_cast<std::size_t>(n)].Stats[static_cast<std::size_t>(b)];
}

const NameBattleStats* NameTable::Stats(int n, int b) const {
  if (!Valid(n) || b < 0 || b >= kMaxBattles) return nullptr;
  return &records_[static_cast<std::size_t>(n)].Stats[static_cast<std::size_t>(b)];
}

namespace {

// A quick hash of a short byte string, eight bytes at a time.
std::uint64_t HashName(std::string_view s) {
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ s.size();
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s.data() + i, 8);
    h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  if (i < s.size()) {
    std::uint64_t w = 0;
    std::memcpy(&w, s.data() + i, s.size() - i);
    h = (h ^ w) * 0xC4CEB9FE1A85EC53ull;
  }
  return h ^ (h >> 29);
}

}  // namespace

int NameTable::FindKey(std::string_view name, std::uint64_t hash) const {
  if (slots_.empty()) return -1;
  const std::size_t mask = slots_.size() - 1;
  const auto tag = static_cast<std::uint32_t>(hash);
  for (std::size_t i = (hash >> 32) & mask;; i = (i + 1) & mask) {
    const NameSlot& slot = slots_[i];
    if (slot.Key < 0) return -1;
    if (slot.Hash == tag && keys_[static_cast<std::size_t>(slot.Key)].Name == name) {
      return slot.Key;
    }
  }
}

void NameTable::AddKey(std::string name, int lowest, std::uint64_t hash) {
  keys_.push_back({std::move(name), lowest});
  if (keys_.size() * 2 > slots_.size()) {
    slots_.assign(std::max<std::size_t>(64, slots_.size() * 2), NameSlot{});
    for (std::size_t k = 0; k < keys_.size(); ++k) {
      const std::uint64_t h = k + 1 == keys_.size() ? hash : HashName(keys_[k].Name);
      std::size_t i = (h >> 32) & (slots_.size() - 1);
      while (slots_[i].Key >= 0) i = (i + 1) & (slots_.size() - 1);
      slots_[i] = {static_cast<std::uint32_t>(h), static_cast<std::int32_t>(k)};
    }
    return;
  }
  std::size_t i = (hash >> 32) & (slots_.size() - 1);
  while (slots_[i].Key >= 0) i = (i + 1) & (slots_.size() - 1);
  slots_[i] = {static_cast<std::uint32_t>(hash), static_cast<std::int32_t>(keys_.size() - 1)};
}

namespace {
constexpr std::size_t kStatsBlockBytes =
    static_cast<std::size_t>(kMaxNames) * kMaxBattles * sizeof(NameBattleStats);
}  // namespace

void NameTable::StatsBlockDeleter::operator()(NameBattleStats* block) const {
  platform::Release(block, kStatsBlockBytes);
}

void NameTable::Clear() {
  // The written stats go back to all-zero memory, the start values.
  if (statsBlock_ && touchedNames_ > 0) {
    platform::ZeroAgain(statsBlock_.get(), touchedNames_ * kMaxBattles * sizeof(NameBattleStats));
  }
  touchedNames_ = 0;
  records_.clear();
  keys_.clear();
  slots_.clear();
  lengths_.clear();
  remembered_ = 0;
}

int NameTable::Add(std::string name, int skillCount, int itemCount) {
  if (records_.empty()) records_.reserve(kMaxNames);
  const int index = Count();
  if (!name.empty()) {
    // A remembered text equal to the name already holds its answer: the lowest stored
    // name that is a prefix of it, below `index`.
    const std::uint64_t hash = HashName(name);
    if (FindKey(name, hash) < 0) {
      const int shorter = ScanPrefixesOf(name);  // every stored index is below `index`
      AddKey(name, shorter >= 0 ? shorter : index, hash);
    }
    auto at = std::lower_bound(lengths_.begin(), lengths_.end(), name.size());
    if (at == lengths_.end() || *at != name.size()) lengths_.insert(at, name.size());
  }
  NameRecord record;
  record.Name = std::move(name);
  if (!statsBlock_) {
    statsBlock_.reset(static_cast<NameBattleStats*>(platform::ReserveZeroed(kStatsBlockBytes)));
  }
  record.Stats = statsBlock_.get() + static_cast<std::size_t>(index) * kMaxBattles;
  touchedNames_ = static_cast<std::size_t>(index) + 1;
  record.SkillCount = skillCount;
  record.ItemCount = itemCount;
  records_.push_back(std::move(record));
  return index;
}

int NameTable::FindPrefixOf(std::string_view text) {
  const std::uint64_t hash = HashName(text);
  if (const int exact = FindKey(text, hash); exact >= 0) {
    return keys_[static_cast<std::size_t>(exact)].Lowest;
  }
  // A text that only begins with a name (a ship's name after its class, say) comes back
  // again and again; probing every length each time would cost the most of all lookups.
  // Its key's length is not among lengths_, so it never stands in for a name there.
  const int lowest = ScanPrefixesOf(text);
  if (lowest >= 0 && remembered_ < static_cast<std::size_t>(kMaxNames)) {
    ++remembered_;
    AddKey(std::string(text), lowest, hash);
  }
  return lowest;
}

int NameTable::ScanPrefixesOf(std::string_view text) const {
  int best = -1;
  for (std::size_t length : lengths_) {
    if (length > text.size()) break;
    const std::string_view prefix = text.substr(0, length);
    const int key = FindKey(prefix, HashName(prefix));
    if (key < 0) continue;
    const int lowest = keys_[static_cast<std::size_t>(key)].Lowest;
    if (best < 0 || lowest < best) best = lowest;
  }
  return best;
}

}  // namespace mizuto
