// The History page's refresh: every question the page asks (default range, summary,
// opponents, players with the checked skills and items, battles, days) and the tables it
// builds from the answers, over a history of 50,000 battles.
//
//   bench/make_history_corpus.sh     (once: 100 logs of 500 battles, imported)
//   MIZUTO_BENCH_HISTORY_DIR=build/bench-corpus/history build/bench/history_page_bench
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/history_page.h"
#include "app/start_up.h"
#include "text/codec.h"

namespace mizuto {
namespace {

// 0: the page as it opens (the last 30 days that have battles); 1: the whole history;
// 2: the whole history, battles whose opponent or players have a name with "a" in it.
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

void BM_HistoryPageRefresh(benchmark::State& state) {
  App app;
  if (!StartOnHistory(state, app)) return;
  HistoryPageSettings& settings = app.HistoryPage.Settings;
  if (state.range(0) >= 1) {
    settings.From = "2000-01-01";
    settings.To = "2099-12-31";
  }
  if (state.range(0) == 2) settings.Name = "a";
  for (auto _ : state) {
    RefreshHistoryPage(app);
    benchmark::DoNotOptimize(app.HistoryPage.Battles.Rows.data());
  }
  if (!app.HistoryPage.ErrorText.empty()) state.SkipWithError(SjisToUtf8(app.HistoryPage.ErrorText).c_str());
  state.counters["battles"] = static_cast<double>(app.HistoryPage.BattleRows.size());
  state.counters["players"] = static_cast<double>(app.HistoryPage.Players.Rows.size());
  state.counters["days"] = static_cast<double>(app.HistoryPage.Days.size());
}
BENCHMARK(BM_HistoryPageRefresh)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Each of the page's questions alone, over the page's opening range, to tell which one
// costs what: 0 default range, 1 summary, 2 opponents, 3 players, 4 battles, 5 days.
void BM_HistoryPageQuestion(benchmark::State& state) {
  App app;
  if (!StartOnHistory(state, app)) return;
  HistoryStore* store = app.History.Store(app);
  const HistoryFilter filter = HistoryFilterOf(app.HistoryPage.Settings, store->DefaultRange().Value);
  std::vector<std::string> skills, items;
  for (std::size_t i = 0; i < app.Lists.SkillNames.size() && i < app.SkillChecked.size(); ++i) {
    if (app.SkillChecked[i]) skills.push_back(app.Lists.SkillNames[i]);
  }
  for (std::size_t i = 0; i < app.Lists.ItemNames.size() && i < app.ItemChecked.size(); ++i) {
    if (app.ItemChecked[i]) items.push_back(app.Lists.ItemNames[i]);
  }
  for (auto _ : state) {
    switch (state.range(0)) {
      case 0: benchmark::DoNotOptimize(store->DefaultRange().Ok()); break;
      case 1: benchmark::DoNotOptimize(store->Summary(filter).Ok()); break;
      case 2: benchmark::DoNotOptimize(store->Opponents(filter).Ok()); break;
      case 3: benchmark::DoNotOptimize(store->Players(filter, skills, items).Ok()); break;
      case 4: benchmark::DoNotOptimize(store->Battles(filter).Ok()); break;
      case 5: benchmark::DoNotOptimize(store->Days(filter).Ok()); break;
    }
  }
  state.counters["skills"] = static_cast<double>(skills.size());
  state.counters["items"] = static_cast<double>(items.size());
}
BENCHMARK(BM_HistoryPageQuestion)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mizuto

BENCHMARK_MAIN();
