// The settings and list files beside the program, and the program's own output, when they
// are not what they should be: a FIFO, a link to an endless device, a folder, a file far too
// large, a full disk, a closed descriptor. Nothing may hang, nothing may be half-read, and a
// failure is said, never passed off as success. The real executable, run by a shell.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "app/parts/ini_file.h"
#include "app/owner/result_views.h"
#include "battle/reference_lists.h"
#include "platform/platform.h"
#include "support/background_program.h"
#include "support/test_support.h"

namespace mizuto {
namespace {

namespace fs = std::filesystem;
using test::Outcome;

constexpr const char* kProgramFiles[] = {"Mizuto.ini", "NPCList.txt", "SkillList.txt", "ItemList.txt",
                                         "ShipList.txt"};

// The [errors] section of a report, and the report without it.
std::string Section(const std::string& report, const std::string& name) {
  const std::size_t at = report.find("[" + name + "]\n");
  if (at == std::string::npos) return "<no section " + name + ">";
  const std::size_t end = report.find("\n[", at + 1);
  return report.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
}
std::string WithoutErrors(const std::string& report) {
  std::string rest = report;
  const std::string errors = Section(report, "errors");
  const std::size_t at = rest.find(errors);
  if (at != std::string::npos) rest.erase(at, errors.size());
  return rest;
}

class HostileFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const Outcome gen = test::RunCommand(std::string(MIZUTO_LOGGEN) + " --seed 11 --battles 6 --players 12 --out " +
                                         log_ + " --program-dir " + good.Path());
    ASSERT_EQ(gen.status, 0) << gen.err;
  }
  // A report on the generated log with the program folder `dir`; on POSIX under a watchdog,
  // so a program that would hang fails the case instead of the whole run.
  Outcome Report(const test::TempDir& dir, const std::string& redirect = "") const {
#ifdef _WIN32
    const std::string guard;
#else
    const std::string guard = "timeout -s KILL 60 ";
#endif
    return test::RunCommand(guard + MIZUTO_EXE + " --report --program-dir " + dir.Path() + " " + log_ + redirect);
  }
  // A program folder holding the generated list files and settings, but `name` made `kind`.
  bool MakeHostile(const test::TempDir& dir, const std::string& name, const std::string& kind) const {
    for (const char* file : kProgramFiles) {
      if (fs::exists(good.File(file))) fs::copy_file(good.File(file), dir.File(file));
    }
    const std::string path = dir.File(name);
    fs::remove(path);
    if (kind == "folder") {
      fs::create_directory(path);
    } else if (kind == "over 16 MiB") {
      test::WriteBytes(path, "[Mizuto]\r\nUserName=x\r\n");
      fs::resize_file(path, (std::uintmax_t{16} << 20) + 1);
#ifndef _WIN32
    } else if (kind == "FIFO") {
      return ::mkfifo(path.c_str(), 0600) == 0;
    } else if (kind == "link to /dev/zero") {
      fs::create_symlink("/dev/zero", path);
    } else if (kind == "mode 0200") {
      test::WriteBytes(path, "x\r\n");
      return ::chmod(path.c_str(), 0200) == 0;
#endif
    } else {
      return false;
    }
    return true;
  }

  test::TempDir good;
  std::string log_ = good.File("chat.html");
};

// Each of the five files as each kind of hostile file: the report ends, says in its error
// section which file and why, and is otherwise the report without that file.
TEST_F(HostileFilesTest, SettingsAndListsThatCannotBeReadAreReportedAndReadAsMissing) {
  std::vector<std::string> kinds = {"folder", "over 16 MiB"};
#ifndef _WIN32
  kinds.insert(kinds.end(), {"FIFO", "link to /dev/zero"});
  // Root reads a file whatever its permission bits say.
  if (::geteuid() != 0) kinds.push_back("mode 0200");
#endif
  for (const char* name : kProgramFiles) {
    test::TempDir missing;
    ASSERT_TRUE(MakeHostile(missing, name, "folder"));
    fs::remove(missing.File(name));
    const Outcome without = Report(missing);
    ASSERT_EQ(without.status, 0) << without.err;
    for (const std::string& kind : kinds) {
      SCOPED_TRACE(std::string(name) + " as " + kind);
      test::TempDir dir;
      ASSERT_TRUE(MakeHostile(dir, name, kind));
      const Outcome run = Report(dir);
      ASSERT_EQ(run.status, 0) << run.err;
      const std::string errors = Section(run.out, "errors");
      EXPECT_NE(errors.find("\n" + dir.File(name) + ": "), std::string::npos) << errors;
      EXPECT_EQ(WithoutErrors(run.out), WithoutErrors(without.out));
      if (kind == "over 16 MiB") {
        EXPECT_NE(errors.find("larger than 16 MiB"), std::string::npos) << errors;
        EXPECT_EQ(fs::file_size(dir.File(name)), (std::uintmax_t{16} << 20) + 1);
      }
    }
  }
}

// Output that cannot be written whole is a failure with an exit status of its own, said
// once on the error output; a reader that stops reading (a broken pipe) is no failure.
TEST_F(HostileFilesTest, OutputThatCannotBeWrittenIsReportedWithStatusThree) {
#ifdef _WIN32
  GTEST_SKIP() << "needs a POSIX shell, /dev/full and file size limits";
#else
  const std::string report = std::string(MIZUTO_EXE) + " --report --detail all --program-dir " + good.Path() + " " + log_;
  const std::string follow = std::string(MIZUTO_EXE) + " --follow --interval 10 --program-dir " + good.Path() + " " + log_;
  const std::string partial = good.File("partial.txt");
  const std::string exe = MIZUTO_EXE;
  const std::string full = "mizuto: the output could not be written (No space left on device)\n";
  const std::string closed = "mizuto: the standard output is closed\n";
  const struct {
    const char* what;
    std::string command;
    int status;
    const char* err;  // the error output, whole
  } cases[] = {
      {"report to /dev/full", report + " >/dev/full", 3, "mizuto: the output could not be written (No space left on device)\n"},
      {"report to a closed output", report + " >&-", 3, "mizuto: the standard output is closed\n"},
      // A file size limit stands in for a full disk: the first 4 KiB are written, the rest
      // is refused (the signal the limit sends is ignored, as it is by most shells' jobs).
      {"report to a disk that fills", "trap '' XFSZ; ulimit -f 8; " + report + " >" + partial, 3,
       "mizuto: the output could not be written (File too large)\n"},
      {"report into a pipe closed early", report + " | head -c 10 >/dev/null", 0, ""},
      {"follow to /dev/full", "timeout -s KILL 60 " + follow + " >/dev/full", 3,
       "mizuto: the output could not be written (No space left on device)\n"},
      {"follow to a closed output", "timeout -s KILL 60 " + follow + " >&-", 3,
       "mizuto: the standard output is closed\n"},
      // The usage and the version are the whole output of their runs.
      {"help to /dev/full", exe + " --help >/dev/full", 3, full.c_str()},
      {"version to /dev/full", exe + " --version >/dev/full", 3, full.c_str()},
      {"follow's help to /dev/full", exe + " --follow --help >/dev/full", 3, full.c_str()},
      {"the window's help to /dev/full", exe + " --no-history --help >/dev/full", 3, full.c_str()},
      {"help to a closed output", exe + " --help >&-", 3, closed.c_str()},
      {"version to a closed output", exe + " --version >&-", 3, closed.c_str()},
      {"follow's help to a closed output", exe + " --follow --help >&-", 3, closed.c_str()},
      {"the window's help to a closed output", exe + " --no-history --help >&-", 3, closed.c_str()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome run = test::RunCommand(c.command);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err, c.err);
  }
  EXPECT_EQ(fs::file_size(partial), 4096u);
#endif
}

// Where the counter file or the CSV export would go there is a FIFO or a device: it is
// refused, said once with its path, and left as it was; following goes on.
TEST_F(HostileFilesTest, ASpecialFileWhereOutputGoesIsRefusedAndLeftAsItWas) {
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs and device nodes are POSIX's";
#else
  const struct {
    const char* what;
    mode_t type;
    bool linked;
  } cases[] = {
      {"a FIFO", S_IFIFO, false},
      {"a device node", S_IFCHR, false},
      {"a link to a FIFO", S_IFIFO, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    const std::string node = dir.File("node");
    if (::mknod(node.c_str(), c.type | 0666, c.type == S_IFCHR ? makedev(1, 7) : 0) != 0) {
      GTEST_SKIP() << "cannot make " << c.what << " here (a device node needs root)";
    }
    const std::string path = c.linked ? dir.File("score.txt") : node;
    if (c.linked) fs::create_symlink(node, path);
    const std::string said = "mizuto: " + path + ": not a regular file, left as it is\n";
    // Stopped once it has refused the file and ticked on; the summary goes to the output.
    // (Stopped by what it said, not after a fixed time: under the sanitizers a busy machine
    // may take seconds to reach the point where a stop is heard.)
    test::Program follow({"--follow", "--no-history", "--interval", "10", "--counter-file", path, "--program-dir",
                          good.Path(), log_},
                         dir, "follow");
    EXPECT_TRUE(test::WaitUntil([&] { return follow.Err().find(said) != std::string::npos; })) << follow.Err();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a few more ticks
    EXPECT_EQ(follow.Stop(SIGTERM), 0);
    const std::string err = follow.Err();
    EXPECT_NE(err.find(said), std::string::npos) << err;
    EXPECT_EQ(err.find(said), err.rfind(said)) << "said once: " << err;

    App app;
    test::SetUpApp(app, good);
    app.CsvPath = path;
    std::string error;
    EXPECT_FALSE(SaveTallyCsv(app, &error));
    EXPECT_EQ(error + "\n", said.substr(8));

    struct stat after;
    ASSERT_EQ(::lstat(node.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & S_IFMT, c.type);
    EXPECT_EQ(fs::is_symlink(path), c.linked);
  }
#endif
}

// A log that gives no chat line: the report is what the window shows (no battle data), and
// the error output says why that may be.
TEST_F(HostileFilesTest, ALogWithoutAnyChatLineIsHintedAtOnTheErrorOutput) {
  const std::string other = good.File("other.html");
  test::WriteBytes(other, "<FONT color=\"#80AAFF\">" + test::S("強襲です") + "</FONT><BR>\r\n");
  const Outcome run = test::RunCommand(std::string(MIZUTO_EXE) + " --report --program-dir " + good.Path() + " " + other);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(Section(run.out, "summary"), "[summary]\n戦闘データはありません\n");
  std::string err = run.err;
  std::erase(err, '\r');
  EXPECT_EQ(err, "チャットの行が一つも読み取れません（ログは UTF-8 として読みます）\n");
}

#if defined(__SANITIZE_ADDRESS__)
#define MIZUTO_UNDER_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MIZUTO_UNDER_ADDRESS_SANITIZER 1
#endif
#endif

#if !defined(_WIN32) && !defined(MIZUTO_UNDER_ADDRESS_SANITIZER)
// The data segment's size now#ifndef _WIN32
// The data segment's size now (heap and private mappings), in bytes.
std::size_t DataBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmData:", 0) == 0) return std::stoul(line.substr(7)) * 1024;
  }
  return 0;
}

// Runs `work` in a child whose data may grow by at most `growth` bytes: true when it ran to
// its end within that.
bool RunsWithin(std::size_t growth, const std::function<bool()>& work) {
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit limit{DataBytes() + growth, RLIM_INFINITY};
    if (::setrlimit(RLIMIT_DATA, &limit) != 0) ::_exit(3);
    try {
      ::_exit(work() ? 0 : 2);
    } catch (const std::bad_alloc&) {
      ::_exit(1);
    }
  }
  int raw = 0;
  ::waitpid(child, &raw, 0);
  return WIFEXITED(raw) && WEXITSTATUS(raw) == 0;
}
#endif

// A settings file and an NPC list just under the limit, of short lines (the costliest kind
// per byte): reading, looking up, writing back take at most three times the file's size.
TEST(LargeFilesTest, ASettingsFileAndAListUnderTheLimitCostAtMostThreeTimesTheirSize) {
#if defined(_WIN32)
  GTEST_SKIP() << "the memory limit is set through POSIX's setrlimit";
#elif defined(MIZUTO_UNDER_ADDRESS_SANITIZER)
  GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine and maps its own: the bound "
                  "holds for the program, not for the sanitizer's allocator";
#else
  test::TempDir dir;
  std::string ini = "[Mizuto]\r\n", npc;
  for (int i = 0; ini.size() + 16 < kMaxProfileFileBytes; ++i) ini += "k" + std::to_string(i % 100000) + "=1\r\n";
  for (int i = 0; npc.size() + 16 < kMaxListFileBytes; ++i) npc += "NPC" + std::to_string(i % 100000) + "\r\n";
  test::WriteBytes(dir.File("Mizuto.ini"), ini);
  test::WriteBytes(dir.File("NPCList.txt"), npc);
  const std::size_t slack = std::size_t{4} << 20;  // the work's own small needs

  EXPECT_TRUE(RunsWithin(3 * ini.size() + slack, [&] {
    ProfileFile file;
    if (file.Load(dir.File("Mizuto.ini")) != ProfileFile::LoadResult::Read) return false;
    if (file.ReadInteger("Mizuto", "k99999", 0) != 1) return false;
    file.WriteInteger("Mizuto", "Top", 5);
    file.Write("Other", "Key", "value");
    return platform::ReplaceFile(dir.File("Mizuto.ini"), file.Bytes(), nullptr);
  }));
  // (Compared whole, not printed: 16 MiB would flood the failure message.)
  EXPECT_TRUE(test::ReadBytes(dir.File("Mizuto.ini")) == ini + "Top=5\r\n\r\n[Other]\r\nKey=value\r\n");

  EXPECT_TRUE(RunsWithin(3 * npc.size() + slack, [&] {
    ReferenceLists lists;
    lists.Load(dir.Path());
    return lists.NpcNames.size() > 1000000 && !lists.PassesNpcFilter("xNPC4242y", false) &&
           lists.PassesNpcFilter("NPx", false);
  }));
#endif
}

// Memory running out is said as such, with an exit status of its own: the log may be fine.
TEST_F(HostileFilesTest, RunningOutOfMemoryIsSaidWithAStatusOfItsOwn) {
#if defined(_WIN32) || defined(MIZUTO_UNDER_ADDRESS_SANITIZER)
  GTEST_SKIP() << "needs a POSIX shell's address-space limit, which the sanitizer's own mappings exceed";
#else
  const std::string big = good.File("big.html");
  {
    std::string bytes = test::ReadBytes(log_);
    std::ofstream out(big, std::ios::binary);
    for (std::size_t written = 0; written < (std::size_t{200} << 20); written += bytes.size()) out << bytes;
  }
  const Outcome run = test::RunCommand("ulimit -v 200000; " + std::string(MIZUTO_EXE) + " --report --program-dir " +
                                       good.Path() + " " + big + " >/dev/null");
  fs::remove(big);
  EXPECT_EQ(run.status, 4);
  std::string err = run.err;
  std::erase(err, '\r');
  EXPECT_EQ(err, "mizuto: メモリが足りません (out of memory)\n");
#endif
}

}  // namespace
}  // namespace mizuto
