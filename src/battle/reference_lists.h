// The four list files beside the program that carry the game knowledge: NPC fleet names,
// skill names, item names with kind codes, and ship-name prefixes. All Shift-JIS.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/literal_set.h"

namespace mizuto {

struct ReferenceLists {
  std::vector<std::string> NpcNames;
  std::vector<std::string> SkillNames;
  std::vector<std::string> ItemNames;
  std::vector<std::string> ItemKinds;  // parallel to ItemNames: the one-character kind code
  std::vector<std::string> ShipNames;

  // Reads the four files from `programDir` (ending in a separator or empty). A missing
  // file reads as an empty list.
  void Load(const std::string& programDir);

  // False when the NPC check is off and an NPC list entry occurs in `text`.
  bool PassesNpcFilter(std::string_view text, bool npcCheck) const;

  // Appends `name` to NpcNames and rewrites NPCList.txt in `programDir` atomically.
  // Returns false with `error` set when the file cannot be written (the list in memory
  // keeps the new entry).
  bool AppendNpc(const std::string& programDir, std::string name, std::string* error);

  // The skill and item lists as matchers, so a skill or item line is searched once for all
  // entries. PrepareMatchers brings them up to date with the lists (they are rebuilt only
  // when a list changed); the analysis calls it once per run, not once per line.
  void PrepareMatchers() const;
  const LiteralSet& SkillMatcher() const { return skillMatcher_; }
  const LiteralSet& ItemMatcher() const { return itemMatcher_; }

 private:
  mutable LiteralSet skillMatcher_;
  mutable LiteralSet itemMatcher_;
};

// Splits a list file's bytes into lines: CR LF, a lone LF or a lone CR ends a line; a line
// end after the last line adds no entry. Lines are kept as they are.
std::vector<std::string> SplitListLines(std::string_view bytes);

// Reads a whole file; false when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string* bytes);

}  // namespace mizuto
