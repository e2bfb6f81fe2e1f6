#include "battle/tables.h"

#include <algorithm>

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

void NameTable::Clear() {
  records_.clear();
  byName_.clear();
  lengths_.clear();
}

int NameTable::Add(std::string name, int skillCount, int itemCount) {
  if (records_.empty()) records_.reserve(kMaxNames);
  const int index = Count();
  if (!name.empty() && byName_.find(name) == byName_.end()) {
    const int shorter = ScanPrefixesOf(name);  // every stored index is below `index`
    byName_.emplace(name, shorter >= 0 ? shorter : index);
    auto at = std::lower_bound(lengths_.begin(), lengths_.end(), name.size());
    if (at == lengths_.end() || *at != name.size()) lengths_.insert(at, name.size());
  }
  NameRecord record;
  record.Name = std::move(name);
  record.Stats = std::make_unique<NameBattleStats[]>(kMaxBattles);
  record.SkillCount = skillCount;
  record.ItemCount = itemCount;
  records_.push_back(std::move(record));
  return index;
}

int NameTable::FindPrefixOf(std::string_view text) const {
  const auto exact = byName_.find(text);
  return exact != byName_.end() ? exact->second : ScanPrefixesOf(text);
}

int NameTable::ScanPrefixesOf(std::string_view text) const {
  int best = -1;
  for (std::size_t length : lengths_) {
    if (length > text.size()) break;
    auto it = byName_.find(text.substr(0, length));
    if (it != byName_.end() && (best < 0 || it->second < best)) best = it->second;
  }
  return best;
}

}  // namespace mizuto
