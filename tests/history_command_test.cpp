// `mizuto --history` as a script runs it, a history written by the window and a --follow at
// once, and imports killed at random moments.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <random>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "app/owner/app.h"
#include "app/owner/history_recorder.h"
#include "app/owner/load_driver.h"
#include "app/commands/start_up.h"
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

// --forget takes one log out: afterwards the history answers exactly as one that never held
// it (every section, byte for byte), nothing of it is left in any table (its corrections
// included), and a path the history does not hold changes nothing and fails the run.
TEST(HistoryCommand, ForgetTakesOneLogOutAsIfItWasNeverImported) {
  test::TempDir dir, fresh;
  GenerateLogs(dir.File("logs"), dir.Path(), 3, 70, 6);
  const std::string exe = MIZUTO_EXE;
  const std::string program = " --program-dir " + Quoted(dir.Path());
  const std::string second = dir.File("logs/chat_20240502.html");
  ASSERT_EQ(test::RunCommand(exe + " --history --import " + Quoted(dir.File("logs")) + program).status, 0);
  const std::string db = dir.File(kHistoryFileName);
  // A correction of one of its battles goes with it.
  Query(db, "INSERT INTO battle_corrections(log_id, first_line, size) SELECT log_id, first_line, 1 FROM battles"
            " WHERE log_id = (SELECT id FROM logs WHERE file_name = 'chat_20240502.html') LIMIT 1");
  const Strings battles = Query(db, "SELECT COUNT(*) FROM battles b JOIN logs l ON l.id = b.log_id"
                                    " WHERE l.file_name = 'chat_20240502.html'");
  ASSERT_EQ(battles.size(), 1u);

  const struct {
    std::string arguments;
    int status;
    std::string inErr;
  } cases[] = {
      {"--forget", 2, "--forget needs a log file"},
      {"--forget " + Quoted(dir.File("logs/chat_20240509.html")), 1,
       "error: " + dir.File("logs/chat_20240509.html") + ": not in the season history (nothing was changed)"},
      {"--forget " + Quoted(second), 0, "forgotten: " + second + " (" + battles[0] + " battles)"},
      {"--forget " + Quoted(second), 1, "not in the season history"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const test::Outcome outcome = test::RunCommand(exe + " --history " + c.arguments + program);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    EXPECT_NE(outcome.err.find(c.inErr), std::string::npos) << outcome.err;
  }
  for (const char* table : {"battles", "battle_corrections", "log_totals"}) {
    EXPECT_EQ(Query(db, std::string("SELECT COUNT(*) FROM ") + table + " WHERE log_id NOT IN (SELECT id FROM logs)"),
              Strings{"0"}) << table;
  }
  EXPECT_EQ(Query(db, "SELECT COUNT(*) FROM battle_players WHERE battle_id NOT IN (SELECT id FROM battles)"), Strings{"0"});

  // The same answers as a history that only ever had the other two.
  for (const char* name : {"Mizuto.ini", "NPCList.txt", "SkillList.txt", "ItemList.txt", "ShipList.txt"}) {
    std::filesystem::copy_file(dir.File(name), fresh.File(name));
  }
  const std::string freshProgram = " --program-dir " + Quoted(fresh.Path());
  ASSERT_EQ(test::RunCommand(exe + " --history --import " + Quoted(dir.File("logs/chat_20240501.html")) + " " +
                             Quoted(dir.File("logs/chat_20240503.html")) + freshProgram).status, 0);
  for (const char* format : {"", " --json"}) {
    const test::Outcome after = test::RunCommand(exe + " --history" + format + program);
    const test::Outcome never = test::RunCommand(exe + " --history" + format + freshProgram);
    ASSERT_EQ(after.status, 0) << after.err;
    EXPECT_EQ(after.out, never.out) << format;
  }
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

// After the settings change, --reanalyse analyses every stored log again that is still where
// it was imported from, and keeps what it has of a log that has gone; a second run finds
// nothing to do, and a folder import after a change says which logs it analysed again.
TEST(HistoryCommand, ReanalyseFollowsTheSettingsAndKeepsTheLogsThatHaveGone) {
  test::TempDir dir;
  std::filesystem::create_directories(dir.File("logs"));
  auto battle = [](const std::string& opponent, const std::string& result) {
    return test::SystemLine(opponent + "の強襲です！") + test::SystemLine(opponent + result);
  };
  const std::string kept = dir.File("logs/chat_20240501.html");
  const std::string gone = dir.File("logs/chat_20240502.html");
  test::WriteBytes(kept, battle("Ann", "に勝利しました！") + battle("海賊", "に敗北しました…") +
                             battle("Bob", "に勝利しました！"));
  test::WriteBytes(gone, battle("Cid", "に勝利しました！"));
  test::WriteBytes(dir.File("NPCList.txt"), Utf8ToSjis("海賊\r\n"));
  auto settings = [&](bool npc) {
    test::WriteBytes(dir.File("Mizuto.ini"), std::string("[Mizuto]\r\nNPC=") + (npc ? "1" : "0") + "\r\n");
  };
  const std::string history = std::string(MIZUTO_EXE) + " --history --program-dir " + Quoted(dir.Path());
  auto battles = [](const test::Outcome& run) {
    const Strings lines = Lines(run.out);
    const auto from = std::find(lines.begin(), lines.end(), "[battles]");
    const auto to = std::find(lines.begin(), lines.end(), "[summary]");
    return from < to ? static_cast<int>(to - from) - 1 : -1;
  };
  settings(false);
  const test::Outcome imported = test::RunCommand(history + " --import " + Quoted(dir.File("logs")));
  ASSERT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(battles(imported), 3);

  settings(true);
  std::filesystem::remove(gone);
  const struct {
    const char* what;
    std::string arguments;
    Strings err;
    int battles;
  } runs[] = {
      {"NPC battles included", " --reanalyse",
       {"reanalysed: " + kept + " (3 battles)", "gone: " + gone + " (its battles kept)"}, 4},
      {"again: nothing to do", " --reanalyse",
       {"unchanged: " + kept + " (3 battles)", "gone: " + gone + " (its battles kept)"}, 4},
  };
  // Windows ends a message with CR LF and names a path with its own separator.
  auto messages = [](std::string text) {
#ifdef _WIN32
    std::erase(text, '\r');
    std::replace(text.begin(), text.end(), '\\', '/');
#endif
    return Lines(text);
  };
  auto joined = [](const Strings& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.what);
    const test::Outcome outcome = test::RunCommand(history + run.arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(messages(outcome.err), messages(joined(run.err)));
    EXPECT_EQ(battles(outcome), run.battles) << outcome.out;
  }
  settings(false);
  const test::Outcome again = test::RunCommand(history + " --import " + Quoted(dir.File("logs")));
  EXPECT_EQ(messages(again.err), messages("reanalysed: " + kept + " (2 battles)\n"));
  EXPECT_EQ(battles(again), 3);
}

#ifndef _WIN32  // the system's words, links, and names Windows does not allow
// What an import could not take is named once on the error output and makes the exit
// status 1: a log that is not there, the history file itself under any of its names.
TEST(HistoryCommand, EachPathThatCannotBeImportedIsNamedOnceAndFailsTheRun) {
  test::TempDir dir;
  GenerateLogs(dir.File("logs"), dir.Path(), 1, 50, 3);
  const std::string exe = MIZUTO_EXE;
  const std::string program = " --program-dir " + Quoted(dir.Path());
  ASSERT_EQ(test::RunCommand(exe + " --history --import " + Quoted(dir.File("logs")) + program).status, 0);
  const std::string history = dir.File(kHistoryFileName);
  std::filesystem::create_symlink(history, dir.File("logs/linked.html"));
  const struct {
    std::string path;
    std::string said;  // the whole error output
  } cases[] = {
      {dir.File("missing.html"), "error: " + dir.File("missing.html") + ": No such file or directory\n"},
      {history, "error: " + history + ": the season history itself, not a log\n"},
      {dir.File("logs/linked.html"), "error: " + dir.File("logs/linked.html") + ": the season history itself, not a log\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const test::Outcome outcome = test::RunCommand(exe + " --history --import " + Quoted(c.path) + program);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, c.said);
  }
  // Neither the database nor the link became a log of the history.
  EXPECT_EQ(Query(history, "SELECT file_name FROM logs"), Strings{"chat_20240501.html"});
}

// A log's file name may hold any byte but '/': the JSON Lines stay valid UTF-8 and every
// text record stays on its line.
TEST(HistoryCommand, AFileNameOfAnyBytesKeepsEachOutputRecordWhole) {
  test::TempDir dir;
  GenerateLogs(dir.File("made"), dir.Path(), 1, 60, 3);
  std::filesystem::create_directories(dir.File("logs"));
  const std::string name = "chat_20240503_\xFF\xFE\n\t.html";
  std::filesystem::copy_file(dir.File("made/chat_20240501.html"), dir.File("logs/" + name));
  const std::string exe = MIZUTO_EXE;
  const std::string program = " --program-dir " + Quoted(dir.Path());
  const test::Outcome import = test::RunCommand(exe + " --history --import " + Quoted(dir.File("logs")) + program);
  ASSERT_EQ(import.status, 0) << import.err;
  EXPECT_EQ(Lines(import.err).size(), 1u) << import.err;
  EXPECT_EQ(import.err.rfind("imported: " + dir.File("logs/") + "chat_20240503_\xFF\xFE??.html (", 0), 0u) << import.err;

  const test::Outcome json = test::RunCommand(exe + " --history --json" + program);
  ASSERT_EQ(json.status, 0) << json.err;
  const Strings objects = Lines(json.out);
  ASSERT_GE(objects.size(), 2u);
  for (std::size_t i = 0; i + 1 < objects.size(); ++i) {
    EXPECT_NE(objects[i].find(",\"log\":\"chat_20240503_\xEF\xBF\xBD\xEF\xBF\xBD\\n\\t.html\",\"date\":\"2024-05-03\"}"),
              std::string::npos)
        << objects[i];
  }

  const test::Outcome text = test::RunCommand(exe + " --history" + program);
  ASSERT_EQ(text.status, 0) << text.err;
  const Strings lines = Lines(text.out);
  const auto logs = std::find(lines.begin(), lines.end(), "[logs]");
  const auto battles = std::find(lines.begin(), lines.end(), "[battles]");
  const auto summary = std::find(lines.begin(), lines.end(), "[summary]");
  ASSERT_EQ(battles - logs, 2) << text.out;
  EXPECT_EQ(logs[1].rfind("2024-05-03\tchat_20240503_\xFF\xFE??.html\t", 0), 0u) << logs[1];
  ASSERT_EQ(summary - battles - 1, static_cast<std::ptrdiff_t>(objects.size() - 1)) << text.out;
  for (auto row = battles + 1; row != summary; ++row) {
    EXPECT_EQ(row->rfind("2024-05-03\tchat_20240503_\xFF\xFE??.html\t", 0), 0u) << *row;
  }
}

// A folder that cannot be listed is said, and the run fails, rather than importing nothing
// in silence. As root the listing is refused by dropping the right to read any folder.
TEST(HistoryCommand, AFolderThatCannotBeReadIsNamedAndFailsTheRun) {
  test::TempDir dir;
  GenerateLogs(dir.File("logs"), dir.Path(), 2, 70, 3);
  std::filesystem::create_directories(dir.File("locked"));
  std::filesystem::copy_file(dir.File("logs/chat_20240501.html"), dir.File("locked/chat_20240509.html"));
  ASSERT_EQ(::chmod(dir.File("locked").c_str(), 0), 0);
  std::string prefix;
  if (::geteuid() == 0) {
    if (test::RunCommand("setpriv --version").status != 0) GTEST_SKIP() << "root, and no setpriv to drop the right";
    prefix = "setpriv --bounding-set -dac_override,-dac_read_search ";
  }
  const test::Outcome outcome =
      test::RunCommand(prefix + MIZUTO_EXE + " --history --import " + Quoted(dir.File("locked")) + " " +
                       Quoted(dir.File("logs")) + " --program-dir " + Quoted(dir.Path()));
  ::chmod(dir.File("locked").c_str(), 0700);
  EXPECT_EQ(outcome.status, 1);
  const Strings said = Lines(outcome.err);
  ASSERT_EQ(said.size(), 3u) << outcome.err;
  EXPECT_EQ(said[0], "error: " + dir.File("locked") + ": Permission denied");
  EXPECT_EQ(said[1].rfind("imported: " + dir.File("logs/chat_20240501.html"), 0), 0u);
  EXPECT_EQ(said[2].rfind("imported: " + dir.File("logs/chat_20240502.html"), 0), 0u);
}

// The folder listing under a limit of descriptors already reached: said as a failure, never
// taken for an empty folder.
TEST(HistoryCommand, AFolderListingOutOfDescriptorsIsAFailure) {
  test::TempDir dir;
  std::filesystem::create_directories(dir.File("logs"));
  test::WriteBytes(dir.File("logs/chat_20240501.html"), "");
  test::WriteBytes(dir.File("single.html"), "");
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
  rlimit low = old;
  low.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> held;
  for (int fd; (fd = ::dup(0)) >= 0;) held.push_back(fd);
  std::vector<UnreadPath> unread;
  const Strings files = LogFilesOf({dir.File("single.html"), dir.File("logs")}, &unread);
  for (int fd : held) ::close(fd);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &old), 0);
  EXPECT_EQ(files, Strings{dir.File("single.html")});
  ASSERT_EQ(unread.size(), 1u);
  EXPECT_EQ(unread[0].Path, dir.File("logs"));
  EXPECT_EQ(unread[0].Reason, "Too many open files");
}
#endif

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

// The figures of a [summary] line (or of the report's), in their order.
std::vector<long long> Figures(const std::string& line) {
  std::vector<long long> figures;
  for (std::size_t i = 0; i < line.size();) {
    if (line[i] < '0' || line[i] > '9') {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
    figures.push_back(std::stoll(line.substr(i, end - i)));
    i = end;
  }
  return figures;
}

// The line after `section` in `text`.
std::string LineAfter(const std::string& text, const std::string& section) {
  const Strings lines = Lines(text);
  const auto at = std::find(lines.begin(), lines.end(), section);
  return at == lines.end() || at + 1 == lines.end() ? std::string() : *(at + 1);
}

// Four imports of one folder at once leave what one would: each log once, and a summary
// that is the sum of the logs' reports.
TEST(HistoryCommand, FourImportsOfOneFolderAtOnceStoreEachLogOnce) {
  test::TempDir dir;
  GenerateLogs(dir.File("logs"), dir.Path(), 20, 900, 20);
  std::vector<long long> sum;
  for (int i = 1; i <= 20; ++i) {
    const std::string log = dir.File("logs/chat_202405") + (i < 10 ? "0" : "") + std::to_string(i) + ".html";
    const test::Outcome report =
        test::RunCommand(std::string(MIZUTO_EXE) + " --report --program-dir " + Quoted(dir.Path()) + " " + Quoted(log));
    ASSERT_EQ(report.status, 0) << report.err;
    const std::vector<long long> figures = Figures(LineAfter(report.out, "[summary]"));
    if (figures.empty()) continue;  // a log without battles has a status text there
    sum.resize(figures.size(), 0);
    for (std::size_t f = 0; f < figures.size(); ++f) sum[f] += figures[f];
  }
  ASSERT_FALSE(sum.empty());

  std::vector<std::unique_ptr<Program>> imports;
  for (int i = 0; i < 4; ++i) {
    imports.push_back(std::make_unique<Program>(
        Strings{"--history", "--program-dir", dir.Path(), "--import", dir.File("logs")}, dir, "import" + std::to_string(i)));
  }
  for (auto& import : imports) EXPECT_EQ(import->Stop(), 0) << import->Err();
  EXPECT_EQ(Query(dir.File(kHistoryFileName), "SELECT COUNT(*), COUNT(DISTINCT file_name) FROM logs"),
            Strings{"20|20"});
  const test::Outcome history = test::RunCommand(std::string(MIZUTO_EXE) + " --history --program-dir " + Quoted(dir.Path()));
  ASSERT_EQ(history.status, 0) << history.err;
  EXPECT_EQ(Figures(LineAfter(history.out, "[summary]")), sum);
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
  window.History.Enable(true);

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
    EXPECT_EQ(window.History.ErrorText(), "") << test::U(window.History.ErrorText());
  }
  App whole;
  whole.ProgramDir = dir.Path();
  StartUp(whole);
  whole.CurrentLogPath = followed;
  ASSERT_TRUE(LoadAndAnalyse(whole));
  int ended = 0;
  for (const BattleEndFigures& e : whole.History.Ends()) ended += e.Ended ? 1 : 0;
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

// A --follow started while another program holds the history's write lock prints each
// battle as it ends with the lock still held, and once the lock is gone every one of them
// joins the history, those that ended before it started too.
TEST(HistoryCommand, AFollowUnderAnotherProgramsLockPrintsAtOnceAndRecordsOnceFree) {
  test::TempDir dir;
  GenerateLogs(dir.File("logs"), dir.Path(), 1, 900, 12);
  const std::string followed = dir.File("logs/chat_20240501.html");
  const std::string bytes = test::ReadBytes(followed);
  const std::string firstHalf = bytes.substr(0, bytes.find('\n', bytes.size() / 2) + 1);
  // The battles that have ended in a part of the log, as its report sees them.
  auto endedIn = [&](const std::string& part) {
    test::WriteBytes(dir.File("part.html"), part);
    App reader;
    reader.ProgramDir = dir.Path();
    StartUp(reader);
    reader.CurrentLogPath = dir.File("part.html");
    EXPECT_TRUE(LoadAndAnalyse(reader));
    int ended = 0;
    for (const BattleEndFigures& e : reader.History.Ends()) ended += e.Ended ? 1 : 0;
    return ended;
  };
  const int endedFirst = endedIn(firstHalf), endedAll = endedIn(bytes);
  ASSERT_GT(endedFirst, 0);
  ASSERT_GT(endedAll, endedFirst);

  const std::string db = dir.File(kHistoryFileName);
  ASSERT_TRUE(OpenHistoryStore(db).Store);  // made by an earlier run
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open_v2(db.c_str(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

  test::WriteBytes(followed, firstHalf);
  Program follow({"--follow", "--interval", "10", "--program-dir", dir.Path(), followed}, dir, "follow");
  ASSERT_TRUE(WaitUntil([&] { return static_cast<int>(Lines(follow.Out()).size()) == endedFirst; })) << follow.Err();
  // The game appends: a rewrite of the whole file could be caught empty by a tick, which
  // rightly reads it again from its start.
  test::AppendBytes(followed, std::string_view(bytes).substr(firstHalf.size()));
  ASSERT_TRUE(WaitUntil([&] { return static_cast<int>(Lines(follow.Out()).size()) == endedAll; })) << follow.Err();
  // All of it printed while the lock is still held: nothing could be stored yet.
  sqlite3_stmt* count = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(other, "SELECT COUNT(*) FROM battles", -1, &count, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(count, 0), 0);
  sqlite3_finalize(count);
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);

  // Free again: the follower, still running, writes every ended battle.
  EXPECT_TRUE(WaitUntil([&] {
    return Query(db, "SELECT COUNT(*) FROM battles WHERE ended = 1") == Strings{std::to_string(endedAll)};
  }));
  EXPECT_EQ(follow.Stop(SIGTERM), 0);
  EXPECT_EQ(follow.Err(), "");
  EXPECT_EQ(Query(db, "SELECT file_name FROM logs"), Strings{"chat_20240501.html"});
}
#endif

}  // namespace
}  // namespace mizuto
