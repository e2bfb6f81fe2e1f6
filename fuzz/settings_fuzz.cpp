// The settings file: Mizuto.ini as start-up reads it, then saved and read back.
//   - the profile text is kept as it was read, so parsing and writing back changes no byte;
//   - what start-up read survives a save: a second start on the saved file reads the same
//     geometry, switches, names, folder and check marks;
//   - a regular settings file is read without an error line, but for a log folder whose
//     bytes are not Shift-JIS;
//   - a settings file that is a FIFO, a folder or over the size limit (an input starting
//     0xFF 0xFF and 'f', 'd' or 'z') is not read: the defaults, one error line, and the
//     save refused, leaving it as it was.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <string_view>

#include "app/owner/app.h"
#include "app/parts/ini_file.h"
#include "app/commands/settings_file.h"
#include "app/commands/start_up.h"
#include "fuzz_support.h"

namespace {

using namespace mizuto;

std::string gProgramDir;
std::string gDefaults;  // SettingsOf a start without Mizuto.ini (the same lists)

// Every setting the file holds, as one comparable text.
std::string SettingsOf(const App& app) {
  const WindowGeometry& g = app.Geometry;
  std::string s;
  for (int v : {g.Top, g.Left, g.Width, g.Height, g.LowerPanesHeight, g.TranscriptPaneWidth, g.ErrorPaneHeight, g.SkillListWidth, g.ItemListWidth, app.CheckVersionAtStart})
    s += std::to_string(v) + ",";
  const Actions& a = app.Acts;
  for (const ActionState* sw : {&a.CriticalView, &a.BattleLogView, &a.ErrorLogView, &a.DebugView,
                                &a.WaterView, &a.SailView, &a.RudderView, &a.ConfuseView,
                                &a.SayView, &a.PartyView, &a.CompanyView, &a.Room1View,
                                &a.Room2View, &a.Room3View, &a.TellView})
    s += sw->Checked ? '1' : '0';
  s += app.NpcCheck ? "1|" : "0|";
  for (char c : app.SkillChecked) s += c ? '1' : '0';
  s += '|';
  for (char c : app.ItemChecked) s += c ? '1' : '0';
  s += "|" + app.UserName + "|" + app.LogDir.Utf8();
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gProgramDir = fuzz::MakeProgramFolder("program", 1, false);
  App defaults;
  defaults.ProgramDir = fuzz::MakeProgramFolder("defaults", 1, false);
  std::filesystem::remove(defaults.ProgramDir + "Mizuto.ini");
  StartUp(defaults);
  gDefaults = SettingsOf(defaults);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const char kind = fuzz::TakeFileKinds(&bytes, 1)[0];
  ProfileFile profile;
  profile.Parse(bytes);
  if (profile.Bytes() != bytes) fuzz::Fail("parsing and writing back changed the settings text");

  const std::string path = gProgramDir + "Mizuto.ini";
  fuzz::PlaceFile(path, kind, bytes);
  App first;
  first.ProgramDir = gProgramDir;
  StartUp(first);
  std::string error;
  if (kind != 'r') {
    // Not read, so not written back: defaults, one line saying why, the file left alone.
    if (SettingsOf(first) != gDefaults) fuzz::Fail("a settings file that is no small file was read");
    if (first.ErrorLines.size() != 1) fuzz::Fail("%zu error lines for an unreadable settings file", first.ErrorLines.size());
    if (SaveSettings(first, &error)) fuzz::Fail("a settings file that was not read was replaced");
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    const bool same = kind == 'f'   ? std::filesystem::is_fifo(status)
                      : kind == 'd' ? std::filesystem::is_directory(status)
                                    : std::filesystem::file_size(path, ec) > (std::uintmax_t{16} << 20);
    if (!same) fuzz::Fail("the settings file changed although it was not read");
    return 0;
  }
  // A regular file is read without a word, but for a log folder whose bytes are not
  // Shift-JIS: that one is named (and kept as read, so the save below writes it back).
  for (const std::string& line : first.ErrorLines) {
    if (line.find("(LogDir)") == std::string::npos) fuzz::Fail("a regular settings file was reported: %s", line.c_str());
  }
  if (!SaveSettings(first, &error)) fuzz::Fail("saving the settings failed: %s", error.c_str());

  App second;
  second.ProgramDir = gProgramDir;
  StartUp(second);
  const std::string before = SettingsOf(first);
  const std::string after = SettingsOf(second);
  if (before != after)
    fuzz::Fail("the settings read back differ:\n  read  %s\n  again %s", before.c_str(), after.c_str());
  return 0;
}
