#ifndef _WIN32

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>
#include <thread>

#include "platform/platform.h"
#include "platform/save_target.h"

namespace mizuto::platform {
namespace {

namespace fs = std::filesystem;

// How often a lock's waiter looks again, and how long a holder that let go keeps away.
constexpr std::chrono::milliseconds kLookAgain{1};
constexpr std::chrono::milliseconds kLetWaiterIn{5};

}  // namespace

unsigned long CurrentProcessNumber() { return static_cast<unsigned long>(::getpid()); }

bool ProcessGone(unsigned long pid) {
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

fs::path NativePath(const std::string& path) { return fs::path(path); }

std::string PathString(const fs::path& path) { return path.string(); }

std::FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void BinaryStandardOutput() {}

// A terminal here takes the bytes, and shows them by its own locale.
void* ConsoleOf(int) { return nullptr; }
bool WriteConsoleText(void*, std::string_view, TextBytes, std::string* error) {
  if (error) *error = "no console on this system";
  return false;
}
bool OwnConsole() { return false; }
void WaitForKey() {}

unsigned OpenClosedStandardDescriptors() {
  unsigned closed = 0;
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is this one: those below it are open by now.
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) ::close(opened);
    closed |= 1u << fd;
  }
  return closed;
}

bool ErrorOutputIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::FILE* OpenRegularFile(const std::string& path, std::int64_t* size, OpenError* error) {
  auto fail = [error](OpenFailure failure, int code) -> std::FILE* {
    if (error) {
      error->Failure = failure;
      error->SystemText = code != 0 ? std::strerror(code) : "";
    }
    return nullptr;
  };
  // A FIFO would block in the open call; O_NONBLOCK lets it return, and the check below
  // turns it away with everything else that is no regular file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int code = errno;
    if (code == ENOENT || code == ENOTDIR) return fail(OpenFailure::kMissing, code);
    if (code == EACCES || code == EPERM) return fail(OpenFailure::kAccessDenied, code);
    if (code == EISDIR) return fail(OpenFailure::kFolder, code);
    return fail(OpenFailure::kOther, code);
  }
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    const int code = errno;
    ::close(fd);
    return fail(OpenFailure::kOther, code);
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return S_ISDIR(info.st_mode) ? fail(OpenFailure::kFolder, EISDIR) : fail(OpenFailure::kNotRegularFile, 0);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, "rb");
  if (f == nullptr) {
    const int code = errno;
    ::close(fd);
    return fail(OpenFailure::kOther, code);
  }
  *size = static_cast<std::int64_t>(info.st_size);
  return f;
}

FileIdentity IdentityOf(std::FILE* file) {
  struct stat info;
  if (::fstat(::fileno(file), &info) != 0) return {};
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino), true};
}

PathKind KindOfPath(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return errno == ENOENT ? PathKind::Missing : PathKind::Unknown;
  if (S_ISREG(info.st_mode)) return PathKind::RegularFile;
  return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::Special;
}

bool MayWriteFile(const std::string& path) {
  // Asked, not tried: opening and closing a file of which this process holds POSIX locks
  // (a database) would let go of every one of them.
  return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

FileLock::~FileLock() {
  if (handle_ == kNone) return;
  // Removed while still held: a waiter that then gets the lock of the removed file sees
  // that the path no longer names it and takes the path's new one.
  ::unlink(path_.c_str());
  ::close(static_cast<int>(handle_));
  // A waiter looks again every few milliseconds: a holder that took the lock again at once
  // (registering many names in a row) would otherwise keep it from the waiter until it has
  // done, however long that takes.
  std::this_thread::sleep_for(kLetWaiterIn);
}

FileLock FileLock::Take(const std::string& path, int waitMilliseconds, std::string* error) {
  auto fail = [&](const std::string& reason) {
    if (error) *error = path + ": " + reason;
    return FileLock();
  };
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(waitMilliseconds);
  for (;;) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return fail(std::strerror(errno));
    struct stat held;
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      ::close(fd);
      return fail(kNotARegularFile);
    }
    // flock, not fcntl: its lock belongs to this open file, so two holders in one process
    // exclude each other too, and closing another descriptor of the file does not drop it.
    int locked;
    while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (locked == 0) {
      struct stat named;
      if (::stat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
        return FileLock(path, fd);
      }
      ::close(fd);  // the holder before removed it: the path's file now is the lock
      continue;
    }
    const int code = errno;
    ::close(fd);
    if (code != EWOULDBLOCK) return fail(std::strerror(code));
    if (Clock::now() >= end) return fail("held by another program for too long");
    std::this_thread::sleep_for(kLookAgain);
  }
}

bool Seek(std::FILE* file, std::int64_t offset) {
  return offset >= 0 && ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* error) {
  const fs::path target = SaveTarget(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path();
  std::string temp;
  auto fail = [&](int code) {
    if (error) *error = path + ": " + std::strerror(code ? code : EIO);
    return false;
  };
  // Only a regular file is replaced: a rename over a FIFO or a device (as root, over
  // /dev/full itself) would put our file in its place.
  struct stat old;
  const bool hadFile = ::stat(target.c_str(), &old) == 0;
  if (!hadFile && errno != ENOENT) return fail(errno);
  if (hadFile && !S_ISREG(old.st_mode)) {
    if (error) *error = path + ": " + kNotARegularFile;
    return false;
  }
  const mode_t mode = hadFile ? (old.st_mode & 07777) : 0666;
  // A new name each time, created only when nothing is there (a link is never followed).
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 8; ++attempt) {
    temp = (folder / TemporaryName(target.filename().string(), static_cast<unsigned long>(::getpid()))).string();
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return fail(errno);
  int savedErrno = 0;
  if (hadFile && ::fchmod(fd, mode) != 0) savedErrno = errno;
  for (std::size_t done = 0; savedErrno == 0 && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno != EINTR) savedErrno = errno;
    } else {
      done += static_cast<std::size_t>(n);
    }
  }
  if (savedErrno == 0 && ::fsync(fd) != 0) savedErrno = errno;
  if (::close(fd) != 0 && savedErrno == 0) savedErrno = errno;
  if (savedErrno == 0 && std::rename(temp.c_str(), target.c_str()) != 0) savedErrno = errno;
  if (savedErrno != 0) {
    std::remove(temp.c_str());
    return fail(savedErrno);
  }
  RemoveStaleTemporaries(target);
  return true;
}

std::string ProgramFolder(const char* argv0) {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string path = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string(argv0 ? argv0 : "");
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ModuleFileName(const std::string& base) { return base + ".so"; }

bool HasDisplay() {
  return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
}

void* LoadModule(const std::string& path, std::string* error) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr && error) *error = ::dlerror();
  return handle;
}

void* ModuleSymbol(void* module, const char* name) { return ::dlsym(module, name); }

void* ReserveZeroed(std::size_t bytes) {
  void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) throw std::bad_alloc();
  return block;
}

void Release(void* memory, std::size_t bytes) { ::munmap(memory, bytes); }

void ZeroAgain(void* memory, std::size_t bytes) {
#ifdef __linux__
  // Linux hands back private anonymous pages and reads them as zero pages again; elsewhere
  // (or should it refuse) they are cleared by hand.
  if (::madvise(memory, bytes, MADV_DONTNEED) == 0) return;
#endif
  std::memset(memory, 0, bytes);
}

void PreferLargePages(const void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kLarge = 2u << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kLarge - 1) & ~(kLarge - 1);
  const std::uintptr_t last = (begin + bytes) & ~(kLarge - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

namespace {

volatile std::sig_atomic_t stopRequested = 0;
// The handler writes a byte here, so a sleep waiting on the other end wakes even when the
// signal comes between the check of the flag and the start of the wait.
int wakeRead = -1;
int wakeWrite = -1;

extern "C" void OnStopSignal(int) {
  const int savedErrno = errno;
  stopRequested = 1;
  if (wakeWrite >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &byte, 1);
  }
  errno = savedErrno;
}

}  // namespace

bool ListenForStopRequests() {
  // Once only: a second call would put the handler back after a first request had reset
  // it, and a second Ctrl+C would no longer end a hanging tick.
  static bool listening = false;
  if (listening) return true;
  if (wakeRead < 0) {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    for (const int fd : fds) {
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    wakeRead = fds[0];
    wakeWrite = fds[1];
  }
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // Reads and writes in progress carry on (a line half written to a pipe would be lost);
  // the wait is a poll, which a signal always interrupts. A second request finds the
  // default action again and ends the program at once, should a tick hang.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0) return false;
  // A caller may have started the program with these blocked: a request made before now
  // (or any later) must reach the handler all the same.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  listening = ::sigprocmask(SIG_UNBLOCK, &stops, nullptr) == 0;
  return listening;
}

bool StopRequested() { return stopRequested != 0; }

void SleepUnlessStopped(int milliseconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (!StopRequested()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (left.count() <= 0) return;
    if (wakeRead < 0) {
      std::this_thread::sleep_for(left);  // not listening: a plain sleep
      continue;
    }
    pollfd wake{wakeRead, POLLIN, 0};
    ::poll(&wake, 1, static_cast<int>(left.count()));
  }
}

}  // namespace mizuto::platform

#endif  // !_WIN32
