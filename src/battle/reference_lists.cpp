#include "battle/reference_lists.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "text/sjis.h"

namespace mizuto {

std::vector<std::string> SplitListLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      lines.emplace_back(bytes.substr(start, i - start));
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
  return lines;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  const platform::FilePtr file(platform::OpenFile(path, "rb"));
  if (!file) return false;
  bytes->clear();
  char buffer[1 << 14];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes->append(buffer, n);
  return std::ferror(file.get()) == 0;
}

void ReferenceLists::Load(const std::string& programDir) {
  auto read = [&](const char* name) {
    std::string bytes;
    if (!ReadWholeFile(programDir + name, &bytes)) return std::vector<std::string>{};
    return SplitListLines(bytes);
  };
  const std::vector<std::string> items = read("ItemList.txt");
  NpcNames = read("NPCList.txt");
  SkillNames = read("SkillList.txt");
  ShipNames = read("ShipList.txt");
  ItemNames.clear();
  ItemKinds.clear();
  for (const std::string& line : items) {
    if (!line.empty() && line[0] == '#') continue;
    const std::size_t comma = line.find(',');
    // An empty line, a line without a comma or with nothing after it names no item.
    if (comma == std::string::npos || comma + 1 >= line.size()) continue;
    ItemNames.push_back(line.substr(0, comma));
    ItemKinds.push_back(line.substr(comma + 1, 1));
  }
}

bool ReferenceLists::PassesNpcFilter(std::string_view text, bool npcCheck) const {
  if (npcCheck) return true;
  for (const std::string& npc : NpcNames) {
    if (FindChar(text, npc) != 0) return false;
  }
  return true;
}

void ReferenceLists::PrepareMatchers() const {
  if (!skillMatcher_.Holds(SkillNames)) skillMatcher_.Assign(SkillNames);
  if (!itemMatcher_.Holds(ItemNames)) itemMatcher_.Assign(ItemNames);
}

bool ReferenceLists::AppendNpc(const std::string& programDir, std::string name,
                               std::string* error) {
  NpcNames.push_back(std::move(name));
  std::string bytes;
  for (const std::string& entry : NpcNames) {
    bytes += entry;
    bytes += "\r\n";
  }
  return platform::ReplaceFile(programDir + "NPCList.txt", bytes, error);
}

}  // namespace mizuto
