// The tally table as CSV: Shift-JIS, the table as shown.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tally/tally_views.h"

namespace mizuto {

// One CSV field, quoted when it holds a space, a control byte, a double quote or a comma.
std::string CsvField(std::string_view text);
// The whole table: header line and rows in their current order, each line ended by `eol`.
std::string TallyTableCsv(const TallyTableView& table, std::string_view eol);

}  // namespace mizuto
