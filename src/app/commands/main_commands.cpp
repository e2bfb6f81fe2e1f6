#include "app/commands/main_commands.h"

#include <filesystem>
#include <system_error>

#include "app/owner/app.h"
#include "app/history/history_forget.h"
#include "app/owner/result_views.h"
#include "battle/battle_detail.h"
#include "app/owner/load_driver.h"
#include "tally/tallies.h"
#include "text/codec.h"

namespace mizuto {
namespace {

void ToggleCheck(App& app, std::vector<char>& marks, std::size_t listSize, int index,
                 bool checked) {
  if (index < 0 || static_cast<std::size_t>(index) >= listSize) return;
  if (marks.size() < listSize) marks.resize(listSize, 0);
  marks[static_cast<std::size_t>(index)] = checked ? 1 : 0;
  RebuildTallyColumns(app);
  RefreshTallies(app);
}

}  // namespace

void NPCCheckClick(App& app, bool checked) {
  app.NpcCheck = checked;
  // Which battles exist depends on the setting: the log is analysed again, as a reload
  // does (in active mode too), rather than leaving empty views with nothing said.
  if (!app.CurrentLogPath.empty()) LoadAndAnalyse(app);
}

void ToggleSkillColumn(App& app, int index, bool checked) {
  ToggleCheck(app, app.SkillChecked, app.Lists.SkillNames.size(), index, checked);
}

void ToggleItemColumn(App& app, int index, bool checked) {
  ToggleCheck(app, app.ItemChecked, app.Lists.ItemNames.size(), index, checked);
}

void RedrawSelectedBattles(App& app) { RenderSelectedBattles(app); }
void ShowSelectedBattles(App& app) { RenderSelectedBattles(app); }
void ApplyHitDownAveraging(App& app) { RefreshTallies(app); }
void ApplySkillItemAveraging(App& app) { RefreshTallies(app); }

namespace {

// Why the log folder offers no newest log, for the greyed command's tooltip.
std::string NoNewestLogReason(const Utf8Path& folder) {
  if (folder.Empty()) return SJ("ログフォルダが設定されていません（ファイル → 設定 で選べます）");
  std::error_code ec;
  if (!std::filesystem::is_directory(folder.Native(), ec)) {
    return SJ("ログフォルダがありません: ") + Utf8ToSjis(folder.Utf8()) + SJ("（設定で選び直してください）");
  }
  return SJ("ログフォルダに .html のログがありません: ") + Utf8ToSjis(folder.Utf8());
}

}  // namespace

void PrepareFileMenu(App& app) {
  ActionState& command = app.Acts.LoadNewLog;
  command.Enabled = FindNewestLog(app);
  command.WhyDisabled = command.Enabled ? std::string() : NoNewestLogReason(app.LogDir);
  app.Acts.ForgetLoadedLog.Enabled = LoadedLogInHistory(app);
}

bool OpenLogFile(App& app, const std::string& nativePath) {
  // The whole path is kept: cutting a long path would load some other file, or none.
  return LoadAndAnalyse(app, nativePath);
}

bool LoadNewestLog(App& app) {
  // Searched again now: a log may have come, or the folder changed, since the menu opened.
  FindNewestLog(app);
  return LoadAndAnalyse(app, app.NewestLogPath);
}

bool ReloadCurrentLog(App& app) { return LoadAndAnalyse(app); }

bool DropIsAccepted(int fileCount) { return fileCount == 1; }

std::string OneLogOnlyMessage() { return SJ("LOGは１コだけね"); }

}  // namespace mizuto
