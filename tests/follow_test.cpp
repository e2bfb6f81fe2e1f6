// `mizuto --follow`: the real program following a log that grows in random pieces, checked
// against the report of the finished log.
#include <gtest/gtest.h>

#include <signal.h>
#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/modes/follow.h"
#include "support/battle_builder.h"
#include "support/test_support.h"
#include "text/codec.h"

#include "support/background_program.h"

namespace mizuto {
namespace {

using Strings = test::Strings;
using test::Lines;
using test::Program;
using test::WaitUntil;

// A battle list row without its counted mark: a follower prints a row when its battle ends,
// when it is the newest and counted; the report shows the marks the later battles left.
std::string WithoutMark(const std::string& row) {
  const std::size_t open = row.find('[');
  const std::size_t close = row.find(']', open);
  return close == std::string::npos ? row : row.substr(0, open + 1) + row.substr(close);
}

// What `--report --active` says of a log: the ended battles' rows, the summary, the counter.
struct Expected {
  Strings Ended;
  std::string Summary, Counter;
};
Expected Report(const std::string& log, const test::TempDir& dir) {
  Program report({"--report", "--active", "--program-dir", dir.Path(), log}, dir, "report");
  EXPECT_EQ(report.Stop(), 0) << report.Err();
  Expected expected;
  std::string section;
  for (const std::string& line : Lines(report.Out())) {
    if (std::regex_match(line, std::regex(R"(\[[a-z-]+\])"))) {
      section = line;
    } else if (section == "[battles]" && line.find("戦闘中") == std::string::npos) {
      expected.Ended.push_back(line);
    } else if (section == "[summary]") {
      expected.Summary = line;
    } else if (section == "[sink-counter]") {
      expected.Counter = line;
    }
  }
  return expected;
}

class FollowTest : public ::testing::Test {
 protected:
  std::string Generate(unsigned seed, const std::string& extra) {  // the log's bytes
    const std::string log = dir.File("full.html");
    const std::string command = std::string(MIZUTO_LOGGEN) + " --seed " + std::to_string(seed) +
                                " --battles 10 --players 20 " + extra + " --out " + log +
                                " --program-dir " + dir.Path();
    EXPECT_EQ(test::RunCommand(command).status, 0);
    return test::ReadBytes(log);
  }
  Strings Follow(const std::string& log, Strings options) {
    options.insert(options.begin(), {"--follow", "--program-dir", dir.Path()});
    options.push_back(log);
    return options;
  }
  test::TempDir dir;
};

TEST_F(FollowTest, AGrowingLogEndsAsTheReportOfTheWholeLog) {
  SKIP_WITHOUT_STOP_SIGNALS();
  const char* given = std::getenv("MIZUTO_TEST_SEED");
  const unsigned seed = given ? static_cast<unsigned>(std::atoll(given)) : std::random_device{}();
  SCOPED_TRACE("MIZUTO_TEST_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  const std::regex summary(
      R"( *\d+戦 +\d+勝 +\d+敗 +\d+分\(逃げられ:\d+ 撤退:\d+\) \[クリティカル: *\d+ / *\d+\] )"
      R"(\[無駄な努力 修理: *\d+ 外科､救助: *\d+ その他: *\d+\])");

  // Logs that end between battles and one that ends inside a battle. The JSON follower
  // reads less often, so battles start and end between two of its reads.
  const struct {
    const char* extra;
    const char* jsonInterval;
  } runs[] = {{"", "20"}, {"", "150"}, {"", "400"}, {"--open-battle", "150"}};
  for (const auto& [extra, jsonInterval] : runs) {
    const std::string bytes = Generate(random() % 1000, extra);
    const Expected expected = Report(dir.File("full.html"), dir);
    const std::size_t n = expected.Ended.size();
    ASSERT_GE(n, 5u) << extra;

    const std::string log = dir.File("growing.html");
    std::size_t written = random() % (bytes.size() / 3);
    // A follower that starts on a log holding only its header says that no chat line could
    // be read, as for any such log; start past the first chat line so that the error output
    // has nothing to say.
    const std::size_t firstChat = bytes.find('\n', bytes.find("<FONT"));
    ASSERT_NE(firstChat, std::string::npos);
    written = std::max(written, firstChat + 1);
    test::WriteBytes(log, bytes.substr(0, written));
    Program plain(Follow(log, {"--interval", "20", "--counter-file", dir.File("plain.txt")}), dir, "plain");
    Program json(Follow(log, {"--interval", jsonInterval, "--json", "--counter-file", dir.File("json.txt")}), dir,
                 "json");
    // Pieces of any size, cut anywhere: inside a line, inside a character. The pauses only
    // let the followers read the log half written; any timing must end alike.
    while (written < bytes.size()) {
      const std::size_t piece = std::min<std::size_t>(1 + random() % 1200, bytes.size() - written);
      test::AppendBytes(log, bytes.substr(written, piece));
      written += piece;
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
    }
    EXPECT_TRUE(WaitUntil([&] {
      return Lines(plain.Out()).size() >= n && Lines(json.Out()).size() >= n &&
             test::ReadBytes(dir.File("plain.txt")) == expected.Counter &&
             test::ReadBytes(dir.File("json.txt")) == expected.Counter;
    })) << extra << ": the followers did not reach the report's battles and sink counter";
    EXPECT_EQ(plain.Stop(SIGINT), 0);
    EXPECT_EQ(json.Stop(SIGTERM), 0);

    const Strings printed = Lines(plain.Out());
    const Strings objects = Lines(json.Out());
    ASSERT_EQ(printed.size(), n + 1) << extra << "\n" << plain.Out();
    ASSERT_EQ(objects.size(), n + 1) << extra << "\n" << json.Out();
    for (std::size_t i = 0; i < n; ++i) {
      // A row is printed when its battle ends, counted then; the report shows the marks
      // after the last battle.
      EXPECT_EQ(WithoutMark(printed[i]), WithoutMark(expected.Ended[i])) << extra << " battle " << i + 1;
      // The logs' names hold nothing that JSON escapes.
      const std::string prefix = "{\"number\":" + std::to_string(i + 1) + ",";
      const std::size_t label = objects[i].find("\"label\":\"");
      ASSERT_EQ(objects[i].substr(0, prefix.size()), prefix);
      ASSERT_NE(label, std::string::npos);
      EXPECT_EQ(WithoutMark(objects[i].substr(label + 9, objects[i].size() - label - 11)),
                WithoutMark(expected.Ended[i]));
    }
    if (std::string(extra).empty()) {
      // However the reads fell, only the newest battle is counted at the end, as in the
      // report. (A log ending inside a battle may be stopped before its last lines are read.)
      EXPECT_EQ(printed[n], expected.Summary) << "read every " << jsonInterval << " ms";
      EXPECT_EQ(objects[n], "{\"summary\":\"" + expected.Summary + "\"}") << "read every " << jsonInterval << " ms";
    } else {
      EXPECT_TRUE(std::regex_match(printed[n], summary)) << printed[n];
      EXPECT_EQ(objects[n].substr(0, 12), "{\"summary\":\"");
    }
    EXPECT_EQ(plain.Err() + json.Err(), "");
  }
}

TEST_F(FollowTest, EitherStopSignalCutsTheWaitShortAndEndsWithTheSummary) {
  SKIP_WITHOUT_STOP_SIGNALS();
  Generate(11, "");
  const Expected expected = Report(dir.File("full.html"), dir);
  Strings want = expected.Ended;
  want.push_back(expected.Summary);
  // The log is whole from the start, so even the counted marks are the report's. The
  // interval is far longer than the test waits for the end.
  for (const auto& [signal, encoding] : {std::pair{SIGINT, "utf-8"}, std::pair{SIGTERM, "sjis"}}) {
    Program program(Follow(dir.File("full.html"), {"--interval", "600000", "--encoding", encoding}),
                    dir, "stop");
    ASSERT_TRUE(WaitUntil([&] { return Lines(program.Out()).size() == expected.Ended.size(); }));
    EXPECT_EQ(program.Stop(signal), 0) << encoding;
    const std::string out = program.Out();
    EXPECT_EQ(Lines(encoding == std::string("sjis") ? SjisToUtf8(out) : out), want) << encoding;
    EXPECT_EQ(program.Err(), "");
  }
}

TEST_F(FollowTest, ALogThatGoesAwayIsReportedOnceAndFollowedWhenBack) {
  SKIP_WITHOUT_STOP_SIGNALS();
  const std::string bytes = Generate(23, "");
  const Expected whole = Report(dir.File("full.html"), dir);
  const std::string log = dir.File("log.html");
  test::WriteBytes(log, bytes.substr(0, bytes.find('\n', bytes.size() / 2) + 1));
  const Expected half = Report(log, dir);
  ASSERT_LT(half.Ended.size(), whole.Ended.size());

  Program program(Follow(log, {"--interval", "10"}), dir, "gone");
  ASSERT_TRUE(WaitUntil([&] { return Lines(program.Out()).size() == half.Ended.size(); }));
  // Moved away (a player tidying the folder), then back.
  ASSERT_EQ(std::rename(log.c_str(), (log + ".away").c_str()), 0);
  const std::string gone = "File Open Error: " + log + ": No such file or directory\n";
  ASSERT_TRUE(WaitUntil([&] { return program.Err() == gone; })) << program.Err();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // more ticks without a log
  // The same file comes back, longer: following goes on where it stopped. (Another file
  // put there, even a copy of it, would be read again from its start.)
  test::WriteBytes(log + ".away", bytes);
  ASSERT_EQ(std::rename((log + ".away").c_str(), log.c_str()), 0);
  ASSERT_TRUE(WaitUntil([&] { return Lines(program.Out()).size() == whole.Ended.size(); }));
  EXPECT_EQ(program.Stop(SIGTERM), 0);
  const Strings printed = Lines(program.Out());
  ASSERT_EQ(printed.size(), whole.Ended.size() + 1);
  for (std::size_t i = 0; i < whole.Ended.size(); ++i) {
    EXPECT_EQ(WithoutMark(printed[i]), WithoutMark(whole.Ended[i])) << "battle " << i + 1;
  }
  EXPECT_EQ(program.Err(), gone);
}

// Settings and a list as FIFOs nobody writes to: the follower neither waits on them nor
// swallows the stop request; it says which files it could not read and goes on without.
TEST_F(FollowTest, FifosAsSettingsAndListsNeitherHangNorSwallowTheStop) {
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs are POSIX's (a named pipe is no log: chat_log_reader_test)";
#else
  Generate(11, "");
  for (const char* name : {"Mizuto.ini", "ShipList.txt"}) {
    std::remove(dir.File(name).c_str());
    ASSERT_EQ(::mkfifo(dir.File(name).c_str(), 0600), 0);
  }
  const Expected expected = Report(dir.File("full.html"), dir);
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    Program program(Follow(dir.File("full.html"), {"--interval", "600000"}), dir, "fifo");
    ASSERT_TRUE(WaitUntil([&] { return Lines(program.Out()).size() >= 1; })) << program.Err();
    EXPECT_EQ(program.Stop(signal), 0);
    EXPECT_EQ(program.Err(), dir.File("Mizuto.ini") + ": not a regular file\n" + dir.File("ShipList.txt") +
                                 ": not a regular file\n");
    EXPECT_EQ(Lines(program.Out()).back(), expected.Summary);
  }
#endif
}

// Closed standard descriptors are given the null device before anything is opened: the
// stop request's wake pipe must not take their numbers (the labels would go into it, and
// the wait would never sleep). A closed standard output is an output failure.
TEST_F(FollowTest, ClosedStandardDescriptorsAreTakenByNothingElse) {
#ifdef _WIN32
  GTEST_SKIP() << "descriptor numbers and /proc are POSIX's";
#else
  Generate(11, "");
  const Expected expected = Report(dir.File("full.html"), dir);
  const std::string out = dir.File("closed.out");
  const std::string script =
      std::string(MIZUTO_EXE) + " --follow --interval 600000 --program-dir " + dir.Path() + " " + dir.File("full.html") +
      " <&- 2>&- >" + out + " & pid=$!; n=0; until [ -s " + out + " ] || [ $n -ge 3000 ]; do sleep 0.01; n=$((n+1)); done; " +
      "echo $(readlink /proc/$pid/fd/0) $(readlink /proc/$pid/fd/2); kill -TERM $pid; wait $pid; echo $?";
  const test::Outcome run = test::RunCommand(script);
  EXPECT_EQ(run.out, "/dev/null /dev/null\n0\n");
  const Strings printed = Lines(test::ReadBytes(out));
  ASSERT_FALSE(printed.empty());
  EXPECT_EQ(printed.size(), expected.Ended.size() + 1);
  EXPECT_EQ(printed.back(), expected.Summary);
#endif
}

// A stop request that comes before the program listens (here: held back by a blocked
// signal until then) still ends it with the summary, not the signal's default death.
TEST_F(FollowTest, AStopRequestedBeforeListeningStillEndsWithTheSummary) {
#ifdef _WIN32
  GTEST_SKIP() << "stop requests are signals only on POSIX";
#else
  Generate(11, "");
  const Expected expected = Report(dir.File("full.html"), dir);
  const std::string out = dir.File("early.out");
  std::string self = MIZUTO_EXE;
  std::vector<std::string> args = {self, "--follow", "--interval", "600000", "--program-dir", dir.Path(),
                                   dir.File("full.html")};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGTERM);
  posix_spawnattr_setsigmask(&attributes, &stops);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, self.c_str(), &files, &attributes, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  ::kill(pid, SIGTERM);  // pending from the first instruction on
  const bool ended = WaitUntil([&] {
    const Strings lines = Lines(test::ReadBytes(out));
    return !lines.empty() && lines.back() == expected.Summary;
  });
  if (!ended) ::kill(pid, SIGKILL);
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  EXPECT_TRUE(ended);
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << raw;
#endif
}

// The file at the followed path is cut and rewritten with a shorter log, then replaced by a
// longer one: each time the follower says so once and follows the new log from its start,
// its battles printed from the first and numbered from 1, as a new start would print them.
TEST_F(FollowTest, AReplacedOrTruncatedLogIsSaidOnceAndFollowedFromItsStart) {
  SKIP_WITHOUT_STOP_SIGNALS();
  const std::string c = Generate(43, "");
  const std::string b = Generate(42, "");
  const std::string a = Generate(41, "");  // the lists are this log's, for all three
  const std::string shortB = b.substr(0, b.find('\n', b.size() / 3) + 1);
  ASSERT_LT(shortB.size(), a.size());
  ASSERT_GT(c.size(), shortB.size());
  const std::string log = dir.File("log.html");
  // Each new file takes the path at once, as a rename puts it there.
  auto put = [&](const std::string& bytes) {
    test::WriteBytes(dir.File("next.html"), bytes);
    std::filesystem::rename(dir.File("next.html"), log);
  };
  std::vector<Expected> expected;
  for (const std::string* bytes : {&a, &shortB, &c}) {
    put(*bytes);
    expected.push_back(Report(log, dir));
  }
  ASSERT_FALSE(expected[1].Ended.empty());

  put(a);
  Program program(Follow(log, {"--interval", "10"}), dir, "replaced");
  std::size_t shown = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (i > 0) put(i == 1 ? shortB : c);
    shown += expected[i].Ended.size();
    ASSERT_TRUE(WaitUntil([&] { return Lines(program.Out()).size() == shown; })) << "log " << i << "\n" << program.Out();
  }
  EXPECT_EQ(program.Stop(SIGTERM), 0);
  const Strings printed = Lines(program.Out());
  ASSERT_EQ(printed.size(), shown + 1);
  std::size_t at = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    for (const std::string& row : expected[i].Ended) {
      EXPECT_EQ(WithoutMark(printed[at]), WithoutMark(row)) << "log " << i << ", line " << at;
      ++at;
    }
  }
  // (The other error lines are the analysis' own: logs B and C name skills that A's lists
  // do not hold.)
  const Strings said = Lines(program.Err());
  EXPECT_EQ(std::count(said.begin(), said.end(), "Log Replaced or Truncated: read again from its start"), 2);
}

TEST_F(FollowTest, ArgumentsHelpAndExitStatus) {
  const std::string log = dir.File("log.html");
  test::WriteBytes(log, test::SayLine("hello"));
  struct Case {
    Strings args;
    int status;
    const char* out;  // found in the standard output
    const char* err;  // found in the error output
  };
  const Case cases[] = {
      {{"--help"}, 0, "--counter-file FILE", ""},
      {{"-h"}, 0, "--detail all|N", ""},
      {{"--report", "--help"}, 0, "mizuto --follow [--program-dir DIR]", ""},
      {{"--follow", "--json", "--help"}, 0, "mizuto --report [--program-dir DIR]", ""},
      {{"--follow"}, 2, "", "no log file named\nusage: mizuto --follow"},
      {{"--follow", "--interval", "9", log}, 2, "", "at least 10"},
      {{"--follow", "--interval", "1e3", log}, 2, "", "at least 10"},
      {{"--follow", "--interval"}, 2, "", "--interval needs a value"},
      {{"--follow", "--json", "--encoding", "sjis", log}, 2, "", "--json writes UTF-8"},
      {{"--follow", "--encoding", "latin1", log}, 2, "", "utf-8 or sjis"},
      {{"--follow", "--bogus", log}, 2, "", "unknown option --bogus"},
      {{"--follow", log, log}, 2, "", "only one log"},
      {{"--follow", dir.File("missing.html")}, 1, "", "File Open Error: "},
  };
  for (const Case& c : cases) {
    Program run(c.args, dir, "run");
    const std::string shown = c.args[0] + " " + c.args.back();
    EXPECT_EQ(run.Stop(), c.status) << shown << run.Err();
    EXPECT_NE(run.Out().find(c.out), std::string::npos) << shown << run.Out();
    EXPECT_NE(run.Err().find(c.err), std::string::npos) << shown << run.Err();
    if (c.status != 0) {
      EXPECT_EQ(run.Out(), "") << shown;
    }
  }
  Program help({"--help"}, dir, "help");
  help.Stop();
  for (const char* option : {"--program-dir", "--active", "--avg-hit-down", "--avg-skill-item", "--interval",
                             "--json"}) {
    EXPECT_NE(help.Out().find(option), std::string::npos) << option;
  }
  // The window's options only where there is a window.
#ifdef MIZUTO_WINDOW
  constexpr bool kWindow = true;
#else
  constexpr bool kWindow = false;
#endif
  for (const char* option : {"--screenshot", "--quit-after-load"}) {
    EXPECT_EQ(help.Out().find(option) != std::string::npos, kWindow) << option;
  }
}

// One counted victory, straight in the tables of an App set up as the program sets it up.
class FollowJson : public ::testing::Test {
 protected:
  void SetUp() override {
    test::SetUpApp(app, dir);
    build.emplace(app);
    b = build->Battle(BattleResult::Victory, test::kCounted);
  }
  BattleRecord& Record() { return app.Battles[static_cast<std::size_t>(b)]; }
  test::TempDir dir;
  App app;
  std::optional<test::BattleBuilder> build;
  int b = 0;
};

TEST_F(FollowJson, TextIsEscapedAndFieldsNamed) {
  BattleRecord& r = Record();
  r.Class = BattleClass{ShipSize::Medium, BattleType::Real, true};
  r.Admiral = build->Name("a\"b\\c");
  r.Opponent = build->Name("鬼\t丸\x01\x7f");
  app.BattleList.Replace(b, BattleLabel(app, b));
  EXPECT_EQ(EndedBattleJson(app, b, 2, 1),
            "{\"number\":1,\"kind\":\"engagement\",\"type\":\"real\",\"ship_class\":\"medium\","
            "\"npc\":true,\"admiral\":\"a\\\"b\\\\c\",\"opponent\":\"鬼\\t丸\\u0001\\u007f\","
            "\"result\":\"victory\",\"own_down\":2,\"enemy_down\":1,\"counted\":true,"
            "\"label\":\"実戦中[集]  1戦目 a\\\"b\\\\c              交戦 → ○ : "
            "鬼\\t丸\\u0001\\u007f (NPC) \"}");
  // No named opponent; a kind and a result beyond the tables.
  r.Opponent = -1;
  r.Kind = KindFromStored(9);
  r.Result = ResultFromStored(7);
  r.Tally = test::kUncounted;
  EXPECT_NE(EndedBattleJson(app, b, 0, 0).find(
                "\"kind\":null,\"type\":\"real\",\"ship_class\":\"medium\",\"npc\":true,"
                "\"admiral\":\"a\\\"b\\\\c\",\"opponent\":null,\"result\":null,\"own_down\":0,"
                "\"enemy_down\":0,\"counted\":false,"),
            std::string::npos);
}

// Each result, kind, type and ship class has a keyword of its own: two swapped would pass
// unseen by a reader that only counts lines.
TEST_F(FollowJson, EachResultKindTypeAndShipClassHasItsOwnKeyword) {
  BattleRecord& r = Record();
  const struct {
    std::function<void(BattleRecord&)> set;
    const char* field;  // as the line must hold it
  } cases[] = {
      {[](BattleRecord& x) { x.Result = BattleResult::Defeat; }, "\"result\":\"defeat\""},
      {[](BattleRecord& x) { x.Result = BattleResult::Victory; }, "\"result\":\"victory\""},
      {[](BattleRecord& x) { x.Result = BattleResult::Escaped; }, "\"result\":\"escaped\""},
      {[](BattleRecord& x) { x.Result = BattleResult::Withdrawn; }, "\"result\":\"withdrawn\""},
      {[](BattleRecord& x) { x.Result = BattleResult::Draw; }, "\"result\":\"draw\""},
      {[](BattleRecord& x) { x.Kind = BattleKind::Assault; }, "\"kind\":\"assault\""},
      {[](BattleRecord& x) { x.Kind = BattleKind::Engagement; }, "\"kind\":\"engagement\""},
      {[](BattleRecord& x) { x.Kind = BattleKind::Reinforcement; }, "\"kind\":\"reinforcement\""},
      {[](BattleRecord& x) { x.Kind = BattleKind::Camp; }, "\"kind\":\"camp\""},
      {[](BattleRecord& x) { x.Class.Type = BattleType::Naval; }, "\"type\":\"naval\""},
      {[](BattleRecord& x) { x.Class.Type = BattleType::Mock; }, "\"type\":\"mock\""},
      {[](BattleRecord& x) { x.Class.Type = BattleType::Real; }, "\"type\":\"real\""},
      {[](BattleRecord& x) { x.Class.Type = BattleType::Camp; }, "\"type\":\"camp\""},
      {[](BattleRecord& x) { x.Class.Size = ShipSize::Small; }, "\"ship_class\":\"small\""},
      {[](BattleRecord& x) { x.Class.Size = ShipSize::Medium; }, "\"ship_class\":\"medium\""},
      {[](BattleRecord& x) { x.Class.Size = ShipSize::Large; }, "\"ship_class\":\"large\""},
      {[](BattleRecord& x) { x.Class.Size = ShipSize::None; }, "\"ship_class\":\"none\""},
  };
  for (const auto& c : cases) {
    c.set(r);
    const std::string line = EndedBattleJson(app, b, 0, 0);
    EXPECT_NE(line.find(c.field), std::string::npos) << c.field << " in " << line;
  }
}

// A JSON string is UTF-8 whatever it was given: a byte that begins no well-formed sequence
// becomes U+FFFD, a well-formed one is kept as it is.
TEST(JsonStringTest, IsValidUtf8WhateverTheBytes) {
  const struct {
    std::string bytes;
    std::string json;
  } cases[] = {
      {"plain", "\"plain\""},
      {"鬼丸.html", "\"鬼丸.html\""},
      {"bad\xFF\xFE.html", "\"bad\xEF\xBF\xBD\xEF\xBF\xBD.html\""},
      {"\xC0\xB1", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                 // an overlong form
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // a surrogate
      {"\xE9\xAC", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                 // a character cut short
      {"\x8B\x53\x81\x40", "\"\xEF\xBF\xBDS\xEF\xBF\xBD@\""},       // Shift-JIS taken for UTF-8
      {"\xF0\x9F\x9A\xA2\n", "\"\xF0\x9F\x9A\xA2\\n\""},
  };
  for (const auto& c : cases) EXPECT_EQ(JsonString(c.bytes), c.json) << c.bytes;
}

}  // namespace
}  // namespace mizuto
