// The History page's tables as CSV files, Shift-JIS like the tally table's CSV: the
// header line and the rows in the order the page shows them.
#pragma once

#include <string>
#include <string_view>

#include "app/parts/dialogs.h"
#include "app/history/history_page_model.h"

namespace mizuto {

struct App;

enum class HistoryTableKind { Opponents, Players, Battles };

// The file name offered for a table: the table's name and the range shown (UTF-8).
std::string HistoryCsvFileName(const App& app, HistoryTableKind kind);

// Asks where to save the table (the program folder is offered, as for the tally CSV), writes
// it atomically and names the file in the status bar. False when the player cancelled or
// the file could not be written (then `error` says why).
bool SaveHistoryTableCsv(App& app, HistoryTableKind kind, const Dialogs& ask, std::string* error);

}  // namespace mizuto
