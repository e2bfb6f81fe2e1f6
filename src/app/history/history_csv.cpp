#include "app/history/history_csv.h"

#include "app/owner/app.h"
#include "app/season/season_tables.h"
#include "platform/platform.h"
#include "text/codec.h"

namespace mizuto {
namespace {

HistoryTable& TableOf(App& app, HistoryTableKind kind) {
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

std::string HistoryCsvFileName(const App& app, HistoryTableKind kind) {
  const char* table = kind == HistoryTableKind::Opponents ? "相手"
                      : kind == HistoryTableKind::Players ? "プレイヤー"
                                                          : "戦闘";
  std::string name = std::string("履歴_") + table;
  const HistoryRange& range = app.HistoryPage.Range;
  if (!range.From.empty() || !range.To.empty()) name += "_" + range.From + "_" + range.To;
  return name + ".csv";
}

bool SaveHistoryTableCsv(App& app, HistoryTableKind kind, const Dialogs& ask, std::string* error) {
  if (!ask.SaveFile) return false;
  const std::string path = ask.SaveFile(app.ProgramDir + HistoryCsvFileName(app, kind));
  if (path.empty()) return false;
  HistoryTable& table = TableOf(app, kind);
  // A table made as it is shown reads all its rows in one pass.
  MakeEveryRow(table);
  if (!platform::ReplaceFile(path, SeasonTableCsv(table, "\r\n"), error)) return false;
  app.SetStatus(SJ("CSVファイルに保存しました: ") + Utf8ToSjis(path));
  return true;
}

}  // namespace mizuto
