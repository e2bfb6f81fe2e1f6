#include "battle/reference_lists.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <unordered_set>

#include "platform/platform.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

std::size_t SlotOf(std::string_view piece, std::size_t mask) {
  return std::hash<std::string_view>{}(piece) & mask;
}

}  // namespace

namespace {

// Calls onLine(text) for each line of a list file's bytes: CR LF, a lone LF or a lone CR
// ends a line; a line end after the last line adds no line.
template <class OnLine>
void ForEachListLine(std::string_view bytes, OnLine onLine) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      onLine(bytes.substr(start, i - start));
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < bytes.size()) onLine(bytes.substr(start));
}

std::size_t CountListLines(std::string_view bytes) {
  std::size_t count = 0;
  ForEachListLine(bytes, [&](std::string_view) { ++count; });
  return count;
}

}  // namespace

std::vector<std::string> SplitListLines(std::string_view bytes) {
  // Counted first, so the list is allocated once at its size: growing it would pass through
  // copies up to twice its size.
  std::vector<std::string> lines;
  lines.reserve(CountListLines(bytes));
  ForEachListLine(bytes, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

NameList NameList::FromLines(std::string_view bytes) {
  NameList list;
  list.ends_.reserve(CountListLines(bytes));
  // The line ends make the room a little larger than needed; a copy to trim it would
  // cost more, while the file's bytes are still held.
  list.bytes_.reserve(bytes.size());
  ForEachListLine(bytes, [&](std::string_view line) { list.push_back(line); });
  return list;
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

void ReferenceLists::Load(const std::string& programDir, std::vector<std::string>* problems) {
  // The file's bytes are let go as soon as its lines are taken.
  auto readBytes = [&](const char* name) {
    std::string bytes, reason;
    const platform::SmallFileRead outcome =
        platform::ReadSmallFile(programDir + name, kMaxListFileBytes, &bytes, &reason);
    if (outcome != platform::SmallFileRead::Read) {
      if (outcome != platform::SmallFileRead::Missing && problems) problems->push_back(reason);
      bytes.clear();
    }
    return bytes;
  };
  auto read = [&](const char* name) { return SplitListLines(readBytes(name)); };
  const std::vector<std::string> items = read("ItemList.txt");
  NpcNames = NameList::FromLines(readBytes("NPCList.txt"));
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
  IndexNpcNames();
}

std::uint64_t ReferenceLists::NpcDigest() const {
  std::uint64_t digest = NpcNames.size();
  for (const std::string_view name : NpcNames) {
    digest = (digest ^ std::hash<std::string_view>{}(name)) * 0x100000001b3ULL;
  }
  return digest;
}

void ReferenceLists::IndexNpcNames() const {
  npcSlots_.clear();
  npcLengths_.clear();
  npcCount_ = NpcNames.size();
  npcDigest_ = NpcDigest();
  std::size_t entries = 0;
  for (const std::string_view name : NpcNames) entries += name.empty() ? 0 : 1;
  if (entries == 0) return;
  // At most half full, so a lookup that finds nothing ends after a slot or two.
  npcSlots_.assign(std::bit_ceil(entries * 2), 0);
  const std::size_t mask = npcSlots_.size() - 1;
  // The distinct lengths are few: kept as a set, not one entry per name.
  std::unordered_set<std::size_t> lengths;
  for (std::size_t k = 0; k < NpcNames.size(); ++k) {
    const std::string_view name = NpcNames[k];
    if (name.empty()) continue;  // an empty entry matches nothing
    std::size_t slot = SlotOf(name, mask);
    while (npcSlots_[slot] != 0) slot = (slot + 1) & mask;
    npcSlots_[slot] = static_cast<std::uint32_t>(k + 1);
    lengths.insert(name.size());
  }
  npcLengths_.assign(lengths.begin(), lengths.end());
  std::sort(npcLengths_.begin(), npcLengths_.end());
}

bool ReferenceLists::NpcIndexed(std::string_view piece) const {
  const std::size_t mask = npcSlots_.size() - 1;
  for (std::size_t slot = SlotOf(piece, mask); npcSlots_[slot] != 0; slot = (slot + 1) & mask) {
    if (NpcNames[npcSlots_[slot] - 1] == piece) return true;
  }
  return false;
}

bool ReferenceLists::PassesNpcFilter(std::string_view text, bool npcCheck) const {
  if (npcCheck) return true;
  if (npcCount_ != NpcNames.size()) IndexNpcNames();
  if (npcSlots_.empty()) return true;
  // Each character start of the text, each entry length that fits there: one lookup.
  for (std::size_t i = 0; i < text.size();) {
    for (const std::size_t length : npcLengths_) {
      if (length > text.size() - i) break;
      if (NpcIndexed(text.substr(i, length))) return false;
    }
    i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return true;
}

void ReferenceLists::PrepareMatchers() const {
  if (!skillMatcher_.Holds(SkillNames)) skillMatcher_.Assign(SkillNames);
  if (!itemMatcher_.Holds(ItemNames)) itemMatcher_.Assign(ItemNames);
  if (npcCount_ != NpcNames.size() || npcDigest_ != NpcDigest()) IndexNpcNames();
}

bool ReferenceLists::AppendNpc(const std::string& programDir, std::string name,
                               std::string* error) {
  // The file is added to as it is now, not rewritten from this run's list: a name added
  // from outside (an editor, another instance) stays, and a file that could not be read
  // at start-up is never replaced by one holding only the new name.
  const std::string path = programDir + "NPCList.txt";
  // Read, change and rename under one lock: two registrations at once (the window and
  // another instance) would each rename their own copy over the other's name.
  const platform::FileLock lock = platform::FileLock::Take(programDir + kNpcListLockName, 5000, error);
  if (!lock.Held()) return false;
  std::string bytes, reason;
  const platform::SmallFileRead outcome = platform::ReadSmallFile(path, kMaxListFileBytes, &bytes, &reason);
  if (outcome != platform::SmallFileRead::Read && outcome != platform::SmallFileRead::Missing) {
    if (error) *error = reason + " (the list cannot be read, so it is left as it is)";
    return false;
  }
  bool listed = false;
  ForEachListLine(bytes, [&](std::string_view line) { listed = listed || line == name; });
  if (!listed) {
    if (!bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r') bytes += "\r\n";
    bytes += name;
    bytes += "\r\n";
    if (!platform::ReplaceFile(path, bytes, error)) return false;
  }
  NpcNames.push_back(name);
  return true;
}

}  // namespace mizuto
