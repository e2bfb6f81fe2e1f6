#include "app/commands/active_mode.h"

#include "app/owner/analysis_driver.h"
#include "app/owner/app.h"
#include "app/owner/history_recorder.h"
#include "app/owner/load_driver.h"
#include "app/owner/result_views.h"
#include "battle/battle_label.h"
#include "live/following.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {

void ApplyActiveModeSwitch(App& app) {
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
      CountOnlyNewestBattle(app, app.BattleList);
      ShowNewestBattle(app);
      RefreshTallies(app);
    }
  }
  ShowSinkCount(app);
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
  ApplyActiveModeSwitch(app);
  return read;
}

}  // namespace

bool TickFollowedLog(App& app) {
  if (LogWasReplaced(app.CurrentLogPath, app.ResumeOffset, app.Origin)) return FollowReplacedLog(app);
  app.TimerRunning = false;
  const bool read = ReadCurrentLog(app);
  if (read) {
    const auto lineCount = static_cast<std::int32_t>(app.Lines.size());
    if (lineCount != app.AnalysedLineCount) {
      const AnalysedBattles battles = AnalyseNewLines(app, app.AnalysedLineCount);
      const bool battleInProgress = app.State.BattleInProgress.has_value() || app.State.NotCountedNotice;
      if (battles.Opened > 0 || battles.Ended > 0) {
        // A battle that ends is counted again by the analysis, and several may start and
        // end between two reads: whatever the tick brought, the newest battle alone counts.
        CountOnlyNewestBattle(app, app.BattleList);
      } else if (battleInProgress) {
        // The battle goes on: the older battles the player put back into the count are
        // taken out again, the newest keeps the mark the player gave it.
        UncountOlderBattlesKeepingGameMarks(app, app.BattleList);
      }
      // The views follow every change of the count and every line of an open battle; a
      // battle's last lines count too, so its end is shown as well. While play goes on the
      // battle being fought is the one selected and shown: no older one stays selected.
      if (battles.Opened > 0 || battles.Ended > 0 || battleInProgress) {
        ShowNewestBattle(app);
        RefreshTallies(app);
      }
      app.SetStatus(SummaryLine(app));
    }
    app.AnalysedLineCount = lineCount;
    app.History.RecordEndedBattles(app);
  }
  app.TimerRunning = true;
  return read;
}

void KeepCounterFile(App& app) {
  if (!app.Acts.ActiveMode.Checked) return;
  const std::string error = app.StreamCounter.Keep(app.SinkCounterText);
  // The system's message names the path as the system spells it (UTF-8).
  if (!error.empty()) app.AppendError(Utf8ToSjis(error));
}

bool SetIntervalText(App& app, const std::string& text) {
  std::int32_t value = 0;
  if (!ParseDecimal(text, &value)) return false;
  const int seconds = ClampIntervalSeconds(value);
  app.IntervalText = std::to_string(seconds);
  app.TimerIntervalMs = IntervalMilliseconds(seconds);
  return true;
}

std::string SteppedIntervalText(const App& app, int delta) {
  std::int32_t value = kDefaultIntervalSeconds;
  if (!ParseDecimal(app.IntervalText, &value)) value = kDefaultIntervalSeconds;
  return std::to_string(ClampIntervalSeconds(static_cast<std::int64_t>(value) + delta));
}

}  // namespace mizuto
