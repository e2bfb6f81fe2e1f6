// `mizuto --follow`: the real program following a log that grows in random pieces, checked
// against the report of the finished log.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/follow.h"
#include "support/battle_builder.h"
#include "support/test_support.h"
#include "text/codec.h"

extern char** environ;

namespace mizuto {
namespace {

// Guards against a follower that never gets there; no figure below depends on it.
constexpr auto kPatience = std::chrono::seconds(30);

bool WaitUntil(const std::function<bool()>& condition) {
  const auto end = std::chrono::steady_clock::now() + kPatience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', start)) {
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;  // a last line still being written is left out
}

// The program running in the background, its output going to files.
class Program {
 public:
  Program(const std::vector<std::string>& args, std::string outPath, std::string errPath)
      : out_(std::move(outPath)), err_(std::move(errPath)) {
    std::vector<std::string> full{MIZUTO_EXE};
    full.insert(full.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : full) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&pid_, MIZUTO_EXE, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Program() {
    if (pid_ > 0) Stop(SIGKILL);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Started() const { return pid_ > 0; }
  std::string Out() const { return test::ReadBytes(out_); }
  std::string Err() const { return test::ReadBytes(err_); }

  // Sends `signal` and waits for the end; the exit status, or -1 when killed by a signal.
  int Stop(int signal) {
    ::kill(pid_, signal);
    return Wait();
  }
  int Wait() {
    int raw = 0;
    ::waitpid(pid_, &raw, 0);
    pid_ = -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

 private:
  std::string out_;
  std::string err_;
  pid_t pid_ = -1;
};

// Runs the program to its end; its exit status and output.
struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};
Outcome RunToEnd(const std::vector<std::string>& args, const test::TempDir& dir) {
  Program program(args, dir.File("run.out"), dir.File("run.err"));
  Outcome outcome;
  outcome.status = program.Wait();
  outcome.out = program.Out();
  outcome.err = program.Err();
  return outcome;
}

// A battle list row without its counted mark: following a log leaves a battle that the game
// did not count marked so, where a full load in active mode marks it merely uncounted.
std::string WithoutMark(const std::string& row) {
  const std::size_t open = row.find('[');
  const std::size_t close = row.find(']', open);
  if (open == std::string::npos || close == std::string::npos) return row;
  return row.substr(0, open + 1) + row.substr(close);
}

// What `--report --active` says of a log: the rows of the ended battles, the summary and the
// sink counter.
struct Expected {
  std::vector<std::string> Ended;
  std::string Summary;
  std::string Counter;
};
Expected Report(const std::string& log, const test::TempDir& dir) {
  const Outcome report = RunToEnd({"--report", "--active", "--program-dir", dir.Path(), log}, dir);
  EXPECT_EQ(report.status, 0) << report.err;
  Expected expected;
  std::string section;
  for (const std::string& line : Lines(report.out)) {
    if (!line.empty() && line[0] == '[' && line.back() == ']' && line.find(' ') == std::string::npos) {
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

// The label of a JSON line, for the labels these logs hold (no escapes but \" and \\).
std::string JsonLabel(const std::string& line) {
  const std::string key = "\"label\":\"";
  const std::size_t at = line.find(key);
  if (at == std::string::npos || line.size() < 2 || line.substr(line.size() - 2) != "\"}") return "?";
  std::string label;
  for (std::size_t i = at + key.size(); i + 2 < line.size(); ++i) {
    if (line[i] == '\\') ++i;
    label += line[i];
  }
  return label;
}

class FollowTest : public ::testing::Test {
 protected:
  // A generated log with its list files; its bytes.
  std::string Generate(int seed, const std::string& extra) {
    const std::string log = dir.File("full.html");
    const std::string command = std::string(MIZUTO_LOGGEN) + " --seed " + std::to_string(seed) +
                                " --battles 10 --players 20 " + extra + " --out " + log +
                                " --program-dir " + dir.Path() + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return test::ReadBytes(log);
  }
  std::vector<std::string> Follow(const std::string& log, std::vector<std::string> options) {
    std::vector<std::string> args{"--follow", "--program-dir", dir.Path()};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(log);
    return args;
  }
  test::TempDir dir;
};

TEST_F(FollowTest, AGrowingLogEndsAsTheReportOfTheWholeLog) {
  const char* given = std::getenv("MIZUTO_TEST_SEED");
  const unsigned seed = given ? static_cast<unsigned>(std::atoi(given)) : std::random_device{}();
  SCOPED_TRACE("MIZUTO_TEST_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);

  // One log that ends between battles, one that ends inside a battle.
  for (const std::string extra : {"", "--open-battle"}) {
    SCOPED_TRACE("loggen " + extra);
    const std::string bytes = Generate(static_cast<int>(random() % 1000), extra);
    ASSERT_GT(bytes.size(), 1000u);
    const Expected expected = Report(dir.File("full.html"), dir);
    ASSERT_GE(expected.Ended.size(), 5u);

    const std::string log = dir.File("growing.html");
    std::size_t written = random() % (bytes.size() / 3);
    test::WriteBytes(log, bytes.substr(0, written));
    Program plain(Follow(log, {"--interval", "20", "--counter-file", dir.File("plain.txt")}),
                  dir.File("plain.out"), dir.File("plain.err"));
    Program json(Follow(log, {"--interval", "20", "--json", "--counter-file", dir.File("json.txt")}),
                 dir.File("json.out"), dir.File("json.err"));
    Program sjis(Follow(log, {"--interval", "20", "--encoding", "sjis"}), dir.File("sjis.out"),
                 dir.File("sjis.err"));
    ASSERT_TRUE(plain.Started() && json.Started() && sjis.Started());

    // Pieces of any size, cut anywhere: inside a line, inside a character. The pauses only
    // give the followers a chance to read the log half written; any timing must end alike.
    while (written < bytes.size()) {
      const std::size_t piece = std::min<std::size_t>(1 + random() % 1200, bytes.size() - written);
      test::AppendBytes(log, bytes.substr(written, piece));
      written += piece;
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
    }
    const std::size_t n = expected.Ended.size();
    const bool caughtUp = WaitUntil([&] {
      return Lines(plain.Out()).size() >= n && Lines(json.Out()).size() >= n &&
             Lines(sjis.Out()).size() >= n &&
             test::ReadBytes(dir.File("plain.txt")) == expected.Counter &&
             test::ReadBytes(dir.File("json.txt")) == expected.Counter;
    });
    EXPECT_TRUE(caughtUp) << "the followers did not reach the report's " << n << " battles and sink counter";

    EXPECT_EQ(plain.Stop(SIGINT), 0);
    EXPECT_EQ(json.Stop(SIGTERM), 0);
    EXPECT_EQ(sjis.Stop(SIGINT), 0);
    const std::vector<std::string> printed = Lines(plain.Out());
    const std::vector<std::string> jsonLines = Lines(json.Out());
    ASSERT_EQ(printed.size(), n + 1) << plain.Out() << plain.Err();
    ASSERT_EQ(jsonLines.size(), n + 1) << json.Out() << json.Err();
    for (std::size_t i = 0; i < n; ++i) {
      EXPECT_EQ(WithoutMark(printed[i]), WithoutMark(expected.Ended[i])) << "battle " << i + 1;
      const std::string number = "{\"number\":" + std::to_string(i + 1) + ",";
      EXPECT_EQ(jsonLines[i].substr(0, number.size()), number);
      EXPECT_EQ(WithoutMark(JsonLabel(jsonLines[i])), WithoutMark(expected.Ended[i]));
    }
    const std::vector<std::string> sjisLines = Lines(SjisToUtf8(sjis.Out()));
    ASSERT_EQ(sjisLines.size(), n + 1);
    for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(WithoutMark(sjisLines[i]), WithoutMark(printed[i]));
    // Each ends with a summary line. Its figures depend on the ticks: a battle that opens
    // and ends within one tick leaves the one before it counted, as in the window (the
    // signal test compares a summary with the report's).
    const std::regex summary(
        R"( *\d+戦 +\d+勝 +\d+敗 +\d+分\(逃げられ:\d+ 撤退:\d+\) \[クリティカル: *\d+ / *\d+\] )"
        R"(\[無駄な努力 修理: *\d+ 外科､救助: *\d+ その他: *\d+\])");
    EXPECT_TRUE(std::regex_match(printed[n], summary)) << printed[n];
    EXPECT_TRUE(std::regex_match(sjisLines[n], summary)) << sjisLines[n];
    const std::string jsonSummary = jsonLines[n];
    ASSERT_GT(jsonSummary.size(), 14u);
    EXPECT_EQ(jsonSummary.substr(0, 12), "{\"summary\":\"");
    EXPECT_TRUE(std::regex_match(jsonSummary.substr(12, jsonSummary.size() - 14), summary)) << jsonSummary;
    EXPECT_EQ(plain.Err() + json.Err() + sjis.Err(), "");
  }
}

TEST_F(FollowTest, EitherStopSignalEndsAWaitWithTheSummary) {
  Generate(11, "");
  const Expected expected = Report(dir.File("full.html"), dir);
  ASSERT_FALSE(expected.Ended.empty());
  // The log is whole from the start, so even the counted marks are the report's. The
  // interval is far longer than the test waits: the stop has to cut the sleep short.
  for (const int signal : {SIGINT, SIGTERM}) {
    Program program(Follow(dir.File("full.html"), {"--interval", "600000"}), dir.File("stop.out"),
                    dir.File("stop.err"));
    ASSERT_TRUE(WaitUntil([&] { return Lines(program.Out()).size() == expected.Ended.size(); }));
    EXPECT_EQ(program.Stop(signal), 0) << signal;
    std::vector<std::string> want = expected.Ended;
    want.push_back(expected.Summary);
    EXPECT_EQ(Lines(program.Out()), want) << signal;
    EXPECT_EQ(program.Err(), "");
  }
}

TEST_F(FollowTest, ALogThatGoesAwayIsReportedOnceAndFollowedWhenBack) {
  const std::string bytes = Generate(23, "");
  const Expected whole = Report(dir.File("full.html"), dir);
  // The first part ends at a line end after half of the log.
  const std::size_t cut = bytes.find('\n', bytes.size() / 2) + 1;
  const std::string log = dir.File("log.html");
  test::WriteBytes(log, bytes.substr(0, cut));
  const Expected part = Report(log, dir);
  ASSERT_LT(part.Ended.size(), whole.Ended.size());

  Program program(Follow(log, {"--interval", "10"}), dir.File("gone.out"), dir.File("gone.err"));
  ASSERT_TRUE(WaitUntil([&] { return Lines(program.Out()).size() == part.Ended.size(); }));
  std::remove(log.c_str());
  ASSERT_TRUE(WaitUntil([&] { return program.Err() == "File Open Error\n"; }));
  // Some more ticks find no log; they say nothing more.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // The log comes back as it was, and longer: following resumes where it stopped.
  test::WriteBytes(log, bytes);
  ASSERT_TRUE(WaitUntil([&] { return Lines(program.Out()).size() == whole.Ended.size(); }))
      << program.Out();
  EXPECT_EQ(program.Stop(SIGTERM), 0);
  const std::vector<std::string> printed = Lines(program.Out());
  ASSERT_EQ(printed.size(), whole.Ended.size() + 1);
  for (std::size_t i = 0; i < whole.Ended.size(); ++i) {
    EXPECT_EQ(WithoutMark(printed[i]), WithoutMark(whole.Ended[i])) << "battle " << i + 1;
  }
  EXPECT_EQ(program.Err(), "File Open Error\n");
}

TEST_F(FollowTest, ArgumentsHelpAndExitStatus) {
  test::WriteBytes(dir.File("log.html"), test::SayLine("hello"));
  const std::string log = dir.File("log.html");
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* out;  // expected within standard output
    const char* err;  // expected within the error output
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
      {{"--follow", dir.File("missing.html")}, 1, "", "File Open Error\n"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    const Outcome run = RunToEnd(c.args, dir);
    EXPECT_EQ(run.status, c.status) << shown << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << shown << run.out;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << shown << run.err;
    if (c.status != 0) {
      EXPECT_EQ(run.out, "") << shown;
    }
  }
  // The help names every option of every mode.
  const std::string help = RunToEnd({"--help"}, dir).out;
  for (const char* option : {"--program-dir", "--screenshot", "--quit-after-load", "--active",
                             "--avg-hit-down", "--avg-skill-item", "--detail", "--encoding",
                             "--interval", "--counter-file", "--json"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

TEST(FollowJson, TextIsEscapedAndFieldsNamed) {
  test::TempDir dir;
  App app;
  test::SetUpApp(app, dir);
  test::BattleBuilder build(app);
  const int b = build.Battle(kVictory, 1);
  BattleRecord& r = app.Battles[static_cast<std::size_t>(b)];
  r.ClassWord = 0x010201;  // medium, real battle, an NPC fleet
  r.Admiral = build.Name("a\"b\\c");
  r.Opponent = build.Name("鬼\t丸\x01\x7f");
  app.BattleList.Replace(b, BattleLabel(app, b));
  EXPECT_EQ(EndedBattleJson(app, b, 2, 1),
            "{\"number\":1,\"kind\":\"engagement\",\"type\":\"real\",\"ship_class\":\"medium\","
            "\"npc\":true,\"admiral\":\"a\\\"b\\\\c\",\"opponent\":\"鬼\\t丸\\u0001\\u007f\","
            "\"result\":\"victory\",\"own_down\":2,\"enemy_down\":1,\"counted\":true,"
            "\"label\":\"実戦中[集]  1戦目 a\\\"b\\\\c              交戦 → ○ : "
            "鬼\\t丸\\u0001\\u007f (NPC) \"}");
  // A battle without a named opponent, of a kind and result out of the tables.
  r.Opponent = -1;
  r.Kind = 9;
  r.Result = 7;
  r.TallyState = 0;
  const std::string json = EndedBattleJson(app, b, 0, 0);
  EXPECT_NE(json.find("\"kind\":null,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"opponent\":null,\"result\":null,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"counted\":false,"), std::string::npos) << json;
}

}  // namespace
}  // namespace mizuto
