// `mizuto --history` as a script runs it, a history written by the window and a --follow at
// once, and imports killed at random moments.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <random>

#include "app/app.h"
#include "app/history_link.h"
#include "app/load_driver.h"
#include "app/start_up.h"
#include "history/history_store.h"
#include "support/background_program.h"
#include "support/test_support.h"
#include "text/codec.h"

namespace mizuto {
namespace {

using test::Lines;
using test::Program;
using test::Strings;
using test::WaitUntil;

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Writes `count` generated logs (seeds from `seed`) into `folder`, dated by their names, and
// the list files and settings into `programDir`.
void GenerateLogs(const std::string& folder, const std::string& programDir, int count, int seed, int battles) {
  std::filesystem::create_directories(folder);
  std::filesystem::create_directories(programDir);
  for (int i = 0; i < count; ++i) {
    const std::string out = folder + "/chat_202405" + (i + 1 < 10 ? "0" : "") + std::to_string(i + 1) + ".html";
    const std::string command = std::string(MIZUTO_LOGGEN) + " --seed " + std::to_string(seed + i) + " --battles " +
                                std::to_string(battles) + " --players 20 --out " + Quoted(out) +
                                (i == 0 ? " --program-dir " + Quoted(programDir) : "");
    ASSERT_EQ(test::RunCommand(command).status, 0) << command;
  }
}

// One value per row of a query on a database file, as another program reads it.
// The rows of `sql`, opened as the next run of the program would open the file (a killed
// writer's WAL is taken up then); a failure is a row of its own, so that it shows.
Strings Query(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  Strings rows;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 10000);
    char* error = nullptr;
    sqlite3_exec(
        db, sql.c_str(),
        [](void* out, int n, char** values, char**) {
          std::string row;
          for (int i = 0; i < n; ++i) row += std::string(i ? "|" : "") + (values[i] ? values[i] : "NULL");
          static_cast<Strings*>(out)->push_back(row);
          return 0;
        },
        &rows, &error);
    if (error) rows.push_back(std::string("error: ") + error);
    sqlite3_free(error);
  } else {
    rows.push_back(std::string("cannot open: ") + sqlite3_errmsg(db));
  }
  sqlite3_close(db);
  return rows;
}

const char* const kBattlesPerLog =
    "SELECT l.file_name, COUNT(b.id) FROM logs l LEFT JOIN battles b ON b.log_id = l.id GROUP BY l.id ORDER BY l.file_name";

TEST(HistoryCommand, ArgumentsAndExitStatus) {
  test::TempDir dir;
  GenerateLogs(dir.File("logs"), dir.Path(), 2, 40, 4);
  std::filesystem::create_directories(dir.File("broken"));
  test::WriteBytes(dir.File("broken/") + kHistoryFileName, "this is no database at all");
  const std::string exe = MIZUTO_EXE;
  const std::string program = " --program-dir " + Quoted(dir.Path());
  const struct {
    std::string arguments;
    int status;
    std::string inErr;  // a text the error output holds
  } cases[] = {
      {"--history --from 2024-13-01", 2, "--from takes a date as YYYY-MM-DD"},
      {"--history --to yesterday", 2, "--to takes a date"},
      {"--history --import", 2, "--import needs a log file or a folder"},
      {"--history " + Quoted(dir.File("logs")), 2, "a log to import follows --import"},
      {"--history --json --encoding sjis", 2, "--json writes UTF-8"},
      {"--history --frobnicate", 2, "unknown option --frobnicate"},
      {"--history --import " + Quoted(dir.File("logs")) + program, 0, "imported: "},
      {"--history --import " + Quoted(dir.File("logs")) + program, 0, "unchanged: "},
      {"--history --import " + Quoted(dir.File("missing.html")) + program, 1, "error: " + dir.File("missing.html")},
      {"--history --program-dir " + Quoted(dir.File("broken")), 1, dir.File("broken/") + kHistoryFileName},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const test::Outcome outcome = test::RunCommand(exe + " " + c.arguments);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    EXPECT_NE(outcome.err.find(c.inErr), std::string::npos) << outcome.err;
  }
  EXPECT_EQ(test::ReadBytes(dir.File("broken/") + kHistoryFileName), "this is no database at all");

  // Sections, and JSON Lines with the log and its date.
  const test::Outcome text = test::RunCommand(exe + " --history --from 2024-05-02" + program);
  ASSERT_EQ(text.status, 0) << text.err;
  const Strings lines = Lines(text.out);
  for (const char* section : {"[logs]", "[battles]", "[summary]", "[opponents]", "[players]"}) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), section), lines.end()) << section;
  }
  EXPECT_EQ(lines.at(1).substr(0, 30), "2024-05-02\tchat_20240502.html\t");
  const test::Outcome json = test::RunCommand(exe + " --history --json --to 2024-05-01" + program);
  ASSERT_EQ(json.status, 0) << json.err;
  const Strings objects = Lines(json.out);
  ASSERT_GE(objects.size(), 2u);
  EXPECT_NE(objects.front().find(",\"log\":\"chat_20240501.html\",\"date\":\"2024-05-01\"}"), std::string::npos);
  EXPECT_EQ(objects.back().rfind("{\"summary\":", 0), 0u);
}

// A log that ends inside a battle: --history --json says the battle is in progress and the
// summary counts it in 戦 only, until an import sees it end.
TEST(HistoryCommand, ABattleStillBeingFoughtIsInProgressUntilItEnds) {
  test::TempDir dir;
  const std::string log = dir.File("chat_20240501.html");
  const std::string program = " --program-dir " + Quoted(dir.Path()) + " ";
  const std::string exe = MIZUTO_EXE;
  const struct {
    const char* what;
    std::string lines;
    const char* lastResult;
    const char* summary;
  } stages[] = {
      {"fighting Bob",
       test::SystemLine("Annの強襲です！") + test::SystemLine("Annに勝利しました！") + test::SystemLine("Bobの強襲です！"),
       "\"result\":\"in_progress\"", "   2戦   1勝   0敗   0分"},
      {"lost to Bob", test::SystemLine("Bobに敗北しました…"), "\"result\":\"defeat\"", "   2戦   1勝   1敗   0分"},
  };
  std::string bytes;
  for (const auto& stage : stages) {
    SCOPED_TRACE(stage.what);
    bytes += stage.lines;
    test::WriteBytes(log, bytes);
    ASSERT_EQ(test::RunCommand(exe + " --history" + program + "--import " + Quoted(log)).status, 0);
    const test::Outcome json = test::RunCommand(exe + " --history" + program + "--json");
    ASSERT_EQ(json.status, 0) << json.err;
    const Strings objects = Lines(json.out);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_NE(objects[0].find("\"result\":\"victory\""), std::string::npos) << objects[0];
    EXPECT_NE(objects[1].find(stage.lastResult), std::string::npos) << objects[1];
    EXPECT_EQ(objects[2].rfind(std::string("{\"summary\":\"") + stage.summary, 0), 0u) << objects[2];
    // The report of the same log says the same.
    const test::Outcome report = test::RunCommand(exe + " --report" + program + Quoted(log));
    EXPECT_NE(report.out.find(std::string("[summary]\n") + stage.summary), std::string::npos) << report.out;
  }
}

// A log the owner's name is not set for, with names left out and broken lines, imports
// like any other, and the history's summary is its report's.
TEST(HistoryCommand, ALogWithoutAnOwnerAndWithBrokenLinesImports) {
  for (const int seed : {3, 4, 5}) {
    SCOPED_TRACE(seed);
    test::TempDir dir;
    const std::string log = dir.File("chat_20240501.html");
    ASSERT_EQ(test::RunCommand(std::string(MIZUTO_LOGGEN) + " --seed " + std::to_string(seed) +
                               " --battles 8 --no-user-name --malformed 20 --program-dir " + Quoted(dir.Path()) +
                               " --out " + Quoted(log))
                  .status,
              0);
    const std::string program = " --program-dir " + Quoted(dir.Path()) + " ";
    const std::string exe = MIZUTO_EXE;
    const test::Outcome imported = test::RunCommand(exe + " --history" + program + "--import " + Quoted(log));
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(imported.err.find("imported: "), std::string::npos) << imported.err;
    const Strings summary = Lines(test::RunCommand(exe + " --history" + program + "--json").out);
    ASSERT_FALSE(summary.empty());
    const test::Outcome report = test::RunCommand(exe + " --report" + program + Quoted(log));
    const std::size_t at = report.out.find("[summary]\n");
    ASSERT_NE(at, std::string::npos);
    const std::string line = report.out.substr(at + 10, report.out.find('\n', at + 10) - at - 10);
    EXPECT_EQ(summary.back(), "{\"summary\":\"" + line + "\"}");
  }
}

#ifndef _WIN32
// Killed at any moment, an import leaves the history as it was before the log in progress:
// a sound file, and every log in it whole.
TEST(HistoryCommand, AnImportKilledAtAnyMomentLeavesEveryLogWholeOrAbsent) {
  test::TempDir dir;
  GenerateLogs(dir.File("logs"), dir.File("settings"), 12, 300, 60);
  const std::string program = dir.File("settings/");
  // Each log's battles when imported without interruption.
  test::TempDir reference;
  std::filesystem::copy(program, reference.Path(), std::filesystem::copy_options::recursive);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(test::RunCommand(std::string(MIZUTO_EXE) + " --history --program-dir " + Quoted(reference.Path()) +
                             " --import " + Quoted(dir.File("logs")))
                .status,
            0);
  // The kills land anywhere within what a whole import takes.
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  const Strings whole = Query(reference.File(kHistoryFileName), kBattlesPerLog);
  ASSERT_EQ(whole.size(), 12u);

  const char* given = std::getenv("MIZUTO_TEST_SEED");
  const unsigned seed = given ? static_cast<unsigned>(std::atoll(given)) : std::random_device{}();
  SCOPED_TRACE("MIZUTO_TEST_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  const std::string db = program + kHistoryFileName;
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(round);
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((db + suffix).c_str());
    Program import({"--history", "--program-dir", program, "--import", dir.File("logs")}, dir, "import");
    std::this_thread::sleep_for(std::chrono::microseconds(random() % took.count()));
    import.Stop(SIGKILL);
    if (!std::filesystem::exists(db)) continue;  // killed before it made the file: as before
    EXPECT_EQ(Query(db, "PRAGMA integrity_check"), Strings{"ok"});
    // Killed before the schema was in place: no log, as before.
    if (Query(db, "SELECT COUNT(*) FROM sqlite_master WHERE name = 'logs'") == Strings{"0"}) continue;
    std::printf("[ killed   ] after %s logs\n", std::to_string(Query(db, kBattlesPerLog).size()).c_str());
    for (const std::string& row : Query(db, kBattlesPerLog)) {
      EXPECT_NE(std::find(whole.begin(), whole.end(), row), whole.end()) << row;
    }
  }
  // Once an import is let run to its end, every log is there.
  ASSERT_EQ(test::RunCommand(std::string(MIZUTO_EXE) + " --history --program-dir " + Quoted(program) +
                             " --import " + Quoted(dir.File("logs")))
                .status,
            0);
  EXPECT_EQ(Query(db, kBattlesPerLog), whole);
}

// The window (its core, here in-process) loads logs while a --follow records the battles
// of another into the same history: both succeed, and the history holds both.
TEST(HistoryCommand, TheWindowAndAFollowerWriteTheSameHistoryAtOnce) {
  test::TempDir dir;
  GenerateLogs(dir.File("logs"), dir.Path(), 5, 500, 30);
  const std::string followed = dir.File("logs/chat_20240501.html");
  const std::string bytes = test::ReadBytes(followed);
  test::WriteBytes(followed, bytes.substr(0, bytes.find('\n', bytes.size() / 4) + 1));

  App window;
  window.ProgramDir = dir.Path();
  StartUp(window);
  window.History.Enabled = true;

  Program follow({"--follow", "--interval", "10", "--program-dir", dir.Path(), followed}, dir, "follow");
  // The rest of the followed log arrives in pieces while the window loads the others.
  std::mt19937 random(7);
  std::size_t written = test::ReadBytes(followed).size();
  for (int round = 0; written < bytes.size(); ++round) {
    const std::size_t newline = bytes.find('\n', std::min(bytes.size(), written + 2000));
    const std::size_t next = newline == std::string::npos ? bytes.size() : newline + 1;
    test::AppendBytes(followed, bytes.substr(written, next - written));
    written = next;
    window.CurrentLogPath = dir.File("logs/chat_2024050" + std::to_string(2 + round % 4) + ".html");
    ASSERT_TRUE(LoadAndAnalyse(window));
    EXPECT_EQ(window.History.ErrorText, "") << test::U(window.History.ErrorText);
  }
  App whole;
  whole.ProgramDir = dir.Path();
  StartUp(whole);
  whole.CurrentLogPath = followed;
  ASSERT_TRUE(LoadAndAnalyse(whole));
  int ended = 0;
  for (const BattleEndFigures& e : whole.History.Ends) ended += e.Ended ? 1 : 0;
  ASSERT_TRUE(WaitUntil([&] { return static_cast<int>(Lines(follow.Out()).size()) == ended; })) << follow.Err();
  EXPECT_EQ(follow.Stop(SIGTERM), 0);
  EXPECT_EQ(follow.Err(), "");

  // Every battle the follower saw end is in the history, with the window's logs beside it.
  const Strings logs = Query(dir.File(kHistoryFileName), "SELECT file_name FROM logs ORDER BY file_name");
  EXPECT_EQ(logs, (Strings{"chat_20240501.html", "chat_20240502.html", "chat_20240503.html", "chat_20240504.html",
                           "chat_20240505.html"}));
  const Strings recorded = Query(dir.File(kHistoryFileName),
                                 "SELECT COUNT(*) FROM battles b JOIN logs l ON l.id = b.log_id"
                                 " WHERE l.file_name = 'chat_20240501.html' AND b.ended = 1");
  EXPECT_EQ(recorded, Strings{std::to_string(ended)});
}
#endif

}  // namespace
}  // namespace mizuto
