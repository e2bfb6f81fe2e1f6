#include "app/history_csv.h"

#include "app/app.h"
#include "platform/platform.h"
#include "tally/csv_export.h"
#include "text/codec.h"

namespace mizuto {
namespace {

const HistoryTable& TableOf(const App& app, HistoryTableKind kind) {
  switch (kind) {
    case HistoryTableKind::Opponents:
      return app.HistoryPage.Opponents;
    case HistoryTableKind::Players:
      return app.HistoryPage.Players;
    case HistoryTableKind::Battles:
      break;
  }
  return app.HistoryPage.Battles;
}

}  // namespace

std::string HistoryTableCsv(const HistoryTable& table, std::string_view eol) {
  std::string out;
  std::vector<std::string> captions;
  for (const TallyColumn& column : table.Columns) captions.push_back(column.Caption);
  out += CsvRecord(captions, eol);
  for (const HistoryTableRow& row : table.Rows) {
    // Every line as wide as the header, whatever a row holds.
    std::vector<std::string> cells = row.Cells;
    cells.resize(captions.size());
    out += CsvRecord(cells, eol);
  }
  return out;
}

std::string HistoryCsvFileName(const App& app, HistoryTableKind kind) {
  const char* table = kind == HistoryTableKind::Opponents ? "相手"
                      : kind == HistoryTableKind::Players ? "プレイヤー"
                                                          : "戦闘";
  std::string name = std::string("履歴_") + table;
  const HistoryRange& range = app.HistoryPage.Range;
  if (!range.From.empty() || !range.To.empty()) name += "_" + range.From + "_" + range.To;
  return name + ".csv";
}

bool ExportHistoryTableExecute(App& app, HistoryTableKind kind, const Dialogs& ask, std::string* error) {
  if (!ask.SaveFile) return false;
  const std::string path = ask.SaveFile(app.ProgramDir + HistoryCsvFileName(app, kind));
  if (path.empty()) return false;
  if (!platform::ReplaceFile(path, HistoryTableCsv(TableOf(app, kind), "\r\n"), error)) return false;
  app.SetStatus(SJ("CSVファイルに保存しました: ") + Utf8ToSjis(path));
  return true;
}

}  // namespace mizuto
