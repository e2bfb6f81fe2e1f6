// The tally table as CSV: Shift-JIS, the table as shown.
#pragma once

#include <string>
#include <string_view>

namespace mizuto {

struct App;

// One CSV field, quoted when it holds a space, a control byte, a double quote or a comma.
std::string CsvField(std::string_view text);
// The whole table: header line and rows in their current order, each line ended by `eol`.
std::string TallyTableCsv(const App& app, std::string_view eol);
// Writes the table to app.CsvPath (atomically). False with `error` set on failure.
bool SaveCsvExecute(App& app, std::string* error);

}  // namespace mizuto
