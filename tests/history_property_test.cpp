// For any log: after importing it, the history's battles of that log are the report's
// [battles] and the players' sums over its counted battles are the report's [tallies];
// importing it again, a grown copy, or a renamed copy leaves one log equal to the last
// file's report.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/app.h"
#include "app/history_command.h"
#include "app/history_link.h"
#include "app/load_driver.h"
#include "app/report.h"
#include "app/start_up.h"
#include "support/property_support.h"
#include "tally/csv_export.h"
#include "text/codec.h"

namespace mizuto {
namespace {

using Lines = std::vector<std::string>;

// A section of the report's output, line by line.
Lines Section(const std::string& report, const std::string& name) {
  Lines lines;
  std::istringstream in(report);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '[' && line.back() == ']') {
      inside = line == "[" + name + "]";
    } else if (inside) {
      lines.push_back(line);
    }
  }
  return lines;
}

std::string Report(const std::string& programDir, const std::string& log) {
  ReportOptions options;
  options.ProgramDir = programDir;
  options.LogPath = log;
  std::ostringstream out, err;
  EXPECT_EQ(RunReport(options, out, err), 0) << err.str();
  return out.str();
}

// The history holds exactly one log, and its battles and players are the report's.
void ExpectOneLogLikeTheReport(App& app, const std::string& report, const std::string& fileName,
                               const std::string& why) {
  SCOPED_TRACE(why);
  HistoryStore* store = UsableHistory(app);
  ASSERT_NE(store, nullptr) << test::U(app.History.ErrorText);
  const HistoryFilter all;
  const auto logs = store->Logs(all).Value;
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].FileName, fileName);
  Lines labels;
  for (const BattleRow& b : store->Battles(all).Value) labels.push_back(SjisToUtf8(b.Label));
  EXPECT_EQ(labels, Section(report, "battles"));
  // (A log without battles has a status text in its place.)
  if (!labels.empty()) {
    EXPECT_EQ(Lines{SjisToUtf8(HistorySummaryText(store->Summary(all).Value))}, Section(report, "summary"));
  }

  const auto players = HistoryPlayersTable(app, *store, all);
  ASSERT_TRUE(players.Ok());
  std::istringstream csv(SjisToUtf8(TallyTableCsv(players.Value, "\n")));
  Lines mine;
  for (std::string line; std::getline(csv, line);) mine.push_back(line);
  Lines theirs = Section(report, "tallies");
  ASSERT_FALSE(mine.empty());
  ASSERT_FALSE(theirs.empty());
  EXPECT_EQ(mine.front(), theirs.front());  // the columns
  // The rows as sets: the tally table keeps the names' order, the history the names'.
  std::sort(mine.begin() + 1, mine.end());
  std::sort(theirs.begin() + 1, theirs.end());
  EXPECT_EQ(mine, theirs);
}

TEST(HistoryProperty, EveryImportedLogIsItsReport) {
  test::PropertyRun run("history import", 6);
  std::uint64_t seed = 0;
  while (run.Next(&seed)) {
    SCOPED_TRACE(test::PropertyRun::Reproduce(seed));
    test::TempDir dir;
    const test::GeneratedLog generated = test::GenerateLog(seed, dir.Path(), dir.File("scratch"), 12);
    test::Rng rng(seed);
    const std::string name = "chat_2024050" + std::to_string(1 + seed % 9) + ".html";
    const std::string log = dir.File(name);

    App app;
    app.ProgramDir = dir.Path();
    StartUp(app);
    app.History.Enabled = true;
    app.CurrentLogPath = log;

    // A part of the log as the game had written it then, imported by a load.
    const std::size_t cut = test::CutPoint(generated.Bytes, rng);
    test::WriteBytes(log, generated.Bytes.substr(0, cut));
    ASSERT_TRUE(LoadAndAnalyse(app));
    run.Step(0);
    if (app.History.CurrentLogId != 0) ExpectOneLogLikeTheReport(app, Report(dir.Path(), log), name, "a part");

    // The whole log: it has grown.
    test::WriteBytes(log, generated.Bytes);
    ASSERT_TRUE(LoadAndAnalyse(app));
    run.Step(1);
    const std::string whole = Report(dir.Path(), log);
    ExpectOneLogLikeTheReport(app, whole, name, "grown");

    // Again, unchanged; then a copy under another name, imported from the folder.
    ASSERT_TRUE(LoadAndAnalyse(app));
    ExpectOneLogLikeTheReport(app, whole, name, "again");
    const std::string copy = "renamed.html";
    test::WriteBytes(dir.File(copy), generated.Bytes);
    std::remove(log.c_str());
    const ImportResult result = ImportLogFile(app, *UsableHistory(app), dir.File(copy));
    EXPECT_EQ(result.Outcome, ImportOutcome::Unchanged);
    run.Step(2);
    ExpectOneLogLikeTheReport(app, Report(dir.Path(), dir.File(copy)), copy, "renamed");
  }
}

}  // namespace
}  // namespace mizuto
