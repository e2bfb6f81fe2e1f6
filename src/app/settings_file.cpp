#include "app/settings_file.h"
#include "app/start_up.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/active_mode.h"
#include "app/app.h"
#include "app/ini_file.h"
#include "app/window_commands.h"
#include "battle/reference_lists.h"
#include "platform/platform.h"
#include "text/codec.h"

namespace mizuto {
namespace {

constexpr const char* kSection = "Mizuto";
// What the first files did not keep (the active-mode interval, a maximised window) lives in a
// section of its own, so the keys of the first section and their order stay as they were.
constexpr const char* kWindowSection = "MizutoWindow";
// The History page's filter and layout.
constexpr const char* kHistorySection = "MizutoHistory";
constexpr const char* kFileName = "Mizuto.ini";

std::string SettingsPath(const App& app) { return app.ProgramDir + kFileName; }

// Read fresh for each portion: the file is not held open between them. A file that cannot
// be read gives the defaults, as a missing one does, and says why in the error pane (once,
// though each portion reads it).
ProfileFile ReadSettingsFile(App& app) {
  ProfileFile file;
  std::string error;
  if (file.Load(SettingsPath(app), &error) == ProfileFile::LoadResult::Failed) {
    std::string line = Utf8ToSjis(error);
    if (std::find(app.ErrorLines.begin(), app.ErrorLines.end(), line) == app.ErrorLines.end()) {
      app.AppendError(std::move(line));
    }
  }
  return file;
}

void ReadInt(const ProfileFile& file, const char* key, int& value) {
  value = file.ReadInteger(kSection, key, value);
}

// One character per list entry, "1" for a checked one. Marks go by position, so an entry
// added to or removed from a list file shifts the marks of the entries after it.
std::string CheckString(const std::vector<char>& marks, std::size_t entries) {
  std::string s;
  s.reserve(entries);
  for (std::size_t i = 0; i < entries; ++i) s += i < marks.size() && marks[i] ? '1' : '0';
  return s;
}

void ReadChecks(const ProfileFile& file, const char* key, std::size_t entries,
                std::vector<char>& marks) {
  const std::string value = file.ReadString(kSection, key, CheckString(marks, entries));
  marks.assign(entries, 0);
  for (std::size_t i = 0; i < entries && i < value.size(); ++i) marks[i] = value[i] == '1';
}

const char* SectionOf(SettingsPlace place) {
  return place == SettingsPlace::WindowSection ? kWindowSection : kSection;
}

// The window's switches kept at one place of the file, in the command table's order.
void ReadSwitches(const ProfileFile& file, SettingsPlace place, Actions& acts) {
  const char* section = SectionOf(place);
  for (const WindowCommand& c : WindowCommands()) {
    if (c.Place != place || c.IniKey == nullptr) continue;
    ActionState& action = acts.*c.State;
    action.Checked = file.ReadBool(section, c.IniKey, action.Checked);
  }
}

void WriteSwitches(ProfileFile& file, SettingsPlace place, const Actions& acts) {
  const char* section = SectionOf(place);
  for (const WindowCommand& c : WindowCommands()) {
    if (c.Place != place || c.IniKey == nullptr) continue;
    file.WriteBool(section, c.IniKey, (acts.*c.State).Checked);
  }
}

// Widths and sizes as "120,80,80": a value that is not such a list gives the empty list,
// which lets the window lay the page out itself.
std::vector<int> ReadSizes(const ProfileFile& file, const char* key) {
  std::vector<int> sizes;
  const std::string text = file.ReadString(kHistorySection, key, "");
  if (text.empty()) return sizes;
  for (std::size_t begin = 0;;) {
    const std::size_t comma = text.find(',', begin);
    const std::size_t end = comma == std::string::npos ? text.size() : comma;
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text.data() + begin, text.data() + end, value);
    if (ec != std::errc() || ptr != text.data() + end || value < 0 || sizes.size() >= 64) return {};
    sizes.push_back(value);
    if (comma == std::string::npos) return sizes;
    begin = comma + 1;
  }
}

std::string SizesText(const std::vector<int>& sizes) {
  std::string text;
  for (int size : sizes) text += (text.empty() ? "" : ",") + std::to_string(size);
  return text;
}

// A date as the page keeps it ("YYYY-MM-DD"), or empty.
std::string ReadDate(const ProfileFile& file, const char* key) {
  std::string text = file.ReadString(kHistorySection, key, "");
  const bool shaped = text.size() == 10 && text[4] == '-' && text[7] == '-' &&
                      std::all_of(text.begin(), text.end(), [](char c) { return c == '-' || (c >= '0' && c <= '9'); });
  return shaped ? text : std::string();
}

// The page's layout, in the order the file keeps it.
constexpr std::pair<const char*, std::vector<int> HistoryPageSettings::*> kHistoryLayoutKeys[] = {
    {"OpponentColumns", &HistoryPageSettings::OpponentColumns},
    {"PlayerColumns", &HistoryPageSettings::PlayerColumns},
    {"BattleColumns", &HistoryPageSettings::BattleColumns},
    {"Splitter", &HistoryPageSettings::Splitter},
    {"UpperSplitter", &HistoryPageSettings::UpperSplitter},
    {"LowerSplitter", &HistoryPageSettings::LowerSplitter},
};

void ReadHistoryPage(const ProfileFile& file, HistoryPageSettings& page) {
  page.From = ReadDate(file, "From");
  page.To = ReadDate(file, "To");
  // A range needs both ends; half of one is the default range.
  if (page.From.empty() || page.To.empty()) page.From.clear(), page.To.clear();
  auto choice = [&](const char* key, int count) {
    const int value = file.ReadInteger(kHistorySection, key, 0);
    return value >= 0 && value < count ? value : 0;
  };
  page.Type = choice("Type", static_cast<int>(HistoryTypeChoices().size()));
  page.Size = choice("Size", static_cast<int>(HistorySizeChoices().size()));
  page.Against = choice("Against", static_cast<int>(HistoryAgainstChoices().size()));
  page.Name = file.ReadString(kHistorySection, "Name", "");
  page.PartialName = file.ReadBool(kHistorySection, "PartialName", false);
  for (const auto& [key, sizes] : kHistoryLayoutKeys) page.*sizes = ReadSizes(file, key);
}

void WriteHistoryPage(ProfileFile& file, const HistoryPageSettings& page) {
  file.Write(kHistorySection, "From", page.From);
  file.Write(kHistorySection, "To", page.To);
  file.WriteInteger(kHistorySection, "Type", page.Type);
  file.WriteInteger(kHistorySection, "Size", page.Size);
  file.WriteInteger(kHistorySection, "Against", page.Against);
  file.Write(kHistorySection, "Name", page.Name);
  file.WriteBool(kHistorySection, "PartialName", page.PartialName);
  for (const auto& [key, sizes] : kHistoryLayoutKeys) file.Write(kHistorySection, key, SizesText(page.*sizes));
}

// The log folder is Shift-JIS text in the file and a path inside the program. CP932 maps
// no code to U+FFFD, so the converter's U+FFFD stands only for bytes that are no Shift-JIS:
// such a value can name no folder, and the error pane says so rather than a command later
// saying only that the folder is not there.
void ReadLogFolder(const ProfileFile& file, App& app) {
  const std::optional<std::string> stored = file.Value(kSection, "LogDir");
  if (!stored) return;
  std::string utf8 = SjisToUtf8(*stored);
  if (utf8.find("\xEF\xBF\xBD") != std::string::npos) {
    app.AppendError(SJ("設定ファイルのログフォルダ (LogDir) に Shift-JIS で読めないバイトがあります。"
                       "設定でログフォルダを選び直してください: ") + Utf8ToSjis(utf8));
  }
  app.LogDir = Utf8Path::FromUtf8(std::move(utf8));
}

// A folder that is still the one the file names keeps the file's bytes: a character with two
// codes (or bytes that are no Shift-JIS) would not survive the trip through UTF-8.
void WriteLogFolder(ProfileFile& file, const Utf8Path& folder) {
  const std::optional<std::string> stored = file.Value(kSection, "LogDir");
  const bool unchanged = stored && SjisToUtf8(*stored) == folder.Utf8();
  file.Write(kSection, "LogDir", unchanged ? *stored : Utf8ToSjis(folder.Utf8()));
}

}  // namespace

void LoadSettingsFirst(App& app) {
  const ProfileFile file = ReadSettingsFile(app);
  WindowGeometry& g = app.Geometry;
  ReadInt(file, "Top", g.Top);
  ReadInt(file, "Left", g.Left);
  ReadInt(file, "Width", g.Width);
  ReadInt(file, "Height", g.Height);
  ReadInt(file, "Sp1", g.LowerPanesHeight);
  ReadInt(file, "Sp2", g.TranscriptPaneWidth);
  ReadInt(file, "Sp3", g.ErrorPaneHeight);
  ReadInt(file, "Sp4", g.SkillListWidth);
  ReadInt(file, "Sp5", g.ItemListWidth);
  ReadInt(file, "VerChk", app.CheckVersionAtStart);
  app.NpcCheck = file.ReadBool(kSection, "NPC", app.NpcCheck);
  ReadSwitches(file, SettingsPlace::AfterNpc, app.Acts);
  // "YOU" is the name until the file gives another, and an empty value is a name too.
  app.UserName = file.ReadString(kSection, "UserName", "YOU");
  ReadLogFolder(file, app);
  ReadSwitches(file, SettingsPlace::AfterLogDir, app.Acts);
  g.Maximized = file.ReadBool(kWindowSection, "Maximized", g.Maximized);
  // A stored interval goes through the field's own rule (clamped to 1..100 seconds); one that
  // is not a number leaves the field as it starts.
  if (const auto interval = file.Value(kWindowSection, "Interval")) SetIntervalText(app, *interval);
  app.StreamCounter.SetPath(SjisToUtf8(file.ReadString(kWindowSection, "CounterFile", "")));
  ReadSwitches(file, SettingsPlace::WindowSection, app.Acts);
  ReadHistoryPage(file, app.HistoryPage.Settings);
}

void LoadSettingsChecks(App& app) {
  const ProfileFile file = ReadSettingsFile(app);
  // The key names are crossed with the lists they hold; files written earlier rely on it.
  ReadChecks(file, "ItemChk", app.Lists.SkillNames.size(), app.SkillChecked);
  ReadChecks(file, "SkillChk", app.Lists.ItemNames.size(), app.ItemChecked);
}

void LoadSettingsSwitches(App& app) {
  const ProfileFile file = ReadSettingsFile(app);
  ReadSwitches(file, SettingsPlace::AfterCheckMarks, app.Acts);
}

bool SaveSettings(const App& app, std::string* error) {
  try {
    const std::string path = SettingsPath(app);
    ProfileFile file;
    // Rewriting a file that exists but could not be read would drop whatever else it
    // holds; keep it as it is instead.
    if (file.Load(path, error) == ProfileFile::LoadResult::Failed) return false;

    const WindowGeometry& g = app.Geometry;
    file.WriteInteger(kSection, "Top", g.Top);
    file.WriteInteger(kSection, "Left", g.Left);
    file.WriteInteger(kSection, "Width", g.Width);
    file.WriteInteger(kSection, "Height", g.Height);
    file.WriteInteger(kSection, "Sp1", g.LowerPanesHeight);
    file.WriteInteger(kSection, "Sp2", g.TranscriptPaneWidth);
    file.WriteInteger(kSection, "Sp3", g.ErrorPaneHeight);
    file.WriteInteger(kSection, "Sp4", g.SkillListWidth);
    file.WriteInteger(kSection, "Sp5", g.ItemListWidth);
    file.WriteInteger(kSection, "VerChk", app.CheckVersionAtStart);
    file.WriteBool(kSection, "NPC", app.NpcCheck);
    WriteSwitches(file, SettingsPlace::AfterNpc, app.Acts);
    file.Write(kSection, "UserName", app.UserName);
    WriteLogFolder(file, app.LogDir);
    WriteSwitches(file, SettingsPlace::AfterLogDir, app.Acts);
    file.Write(kSection, "ItemChk", CheckString(app.SkillChecked, app.Lists.SkillNames.size()));
    file.Write(kSection, "SkillChk", CheckString(app.ItemChecked, app.Lists.ItemNames.size()));
    WriteSwitches(file, SettingsPlace::AfterCheckMarks, app.Acts);
    file.Write(kWindowSection, "Interval", app.IntervalText);
    file.WriteBool(kWindowSection, "Maximized", g.Maximized);
    // Kept once chosen; a file that never had one is left without the key.
    if (!app.StreamCounter.Path().empty() || file.Value(kWindowSection, "CounterFile")) {
      file.Write(kWindowSection, "CounterFile", Utf8ToSjis(app.StreamCounter.Path()));
    }
    WriteSwitches(file, SettingsPlace::WindowSection, app.Acts);
    WriteHistoryPage(file, app.HistoryPage.Settings);

    return platform::ReplaceFile(path, file.Bytes(), error);
  } catch (const std::exception& e) {
    // Shut-down goes on whatever happens here.
    if (error) *error = e.what();
    return false;
  }
}

bool WriteFirstSettings(const std::string& programDir, std::string* error) {
  App app;
  app.ProgramDir = programDir;
  if (platform::KindOfPath(SettingsPath(app)) != platform::PathKind::Missing) return true;
  // What a start with no file has: the defaults, and the check strings as long as the lists.
  StartUp(app);
  return SaveSettings(app, error);
}

}  // namespace mizuto
