// The settings file: Mizuto.ini as start-up reads it, then saved and read back.
//   - the profile text is kept line by line, so parsing and writing back changes no byte;
//   - what start-up read survives a save: a second start on the saved file reads the same
//     geometry, switches, names, folder and check marks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/app.h"
#include "app/ini_file.h"
#include "app/settings_file.h"
#include "app/start_up.h"
#include "fuzz_support.h"

namespace {

using namespace mizuto;

std::string gProgramDir;

// Every setting the file holds, as one comparable text.
std::string SettingsOf(const App& app) {
  const WindowGeometry& g = app.Geometry;
  std::string s;
  for (int v : {g.Top, g.Left, g.Width, g.Height, g.Sp1, g.Sp2, g.Sp3, g.Sp4, g.Sp5, app.VerChk})
    s += std::to_string(v) + ",";
  const Actions& a = app.Acts;
  for (const ActionState* sw : {&a.CriView, &a.BattleLogView, &a.ErrorLogView, &a.DebugView,
                                &a.WaterView, &a.SailView, &a.RudderView, &a.ConfuseView,
                                &a.SayView, &a.PartyView, &a.CompanyView, &a.RoomView1,
                                &a.RoomView2, &a.RoomView3, &a.TellView})
    s += sw->Checked ? '1' : '0';
  s += app.NpcCheck ? "1|" : "0|";
  for (char c : app.SkillChecked) s += c ? '1' : '0';
  s += '|';
  for (char c : app.ItemChecked) s += c ? '1' : '0';
  s += "|" + app.UserName + "|" + app.LogDir;
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gProgramDir = fuzz::MakeProgramFolder("program", 1, false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ProfileFile profile;
  profile.Parse(bytes);
  if (profile.Bytes() != bytes) fuzz::Fail("parsing and writing back changed the settings text");

  const std::string path = gProgramDir + "Mizuto.ini";
  fuzz::WriteFile(path, bytes);
  App first;
  first.ProgramDir = gProgramDir;
  StartUp(first);
  std::string error;
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
