// The four list files beside the program that carry the game knowledge: NPC fleet names,
// skill names, item names with kind codes, and ship-name prefixes. All Shift-JIS.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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
};

// Splits a list file's bytes into lines: CR LF, a lone LF or a lone CR ends a line; a line
// end after the last line adds no entry. Lines are kept as they are.
std::vector<std::string> SplitListLines(std::string_view bytes);

// Reads a whole file; false when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string* bytes);


}  // namespace mizuto
