#include "text/literal_set.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <utility>

namespace mizuto {
namespace {

// `Width` bytes at p as one key, the first byte lowest.
template <int Width>
std::uint32_t Load(const char* p) {
  if constexpr (Width == 4 && std::endian::native == std::endian::little) {
    std::uint32_t key;  // one load instead of four on the common machines
    std::memcpy(&key, p, 4);
    return key;
  } else {
    std::uint32_t key = 0;
    for (int b = 0; b < Width; ++b) {
      key |= static_cast<std::uint32_t>(static_cast<unsigned char>(p[b])) << (8 * b);
    }
    return key;
  }
}

// Most verifications are of short members that differ early; a call to memcmp costs more
// than the comparison itself.
bool SameBytes(const char* a, const char* b, std::size_t n) {
  for (; n >= 8; a += 8, b += 8, n -= 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a, 8);
    std::memcpy(&y, b, 8);
    if (x != y) return false;
  }
  for (; n > 0; --n) {
    if (*a++ != *b++) return false;
  }
  return true;
}

constexpr std::uint32_t kHashFactor = 0x9E3779B1u;  // 2^32 / the golden ratio
constexpr std::uint32_t kNoLimit = std::numeric_limits<std::uint32_t>::max();
// More offsets per member make fewer probes but a larger table with more false hits.
constexpr std::size_t kMaxStride = 8;

// How many offsets of each long member are filed: all of them fit in the shortest one.
std::size_t KeyStride(const std::vector<std::string>& literals) {
  std::size_t shortestLong = 0;
  for (const std::string& literal : literals) {
    if (literal.size() >= 4 && (shortestLong == 0 || literal.size() < shortestLong)) {
      shortestLong = literal.size();
    }
  }
  return shortestLong == 0 ? 1 : std::min(shortestLong - 3, kMaxStride);
}

using KeyCounts = std::unordered_map<std::uint32_t, std::size_t>;

// For each 4-byte key, the number of long members it occurs in.
KeyCounts KeyMembers(const std::vector<std::string>& literals) {
  KeyCounts keyMembers;
  for (const std::string& literal : literals) {
    if (literal.size() < 4) continue;
    std::vector<std::uint32_t> keys;
    for (std::size_t j = 0; j + 4 <= literal.size(); ++j) {
      keys.push_back(Load<4>(literal.data() + j));
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    for (std::uint32_t key : keys) ++keyMembers[key];
  }
  return keyMembers;
}

// The first offset of the `stride` offsets of a long member whose keys the fewest members
// share.
std::size_t RarestWindow(const std::string& literal, std::size_t stride, KeyCounts& keyMembers) {
  std::size_t window = 0;
  std::size_t fewest = std::numeric_limits<std::size_t>::max();
  for (std::size_t a = 0; a + stride + 3 <= literal.size(); ++a) {
    std::size_t shared = 0;
    for (std::size_t j = a; j < a + stride; ++j) {
      shared += keyMembers[Load<4>(literal.data() + j)];
    }
    if (shared < fewest) {
      fewest = shared;
      window = a;
    }
  }
  return window;
}

}  // namespace

void LiteralSet::KeyTable::Build(std::vector<std::pair<std::uint32_t, Candidate>> keyed,
                                 std::size_t stride) {
  Slots.clear();
  Candidates.clear();
  Filter.clear();
  Mask = 0;
  Shift = 32;
  FilterShift = 32;
  Stride = stride;
  if (keyed.empty()) return;
  std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    if (a.second.Member != b.second.Member) return a.second.Member < b.second.Member;
    return a.second.Offset < b.second.Offset;
  });
  std::size_t distinct = 0;
  for (std::size_t i = 0; i < keyed.size(); ++i) {
    if (i == 0 || keyed[i].first != keyed[i - 1].first) ++distinct;
  }
  // Most probes of a text meet no member at all; a sparse table lets such a probe end at
  // its first, free slot.
  std::size_t size = 64;
  int bits = 6;
  while (size < distinct * 4) {
    size *= 2;
    ++bits;
  }
  Slots.assign(size, Slot{});
  Mask = static_cast<std::uint32_t>(size - 1);
  Shift = 32 - bits;
  // About one bit in 64 set; the slot index is a prefix of the filter's hash bits.
  int filterBits = std::max(bits, 12);
  while (filterBits < 18 && (std::size_t{1} << filterBits) < distinct * 64) ++filterBits;
  Filter.assign((std::size_t{1} << filterBits) / 64, 0);
  FilterShift = 32 - filterBits;
  for (const auto& [key, candidate] : keyed) {
    const std::uint32_t f = (key * kHashFactor) >> FilterShift;
    Filter[f >> 6] |= std::uint64_t{1} << (f & 63);
  }
  Candidates.reserve(keyed.size());
  for (std::size_t i = 0; i < keyed.size();) {
    const std::uint32_t key = keyed[i].first;
    std::uint32_t h = (key * kHashFactor) >> Shift;
    while (Slots[h].Count != 0) h = (h + 1) & Mask;
    Slots[h].Key = key;
    Slots[h].Begin = static_cast<std::uint32_t>(Candidates.size());
    for (; i < keyed.size() && keyed[i].first == key; ++i) Candidates.push_back(keyed[i].second);
    Slots[h].Count = static_cast<std::uint32_t>(Candidates.size()) - Slots[h].Begin;
  }
}

void LiteralSet::Assign(const std::vector<std::string>& literals) {
  bytes_.clear();
  offsets_.clear();
  lengths_.clear();
  const std::size_t stride = KeyStride(literals);

  std::vector<std::pair<std::uint32_t, Candidate>> longKeys, shortKeys, singleKeys;
  // A member is filed under the window of offsets whose keys occur in the fewest members:
  // bytes that many members share ("…しました", a common beginning of item names) are
  // likely frequent in texts as well, and would send every probe on them to verify all
  // those members.
  KeyCounts keyMembers = KeyMembers(literals);
  for (std::size_t k = 0; k < literals.size(); ++k) {
    const std::string& literal = literals[k];
    const std::size_t at = bytes_.size();
    offsets_.push_back(at);
    lengths_.push_back(literal.size());
    bytes_ += literal;
    const auto member = static_cast<std::uint32_t>(k);
    if (literal.size() >= 4) {
      const std::size_t window = RarestWindow(literal, stride, keyMembers);
      for (std::size_t j = window; j < window + stride; ++j) {
        longKeys.push_back({Load<4>(literal.data() + j),
                            {member, static_cast<std::uint32_t>(j), literal.size(), at}});
      }
    } else if (literal.size() >= 2) {
      shortKeys.push_back({Load<2>(literal.data()), {member, 0, literal.size(), at}});
    } else if (literal.size() == 1) {
      singleKeys.push_back({Load<1>(literal.data()), {member, 0, literal.size(), at}});
    }
    // An empty member is in no table: it never matches.
  }
  long_.Build(std::move(longKeys), stride);
  short_.Build(std::move(shortKeys), 1);
  single_.Build(std::move(singleKeys), 1);
}

bool LiteralSet::Holds(const std::vector<std::string>& literals) const {
  if (literals.size() != Size()) return false;
  const std::string_view all(bytes_);
  for (std::size_t k = 0; k < literals.size(); ++k) {
    if (all.substr(offsets_[k], lengths_[k]) != literals[k]) return false;
  }
  return true;
}

template <int Width, typename OnMatch>
bool LiteralSet::ScanTable(const KeyTable& table, std::string_view text,
                           const std::uint32_t* skipAbove, OnMatch& onMatch) const {
  const char* const s = text.data();
  const std::size_t n = text.size();
  if (table.Empty() || n < Width) return true;
  // Kept in locals: the compiler cannot tell that onMatch's writes leave the table alone.
  const Candidate* const candidates = table.Candidates.data();
  const Slot* const slots = table.Slots.data();
  const std::uint32_t mask = table.Mask;
  const int shift = table.Shift;
  const std::size_t stride = table.Stride;
  const std::uint64_t* const filter = table.Filter.data();
  const int filterShift = table.FilterShift;
  const char* const members = bytes_.data();
  for (std::size_t probe = 0; probe + Width <= n; probe += stride) {
    const std::uint32_t key = Load<Width>(s + probe);
    const std::uint32_t f = (key * kHashFactor) >> filterShift;
    if ((filter[f >> 6] >> (f & 63) & 1) == 0) continue;
    std::uint32_t h = (key * kHashFactor) >> shift;
    while (slots[h].Count != 0 && slots[h].Key != key) h = (h + 1) & mask;
    const Slot& slot = slots[h];
    if (slot.Count == 0) continue;
    bool go = true;
    for (const Candidate *c = candidates + slot.Begin, *end = c + slot.Count;
         c != end && c->Member <= *skipAbove; ++c) {
      if (c->Offset > probe) continue;
      const std::size_t start = probe - c->Offset;
      if (c->Length > n - start || !SameBytes(s + start, members + c->Bytes, c->Length)) {
        continue;
      }
      go = onMatch(c->Member, start + 1) && go;
    }
    if (!go) return false;
  }
  return true;
}

template <typename OnMatch>
void LiteralSet::Scan(std::string_view text, const std::uint32_t* skipAbove,
                      OnMatch onMatch) const {
  if (!ScanTable<4>(long_, text, skipAbove, onMatch)) return;
  if (!ScanTable<2>(short_, text, skipAbove, onMatch)) return;
  ScanTable<1>(single_, text, skipAbove, onMatch);
}

std::uint64_t LiteralSet::FindFirst(std::string_view text, std::size_t* first) const {
  std::fill(first, first + Size(), std::size_t{0});
  std::uint64_t found = 0;
  Scan(text, &kNoLimit, [first, &found](std::uint32_t member, std::size_t position) {
    if (first[member] == 0 || position < first[member]) first[member] = position;
    if (member < 64) found |= std::uint64_t{1} << member;
    return true;
  });
  return found;
}

LiteralSet::Hit LiteralSet::FindLowest(std::string_view text) const {
  Hit hit;
  std::uint32_t lowest = kNoLimit;
  // Only members up to the best so far are verified. A probe after the one that found a
  // member cannot find an earlier occurrence of it, so once member 0 is in, the scan ends.
  Scan(text, &lowest, [&](std::uint32_t member, std::size_t position) {
    if (member < lowest || position < hit.Position) {
      lowest = member;
      hit.Index = static_cast<int>(member);
      hit.Position = position;
    }
    return lowest != 0;
  });
  return hit;
}

}  // namespace mizuto
