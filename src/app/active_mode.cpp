#include "app/active_mode.h"

#include "app/analysis_driver.h"
#include "app/app.h"
#include "app/load_driver.h"
#include "app/result_views.h"
#include "battle/battle_label.h"
#include "live/following.h"
#include "text/sjis.h"

namespace mizuto {

void ActiveModeExecute(App& app) {
  if (!app.Acts.ActiveMode.Checked) {
    app.TimerRunning = false;
    app.Caption = app.ProgramTitle();
    app.SinkCounterVisible = false;
    return;
  }
  if (!app.CurrentLogPath.empty()) {
    app.TimerRunning = true;
    app.Caption = app.ProgramTitle() + " [ActiveMode]";
    if (app.BattleCount() > 0) {
      UncountAllButNewest(app, app.BattleList);
      app.Battles.back().TallyState |= 1;
      app.BattleList.Select(app.BattleCount() - 1);
      RefreshTallies(app);
    }
  }
  app.SinkCounterVisible = true;
}

namespace {

// The error pane's line when the followed log was replaced or cut.
constexpr const char* kLogReplaced = "Log Replaced or Truncated: read again from its start";

// The file at the log's path is another log now, or the old one cut short: it is loaded as
// a new log is, and followed on from there (a new log holds no battle yet, and the timer
// goes on all the same).
bool FollowReplacedLog(App& app) {
  app.AppendError(kLogReplaced);
  const bool read = LoadAndAnalyse(app);
  ActiveModeExecute(app);
  return read;
}

}  // namespace

bool Timer1Timer(App& app) {
  if (LogWasReplaced(app.CurrentLogPath, app.ResumeOffset, app.Origin)) return FollowReplacedLog(app);
  app.TimerRunning = false;
  const int rowsBefore = app.BattleList.Count();
  const bool read = ReadCurrentLog(app);
  if (read) {
    const auto lineCount = static_cast<std::int32_t>(app.Lines.size());
    if (lineCount != app.AnalysedLineCount) {
      AnalyseNewLines(app, app.AnalysedLineCount);
      if (app.State.BattleInProgress != 0) UncountAllButNewest(app, app.BattleList);
      bool newBattle = false;
      if (app.BattleList.Count() != rowsBefore) {
        app.Battles.back().TallyState |= 1;
        app.BattleList.Select(app.BattleCount() - 1);
        newBattle = true;
      }
      if (newBattle || app.State.BattleInProgress != 0) {
        RenderSelectedBattles(app);
        RefreshTallies(app);
      }
      app.SetStatus(SummaryLine(app));
    }
    app.AnalysedLineCount = lineCount;
  }
  app.TimerRunning = true;
  return read;
}

bool Edit1Change(App& app, const std::string& text) {
  std::int32_t value = 0;
  if (!ParseDecimal(text, &value)) return false;
  if (value < 1) value = 1;
  if (value > 100) value = 100;
  app.IntervalText = std::to_string(value);
  app.TimerIntervalMs = value * 1000;
  return true;
}

}  // namespace mizuto
