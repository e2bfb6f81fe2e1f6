#include "program_folder.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/platform.h"
#include "text/codec.h"

namespace mizuto::loggen {

namespace {

std::string SjisLines(const std::vector<std::string>& utf8Lines) {
  std::string out;
  for (const std::string& line : utf8Lines) {
    AppendUtf8AsSjis(line, out);
    out += "\r\n";
  }
  return out;
}

// One mark per entry, the first `checked` of them set: the lists put the entries that the
// log uses most at the front.
std::string CheckString(std::size_t entries, int checked) {
  std::string marks;
  for (std::size_t i = 0; i < entries; ++i) marks += static_cast<int>(i) < checked ? '1' : '0';
  return marks;
}

// The entries of a UTF-8 list file: its lines without comments, empty lines or line ends.
bool ReadEntries(const std::filesystem::path& file, std::vector<std::string>* entries, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = "cannot read " + platform::PathString(file);
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != '#') entries->push_back(line);
  }
  if (entries->empty()) {
    *error = platform::PathString(file) + " holds no entry";
    return false;
  }
  return true;
}

}  // namespace

bool ReadSkillAndItemLists(const std::string& dir, Lists* lists, std::string* error) {
  const std::filesystem::path folder = platform::NativePath(dir);
  std::vector<std::string> skills, items;
  if (!ReadEntries(folder / "SkillList.txt", &skills, error) ||
      !ReadEntries(folder / "ItemList.txt", &items, error)) {
    return false;
  }
  lists->Skills = std::move(skills);
  lists->Items.clear();
  for (const std::string& line : items) {
    const std::size_t comma = line.find(',');
    if (comma == std::string::npos || comma + 1 >= line.size()) {
      *error = "an item without its kind in " + dir + ": " + line;
      return false;
    }
    lists->Items.push_back({line.substr(0, comma), line[comma + 1], line.substr(comma + 2)});
  }
  return true;
}

bool WriteProgramFolder(const Options& options, const Lists& lists, std::string* error) {
  namespace fs = std::filesystem;
  const fs::path dir = platform::NativePath(options.ProgramDir);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    *error = "cannot create " + options.ProgramDir + ": " + ec.message();
    return false;
  }

  std::vector<std::string> items{"# アイテム名,種別（2=艦隊料理）"};
  for (const ItemEntry& e : lists.Items) items.push_back(e.Name + "," + e.Kind + e.Trailer);

  std::vector<std::string> ini{"[Mizuto]", "UserName=" + (options.UserNameSet ? options.Owner : std::string())};
  if (!options.LogDir.empty()) {
    ini.push_back("LogDir=" + options.LogDir);
  } else if (!options.Out.empty()) {
    // The folder of the log, so that the program finds it as the newest log there.
    ini.push_back("LogDir=" + platform::PathString(fs::absolute(platform::NativePath(options.Out), ec).parent_path()));
  }
  // The settings file crosses these two keys: ItemChk holds the skill list's marks and
  // SkillChk the item list's.
  ini.push_back("ItemChk=" + CheckString(lists.Skills.size(), options.Checked));
  ini.push_back("SkillChk=" + CheckString(lists.Items.size(), options.Checked));

  const std::pair<const char*, std::string> files[] = {
      {"SkillList.txt", SjisLines(lists.Skills)}, {"ItemList.txt", SjisLines(items)},
      {"NPCList.txt", SjisLines(lists.Npc)},      {"ShipList.txt", SjisLines(lists.Ships)},
      {"Mizuto.ini", SjisLines(ini)}};
  for (const auto& [name, bytes] : files) {
    if (!platform::ReplaceFile(platform::PathString(dir / name), bytes, error)) return false;
  }
  return true;
}

}  // namespace mizuto::loggen
