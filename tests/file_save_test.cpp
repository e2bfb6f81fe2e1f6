// Saving a file replaces it whole or not at all, and changes nothing else about it.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <process.h>
#include <windows.h>
// windows.h names its own ReplaceFile a macro; ours is a function of this namespace.
#undef ReplaceFile
#else
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "platform/platform.h"
#include "support/test_basics.h"

namespace mizuto {
namespace {

namespace fs = std::filesystem;

std::size_t EntryCount(const std::string& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator{}));
}

#ifdef _WIN32
long CurrentPid() { return ::_getpid(); }

// A process that exists but does nothing: this test program, started suspended.
PROCESS_INFORMATION StartIdleProcess() {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring line = L"idle";
  STARTUPINFOW start{};
  start.cb = sizeof start;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &start,
                        &process)) {
    ADD_FAILURE() << "cannot start a process: " << ::GetLastError();
  }
  return process;
}

void EndProcess(const PROCESS_INFORMATION& process) {
  ::TerminateProcess(process.hProcess, 0);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
}

// The number of a process that has ended, for a temporary file a killed save left.
long DeadPid() {
  const PROCESS_INFORMATION process = StartIdleProcess();
  EndProcess(process);
  return static_cast<long>(process.dwProcessId);
}
#else
long CurrentPid() { return ::getpid(); }

// The number of a process that has ended, for a temporary file a killed save left.
long DeadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}
#endif

TEST(FileSaveTest, KeepsModeAndFollowsLinks) {
#ifdef _WIN32
  GTEST_SKIP() << "permission bits and symbolic links are POSIX's (attributes: the next test)";
#else
  test::TempDir dir;
  std::string error;

  const std::string ini = dir.File("Mizuto.ini");
  test::WriteBytes(ini, "old");
  ASSERT_EQ(::chmod(ini.c_str(), 0600), 0);
  ASSERT_TRUE(platform::ReplaceFile(ini, "new", &error)) << error;
  struct stat info;
  ASSERT_EQ(::stat(ini.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(test::ReadBytes(ini), "new");

  // A list kept elsewhere and linked into the program folder: the link stays a link and
  // the file it points to gets the new list (through a relative link and a chain).
  fs::create_directory(dir.File("shared"));
  const std::string real = dir.File("shared/NPCList.txt");
  test::WriteBytes(real, "old list");
  fs::create_symlink("shared/NPCList.txt", dir.File("middle.txt"));
  fs::create_symlink(dir.File("middle.txt"), dir.File("NPCList.txt"));
  ASSERT_TRUE(platform::ReplaceFile(dir.File("NPCList.txt"), "new list", &error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir.File("NPCList.txt")));
  EXPECT_TRUE(fs::is_symlink(dir.File("middle.txt")));
  EXPECT_EQ(test::ReadBytes(real), "new list");
  EXPECT_EQ(EntryCount(dir.File("shared")), 1u);
#endif
}

// The replaced file has the old one's mode whatever the process's umask would give a new
// file: a mode the umask takes bits from must be put back.
TEST(FileSaveTest, KeepsTheModeWhateverTheUmask) {
#ifdef _WIN32
  GTEST_SKIP() << "permission bits are POSIX's";
#else
  test::TempDir dir;
  const std::string path = dir.File("Mizuto.ini");
  for (const mode_t mask : {mode_t{022}, mode_t{077}}) {
    for (const mode_t mode : {mode_t{0600}, mode_t{0644}, mode_t{0664}, mode_t{0666}}) {
      char shown[40];
      std::snprintf(shown, sizeof shown, "umask %03o, mode %04o", static_cast<unsigned>(mask), static_cast<unsigned>(mode));
      SCOPED_TRACE(shown);
      test::WriteBytes(path, "old");
      ASSERT_EQ(::chmod(path.c_str(), mode), 0);
      const mode_t before = ::umask(mask);
      std::string error;
      const bool replaced = platform::ReplaceFile(path, "new", &error);
      ::umask(before);
      ASSERT_TRUE(replaced) << error;
      struct stat info;
      ASSERT_EQ(::stat(path.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 07777, mode);
      EXPECT_EQ(test::ReadBytes(path), "new");
    }
  }
#endif
}

#ifdef _WIN32
TEST(FileSaveTest, KeepsAttributes) {
  test::TempDir dir;
  const std::string ini = dir.File("Mizuto.ini");
  const std::wstring wide = platform::NativePath(ini).native();
  test::WriteBytes(ini, "old");
  ASSERT_TRUE(::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  std::string error;
  ASSERT_TRUE(platform::ReplaceFile(ini, "new", &error)) << error;
  EXPECT_EQ(::GetFileAttributesW(wide.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(test::ReadBytes(ini), "new");
}
#endif

TEST(FileSaveTest, ClearsWhatKilledSavesLeft) {
  test::TempDir dir;
  std::string error;
  // Saves that were killed before their rename left temporary files; the next save removes
  // them, but not one of a process that still runs, nor another file's, nor any file whose
  // name merely looks like a temporary one to a person (a user's "chat.csv.tmp2024").
#ifdef _WIN32
  const PROCESS_INFORMATION running = StartIdleProcess();
  const long livePid = static_cast<long>(running.dwProcessId);
#else
  const long livePid = 1;  // process 1 always runs
#endif
  const long deadPid = DeadPid();
  const std::string csv = dir.File("chat.csv");
  const struct {
    std::string name;
    bool removed;
  } cases[] = {
      {".chat.csv.mizuto-" + std::to_string(deadPid) + "-0badf00d.tmp", true},
      {".chat.csv.mizuto-" + std::to_string(CurrentPid()) + "-12345678.tmp", true},
      {".chat.csv.mizuto-" + std::to_string(livePid) + "-0badf00d.tmp", false},
      {".other.csv.mizuto-" + std::to_string(deadPid) + "-0badf00d.tmp", false},
      {"chat.csv.tmp" + std::to_string(deadPid), false},
      {"chat.csv.tmp2024", false},
      {".chat.csv.mizuto-" + std::to_string(deadPid) + "-0badf00d.tmp.bak", false},
      {".chat.csv.mizuto-" + std::to_string(deadPid) + ".tmp", false},
      {".chat.csv.mizuto-x-0badf00d.tmp", false},
  };
  for (const auto& c : cases) test::WriteBytes(dir.File(c.name), "half");
  ASSERT_TRUE(platform::ReplaceFile(csv, "a,b\r\n", &error)) << error;
  for (const auto& c : cases) EXPECT_EQ(fs::exists(dir.File(c.name)), !c.removed) << c.name;
  EXPECT_EQ(test::ReadBytes(csv), "a,b\r\n");
#ifdef _WIN32
  EndProcess(running);
#endif
}

// Failures that a test running as root can bring about. (A full disk is covered by the
// settings tests through a file size limit; a read-only file system cannot be had here
// without mounting one.)
TEST(FileSaveTest, ASaveThatCannotCompleteReportsAndLeavesTheOldFile) {
  test::TempDir dir;
  test::WriteBytes(dir.File("file"), "x");
  const std::string target = dir.File("NPCList.txt");
  test::WriteBytes(target, "old");
  const struct {
    const char* what;
    std::string path;
    std::string prepare;  // a folder to create first
  } cases[] = {
      {"the target's folder is a file", dir.File("file/NPCList.txt"), ""},
      {"a name too long for the file system", dir.File(std::string(300, 'n')), ""},
      // The target's name fits the file system; the temporary file's longer one does not.
      {"the temporary file cannot be created", dir.File(std::string(240, 't')), ""},
      {"the target is a folder", dir.File("folder"), dir.File("folder")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.prepare.empty()) fs::create_directory(c.prepare);
    std::string error;
    EXPECT_FALSE(platform::ReplaceFile(c.path, "new", &error));
    EXPECT_NE(error.find(c.path), std::string::npos) << error;
    EXPECT_EQ(test::ReadBytes(target), "old");
    if (!c.prepare.empty()) fs::remove(c.prepare);
  }
  EXPECT_EQ(EntryCount(dir.Path()), 2u) << "nothing left behind";
}

// Only a regular file, or nothing, is ever replaced: a FIFO or a device where a counter
// file or a CSV export goes (also behind a link) is refused, named, and left exactly as it
// was; nothing is left beside it.
TEST(FileSaveTest, WhatIsNoRegularFileIsRefusedAndLeftAsItWas) {
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs and device nodes are POSIX's";
#else
  const struct {
    const char* what;
    mode_t type;  // what is made at `node`: S_IFIFO, S_IFCHR or S_IFDIR
    bool linked;  // the save is to a link to it
  } cases[] = {
      {"a FIFO", S_IFIFO, false},
      {"a character device", S_IFCHR, false},
      {"a folder", S_IFDIR, false},
      {"a link to a FIFO", S_IFIFO, true},
      {"a link to a character device", S_IFCHR, true},
  };
  const dev_t full = makedev(1, 7);  // the numbers of the system's full device
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    const std::string node = dir.File("node");
    if (c.type == S_IFDIR) {
      fs::create_directory(node);
    } else if (::mknod(node.c_str(), c.type | 0666, c.type == S_IFCHR ? full : 0) != 0) {
      GTEST_SKIP() << "cannot make " << c.what << " here (a device node needs root)";
    }
    const std::string path = c.linked ? dir.File("counter.txt") : node;
    if (c.linked) fs::create_symlink("node", path);
    std::string error;
    EXPECT_FALSE(platform::ReplaceFile(path, "味方 1 - 0 敵", &error));
    EXPECT_EQ(error, path + ": not a regular file, left as it is");
    struct stat after;
    ASSERT_EQ(::lstat(node.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & S_IFMT, c.type);
    if (c.type == S_IFCHR) {
      EXPECT_EQ(after.st_rdev, full);
    }
    EXPECT_EQ(fs::is_symlink(path), c.linked);
    EXPECT_EQ(EntryCount(dir.Path()), c.linked ? 2u : 1u) << "nothing left beside it";
  }
#endif
}

// A save killed at any moment leaves the old file or the new one, never a mix.
TEST(FileSaveTest, AKilledSaveLeavesTheOldOrTheNewFile) {
#ifdef _WIN32
  GTEST_SKIP() << "needs fork() to kill a save at a random moment";
#else
  test::TempDir dir;
  const std::string path = dir.File("Mizuto.ini");
  const std::string oldBytes(1 << 20, 'o');
  const std::string newBytes(1 << 20, 'n');
  test::WriteBytes(path, oldBytes);
  const unsigned seed = ::testing::UnitTest::GetInstance()->random_seed();
  std::mt19937 rng(seed);
  for (int round = 0; round < 12; ++round) {
    const pid_t child = ::fork();
    if (child == 0) {
      for (;;) platform::ReplaceFile(path, (rng() & 1) ? newBytes : oldBytes, nullptr);
    }
    ::usleep(500 + rng() % 20000);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const std::string now = test::ReadBytes(path);
    ASSERT_TRUE(now == oldBytes || now == newBytes) << "seed " << seed << " round " << round;
  }
  // The next save clears what the killed ones left.
  ASSERT_TRUE(platform::ReplaceFile(path, "done", nullptr));
  EXPECT_EQ(EntryCount(dir.Path()), 1u);
#endif
}

}  // namespace
}  // namespace mizuto
