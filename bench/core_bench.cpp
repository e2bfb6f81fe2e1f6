// Core benchmarks (no window): one active-mode tick on a large log with a battle open, and
// the refresh of every totals view on a full name table.
//
//   build/bench/core_bench [--benchmark_filter=...]
// The tick benchmark needs MIZUTO_BENCH_LOG and MIZUTO_BENCH_DIR (made by make_corpus.sh).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "app/commands/active_mode.h"
#include "app/owner/analysis_driver.h"
#include "app/owner/app.h"
#include "app/owner/load_driver.h"
#include "app/owner/result_views.h"
#include "app/commands/start_up.h"
#include "text/codec.h"

namespace mizuto {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// About 1 KB of in-battle lines as the game appends them.
std::string BattleLines(int round) {
  std::string out;
  const char* lines[] = {
      "敵船赤鬼丸の攻撃により、被害甚大！",
      "敵船黒潮に大打撃を与えました！",
      "碧海ナギの帆を直しました",
      "敵船赤鬼丸の攻撃により浸水が起こりました！",
      "白波ユウが黒潮を撃沈しました！",
      "黒潮の船が航行不能になりました",
  };
  while (out.size() < 1000) {
    for (const char* l : lines) {
      out += "<FONT color=\"#80aaff\">";
      out += l;
      out += "</FONT><BR>\r\n";
    }
    out += "<FONT color=\"#ffffff\">say " + std::to_string(round) + "</FONT><BR>\r\n";
  }
  return out;
}

void BM_ActiveTick(benchmark::State& state) {
  const std::string source = Env("MIZUTO_BENCH_LOG");
  const std::string dir = Env("MIZUTO_BENCH_DIR");
  if (source.empty()) {
    state.SkipWithError("set MIZUTO_BENCH_LOG and MIZUTO_BENCH_DIR");
    return;
  }
  // Work on a copy: the ticks append to it.
  const std::string log = dir + "/tick.html";
  {
    std::ifstream in(source, std::ios::binary);
    std::ofstream out(log, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
  }
  App app;
  app.ProgramDir = dir + "/";
  StartUp(app);
  app.Acts.ActiveMode.Checked = true;
  app.CurrentLogPath = log;
  LoadAndAnalyse(app);
  if (!app.State.BattleInProgress) {
    state.SkipWithError("the log must end inside a battle (make_corpus.sh --open-battle)");
    return;
  }
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      std::ofstream out(log, std::ios::binary | std::ios::app);
      out << BattleLines(round++);
    }
    state.ResumeTiming();
    TickFollowedLog(app);
  }
  state.counters["lines"] = static_cast<double>(app.Lines.size());
  std::remove(log.c_str());
}
BENCHMARK(BM_ActiveTick)->Unit(benchmark::kMillisecond)->Iterations(200);

// 1024 names x 512 battles, every name present in most battles with non-zero counters,
// 20 skills and 20 items checked. Arg 0: all battles counted; arg 1: only the newest.
void BM_RefreshTallies(benchmark::State& state) {
  App app;
  for (int k = 0; k < 60; ++k) app.Lists.SkillNames.push_back("skill" + std::to_string(k));
  for (int k = 0; k < 150; ++k) {
    app.Lists.ItemNames.push_back("item" + std::to_string(k));
    app.Lists.ItemKinds.push_back(k % 7 == 0 ? "2" : "1");
  }
  app.SkillChecked.assign(60, 0);
  app.ItemChecked.assign(150, 0);
  for (int k = 0; k < 20; ++k) app.SkillChecked[static_cast<std::size_t>(k * 3)] = 1;
  for (int k = 0; k < 20; ++k) app.ItemChecked[static_cast<std::size_t>(k * 7)] = 1;
  ResetAnalysis(app);
  std::mt19937 rng(42);
  for (int b = 0; b < kMaxBattles; ++b) {
    app.Battles.emplace_back();
    app.Battles.back().Result = ResultFromStored(rng() % 5);
  }
  for (int n = 1; n < kMaxNames; ++n) app.Names.Add("player" + std::to_string(n) + "_", 60, 150);
  for (int n = 0; n < kMaxNames; ++n) {
    for (int b = 0; b < kMaxBattles; ++b) {
      if (rng() % 4 == 0) continue;
      NameBattleStats* s = app.Names.Stats(n, b);
      s->Present = 1;
      s->Sides = SideSet::FromStored(1 + rng() % 3);  // own, enemy or both
      s->OwnerRelations = RelationSet::FromStored(rng() % 4);
      for (auto& c : s->BattleCounts) c = static_cast<std::int32_t>(rng() % 3);
      for (auto& c : s->ExtraCounts) c = static_cast<std::int32_t>(rng() % 3);
      if (rng() % 8 == 0) s->TakenBy = static_cast<std::int32_t>(rng() % kMaxNames);
      if (rng() % 5 == 0) app.Names[n].AddUse(b, false, static_cast<int>(rng() % 60), 1);
      if (rng() % 5 == 0) app.Names[n].AddUse(b, true, static_cast<int>(rng() % 150), 1);
    }
  }
  if (state.range(0) == 1) {
    for (int b = 0; b + 1 < kMaxBattles; ++b) app.Battles[static_cast<std::size_t>(b)].Tally = TallyState{.CountMark = false};
  }
  app.Acts.AvgHitDown.Checked = true;
  app.Acts.AvgSkillItem.Checked = true;
  RebuildTallyColumns(app);
  for (auto _ : state) {
    RefreshTallies(app);
    benchmark::DoNotOptimize(app.TallyTable.Rows.data());
  }
  state.counters["rows"] = static_cast<double>(app.TallyTable.Rows.size());
  state.counters["grid_cells"] = static_cast<double>(app.Grid.Counts.size());
}
BENCHMARK(BM_RefreshTallies)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mizuto

BENCHMARK_MAIN();
