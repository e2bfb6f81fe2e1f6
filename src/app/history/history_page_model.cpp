#include "app/history/history_page_model.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "app/owner/app.h"
#include "app/owner/load_driver.h"
#include "app/owner/result_views.h"
#include "history/log_identity.h"
#include "platform/platform.h"
#include "tally/tallies.h"
#include "text/codec.h"

namespace mizuto {
namespace {

std::string Decimal(std::int64_t value) { return std::to_string(value); }

// Puts new rows in and keeps the order the player chose.
void SetRows(HistoryTable& table, HistoryTable&& answered) {
  table.Columns = std::move(answered.Columns);
  table.Rows = std::move(answered.Rows);
  table.Lazy = std::move(answered.Lazy);
  ++table.Revision;
  if (table.SortColumn < 0 || static_cast<std::size_t>(table.SortColumn) >= table.Columns.size()) {
    table.SortColumn = -1;
    return;
  }
  const int column = table.SortColumn;
  const bool descending = table.Descending;
  // Sorting the same column twice turns it round: ask for the other order first.
  table.Descending = !descending;
  SortHistoryTable(table, column);
  if (table.Descending != descending) SortHistoryTable(table, column);
}

void ClearAnswers(HistoryPageView& page) {
  page.Summary.clear();
  page.BattleAnswer.reset();
  page.Days.clear();
  for (HistoryTable* table : {&page.Opponents, &page.Players, &page.Battles}) {
    table->Rows.clear();
    table->Lazy.reset();
    ++table->Revision;
  }
}

}  // namespace

const std::vector<std::string>& HistoryTypeChoices() {
  static const std::vector<std::string> choices{SJ("すべての戦闘"), SJ("海戦"), SJ("模擬"), SJ("実戦"), SJ("ＢＣ")};
  return choices;
}

const std::vector<std::string>& HistorySizeChoices() {
  static const std::vector<std::string> choices{SJ("すべての船"), SJ("小型"), SJ("中型"), SJ("大型")};
  return choices;
}

const std::vector<std::string>& HistoryAgainstChoices() {
  static const std::vector<std::string> choices{SJ("NPCとPC"), SJ("NPCのみ"), SJ("PCのみ")};
  return choices;
}

HistoryFilter HistoryFilterOf(const HistoryPageSettings& settings, const HistoryRange& range) {
  HistoryFilter filter;
  filter.From = range.From;
  filter.To = range.To;
  static constexpr BattleType kTypes[] = {BattleType::Naval, BattleType::Mock, BattleType::Real, BattleType::Camp};
  static constexpr ShipSize kSizes[] = {ShipSize::Small, ShipSize::Medium, ShipSize::Large};
  if (settings.Type >= 1 && settings.Type <= 4) filter.Type = kTypes[settings.Type - 1];
  if (settings.Size >= 1 && settings.Size <= 3) filter.Size = kSizes[settings.Size - 1];
  if (settings.Against == 1) filter.Against = HistoryFilter::Opposition::Npc;
  if (settings.Against == 2) filter.Against = HistoryFilter::Opposition::Player;
  filter.Name = settings.Name;
  filter.PartialName = settings.PartialName;
  return filter;
}

bool HistoryPageOutdated(const App& app) {
  return !app.HistoryPage.Answered || app.HistoryPage.AnsweredRevision != app.History.Revision() ||
         app.History.ImportPending();
}

void RefreshHistoryPage(App& app) {
  // An import going on changes what the answers are (and the revision they are of).
  app.History.Settle(app);
  HistoryPageView& page = app.HistoryPage;
  page.Answered = true;
  page.AnsweredRevision = app.History.Revision();
  ++page.Revision;
  ClearAnswers(page);
  page.ErrorText.clear();
  HistoryStore* store = app.History.Store(app);
  if (store == nullptr) {
    page.ErrorText = app.History.ErrorText();
    return;
  }
  page.Range = HistoryRange{page.Settings.From, page.Settings.To};
  if (page.Range.From.empty() && page.Range.To.empty()) {
    page.Range = LastCalendarDays(page.Today.empty() ? LocalDate(std::time(nullptr)) : page.Today, kRecentHistoryDays);
  }
  const HistoryFilter filter = HistoryFilterOf(page.Settings, page.Range);
  SeasonTables season = AskSeason(*store, filter, TallyOptions{app.Lists, app.SkillChecked, app.ItemChecked},
                                  kSeasonSummary | kSeasonOpponents | kSeasonPlayers | kSeasonDays);
  // The battles table shows a few of a season's battles at a time: their ids now, their
  // rows as they are shown.
  auto ids = store->BattleIds(filter);
  if (!ids.Ok() && !season.Error) season.Error = ids.Error;
  page.BattleAnswer =
      std::make_shared<SeasonBattles>([&app] { return app.History.Store(app); }, filter, std::move(ids.Value));
  if (season.Summary) page.Summary = HistorySummaryText(*season.Summary);
  SetRows(page.Opponents, std::move(season.Opponents));
  SetRows(page.Players, std::move(season.Players));
  SetRows(page.Battles, LazyBattleTable(page.BattleAnswer));
  page.Days = std::move(season.Days);
  if (season.Error) page.ErrorText = HistoryErrorText(season.Error);
}

const BattleRow* HistoryBattleRow(App& app, int row) {
  const auto& answer = app.HistoryPage.BattleAnswer;
  if (!answer || row < 0) return nullptr;
  return answer->Battle(static_cast<std::size_t>(row));
}

std::string HistoryDayHint(const DayRow& d) {
  return d.Date + SJ("  勝 ") + Decimal(d.Won) + SJ(" 敗 ") + Decimal(d.Lost) + SJ(" 引分 ") + Decimal(d.Drawn) +
         SJ(" 逃げられ ") + Decimal(d.Escaped) + SJ(" 撤退 ") + Decimal(d.Withdrawn) + SJ("  味方沈没 ") +
         Decimal(d.OwnDown) + SJ(" 敵沈没 ") + Decimal(d.EnemyDown);
}

std::string HistoryBattlePath(App& app, int row) {
  const BattleRow* battle = HistoryBattleRow(app, row);
  if (battle == nullptr) return {};
  const BattleRow& b = *battle;
  return platform::PathString(std::filesystem::path(platform::NativePath(b.Folder())) /
                              platform::NativePath(b.FileName()));
}

// The battle of the loaded log that a history row stands for: the one that starts where the
// row's does (its number may have moved since, as NPC battles came or went), or by number for
// a row stored before the history knew where battles start. -1: not in the log.
int HistoryBattleIndex(const App& app, std::int32_t firstLine, int number) {
  if (firstLine < 0) return number - 1;
  for (int b = 0; b < app.BattleCount(); ++b) {
    if (app.Battles[static_cast<std::size_t>(b)].FirstLine == firstLine) return b;
  }
  return -1;
}

HistoryBattleOpen OpenHistoryBattle(App& app, int row, const Dialogs& ask) {
  const std::string path = HistoryBattlePath(app, row);
  if (path.empty()) return HistoryBattleOpen::NoSuchRow;
  const BattleRow& battle = *HistoryBattleRow(app, row);
  const int number = battle.Number;
  const std::int32_t firstLine = battle.FirstLine;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(platform::NativePath(path), ec)) {
    // A log moved away is not searched for: the player knows where it went.
    if (ask.Message) {
      ask.Message(SJ("このログファイルは取り込んだ場所にもうありません。\n取り込んだときの場所: ") + Utf8ToSjis(path),
                  kApplicationTitle);
    }
    return HistoryBattleOpen::Gone;
  }
  if (!LoadAndAnalyse(app, path)) return HistoryBattleOpen::NotRead;
  BattleListView& list = app.BattleList;
  const int index = HistoryBattleIndex(app, firstLine, number);
  if (list.HasRow(index)) {
    std::fill(list.Selected.begin(), list.Selected.end(), 0);
    list.Select(index);
    SelectBattles(app);
    RenderSelectedBattles(app);
  }
  return HistoryBattleOpen::Loaded;
}

std::string ImportFolderMissingMessage(const std::string& folder) {
  return SJ("ログフォルダが見つかりません: ") + Utf8ToSjis(folder) + SJ("\n設定でログフォルダを選んでください。");
}

std::string ImportFolderEmptyMessage(const std::string& folder) {
  return SJ("ログフォルダに取り込むログ (*.html) がありません: ") + Utf8ToSjis(folder);
}

namespace {

// What became of each log of a long import, for its closing message; a log that could not
// be imported is named in the error pane as it comes.
struct ImportCounts {
  std::int64_t Imported = 0, Grown = 0, Reanalysed = 0, Unchanged = 0, Failed = 0, Gone = 0;

  void Add(App& app, const std::string& path, const ImportResult& result) {
    switch (result.Outcome) {
      case ImportOutcome::Imported: ++Imported; break;
      case ImportOutcome::Grown: ++Grown; break;
      case ImportOutcome::Reanalysed: ++Reanalysed; break;
      // A copy's log taken where it belongs: its battles are as they were.
      case ImportOutcome::Unchanged:
      case ImportOutcome::Moved:
      case ImportOutcome::Merged: ++Unchanged; break;
      case ImportOutcome::Error:
        ++Failed;
        app.AppendError(result.Error.Failure == HistoryFailure::None
                            ? SJ("履歴に取り込めません: ") + Utf8ToSjis(path) + " (" + Utf8ToSjis(result.Error.Detail) + ")"
                            : HistoryErrorText(result.Error));
        break;
    }
    if (result.Outcome != ImportOutcome::Unchanged) app.History.NoteChanged();
  }

  std::string Text() const {
    std::string text = SJ("\n新しいログ: ") + Decimal(Imported) + SJ("  伸びたログ: ") + Decimal(Grown);
    text += SJ("\n解析し直したログ: ") + Decimal(Reanalysed) + SJ("  変わりなし: ") + Decimal(Unchanged);
    if (Gone > 0) text += SJ("\n取り込んだ場所にないログ: ") + Decimal(Gone) + SJ(" (履歴はそのまま。エラー表示画面をご覧ください)");
    if (Failed > 0) text += SJ("\n取り込めなかったログ: ") + Decimal(Failed) + SJ(" (エラー表示画面をご覧ください)");
    return text;
  }
};

// The history for a long command, or null when it cannot be used (a box says why).
HistoryStore* HistoryForCommand(App& app, const Dialogs& ask) {
  HistoryStore* store = app.History.Store(app);
  if (store == nullptr && ask.Message) {
    // A history that cannot be used says why in the error pane; the box repeats it.
    ask.Message(app.History.ErrorText().empty() ? HistoryErrorText(HistoryError{HistoryFailure::NotAvailable, {}, {}})
                                              : app.History.ErrorText(),
                kApplicationTitle);
  }
  return store;
}

// The player's progress callback, noting whether the player stopped before the end, and how
// many logs were left then.
auto StoppableProgress(const std::function<bool(std::size_t, std::size_t, const std::string&)>& progress,
                       bool& stopped, std::size_t* left = nullptr) {
  return [&progress, &stopped, left](std::size_t done, std::size_t total, const std::string& path) {
    if (progress && !progress(done, total, path)) {
      stopped = done < total;
      if (left != nullptr) *left = total - std::min(done, total);
      return false;
    }
    return true;
  };
}

}  // namespace

void ImportLogFolderIntoHistory(App& app, const Dialogs& ask,
                            const std::function<bool(std::size_t, std::size_t, const std::string&)>& progress) {
  auto say = [&](const std::string& text) {
    if (ask.Message) ask.Message(text, kApplicationTitle);
  };
  HistoryStore* store = HistoryForCommand(app, ask);
  if (store == nullptr) return;
  // The log folder is a path already (converted where the settings file is read).
  const std::string folder = app.LogDir.Utf8();
  std::error_code ec;
  if (app.LogDir.Empty() || !std::filesystem::is_directory(app.LogDir.Native(), ec)) {
    say(ImportFolderMissingMessage(folder));
    return;
  }
  std::vector<UnreadPath> unread;
  const std::vector<std::string> files = LogFilesOf({folder}, &unread);
  ImportCounts counts;
  for (const UnreadPath& u : unread) {
    ++counts.Failed;
    app.AppendError(SJ("ログフォルダを読めません: ") + Utf8ToSjis(u.Path) + " (" + Utf8ToSjis(u.Reason) + ")");
  }
  if (files.empty() && unread.empty()) {
    say(ImportFolderEmptyMessage(folder));
    return;
  }
  bool stopped = false;
  std::size_t left = 0;
  ImportLogFiles(app, *store, files, StoppableProgress(progress, stopped, &left),
                 [&](const std::string& path, const ImportResult& result) { counts.Add(app, path, result); });
  say((stopped ? SJ("取り込みを中止しました（") + std::to_string(left) + SJ(" 件のログは取り込んでいません）。")
               : SJ("ログフォルダのログを履歴に取り込みました。")) +
      counts.Text());
}

void ReanalyseStoredLogs(App& app, const Dialogs& ask,
                             const std::function<bool(std::size_t, std::size_t, const std::string&)>& progress) {
  HistoryStore* store = HistoryForCommand(app, ask);
  if (store == nullptr) return;
  ImportCounts counts;
  bool stopped = false;
  const HistoryError error =
      ReanalyseHistory(app, *store, StoppableProgress(progress, stopped), [&](const std::string& path, const ImportResult* result) {
        if (result != nullptr) return counts.Add(app, path, *result);
        ++counts.Gone;
        app.AppendError(SJ("履歴のログが取り込んだ場所にありません (履歴はそのままです): ") + Utf8ToSjis(path));
      });
  if (error) {
    if (ask.Message) ask.Message(HistoryErrorText(error), kApplicationTitle);
    return;
  }
  if (ask.Message) {
    ask.Message((stopped ? SJ("解析し直しを中止しました。") : SJ("履歴のログを解析し直しました。")) + counts.Text(),
                kApplicationTitle);
  }
}

}  // namespace mizuto
