#include "app/commands/settings_file.h"
#include "app/commands/start_up.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/commands/active_mode.h"
#include "app/owner/app.h"
#include "app/parts/ini_file.h"
#include "app/commands/window_commands.h"
#include "app/history/history_page_model.h"
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

// One character per list entry, "1" for a checked one. Marks go by position, so an entry
// added to or removed from a list file shifts the marks of the entries after it.
std::string CheckString(const std::vector<char>& marks, std::size_t entries) {
  std::string s;
  s.reserve(entries);
  for (std::size_t i = 0; i < entries; ++i) s += i < marks.size() && marks[i] ? '1' : '0';
  return s;
}

void ReadChecks(const ProfileFile& file, const char* section, const char* key, std::size_t entries,
                std::vector<char>& marks) {
  const std::string value = file.ReadString(section, key, CheckString(marks, entries));
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
std::vector<int> ReadSizes(const ProfileFile& file, const char* section, const char* key) {
  std::vector<int> sizes;
  const std::string text = file.ReadString(section, key, "");
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
std::string ReadDate(const ProfileFile& file, const char* section, const char* key) {
  std::string text = file.ReadString(section, key, "");
  const bool shaped = text.size() == 10 && text[4] == '-' && text[7] == '-' &&
                      std::all_of(text.begin(), text.end(), [](char c) { return c == '-' || (c >= '0' && c <= '9'); });
  return shaped ? text : std::string();
}

// The log folder is Shift-JIS text in the file and a path inside the program. CP932 maps
// no code to U+FFFD, so the converter's U+FFFD stands only for bytes that are no Shift-JIS:
// such a value can name no folder, and the error pane says so rather than a command later
// saying only that the folder is not there.
void ReadLogFolder(const ProfileFile& file, const char* section, const char* key, App& app) {
  const std::optional<std::string> stored = file.Value(section, key);
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
void WriteLogFolder(ProfileFile& file, const char* section, const char* key, const Utf8Path& folder) {
  const std::optional<std::string> stored = file.Value(section, key);
  const bool unchanged = stored && SjisToUtf8(*stored) == folder.Utf8();
  file.Write(section, key, unchanged ? *stored : Utf8ToSjis(folder.Utf8()));
}


// --- The keys, once for reading and writing ---

// When a key is read: the start-up reads the file in portions, the check marks once the
// lists are loaded, the transcript's switches after them.
enum class Portion { First, Checks, Switches };

// One key of the file (or, without a key, the window's switches kept at one place). The
// table's order is the order a new file gets its keys in.
struct SettingsKey {
  const char* Section;
  const char* Key;
  Portion ReadIn;
  // Reads the key into the App; a missing key leaves what the App holds unless the
  // converter says otherwise.
  void (*Read)(const ProfileFile& file, const SettingsKey& key, App& app);
  void (*Write)(ProfileFile& file, const SettingsKey& key, const App& app);
  SettingsPlace Switches = SettingsPlace::AfterNpc;  // for a key-less entry
};

// Where a field lives in the App.
struct InApp {
  template <class A>
  static auto& Of(A& app) { return app; }
};
struct InGeometry {
  template <class A>
  static auto& Of(A& app) { return app.Geometry; }
};
struct InHistoryPage {
  template <class A>
  static auto& Of(A& app) { return app.HistoryPage.Settings; }
};

// A whole number; a missing or unreadable key keeps the field's value.
template <class Part, auto Field>
constexpr SettingsKey Integer(const char* section, const char* key) {
  return {section, key, Portion::First,
          [](const ProfileFile& f, const SettingsKey& k, App& app) {
            int& value = Part::Of(app).*Field;
            value = f.ReadInteger(k.Section, k.Key, value);
          },
          [](ProfileFile& f, const SettingsKey& k, const App& app) {
            f.WriteInteger(k.Section, k.Key, Part::Of(app).*Field);
          }};
}

// What a missing switch reads as.
enum class Missing { KeepsValue, Off };

// 0 or 1 (any number but 0 reads as on).
template <class Part, auto Field, Missing IfMissing = Missing::KeepsValue>
constexpr SettingsKey Bool(const char* section, const char* key) {
  return {section, key, Portion::First,
          [](const ProfileFile& f, const SettingsKey& k, App& app) {
            bool& value = Part::Of(app).*Field;
            value = f.ReadBool(k.Section, k.Key, IfMissing == Missing::KeepsValue && value);
          },
          [](ProfileFile& f, const SettingsKey& k, const App& app) {
            f.WriteBool(k.Section, k.Key, Part::Of(app).*Field);
          }};
}

// Shift-JIS text kept as it is; a missing key gives `Fallback`.
template <class Part, auto Field, const char* Fallback>
constexpr SettingsKey Text(const char* section, const char* key) {
  return {section, key, Portion::First,
          [](const ProfileFile& f, const SettingsKey& k, App& app) {
            Part::Of(app).*Field = f.ReadString(k.Section, k.Key, Fallback);
          },
          [](ProfileFile& f, const SettingsKey& k, const App& app) { f.Write(k.Section, k.Key, Part::Of(app).*Field); }};
}

// One of the page's choices by number: a number out of the choices, or none, is the first.
template <auto Field, const std::vector<std::string>& (*Choices)()>
constexpr SettingsKey Choice(const char* section, const char* key) {
  return {section, key, Portion::First,
          [](const ProfileFile& f, const SettingsKey& k, App& app) {
            const int value = f.ReadInteger(k.Section, k.Key, 0);
            const bool known = value >= 0 && value < static_cast<int>(Choices().size());
            InHistoryPage::Of(app).*Field = known ? value : 0;
          },
          [](ProfileFile& f, const SettingsKey& k, const App& app) {
            f.WriteInteger(k.Section, k.Key, InHistoryPage::Of(app).*Field);
          }};
}

// A day of the page's range, "YYYY-MM-DD", or empty.
template <auto Field>
constexpr SettingsKey Date(const char* section, const char* key) {
  return {section, key, Portion::First,
          [](const ProfileFile& f, const SettingsKey& k, App& app) {
            InHistoryPage::Of(app).*Field = ReadDate(f, k.Section, k.Key);
          },
          [](ProfileFile& f, const SettingsKey& k, const App& app) {
            f.Write(k.Section, k.Key, InHistoryPage::Of(app).*Field);
          }};
}

// Widths or sizes, "120,80,80"; anything else is the empty list.
template <auto Field>
constexpr SettingsKey Sizes(const char* section, const char* key) {
  return {section, key, Portion::First,
          [](const ProfileFile& f, const SettingsKey& k, App& app) {
            InHistoryPage::Of(app).*Field = ReadSizes(f, k.Section, k.Key);
          },
          [](ProfileFile& f, const SettingsKey& k, const App& app) {
            f.Write(k.Section, k.Key, SizesText(InHistoryPage::Of(app).*Field));
          }};
}

// A list's check marks, one character an entry, read once the lists are loaded. The key
// names are crossed with the lists they hold; files written earlier rely on it.
template <auto Marks, auto Names>
constexpr SettingsKey CheckMarks(const char* section, const char* key) {
  return {section, key, Portion::Checks,
          [](const ProfileFile& f, const SettingsKey& k, App& app) {
            ReadChecks(f, k.Section, k.Key, (app.Lists.*Names).size(), app.*Marks);
          },
          [](ProfileFile& f, const SettingsKey& k, const App& app) {
            f.Write(k.Section, k.Key, CheckString(app.*Marks, (app.Lists.*Names).size()));
          }};
}

// The window's switches kept at `place`, in the command table's order.
constexpr SettingsKey Switches(const char* section, SettingsPlace place) {
  return {section, nullptr, place == SettingsPlace::AfterCheckMarks ? Portion::Switches : Portion::First,
          [](const ProfileFile& f, const SettingsKey& k, App& app) { ReadSwitches(f, k.Switches, app.Acts); },
          [](ProfileFile& f, const SettingsKey& k, const App& app) { WriteSwitches(f, k.Switches, app.Acts); },
          place};
}

constexpr char kYou[] = "YOU";  // the name until the file gives another (empty is a name too)
constexpr char kNone[] = "";

const SettingsKey kSettingsKeys[] = {
    Integer<InGeometry, &WindowGeometry::Top>(kSection, "Top"),
    Integer<InGeometry, &WindowGeometry::Left>(kSection, "Left"),
    Integer<InGeometry, &WindowGeometry::Width>(kSection, "Width"),
    Integer<InGeometry, &WindowGeometry::Height>(kSection, "Height"),
    Integer<InGeometry, &WindowGeometry::LowerPanesHeight>(kSection, "Sp1"),
    Integer<InGeometry, &WindowGeometry::TranscriptPaneWidth>(kSection, "Sp2"),
    Integer<InGeometry, &WindowGeometry::ErrorPaneHeight>(kSection, "Sp3"),
    Integer<InGeometry, &WindowGeometry::SkillListWidth>(kSection, "Sp4"),
    Integer<InGeometry, &WindowGeometry::ItemListWidth>(kSection, "Sp5"),
    Integer<InApp, &App::CheckVersionAtStart>(kSection, "VerChk"),
    Bool<InApp, &App::NpcCheck>(kSection, "NPC"),
    Switches(kSection, SettingsPlace::AfterNpc),
    Text<InApp, &App::UserName, kYou>(kSection, "UserName"),
    // The folder is a path inside the program and Shift-JIS text in the file.
    {kSection, "LogDir", Portion::First,
     [](const ProfileFile& f, const SettingsKey& k, App& app) { ReadLogFolder(f, k.Section, k.Key, app); },
     [](ProfileFile& f, const SettingsKey& k, const App& app) { WriteLogFolder(f, k.Section, k.Key, app.LogDir); }},
    Switches(kSection, SettingsPlace::AfterLogDir),
    CheckMarks<&App::SkillChecked, &ReferenceLists::SkillNames>(kSection, "ItemChk"),
    CheckMarks<&App::ItemChecked, &ReferenceLists::ItemNames>(kSection, "SkillChk"),
    Switches(kSection, SettingsPlace::AfterCheckMarks),
    // A stored interval goes through the field's own rule (clamped to 1..100 seconds); one
    // that is not a number leaves the field as it starts.
    {kWindowSection, "Interval", Portion::First,
     [](const ProfileFile& f, const SettingsKey& k, App& app) {
       if (const auto interval = f.Value(k.Section, k.Key)) SetIntervalText(app, *interval);
     },
     [](ProfileFile& f, const SettingsKey& k, const App& app) { f.Write(k.Section, k.Key, app.IntervalText); }},
    Bool<InGeometry, &WindowGeometry::Maximized>(kWindowSection, "Maximized"),
    // A path, UTF-8 inside the program; kept once chosen, so a file that never had one is
    // left without the key.
    {kWindowSection, "CounterFile", Portion::First,
     [](const ProfileFile& f, const SettingsKey& k, App& app) {
       app.StreamCounter.SetPath(SjisToUtf8(f.ReadString(k.Section, k.Key, "")));
     },
     [](ProfileFile& f, const SettingsKey& k, const App& app) {
       if (!app.StreamCounter.Path().empty() || f.Value(k.Section, k.Key)) {
         f.Write(k.Section, k.Key, Utf8ToSjis(app.StreamCounter.Path()));
       }
     }},
    Switches(kWindowSection, SettingsPlace::WindowSection),
    Date<&HistoryPageSettings::From>(kHistorySection, "From"),
    Date<&HistoryPageSettings::To>(kHistorySection, "To"),
    Choice<&HistoryPageSettings::Type, HistoryTypeChoices>(kHistorySection, "Type"),
    Choice<&HistoryPageSettings::Size, HistorySizeChoices>(kHistorySection, "Size"),
    Choice<&HistoryPageSettings::Against, HistoryAgainstChoices>(kHistorySection, "Against"),
    Text<InHistoryPage, &HistoryPageSettings::Name, kNone>(kHistorySection, "Name"),
    Bool<InHistoryPage, &HistoryPageSettings::PartialName, Missing::Off>(kHistorySection, "PartialName"),
    Sizes<&HistoryPageSettings::OpponentColumns>(kHistorySection, "OpponentColumns"),
    Sizes<&HistoryPageSettings::PlayerColumns>(kHistorySection, "PlayerColumns"),
    Sizes<&HistoryPageSettings::BattleColumns>(kHistorySection, "BattleColumns"),
    Sizes<&HistoryPageSettings::Splitter>(kHistorySection, "Splitter"),
    Sizes<&HistoryPageSettings::UpperSplitter>(kHistorySection, "UpperSplitter"),
    Sizes<&HistoryPageSettings::LowerSplitter>(kHistorySection, "LowerSplitter"),
};

// Reads the keys of one portion, in the table's order.
void ReadPortion(App& app, Portion portion) {
  const ProfileFile file = ReadSettingsFile(app);
  for (const SettingsKey& key : kSettingsKeys) {
    if (key.ReadIn == portion) key.Read(file, key, app);
  }
}

}  // namespace

void LoadSettingsFirst(App& app) {
  ReadPortion(app, Portion::First);
  // A range needs both ends; half of one is the default range.
  HistoryPageSettings& page = app.HistoryPage.Settings;
  if (page.From.empty() || page.To.empty()) page.From.clear(), page.To.clear();
}

void LoadSettingsChecks(App& app) { ReadPortion(app, Portion::Checks); }

void LoadSettingsSwitches(App& app) { ReadPortion(app, Portion::Switches); }

std::vector<std::pair<std::string, std::string>> SettingsKeyNames() {
  std::vector<std::pair<std::string, std::string>> names;
  for (const SettingsKey& key : kSettingsKeys) {
    if (key.Key != nullptr) {
      names.emplace_back(key.Section, key.Key);
      continue;
    }
    for (const WindowCommand& c : WindowCommands()) {
      if (c.Place == key.Switches && c.IniKey != nullptr) names.emplace_back(key.Section, c.IniKey);
    }
  }
  return names;
}

bool SaveSettings(const App& app, std::string* error) {
  try {
    const std::string path = SettingsPath(app);
    ProfileFile file;
    // Rewriting a file that exists but could not be read would drop whatever else it
    // holds; keep it as it is instead.
    if (file.Load(path, error) == ProfileFile::LoadResult::Failed) return false;
    for (const SettingsKey& key : kSettingsKeys) key.Write(file, key, app);
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
