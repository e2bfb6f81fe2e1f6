#include "history/packed_figures.h"

#include <algorithm>

namespace mizuto {

void PackNumber(std::string& out, std::int64_t value) {
  std::uint64_t v = (static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63);
  while (v >= 0x80) {
    out.push_back(static_cast<char>((v & 0x7F) | 0x80));
    v >>= 7;
  }
  out.push_back(static_cast<char>(v));
}

bool UnpackNumber(std::string_view& in, std::int64_t* value) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < in.size() && i < 10; ++i) {
    const auto byte = static_cast<unsigned char>(in[i]);
    v |= static_cast<std::uint64_t>(byte & 0x7F) << (7 * i);
    if ((byte & 0x80) == 0) {
      in.remove_prefix(i + 1);
      *value = static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1);
      return true;
    }
  }
  return false;
}

std::string PackUses(UseCounts& uses) {
  std::sort(uses.begin(), uses.end());
  std::string packed;
  for (std::size_t i = 0; i < uses.size();) {
    std::int64_t count = 0;
    std::size_t j = i;
    for (; j < uses.size() && uses[j].first == uses[i].first; ++j) count += uses[j].second;
    PackNumber(packed, uses[i].first);
    PackNumber(packed, count);
    i = j;
  }
  return packed;
}

bool UnpackUses(std::string_view packed, UseCounts& out) {
  const std::size_t before = out.size();
  while (!packed.empty()) {
    std::int64_t id = 0, count = 0;
    if (!UnpackNumber(packed, &id) || !UnpackNumber(packed, &count)) {
      out.resize(before);
      return false;
    }
    out.emplace_back(id, count);
  }
  return true;
}

void LogTotals::Clear() { classes_.clear(); }

bool LogTotals::Add(const Class& battleClass, std::int64_t nameId, const PlayerFigures& f, std::string_view packedUses) {
  scratch_.clear();
  if (!UnpackUses(packedUses, scratch_)) return false;
  Sums& sums = classes_[battleClass];
  auto [at, made] = sums.Players.try_emplace(nameId);
  std::array<std::int64_t, kFigures>& p = at->second;
  if (made) p.fill(0);
  // As the tally table makes its icon: which sides and relations the player ever had.
  p[0] |= f.Sides & 3;
  p[1] |= f.Relations & 3;
  p[2] += f.Present != 0 ? 1 : 0;
  std::size_t i = 3;
  for (std::int64_t v : {f.Sinks, f.Decisive, f.Sunk, f.Captures, f.Captured, f.Tenacity, f.Meals}) p[i++] += v;
  for (const auto& [use, count] : scratch_) sums.Uses[{nameId, use}] += count;
  return true;
}

std::vector<LogTotals::Row> LogTotals::Rows() const {
  std::vector<Row> rows;
  rows.reserve(classes_.size());
  for (const auto& [of, sums] : classes_) {
    Row& row = rows.emplace_back();
    row.Of = of;
    for (const auto& [name, figures] : sums.Players) {
      PackNumber(row.Players, name);
      for (std::int64_t v : figures) PackNumber(row.Players, v);
    }
    for (const auto& [key, count] : sums.Uses) {
      PackNumber(row.Uses, key.first);
      PackNumber(row.Uses, key.second);
      PackNumber(row.Uses, count);
    }
  }
  return rows;
}

}  // namespace mizuto
