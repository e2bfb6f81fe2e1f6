#include "app/owner/result_views.h"
#include "app/commands/start_up.h"

#include "app/owner/app.h"
#include "app/commands/settings_file.h"
#include "app/owner/load_driver.h"
#include "tally/tallies.h"
#include "text/codec.h"

namespace mizuto {

void StartUp(App& app) {
  LoadSettingsFirst(app);
  ClearResultViews(app);
  std::vector<std::string> problems;
  app.Lists.Load(app.ProgramDir, &problems);
  // A list that could not be read is empty for this run: say which and why.
  for (const std::string& problem : problems) app.AppendError(Utf8ToSjis(problem));
  app.SkillChecked.assign(app.Lists.SkillNames.size(), 0);
  app.ItemChecked.assign(app.Lists.ItemNames.size(), 0);
  LoadSettingsChecks(app);
  LoadSettingsSwitches(app);
  RebuildTallyColumns(app);
  app.Caption = app.ProgramTitle();
}

}  // namespace mizuto
