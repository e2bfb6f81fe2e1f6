// The one owner of every table, list, setting and view model of the program, as the main
// window owns them. The Qt window and the headless report both drive this object.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/owner/history_recorder.h"
#include "app/parts/analysis_settings.h"
#include "app/parts/counter_file.h"
#include "app/parts/interval_rule.h"
#include "app/parts/view_models.h"
#include "app/season/history_page_view.h"
#include "battle/analysis.h"
#include "ingest/log_source.h"

namespace mizuto {

// "Mizuto Ver" and the version the build was made as (project() in CMakeLists.txt, the one
// place it is set): the caption, what the version check compares, what --version prints.
const char* ProgramTitleUtf8();
// The application's own title (the task bar's text and the caption of a plain message box).
inline constexpr const char* kApplicationTitle = "Mizuto";

// The two long parts of a load, as progress reports name them.
enum class LoadStage { Reading, Analysing };

// Window geometry and pane sizes, as stored in the settings file.
struct WindowGeometry {
  int Top = 134, Left = 214, Width = 734, Height = 707;  // the normal (not maximised) frame
  // The panes' sizes in pixels: below the tally table, the transcript beside the battle list,
  // the error pane under it, and the settings page's skill and item check lists.
  int LowerPanesHeight = 255, TranscriptPaneWidth = 185, ErrorPaneHeight = 103;
  int SkillListWidth = 177, ItemListWidth = 289;
  bool Maximized = false;
};

// Composed of the parts that lower modules define and take alone: the log being followed
// (LogSource: path, stored lines, resume offset, CSV path), the analysis tables
// (Analysis: Battles, Names, State) and what shapes the analysis (AnalysisSettings:
// program folder, owner name, log folder, NPC switch, reference lists and their checks).
struct App : LogSource, Analysis, AnalysisSettings {
  // --- settings and reference data (live for the whole run) ---
  WindowGeometry Geometry;
  int CheckVersionAtStart = 0;  // 1: the version page is asked as the window opens
  Actions Acts;
  HistoryRecorder History;  // the season history: what loads and ticks record
  HistoryPageView HistoryPage;  // what the History page shows, and its filter

  // --- view models ---
  BattleListView BattleList;            // battleList
  TranscriptView Detail;                // battleTranscript
  bool DetailShowsEnd = false;          // the transcript is shown at its end, not its start
  std::vector<std::string> ErrorLines;  // errorPane
  std::string StatusText;               // statusBar
  // The log last loaded had bytes but not one chat line of a known channel colour (saved
  // in another encoding, say): the status bar adds a hint while that lasts.
  bool LogUnrecognised = false;
  TallyTableView TallyTable;            // tallyTable
  HeadToHeadGrid Grid;                  // headToHeadGrid
  std::string Caption;                  // the main window's title
  // The last load read the log at CurrentLogPath: only then does the title name it.
  bool LogLoaded = false;
  // Each load begins its part of the error pane with a line naming the log (the window's
  // pane keeps the lines of every log; a report or a follower speaks of one log only). The
  // line waits for the load's first error: a log without one adds nothing.
  bool ErrorPaneNamesLoads = false;
  std::string ErrorHeadingDue;  // Shift-JIS; empty when none waits
  bool TimerRunning = false;            // followTimer
  // The period in force and the interval field's text: one value of the interval rule.
  int TimerIntervalMs = IntervalMilliseconds(kDefaultIntervalSeconds);
  std::string IntervalText = std::to_string(kDefaultIntervalSeconds);  // intervalField
  bool SinkCounterVisible = false;
  std::string SinkCounterText;          // what the sink counter window shows (Shift-JIS)
  CounterFile StreamCounter;            // the counter kept in a file in active mode (no path: off)

  // Called whenever the status text changes during a long run, so a window can repaint.
  std::function<void()> OnStatusChanged;
  // Called all along a load (a few hundred times for a large log): the share of the log's
  // bytes read, then of its lines analysed, in percent. A window stays drawn through it,
  // a terminal shows a progress line.
  std::function<void(LoadStage, int)> OnLoadProgress;
  // Called when the analysis has read a battle's result message and closed the battle
  // (its index), while the ships-down counters still hold that battle's figures.
  std::function<void(int)> OnBattleEnded;

  App();

  void SetStatus(std::string text) {
    StatusText = std::move(text);
    if (OnStatusChanged) OnStatusChanged();
  }
  void AppendError(std::string line) {
    if (!ErrorHeadingDue.empty()) ErrorLines.push_back(std::exchange(ErrorHeadingDue, {}));
    ErrorLines.push_back(std::move(line));
  }
  std::string ProgramTitle() const;  // Shift-JIS
};

// The main window's title: the caption, after the file name of the loaded log
// ("chat_20240501.html - Mizuto Ver1.45 [ActiveMode]"); a log that could not be read is not
// named. Shift-JIS.
std::string WindowTitle(const App& app);

// The file name of a log's path (UTF-8, either separator), in Shift-JIS.
std::string LogFileName(const std::string& path);

}  // namespace mizuto
