#include "program_folder.h"

#include <filesystem>
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

}  // namespace

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
  if (!options.Out.empty()) {
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
