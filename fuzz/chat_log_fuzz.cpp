// A chat log through everything a load shows: the full load and the analysis, every
// battle's transcript, the tallies sorted by every column, the head-to-head grid and the
// CSV text. Each input is loaded twice: with the settings of a first start, then with
// every switch that changes the analysis or the figures on (NPC battles, active mode, both
// averages) and every transcript switch shown. Besides the sanitizers' reports: the views
// stay within their models, and the CSV text reads back as the table shown.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/owner/app.h"
#include "app/owner/load_driver.h"
#include "app/owner/result_views.h"
#include "app/commands/start_up.h"
#include "fuzz_support.h"
#include "tally/csv_export.h"

namespace {

using namespace mizuto;

std::string gProgramDir;
std::string gLogPath;

void ShowEverything(App& app) {
  if (!LoadAndAnalyse(app)) fuzz::Fail("the log file could not be opened");
  fuzz::CheckViewsWithinModels(app);
  for (int i = 0; i < app.BattleList.Count(); ++i) app.BattleList.Select(i);
  RenderSelectedBattles(app);
  const int columns = static_cast<int>(app.TallyTable.Columns.size());
  for (int c = 0; c < columns; ++c) SortTallyByColumn(app, c);
  fuzz::CheckCsvReadsBack(app, TallyTableCsv(app.TallyTable, "\r\n"));
  fuzz::CheckViewsWithinModels(app);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gProgramDir = fuzz::MakeProgramFolder("program", 1, false);
  gLogPath = fuzz::ScratchDir() + "input.html";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::WriteFile(gLogPath, std::string_view(reinterpret_cast<const char*>(data), size));
  App app;
  app.ProgramDir = gProgramDir;
  StartUp(app);
  app.CurrentLogPath = gLogPath;
  ShowEverything(app);

  app.NpcCheck = true;
  app.Acts.ActiveMode.Checked = true;
  app.Acts.AvgHitDown.Checked = true;
  app.Acts.AvgSkillItem.Checked = true;
  fuzz::ShowEveryDetail(app);
  ShowEverything(app);
  return 0;
}
