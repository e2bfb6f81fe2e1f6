#include "app/owner/result_views.h"

#include <algorithm>

#include "app/owner/app.h"
#include "app/owner/battle_list_commands.h"
#include "battle/battle_detail.h"
#include "battle/battle_label.h"
#include "battle/tables.h"
#include "platform/platform.h"
#include "tally/battle_list_view.h"
#include "tally/csv_export.h"
#include "tally/tallies.h"
#include "tally/tally_table.h"
#include "text/codec.h"

namespace mizuto {

namespace {

// The chat channels of the transcript by their number in the log ("~1".."~7").
template <int Channel>
bool& ChatChannel(DetailSwitches& s) {
  return s.Chat[Channel];
}

const TranscriptSwitch kTranscriptSwitches[] = {
    {&Actions::CriticalView, [](DetailSwitches& s) -> bool& { return s.Cri; }},
    {&Actions::DebugView, [](DetailSwitches& s) -> bool& { return s.Debug; }},
    {&Actions::WaterView, [](DetailSwitches& s) -> bool& { return s.Water; }},
    {&Actions::SailView, [](DetailSwitches& s) -> bool& { return s.Sail; }},
    {&Actions::RudderView, [](DetailSwitches& s) -> bool& { return s.Rudder; }},
    {&Actions::ConfuseView, [](DetailSwitches& s) -> bool& { return s.Confuse; }},
    {&Actions::SayView, ChatChannel<2>},
    {&Actions::PartyView, ChatChannel<1>},
    {&Actions::CompanyView, ChatChannel<6>},
    {&Actions::Room1View, ChatChannel<3>},
    {&Actions::Room2View, ChatChannel<4>},
    {&Actions::Room3View, ChatChannel<5>},
    {&Actions::TellView, ChatChannel<7>},
};

}  // namespace

std::span<const TranscriptSwitch> TranscriptSwitches() { return kTranscriptSwitches; }

DetailSwitches DetailSwitchesOf(const Actions& acts) {
  DetailSwitches s;
  for (const TranscriptSwitch& t : kTranscriptSwitches) t.Part(s) = (acts.*t.State).Checked;
  return s;
}

namespace {

TallyOptions OptionsOf(const App& app) {
  return TallyOptions{app.Lists, app.SkillChecked, app.ItemChecked, app.Acts.AvgHitDown.Checked,
                      app.Acts.AvgSkillItem.Checked};
}

}  // namespace

void ClearResultViews(App& app) {
  app.Detail.Clear();
  app.TallyTable.ClearRows();
  app.BattleList.Clear();
  app.Acts.PlayerHide.Enabled = false;
  app.Acts.PlayerAll.Enabled = false;
}

void RenderSelectedBattles(App& app) {
  if (!app.BattleList.AnySelected()) return;
  app.Detail.Clear();
  app.DetailShowsEnd = false;
  const DetailSwitches switches = DetailSwitchesOf(app.Acts);
  for (int row = 0; row < app.BattleList.Count() && row < app.BattleCount(); ++row) {
    if (!app.BattleList.IsSelected(row)) continue;
    RenderBattleDetail(app.Lines, app.Battles[static_cast<std::size_t>(row)], row, switches, app.Detail);
  }
}

void ShowNewestBattle(App& app) {
  const int newest = std::min(app.BattleCount(), app.BattleList.Count()) - 1;
  if (newest < 0) return;
  // A battle the player picked earlier would stack its transcript above the one being fought
  // and push that below the fold.
  app.BattleList.SelectOnly(newest);
  RenderSelectedBattles(app);
  app.DetailShowsEnd = true;
  PrepareBattleMenu(app);
}

void RebuildTallyColumns(App& app) {
  BuildTallyColumns(OptionsOf(app), app.TallyTable);
}

const std::string& UnrecognisedLogHint() {
  return SJ("チャットの行が一つも読み取れません（ログは UTF-8 として読みます）");
}

const std::string& BattleTableFullNote() {
  static const std::string note = SJ("（戦闘が") + std::to_string(kMaxBattles) + SJ("件を超えたため、最初の") +
                                  std::to_string(kMaxBattles) + SJ("件だけを読み込みました）");
  return note;
}

std::string StatusBarText(const App& app) {
  // The analysis says "Error Code 004" in the error pane, which may be hidden, and drops
  // every later battle: the status bar says it in words while the log is shown.
  if (app.State.BattleTableFullReported) return app.StatusText + "  " + BattleTableFullNote();
  if (!app.LogUnrecognised || !app.Lines.empty()) return app.StatusText;
  return app.StatusText + "  " + UnrecognisedLogHint();
}

void RefreshTallies(App& app) {
  app.SetStatus(SJ("集計中･･･"));
  // The selection went with the old rows.
  app.Acts.PlayerHide.Enabled = false;
  BuildTallies(app, OptionsOf(app), app.TallyTable, app.Grid);
  // The rows come in name order; a player who sorted them wants them sorted still.
  ReapplyTallySort(app.TallyTable);
  app.SetStatus(SummaryLine(app));
}

void SelectBattles(App& app) { ShowBattleListHint(app, app.BattleList); }

void SortTallyByColumn(App& app, int column) { SortTallyRows(app.TallyTable, column); }

void SelectTallyRows(App& app) { app.Acts.PlayerHide.Enabled = true; }

void HideSelectedTallyPlayers(App& app) {
  if (!HideSelectedPlayers(app.TallyTable, app.Names)) return;
  RefreshTallies(app);
  app.Acts.PlayerAll.Enabled = true;
}

void ShowAllTallyPlayers(App& app) {
  ShowAllPlayers(app.Names);
  RefreshTallies(app);
  app.Acts.PlayerAll.Enabled = false;
}

bool SaveTallyCsv(App& app, std::string* error) {
  if (app.CsvPath.empty()) {
    if (error) *error = "No log has been read, so there is no CSV file name.";
    return false;
  }
  if (!platform::ReplaceFile(app.CsvPath, TallyTableCsv(app.TallyTable, "\r\n"), error)) return false;
  // The file goes beside the program, where nobody would look for it unless told.
  app.SetStatus(SJ("CSVファイルに保存しました: ") + Utf8ToSjis(app.CsvPath));
  return true;
}

}  // namespace mizuto
