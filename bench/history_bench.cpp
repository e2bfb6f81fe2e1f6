// The season history's costs, side by side with what they are measured against:
//   BM_ReportOfLogs       the report of 100 generated logs of 1 MB (in-process, output dropped)
//   BM_ImportLogs         importing the same 100 logs into a new history
//   BM_ReimportUnchanged  importing them again, unchanged
//   BM_PrepareWindowLog   what the window's thread does for a load's import beside it: the
//                         copy of the analysis of history_window_bench.sh's 10 MB log
//   BM_Query/...          each question of the History page over 50,000 battles (100 logs of
//                         500 battles), the whole range; the counter bytes_per_player_row is
//                         the database's size per battle and player
//
//   build/bench/history_bench [--benchmark_filter=...]
// The logs are made once under build/bench-corpus/history (MIZUTO_BENCH_HISTORY_DIR).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <streambuf>

#include "app/owner/app.h"
#include "app/owner/history_recorder.h"
#include "app/owner/load_driver.h"
#include "app/modes/report.h"
#include "app/commands/start_up.h"
#include "history/history_store.h"
#include "history/prepared_log.h"
#include "loggen/cast.h"
#include "loggen/generator.h"
#include "loggen/log_writer.h"
#include "loggen/options.h"
#include "loggen/program_folder.h"

namespace mizuto {
namespace {

namespace fs = std::filesystem;

std::string CorpusDir() {
  const char* given = std::getenv("MIZUTO_BENCH_HISTORY_DIR");
  return given ? std::string(given) + "/" : std::string("build/bench-corpus/history/");
}

void Generate(const loggen::Options& o, const std::string& out) {
  const loggen::Lists lists = loggen::MakeLists(o.Seed, o.Skills, o.Items);
  const loggen::Cast cast = loggen::MakeCast(o.Seed, o.Owner, o.Players, lists);
  std::string error;
  if (!o.ProgramDir.empty() && !loggen::WriteProgramFolder(o, lists, &error)) std::abort();
  std::FILE* file = std::fopen(out.c_str(), "wb");
  if (file == nullptr) std::abort();
  {
    loggen::LogWriter writer(file);
    loggen::Generator generator(o, lists, cast, writer);
    generator.Run();
    writer.Flush();
  }
  std::fclose(file);
}

// The lists of the benchmark corpus: 60 skills, 150 items, 20 of each checked.
loggen::Options CorpusOptions(std::uint64_t seed, int battles, int players, const std::string& programDir) {
  loggen::Options o;
  o.Seed = seed;
  o.Battles = battles;
  o.BattlesGiven = true;
  o.Players = players;
  o.Skills = 60;
  o.Items = 150;
  o.Checked = 20;
  o.ProgramDir = programDir;
  return o;
}

// "chat_YYYYMMDD.html" for day i after 2024-01-01 (i < 365).
std::string DatedName(int i) {
  static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int month = 0, day = i;
  while (day >= kDays[month]) day -= kDays[month++];
  char name[32];
  std::snprintf(name, sizeof name, "chat_2024%02d%02d.html", month + 1, day + 1);
  return name;
}

// 100 logs of 1 MB in small/, each of its own seed, with one program folder.
std::vector<std::string> SmallLogs() {
  const std::string dir = CorpusDir() + "small/";
  std::vector<std::string> logs;
  for (int i = 0; i < 100; ++i) {
    const std::string path = dir + DatedName(i);
    logs.push_back(path);
    if (fs::exists(path)) continue;
    fs::create_directories(dir);
    loggen::Options o = CorpusOptions(2000 + static_cast<std::uint64_t>(i), 6, 150, i == 0 ? dir : std::string());
    o.Size = 1000000;
    Generate(o, path);
  }
  return logs;
}

// 100 logs of 500 battles in large/: one generated log, each copy made a log of its own by
// a first line of its own (the history knows a log by its bytes).
std::vector<std::string> LargeLogs() {
  const std::string dir = CorpusDir() + "large/";
  const std::string base = dir + "base.log";
  if (!fs::exists(base)) {
    fs::create_directories(dir);
    Generate(CorpusOptions(3000, 500, 300, dir), base);
  }
  std::string bytes;
  std::vector<std::string> logs;
  for (int i = 0; i < 100; ++i) {
    const std::string path = dir + DatedName(i * 3);
    logs.push_back(path);
    if (fs::exists(path)) continue;
    if (bytes.empty()) {
      std::ifstream in(base, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::ofstream out(path, std::ios::binary);
    out << "<!-- copy " << i << " -->\r\n" << bytes;
  }
  return logs;
}

class NullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void RemoveHistory(const std::string& programDir) {
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(HistoryFilePath(programDir) + suffix);
}

void BM_ReportOfLogs(benchmark::State& state) {
  const std::vector<std::string> logs = SmallLogs();
  NullBuffer null;
  std::ostream out(&null);
  for (auto _ : state) {
    for (const std::string& log : logs) {
      ReportOptions options;
      options.ProgramDir = CorpusDir() + "small/";
      options.LogPath = log;
      if (RunReport(options, out, out) != 0) state.SkipWithError("report failed");
    }
  }
}
BENCHMARK(BM_ReportOfLogs)->Unit(benchmark::kMillisecond)->Iterations(3);

// Starts as the window and the command do: settings, lists, the history file.
void ImportAll(benchmark::State& state, const std::vector<std::string>& logs, const std::string& programDir) {
  App app;
  app.ProgramDir = programDir;
  StartUp(app);
  app.History.Enable(true);
  HistoryStore* store = app.History.Store(app);
  if (store == nullptr) {
    state.SkipWithError("no history");
    return;
  }
  ImportLogFiles(app, *store, logs, {}, [&](const std::string&, const ImportResult& r) {
    if (r.Outcome == ImportOutcome::Error) state.SkipWithError("import failed");
  });
}

void BM_ImportLogs(benchmark::State& state) {
  const std::vector<std::string> logs = SmallLogs();
  const std::string dir = CorpusDir() + "small/";
  for (auto _ : state) {
    state.PauseTiming();
    RemoveHistory(dir);
    state.ResumeTiming();
    ImportAll(state, logs, dir);
  }
}
BENCHMARK(BM_ImportLogs)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReimportUnchanged(benchmark::State& state) {
  const std::vector<std::string> logs = SmallLogs();
  const std::string dir = CorpusDir() + "small/";
  RemoveHistory(dir);
  ImportAll(state, logs, dir);
  for (auto _ : state) ImportAll(state, logs, dir);
}
BENCHMARK(BM_ReimportUnchanged)->Unit(benchmark::kMillisecond)->Iterations(3);

// The log of history_window_bench.sh (same options), analysed as the window loads it.
void BM_PrepareWindowLog(benchmark::State& state) {
  const std::string dir = CorpusDir() + "window/";
  const std::string path = dir + "chat_20240501.html";
  if (!fs::exists(path)) {
    fs::create_directories(dir);
    loggen::Options o = CorpusOptions(102, 52, 500, dir);
    o.Size = 10000000;
    Generate(o, path);
  }
  App app;
  app.ProgramDir = dir;
  StartUp(app);
  app.CurrentLogPath = path;
  if (!LoadAndAnalyse(app)) {
    state.SkipWithError("load failed");
    return;
  }
  std::size_t players = 0;
  for (auto _ : state) {
    PreparedLog prepared =
        PrepareLog(AnalysedLog{app, app.Lists.SkillNames, app.Lists.ItemNames, app.History.Ends()}, 0, kMaxBattles);
    players = 0;
    for (const PreparedBattle& battle : prepared.Battles) players += battle.Players.size();
    benchmark::DoNotOptimize(prepared);
  }
  state.counters["players"] = static_cast<double>(players);
}
BENCHMARK(BM_PrepareWindowLog)->Unit(benchmark::kMicrosecond);

// The 50,000-battle history, made once.
HistoryStore& LargeHistory(App& app) {
  const std::vector<std::string> logs = LargeLogs();
  const std::string dir = CorpusDir() + "large/";
  app.ProgramDir = dir;
  StartUp(app);
  app.History.Enable(true);
  HistoryStore* store = app.History.Store(app);
  if (store == nullptr) std::abort();
  if (store->Summary(HistoryFilter{}).Value.Battles + 0 == 0) {
    ImportLogFiles(app, *store, logs, {}, {});
  }
  return *store;
}

std::int64_t Count(const std::string& db, const char* sql) {
  sqlite3* handle = nullptr;
  std::int64_t n = 0;
  if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(handle, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
      n = sqlite3_column_int64(s, 0);
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(handle);
  return n;
}

template <class Ask>
void Question(benchmark::State& state, Ask ask) {
  static App app;
  static HistoryStore& store = LargeHistory(app);
  std::size_t rows = 0;
  for (auto _ : state) rows = ask(app, store);
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["battles"] = static_cast<double>(Count(store.Path(), "SELECT COUNT(*) FROM battles"));
  const std::int64_t players = Count(store.Path(), "SELECT COUNT(*) FROM battle_players");
  std::error_code ec;
  const double bytes = static_cast<double>(fs::file_size(store.Path(), ec) + fs::file_size(store.Path() + "-wal", ec));
  state.counters["bytes_per_player_row"] = players > 0 ? bytes / static_cast<double>(players) : 0;
}

std::vector<std::string> Checked(const std::vector<std::string>& names, const std::vector<char>& checked) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < names.size() && i < checked.size(); ++i) {
    if (checked[i]) out.push_back(names[i]);
  }
  return out;
}

void BM_Query(benchmark::State& state, int which) {
  Question(state, [which](App& app, HistoryStore& store) -> std::size_t {
    const HistoryFilter all;
    switch (which) {
      case 0: return store.Summary(all).Value.Battles > 0 ? 1 : 0;
      case 1: return store.Opponents(all).Value.size();
      case 2:
        return store.Players(all, Checked(app.Lists.SkillNames, app.SkillChecked),
                             Checked(app.Lists.ItemNames, app.ItemChecked))
            .Value.size();
      case 3: return store.Battles(all).Value.size();
      case 4: return store.Logs(all).Value.size();
      case 5: return store.Days(all).Value.size();
      default: return store.DefaultRange().Value.From.empty() ? 0 : 1;
    }
  });
}
BENCHMARK_CAPTURE(BM_Query, summary, 0)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_Query, opponents, 1)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_Query, players, 2)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_Query, battles, 3)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_Query, logs, 4)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_Query, days, 5)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_Query, default_range, 6)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace mizuto

BENCHMARK_MAIN();
