// The History page's model: what fills the page's view (app/season/history_page_view.h)
// from the season history for the filter the player set -- the summary line, the opponents,
// players and battles tables, and the days the chart draws -- and the page's commands. The
// window draws the view and forwards the player's changes; every text here is Shift-JIS like
// the rest of the core.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/parts/dialogs.h"
#include "app/season/history_page_view.h"
#include "history/history_rows.h"

namespace mizuto {

struct App;

// The captions of the filter's choices, in the order of the settings' numbers.
const std::vector<std::string>& HistoryTypeChoices();
const std::vector<std::string>& HistorySizeChoices();
const std::vector<std::string>& HistoryAgainstChoices();

// The history's filter for these settings and the range they stand for.
HistoryFilter HistoryFilterOf(const HistoryPageSettings& settings, const HistoryRange& range);

// Whether the page's answers are older than the history (or were never asked for).
bool HistoryPageOutdated(const App& app);

// Asks the history again for everything the page shows, with the page's settings. A
// history that cannot be used leaves the tables empty and ErrorText set.
void RefreshHistoryPage(App& app);

// The figures of one day of the chart, for the hint over its bar.
std::string HistoryDayHint(const DayRow& day);

// Battle `row` of the page's answer (a Battles table row's Source); null when there is no
// such battle (any more) or the history cannot be read.
const BattleRow* HistoryBattleRow(App& app, int row);

// Where battle row `row` of the page came from: the log file as it was imported (UTF-8).
std::string HistoryBattlePath(App& app, int row);

enum class HistoryBattleOpen { Loaded, Gone, NotRead, NoSuchRow };

// Loads the log of battle row `row` and selects that battle in the battle list, showing its
// transcript; a log no longer where it was imported from is not looked for elsewhere: a
// message says so and where it was.
HistoryBattleOpen OpenHistoryBattle(App& app, int row, const Dialogs& ask);

// The battle of the loaded log that starts at line `firstLine` (-1: not known, then battle
// `number`, from 1); -1 when the log has none such.
int HistoryBattleIndex(const App& app, std::int32_t firstLine, int number);

// Imports every "*.html" of the log folder into the history. `progress(done, total, file)`
// is called before each log and once at the end; returning false stops before the next log
// (those imported stay). What became of each log is counted in the closing message; a log
// that could not be imported is named in the error pane.
void ImportLogFolderIntoHistory(App& app, const Dialogs& ask,
                            const std::function<bool(std::size_t, std::size_t, const std::string&)>& progress);

// Analyses every log of the history again under the settings now (ReanalyseHistory), with
// progress and a stop as the folder import; the closing message counts what became of the
// logs, and each log no longer where it was imported from is named in the error pane.
void ReanalyseStoredLogs(App& app, const Dialogs& ask,
                             const std::function<bool(std::size_t, std::size_t, const std::string&)>& progress);

// The texts the import says (Shift-JIS), for the window and its tests.
std::string ImportFolderMissingMessage(const std::string& folder);
std::string ImportFolderEmptyMessage(const std::string& folder);

}  // namespace mizuto
