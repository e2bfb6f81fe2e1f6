#include "battle/tables.h"

#include <algorithm>

namespace mizuto {

void NameRecord::AddUse(int battle, bool item, int index, std::int32_t delta) {
  if (index < 0 || index >= (item ? ItemCount : SkillCount)) return;
  if (battle < 0 || battle >= kMaxBattles) return;
  for (auto it = Uses.rbegin(); it != Uses.rend() && it->Battle >= battle; ++it) {
    if (it->Battle == battle && it->Item == item && it->Index == static_cast<std::uint32_t>(index)) {
      WrapAdd(it->Count, delta);
      return;
    }
  }
  UseCount use;
  use.Battle = static_cast<std::uint16_t>(battle);
  use.Item = item;
  use.Index = static_cast<std::uint32_t>(index);
  use.Count = delta;
  // Keep the entries ordered by battle so the backwards search above stays short.
  auto at = std::upper_bound(Uses.begin(), Uses.end(), use.Battle,
                             [](std::uint16_t b, const UseCount& u) { return b < u.Battle; });
  Uses.insert(at, use);
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
  if (!name.empty() && byName_.emplace(name, index).second) {
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
  int best = -1;
  for (std::size_t length : lengths_) {
    if (length > text.size()) break;
    auto it = byName_.find(text.substr(0, length));
    if (it != byName_.end() && (best < 0 || it->second < best)) best = it->second;
  }
  return best;
}

}  // namespace mizuto
