// The four list files, then an analysis that uses them. The input holds NPCList.txt,
// SkillList.txt, ItemList.txt and ShipList.txt in this order, parted by a NUL byte (a
// missing part is a missing file). Mizuto.ini checks every entry (up to the longest value
// a setting holds), so every skill and item gets its own column. The log is a fixed generated one whose names the generator's own
// lists (the seed corpus) match; with the fuzzer's lists the same lines meet other NPC
// fleets, ship prefixes, skills and items.
//   - item kinds and check marks stay parallel to their lists;
//   - the analysis, every transcript, the tallies and the grid stay within their tables,
//     and the CSV text reads back as the table shown (skill and item names head columns).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/owner/app.h"
#include "app/parts/ini_file.h"
#include "app/owner/load_driver.h"
#include "app/owner/result_views.h"
#include "app/commands/start_up.h"
#include "fuzz_support.h"
#include "tally/csv_export.h"
#include "text/codec.h"

namespace {

using namespace mizuto;

constexpr const char* kListFiles[4] = {"NPCList.txt", "SkillList.txt", "ItemList.txt", "ShipList.txt"};
std::string gProgramDir;
std::string gLogPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gProgramDir = fuzz::MakeProgramFolder("program", 1, true);
  const std::string marks(kMaxProfileValueBytes, '1');
  fuzz::WriteFile(gProgramDir + "Mizuto.ini", "[Mizuto]\r\nUserName=" + Utf8ToSjis("碧海ナギ") +
                                                  "\r\nItemChk=" + marks + "\r\nSkillChk=" + marks + "\r\n");
  gLogPath = fuzz::ScratchDir() + "fixed.html";
  fuzz::WriteFile(gLogPath, fuzz::GenerateLog(1, 6, 8, false));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string kinds = fuzz::TakeFileKinds(&rest, 4);
  bool more = true;
  std::size_t unreadable = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    const std::string path = gProgramDir + kListFiles[k];
    if (!more) {
      std::filesystem::remove_all(path);
      continue;
    }
    const std::size_t nul = rest.find('\0');
    fuzz::PlaceFile(path, kinds[k], rest.substr(0, nul));
    unreadable += kinds[k] != 'r';
    more = nul != std::string_view::npos;
    if (more) rest.remove_prefix(nul + 1);
  }

  App app;
  app.ProgramDir = gProgramDir;
  StartUp(app);
  const ReferenceLists& lists = app.Lists;
  // A list that is no small regular file reads as missing, and the error pane says so.
  if (app.ErrorLines.size() != unreadable)
    fuzz::Fail("%zu error lines for %zu unreadable list files", app.ErrorLines.size(), unreadable);
  const std::size_t sizes[4] = {lists.NpcNames.size(), lists.SkillNames.size(), lists.ItemNames.size(),
                                lists.ShipNames.size()};
  for (std::size_t k = 0; k < 4; ++k) {
    if (kinds[k] != 'r' && sizes[k] != 0) fuzz::Fail("%s was read although it is no small file", kListFiles[k]);
  }
  if (lists.ItemKinds.size() != lists.ItemNames.size()) fuzz::Fail("item kinds not parallel to the names");
  if (app.SkillChecked.size() != lists.SkillNames.size() || app.ItemChecked.size() != lists.ItemNames.size())
    fuzz::Fail("check marks not parallel to their lists");

  app.CurrentLogPath = gLogPath;
  fuzz::ShowEveryDetail(app);
  if (!LoadAndAnalyse(app)) fuzz::Fail("the log file could not be opened");
  fuzz::CheckViewsWithinModels(app);
  for (int i = 0; i < app.BattleList.Count(); ++i) app.BattleList.Select(i);
  RenderSelectedBattles(app);
  fuzz::CheckCsvReadsBack(app, TallyTableCsv(app.TallyTable, "\r\n"));
  return 0;
}
