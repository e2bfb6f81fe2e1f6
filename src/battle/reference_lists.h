// The four list files beside the program that carry the game knowledge: NPC fleet names,
// skill names, item names with kind codes, and ship-name prefixes. All Shift-JIS.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "text/literal_set.h"

namespace mizuto {

// A list file larger than this is not read: no list the game's players keep comes near it,
// and every entry costs memory (and the NPC filter time) for the whole run.
inline constexpr std::size_t kMaxListFileBytes = std::size_t{16} << 20;

// A list of names kept as one string and where each name ends: a list file of many short
// lines takes little more memory than the file (a vector of strings would take 32 bytes a
// line, several times the file).
class NameList {
 public:
  NameList() = default;
  NameList(std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) push_back(name);
  }
  // The lines of a list file (split as SplitListLines splits).
  static NameList FromLines(std::string_view bytes);

  std::size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  std::string_view operator[](std::size_t i) const {
    const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(bytes_).substr(begin, ends_[i] - begin);
  }
  void push_back(std::string_view name) {
    bytes_.append(name);
    ends_.push_back(static_cast<std::uint32_t>(bytes_.size()));
  }
  void clear() {
    bytes_.clear();
    ends_.clear();
  }
  bool operator==(const NameList&) const = default;

  class Iterator {
   public:
    Iterator(const NameList* list, std::size_t i) : list_(list), i_(i) {}
    std::string_view operator*() const { return (*list_)[i_]; }
    Iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator==(const Iterator& other) const { return i_ == other.i_; }

   private:
    const NameList* list_;
    std::size_t i_;
  };
  Iterator begin() const { return Iterator(this, 0); }
  Iterator end() const { return Iterator(this, size()); }

 private:
  std::string bytes_;
  std::vector<std::uint32_t> ends_;  // list files are far below 4 GiB (kMaxListFileBytes)
};

// The lock file beside NPCList.txt that a registration holds.
inline constexpr const char* kNpcListLockName = ".NPCList.txt.lock";

struct ReferenceLists {
  NameList NpcNames;
  std::vector<std::string> SkillNames;
  std::vector<std::string> ItemNames;
  std::vector<std::string> ItemKinds;  // parallel to ItemNames: the one-character kind code
  std::vector<std::string> ShipNames;

  // Reads the four files from `programDir` (ending in a separator or empty). A missing
  // file reads as an empty list; so does one that cannot be read, is no regular file (a
  // pipe, a device) or is larger than kMaxListFileBytes, and each of those adds a line
  // ("path: reason", in the file system's spelling) to `problems` when it is given.
  void Load(const std::string& programDir, std::vector<std::string>* problems = nullptr);

  // False when the NPC check is off and an NPC list entry occurs in `text`. The entries
  // are looked up by the pieces of `text` of each entry length, not searched for one by
  // one: the time does not grow with the length of the list. (After NpcNames is changed
  // in place, PrepareMatchers brings the lookup up to date.)
  bool PassesNpcFilter(std::string_view text, bool npcCheck) const;

  // Adds `name` to NPCList.txt in `programDir` as the file is on disk now (its entries,
  // also those added from outside while the program runs, stay; the name is added only
  // when no line holds it already), replacing it atomically, then to NpcNames. The lock
  // file kNpcListLockName beside it is held from the read to the rename, waiting up to five
  // seconds for another registration. Returns false with `error` set, changing nothing,
  // when the lock cannot be had, or the file exists but cannot be read (it is never
  // replaced then) or cannot be written.
  bool AppendNpc(const std::string& programDir, std::string name, std::string* error);

  // The skill and item lists as matchers, so a skill or item line is searched once for all
  // entries, and the NPC list as a lookup table. PrepareMatchers brings them up to date with
  // the lists (they are rebuilt only when a list changed); the analysis calls it once per
  // run, not once per line.
  void PrepareMatchers() const;
  const LiteralSet& SkillMatcher() const { return skillMatcher_; }
  const LiteralSet& ItemMatcher() const { return itemMatcher_; }

 private:
  // NpcNames by content: an open-addressing table of entry indexes (+1; 0 is a free slot)
  // and the distinct entry lengths. `npcDigest_` tells whether the list changed since.
  void IndexNpcNames() const;
  std::uint64_t NpcDigest() const;
  bool NpcIndexed(std::string_view piece) const;

  mutable LiteralSet skillMatcher_;
  mutable LiteralSet itemMatcher_;
  mutable std::vector<std::uint32_t> npcSlots_;
  mutable std::vector<std::size_t> npcLengths_;
  mutable std::size_t npcCount_ = 0;
  mutable std::uint64_t npcDigest_ = 0;
};

// Splits a list file's bytes into lines: CR LF, a lone LF or a lone CR ends a line; a line
// end after the last line adds no entry. Lines are kept as they are.
std::vector<std::string> SplitListLines(std::string_view bytes);

// Reads a whole file; false when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string* bytes);

}  // namespace mizuto
