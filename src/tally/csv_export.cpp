#include "tally/csv_export.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "text/sjis.h"

namespace mizuto {
namespace {

constexpr bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// Length of the character at `i`: two bytes for a lead byte with its trail byte, else one.
// A lead byte without a valid trail byte (a name cut in the middle of a character) stands
// alone, so it can never hide a comma or quote behind it and break the record.
std::size_t CharLength(std::string_view text, std::size_t i) {
  if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
      IsTrailByte(static_cast<unsigned char>(text[i + 1]))) {
    return 2;
  }
  return 1;
}

bool NeedsQuotes(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (CharLength(text, i) == 1 && (c <= 0x20 || c == '"' || c == ',')) return true;
  }
  return false;
}

void AppendRecord(std::string& out, const std::string& first, const std::string* rest,
                  std::size_t restCount, std::string_view eol) {
  out += CsvField(first);
  for (std::size_t i = 0; i < restCount; ++i) {
    out += ',';
    out += CsvField(rest[i]);
  }
  out += eol;
}

}  // namespace

std::string CsvField(std::string_view text) {
  if (!NeedsQuotes(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = CharLength(text, i);
    out.append(text.substr(i, length));
    if (length == 1 && text[i] == '"') out += '"';
    i += length;
  }
  out += '"';
  return out;
}

std::string TallyTableCsv(const TallyTableView& table, std::string_view eol) {
  std::string out;
  if (table.Columns.empty()) return out;

  std::vector<std::string> captions;
  captions.reserve(table.Columns.size());
  for (const TallyColumn& column : table.Columns) captions.push_back(column.Caption);
  AppendRecord(out, captions[0], captions.data() + 1, captions.size() - 1, eol);

  // Every record has as many fields as the table has columns.
  const std::size_t cellCount = table.Columns.size() - 1;
  std::vector<std::string> cells;
  for (const TallyRow& row : table.Rows) {
    cells.assign(row.Cells.begin(), row.Cells.begin() + static_cast<std::ptrdiff_t>(
                                                            std::min(cellCount, row.Cells.size())));
    cells.resize(cellCount);
    AppendRecord(out, row.Caption, cells.data(), cells.size(), eol);
  }
  return out;
}

}  // namespace mizuto
