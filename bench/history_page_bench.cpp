// The History page's refresh: every question the page asks (summary, opponents, players with
// the checked skills and items, battles, days), the tables it builds from the answers and the
// first screenful of their cells, over a history of 100,000 battles -- what each change of
// the filter costs the player.
//
//   bench/make_history_corpus.sh     (once: 200 logs of 500 battles, imported)
//   MIZUTO_BENCH_HISTORY_DIR=build/bench-corpus/history build/bench/history_page_bench
//
// The page's cases name their range and filter by the settings alone, so that the same file
// builds against an older page to compare with.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/owner/app.h"
#include "app/history/history_page_model.h"
#include "app/commands/start_up.h"
#include "text/codec.h"

namespace mizuto {
namespace {

// The program started on the benchmark's folder with the history on; false (the benchmark
// told why) when there is none.
bool StartOnHistory(benchmark::State& state, App& app) {
  const char* dir = std::getenv("MIZUTO_BENCH_HISTORY_DIR");
  if (dir == nullptr) {
    state.SkipWithError("set MIZUTO_BENCH_HISTORY_DIR (bench/make_history_corpus.sh)");
    return false;
  }
  app.ProgramDir = std::string(dir) + "/";
  StartUp(app);
  app.History.Enable(true);
  if (app.History.Store(app) == nullptr) {
    state.SkipWithError("the history cannot be opened");
    return false;
  }
  return true;
}

// `date` ("YYYY-MM-DD") moved by `days`.
std::string DaysFrom(const std::string& date, int days) {
  using namespace std::chrono;
  const year_month_day ymd{year{std::atoi(date.substr(0, 4).c_str())},
                           month{static_cast<unsigned>(std::atoi(date.substr(5, 2).c_str()))},
                           day{static_cast<unsigned>(std::atoi(date.substr(8, 2).c_str()))}};
  const year_month_day moved{sys_days{ymd} + std::chrono::days{days}};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(moved.year()),
                static_cast<unsigned>(moved.month()), static_cast<unsigned>(moved.day()));
  return text;
}

// Row `i` of a page's table as the window shows it: a table that makes its rows as they
// are shown makes it now (the same source builds against a page whose rows are all made).
template <class Table>
const HistoryTableRow& Shown(const Table& table, std::size_t i) {
  if constexpr (requires { table.Row(i); }) {
    return table.Row(i);
  } else {
    return table.Rows[i];
  }
}

// What the window draws after a refresh: the first screenful of each table's cells.
std::size_t DrawFirstScreen(const HistoryPageView& page) {
  constexpr std::size_t kScreen = 40;
  std::size_t bytes = 0;
  for (const HistoryTable* table : {&page.Opponents, &page.Players, &page.Battles}) {
    for (std::size_t i = 0; i < table->Rows.size() && i < kScreen; ++i) {
      for (const std::string& cell : Shown(*table, i).Cells) bytes += cell.size();
    }
  }
  return bytes;
}

// 0: the last 30 calendar days of the history (the page as it opens on the day of the last
// log: 15,000 battles); 1: the whole history; 2: the last 30 days, mock battles only (a
// choice changed); 3: the last 30 days, a player's name; 4: the whole history, that name;
// 5: the last 30 days, the name's first character (a keystroke on the way to the name).
void BM_HistoryPageRefresh(benchmark::State& state) {
  App app;
  if (!StartOnHistory(state, app)) return;
  HistoryStore* store = app.History.Store(app);
  const std::string last = store->DefaultRange().Value.To;
  const auto everybody = store->Players(HistoryFilter{}, {}, {});
  if (last.empty() || everybody.Value.empty()) {
    state.SkipWithError("the history has no battles");
    return;
  }
  const std::string name = everybody.Value[everybody.Value.size() / 2].Name;
  HistoryPageSettings& settings = app.HistoryPage.Settings;
  const bool whole = state.range(0) == 1 || state.range(0) == 4;
  settings.From = whole ? "2000-01-01" : DaysFrom(last, -29);
  settings.To = whole ? "2099-12-31" : last;
  if (state.range(0) == 2) settings.Type = 2;
  if (state.range(0) == 3 || state.range(0) == 4) settings.Name = name;
  // A lead byte and its trail byte, or one byte.
  if (state.range(0) == 5) settings.Name = name.substr(0, static_cast<unsigned char>(name[0]) >= 0x80 ? 2 : 1);
  for (auto _ : state) {
    RefreshHistoryPage(app);
    benchmark::DoNotOptimize(DrawFirstScreen(app.HistoryPage));
  }
  if (!app.HistoryPage.ErrorText.empty()) state.SkipWithError(SjisToUtf8(app.HistoryPage.ErrorText).c_str());
  state.counters["battles"] = static_cast<double>(app.HistoryPage.Battles.Rows.size());
  state.counters["players"] = static_cast<double>(app.HistoryPage.Players.Rows.size());
  state.counters["days"] = static_cast<double>(app.HistoryPage.Days.size());
}
BENCHMARK(BM_HistoryPageRefresh)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

// Each of the page's questions alone, over the last 30 days, to tell which one costs what:
// 0 summary, 1 opponents, 2 players, 3 battles, 4 days.
void BM_HistoryPageQuestion(benchmark::State& state) {
  App app;
  if (!StartOnHistory(state, app)) return;
  HistoryStore* store = app.History.Store(app);
  HistoryFilter filter;
  filter.To = store->DefaultRange().Value.To;
  if (filter.To.empty()) {
    state.SkipWithError("the history has no battles");
    return;
  }
  filter.From = DaysFrom(filter.To, -29);
  std::vector<std::string> skills, items;
  for (std::size_t i = 0; i < app.Lists.SkillNames.size() && i < app.SkillChecked.size(); ++i) {
    if (app.SkillChecked[i]) skills.push_back(app.Lists.SkillNames[i]);
  }
  for (std::size_t i = 0; i < app.Lists.ItemNames.size() && i < app.ItemChecked.size(); ++i) {
    if (app.ItemChecked[i]) items.push_back(app.Lists.ItemNames[i]);
  }
  for (auto _ : state) {
    switch (state.range(0)) {
      case 0: benchmark::DoNotOptimize(store->Summary(filter).Ok()); break;
      case 1: benchmark::DoNotOptimize(store->Opponents(filter).Ok()); break;
      case 2: benchmark::DoNotOptimize(store->Players(filter, skills, items).Ok()); break;
      case 3: benchmark::DoNotOptimize(store->Battles(filter).Ok()); break;
      case 4: benchmark::DoNotOptimize(store->Days(filter).Ok()); break;
    }
  }
  state.counters["skills"] = static_cast<double>(skills.size());
  state.counters["items"] = static_cast<double>(items.size());
}
BENCHMARK(BM_HistoryPageQuestion)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mizuto

BENCHMARK_MAIN();
