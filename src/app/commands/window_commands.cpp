#include "app/commands/window_commands.h"

#include "app/commands/active_mode.h"
#include "app/owner/app.h"
#include "app/owner/battle_list_commands.h"
#include "app/history/history_forget.h"
#include "app/history/history_page_model.h"
#include "app/commands/main_commands.h"
#include "app/owner/result_views.h"
#include "text/codec.h"

namespace mizuto {
namespace {

// A command of the core that asks nothing of the window (a load's outcome is in the views).
template <auto Command>
void Plain(App& app, CommandContext&) {
  Command(app);
}

void SaveCsv(App& app, CommandContext& context) {
  std::string error;
  if (!SaveTallyCsv(app, &error) && context.ReportError) context.ReportError(error);
}

void ImportLogFolder(App& app, CommandContext& context) {
  ImportLogFolderIntoHistory(app, context.Ask, context.Progress);
}

void ReanalyseHistory(App& app, CommandContext& context) {
  context.ProgressDoing = SJ("履歴のログを解析し直しています");
  ReanalyseStoredLogs(app, context.Ask, context.Progress);
  context.ProgressDoing.clear();
}

void ForgetLoadedLog(App& app, CommandContext& context) { ForgetLoadedLogAfterAsking(app, context.Ask); }

void AddNpc(App& app, CommandContext& context) {
  std::string error;
  if (!AddFocusedOpponentToNpcList(app, context.Ask, &error) && context.ReportError) context.ReportError(error);
}

constexpr auto kAction = CommandKind::Action;
constexpr auto kSwitch = CommandKind::Switch;
// Every transcript switch draws the chosen battles again.
constexpr auto kRender = Plain<RedrawSelectedBattles>;

const WindowCommand kCommands[] = {
    {"LoadLog", &Actions::LoadLog, kAction},
    {"ReloadLog", &Actions::ReloadLog, kAction, Plain<ReloadCurrentLog>},
    {"LoadNewLog", &Actions::LoadNewLog, kAction, Plain<LoadNewestLog>},
    {"SaveCsv", &Actions::SaveCsv, kAction, SaveCsv},
    {"ImportLogFolder", &Actions::ImportLogFolder, kAction, ImportLogFolder},
    {"ReanalyseHistory", &Actions::ReanalyseHistory, kAction, ReanalyseHistory},
    {"ForgetLoadedLog", &Actions::ForgetLoadedLog, kAction, ForgetLoadedLog},
    {"Setting", &Actions::Setting, kAction},
    {"Exit", &Actions::Exit, kAction},
    {"CriticalView", &Actions::CriticalView, kSwitch, kRender, "CRI", SettingsPlace::AfterNpc},
    {"DebugView", &Actions::DebugView, kSwitch, kRender, "Debug", SettingsPlace::AfterCheckMarks},
    {"WaterView", &Actions::WaterView, kSwitch, kRender, "Water", SettingsPlace::AfterCheckMarks},
    {"SailView", &Actions::SailView, kSwitch, kRender, "Sail", SettingsPlace::AfterCheckMarks},
    {"RudderView", &Actions::RudderView, kSwitch, kRender, "Rudder", SettingsPlace::AfterCheckMarks},
    {"ConfuseView", &Actions::ConfuseView, kSwitch, kRender, "Confuse",
     SettingsPlace::AfterCheckMarks},
    {"SayView", &Actions::SayView, kSwitch, kRender, "SChk", SettingsPlace::AfterCheckMarks},
    {"PartyView", &Actions::PartyView, kSwitch, kRender, "PChk", SettingsPlace::AfterCheckMarks},
    {"CompanyView", &Actions::CompanyView, kSwitch, kRender, "CChk",
     SettingsPlace::AfterCheckMarks},
    {"Room1View", &Actions::Room1View, kSwitch, kRender, "R1Chk", SettingsPlace::AfterCheckMarks},
    {"Room2View", &Actions::Room2View, kSwitch, kRender, "R2Chk", SettingsPlace::AfterCheckMarks},
    {"Room3View", &Actions::Room3View, kSwitch, kRender, "R3Chk", SettingsPlace::AfterCheckMarks},
    {"TellView", &Actions::TellView, kSwitch, kRender, "TChk", SettingsPlace::AfterCheckMarks},
    // The panes are the window's: the core only keeps the switches.
    {"BattleLogView", &Actions::BattleLogView, kSwitch, nullptr, "BattleView",
     SettingsPlace::AfterLogDir},
    {"ErrorLogView", &Actions::ErrorLogView, kSwitch, nullptr, "ErrorView",
     SettingsPlace::AfterLogDir},
    {"AvgHitDown", &Actions::AvgHitDown, kSwitch, Plain<ApplyHitDownAveraging>},
    {"AvgSkillItem", &Actions::AvgSkillItem, kSwitch, Plain<ApplySkillItemAveraging>},
    {"ActiveMode", &Actions::ActiveMode, kSwitch, Plain<ApplyActiveModeSwitch>},
    {"PlayerHide", &Actions::PlayerHide, kAction, Plain<HideSelectedTallyPlayers>},
    {"PlayerAll", &Actions::PlayerAll, kAction, Plain<ShowAllTallyPlayers>},
    {"ShowBattleLog", &Actions::ShowBattleLog, kAction, Plain<ShowSelectedBattles>},
    {"AddTotalList", &Actions::AddTotalList, kAction, Plain<CountSelectedBattles>},
    {"DelTotalList", &Actions::DelTotalList, kAction, Plain<UncountSelectedBattles>},
    {"SizeSmall", &Actions::SizeSmall, kAction, Plain<MarkSelectedSmall>},
    {"SizeMedium", &Actions::SizeMedium, kAction, Plain<MarkSelectedMedium>},
    {"SizeLarge", &Actions::SizeLarge, kAction, Plain<MarkSelectedLarge>},
    {"TypeNaval", &Actions::TypeNaval, kAction, Plain<MarkSelectedNaval>},
    {"TypeMock", &Actions::TypeMock, kAction, Plain<MarkSelectedMock>},
    {"TypeReal", &Actions::TypeReal, kAction, Plain<MarkSelectedReal>},
    {"ToPC", &Actions::ToPC, kAction, Plain<MarkSelectedAsPlayers>},
    {"ToNPC", &Actions::ToNPC, kAction, Plain<MarkSelectedAsNpcs>},
    {"AddNPC", &Actions::AddNPC, kAction, AddNpc},
    {"Version", &Actions::Version, kAction},
    {"VerCheck", &Actions::VerCheck, kAction},
    {"HomePage", &Actions::HomePage, kAction},
};

}  // namespace

std::span<const WindowCommand> WindowCommands() { return kCommands; }

const WindowCommand* FindWindowCommand(std::string_view name) {
  for (const WindowCommand& c : kCommands) {
    if (name == c.Name) return &c;
  }
  return nullptr;
}

bool TriggerCommand(App& app, const WindowCommand& command, CommandContext& context, bool checked,
                    const std::function<void()>& instead) {
  ActionState& state = app.Acts.*command.State;
  if (!state.Enabled) return false;
  if (command.Kind == CommandKind::Switch) state.Checked = checked;
  if (instead) {
    instead();
  } else if (command.Run) {
    command.Run(app, context);
  }
  return true;
}

}  // namespace mizuto
