#include "app/history/history_forget.h"

#include "app/history/history_page_model.h"
#include "app/owner/app.h"
#include "text/codec.h"

namespace mizuto {

std::string ForgetLogQuestion(const std::string& fileName, std::int64_t battles) {
  return SJ("「") + Utf8ToSjis(fileName) + SJ("」(") + std::to_string(battles) +
         SJ("戦)を履歴から外しますか？\nこのログの戦闘と修正は履歴から消え、集計に数えられなくなります。");
}

bool ForgetHistoryLog(App& app, std::int64_t logId, const Dialogs& ask) {
  HistoryStore* store = app.History.Store(app);
  if (store == nullptr || logId == 0) return false;
  const auto logs = store->Logs(HistoryFilter{});
  if (!logs.Ok()) {
    app.AppendError(HistoryErrorText(logs.Error));
    return false;
  }
  const LogRow* log = nullptr;
  for (const LogRow& row : logs.Value) {
    if (row.LogId == logId) log = &row;
  }
  // Gone already (another program took it out, or merged it into a longer copy).
  if (log == nullptr) return false;
  if (!ask.AskYesNo || !ask.AskYesNo(ForgetLogQuestion(log->FileName, log->Battles), kApplicationTitle)) return false;
  const auto forgotten = store->ForgetLogById(logId);
  if (!forgotten.Ok()) {
    app.AppendError(HistoryErrorText(forgotten.Error));
    return false;
  }
  app.History.Forgot(logId);
  if (forgotten.Value.LogId == 0) return false;
  app.SetStatus(SJ("履歴から外しました: ") + Utf8ToSjis(forgotten.Value.FileName) + " (" +
                std::to_string(forgotten.Value.Battles) + SJ("戦)"));
  return true;
}

bool ForgetHistoryBattleLog(App& app, int row, const Dialogs& ask) {
  const BattleRow* battle = HistoryBattleRow(app, row);
  if (battle == nullptr) return false;
  return ForgetHistoryLog(app, battle->LogId, ask);
}

bool LoadedLogInHistory(App& app) {
  // Its import may still be going on beside the window: its id is known once it is taken.
  if (app.History.ImportPending() && app.History.ImportDone()) app.History.Settle(app);
  return app.History.CurrentLogId() != 0;
}

bool ForgetLoadedLogAfterAsking(App& app, const Dialogs& ask) {
  app.History.Settle(app);
  return ForgetHistoryLog(app, app.History.CurrentLogId(), ask);
}

}  // namespace mizuto
