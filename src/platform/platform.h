// Everything the program asks of the operating system beyond the C++ standard library:
// opening a log without blocking, positions past 2 GiB, replacing a file atomically, the
// program's own folder, loading the window module, large zero-filled memory, and being told
// to stop. One implementation per system (platform_posix.cpp, platform_windows.cpp); the
// rest of the program never includes a system header.
//
// Paths are std::string in the file system's own spelling: UTF-8 on Linux and on Windows
// (where they are widened to UTF-16 here, so any name opens whatever the code page).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mizuto::platform {

// Closes a file when it goes out of scope.
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The characters that end a folder name in a path: Windows takes both slashes, elsewhere a
// backslash is an ordinary character of a name.
#ifdef _WIN32
inline constexpr std::string_view kPathSeparators = "/\\";
#else
inline constexpr std::string_view kPathSeparators = "/";
#endif

// A path string as the standard library's path type. On Windows std::filesystem::path
// would read a std::string in the ANSI code page, which cannot spell every name: every path
// the program builds from its own strings goes through here.
std::filesystem::path NativePath(const std::string& path);
// The other way: a path in the program's spelling (UTF-8 on Windows).
std::string PathString(const std::filesystem::path& path);

// std::fopen by the program's spelling of the path.
std::FILE* OpenFile(const std::string& path, const char* mode);

// The command line, argv[0] first, in the program's spelling: on Windows argv holds the
// ANSI code page's rendering, so the wide command line is read instead.
std::vector<std::string> Arguments(int argc, char** argv);

// Standard output passes bytes unchanged (Windows would turn LF into CR LF).
void BinaryStandardOutput();

// Opens the null device on each standard descriptor (input, output, error) that is closed,
// before the program opens anything else: a pipe or file opened later would otherwise take
// its number, and what is printed would go into it. Returns which were closed: bit 0 input,
// bit 1 output, bit 2 error. (Nothing to do on Windows, where handles are not numbered so.)
unsigned OpenClosedStandardDescriptors();
inline constexpr unsigned kStandardOutputBit = 2;

// Flushes standard output and closes it, so that a write the system accepted but could not
// complete (a full disk, a network file) is noticed. False with `error` set on failure.
bool CloseStandardOutput(std::string* error);

// What the bytes a program writes mean, for a console that takes characters, not bytes.
enum class TextBytes { kUtf8, kShiftJis };

// How many bytes at the start of `bytes` are whole characters in `encoding`; the rest is
// the start of a character whose other bytes are still to come. Malformed bytes count as
// whole (the console shows them as U+FFFD).
std::size_t WholeCharacters(std::string_view bytes, TextBytes encoding);

// The console behind standard output (1) or standard error (2) when it is a Windows
// console, which shows text by its own code page unless it is given UTF-16; nullptr for a
// file, a pipe, and everywhere a terminal takes the bytes as they are.
void* ConsoleOf(int descriptor);
// Writes `text`, whole characters in `encoding`, to `console` as UTF-16. False with `error`
// set when the console refused it.
bool WriteConsoleText(void* console, std::string_view text, TextBytes encoding, std::string* error);

// Whether the program has a console window of its own, as one started from the file
// manager (a double-click) has on Windows: nobody typed its command line, and the console
// closes as soon as it ends. False when started from a prompt, and on other systems.
bool OwnConsole();
// Waits until a key is pressed in the console (nothing without one).
void WaitForKey();

// Standard output (or error, descriptor 2) as a stream buffer that checks every write and
// keeps the system's reason for the first that failed (std::cout would only say that
// something did). A file or a pipe gets the bytes unchanged; a Windows console gets their
// characters, read as `encoding`, so that they read right whatever its code page.
class StandardOutputBuffer : public std::streambuf {
 public:
  explicit StandardOutputBuffer(int descriptor = 1, TextBytes encoding = TextBytes::kUtf8)
      : descriptor_(descriptor), encoding_(encoding), console_(ConsoleOf(descriptor)) {
    setp(buffer_, buffer_ + sizeof buffer_);
  }
  ~StandardOutputBuffer() override;
  StandardOutputBuffer(const StandardOutputBuffer&) = delete;
  StandardOutputBuffer& operator=(const StandardOutputBuffer&) = delete;

  // Empty while every write went through.
  const std::string& Failure() const { return failure_; }
  // The failure was a pipe whose reader has gone (`| head -1`): the reader's choice, not a
  // failure to report.
  bool BrokenPipe() const { return brokenPipe_; }
  // Whether the text goes to a console as characters.
  bool ToConsole() const { return console_ != nullptr; }

 protected:
  int_type overflow(int_type c) override;
  int sync() override { return Drain() ? 0 : -1; }

 private:
  bool Drain();
  bool DrainToConsole(const char* data, std::size_t size);
  int descriptor_;
  TextBytes encoding_;
  void* console_;
  std::string partial_;  // a console's character cut by the end of the buffer
  char buffer_[1 << 16];
  std::string failure_;
  bool brokenPipe_ = false;
};

// Why a file did not open for reading.
enum class OpenFailure {
  kNone,
  kMissing,         // no such file (or folder on the way)
  kFolder,          // a folder
  kNotRegularFile,  // a pipe, a device, a socket
  kAccessDenied,    // the system refused (permissions, locked)
  kOther,           // anything else: see the system's text
};
struct OpenError {
  OpenFailure Failure = OpenFailure::kNone;
  std::string SystemText;  // the system's own words (UTF-8), empty when it gave none
};

// Whether the error output is a terminal (a person watching), not a file or a pipe.
bool ErrorOutputIsTerminal();

// Opens `path` for binary reading when it is a regular file; nullptr otherwise (missing,
// unreadable, a folder, a pipe or a device), with `error` (when given) saying why. Never
// blocks. `size` receives its length.
std::FILE* OpenRegularFile(const std::string& path, std::int64_t* size, OpenError* error = nullptr);

// What reading a small file came to.
enum class SmallFileRead { Read, Missing, Unreadable, NotAFile, TooLarge };

// Reads the whole regular file at `path` into `bytes` when it holds at most `limit` bytes,
// opened as OpenRegularFile opens (a FIFO or a device is never waited on nor read). A file
// over the limit, also one that grows past it while it is read, gives TooLarge and nothing
// of it. Everything but Read and Missing sets `reason` ("path: why").
SmallFileRead ReadSmallFile(const std::string& path, std::size_t limit, std::string* bytes,
                            std::string* reason);

// Which file an open file is, as the system tells files apart: its device (volume) and its
// number there. A file renamed over another, or a copy put in its place, is another file.
struct FileIdentity {
  std::uint64_t Device = 0;
  std::uint64_t Number = 0;
  bool Known = false;  // false where the system could not tell
  bool operator==(const FileIdentity&) const = default;
};
FileIdentity IdentityOf(std::FILE* file);

// What a path names, its symbolic links followed.
enum class PathKind { Missing, RegularFile, Folder, Special, Unknown };
PathKind KindOfPath(const std::string& path);

// Whether this process may write the existing file at `path`, as its permissions (and a
// read-only file system) say; the file is not opened.
bool MayWriteFile(const std::string& path);

// An exclusive lock, held while this object lives, against every other holder of the same
// lock file in this process or another. The lock file exists only while it is held (one a
// killed holder left behind is taken over), so nothing stays behind in the user's folder.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock();
  FileLock(FileLock&& other) noexcept : path_(std::move(other.path_)), handle_(other.handle_) {
    other.handle_ = kNone;
  }
  FileLock& operator=(FileLock&&) = delete;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return handle_ != kNone; }

  // Takes the lock of `path`, waiting at most `waitMilliseconds` for another holder to let
  // it go. Not held, with `error` ("path: reason"), when it cannot be had.
  static FileLock Take(const std::string& path, int waitMilliseconds, std::string* error);

 private:
  static constexpr std::intptr_t kNone = -1;
  FileLock(std::string path, std::intptr_t handle) : path_(std::move(path)), handle_(handle) {}
  std::string path_;
  std::intptr_t handle_ = kNone;  // a descriptor, or a Windows handle
};

// Positions `file` at byte `offset` (64-bit). False when that fails.
bool Seek(std::FILE* file, std::int64_t offset);

// Replaces the file at `path` by `bytes`: a temporary file in the same folder, flushed to
// the disk, then renamed over the old one, so a failed or killed save leaves the old file
// or the new one, never a mix. The file keeps its permission bits; when `path` is a
// symbolic link the file it points to is replaced and the link stays; what an earlier,
// killed save left behind is removed. Only a regular file (or nothing) is ever replaced: a
// FIFO, a device or a folder there is refused and left as it is. False with `error`
// ("path: reason") on failure.
bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* error);

// The name of a save's temporary file for the file named `target` (a name, no folder), by
// process `pid`: ".<target>.mizuto-<pid>-<8 hex digits>.tmp", a name no person would choose,
// so that removing what killed saves left never removes a file of the user's.
std::string TemporaryName(std::string_view target, unsigned long pid);
// Whether `name` is such a temporary name for `target`; `pid` receives its process number.
bool IsTemporaryOf(std::string_view name, std::string_view target, unsigned long* pid);

// The folder of the running program, ending in a separator; `argv0` is the fallback when
// the system cannot tell.
std::string ProgramFolder(const char* argv0);

// The file name of a loadable module called `base` on this system ("base.so", "base.dll").
std::string ModuleFileName(const std::string& base);

// Whether a window can be shown at all (a display to draw on).
bool HasDisplay();

// Loads a shared module and looks up a symbol in it; nullptr with `error` set on failure.
void* LoadModule(const std::string& path, std::string* error);
void* ModuleSymbol(void* module, const char* name);

// `bytes` of zero-filled memory, reserved at once and backed only where it is touched.
// Throws std::bad_alloc when it cannot be had.
void* ReserveZeroed(std::size_t bytes);
void Release(void* memory, std::size_t bytes);
// Makes `bytes` at `memory` (from ReserveZeroed) read as zero again, handing the pages back
// to the system where it can do that.
void ZeroAgain(void* memory, std::size_t bytes);

// A hint that a large buffer would profit from large pages; nothing where unsupported.
void PreferLargePages(const void* data, std::size_t bytes);

// Stop requests for a headless run that goes on until the user ends it: Ctrl+C or a
// service manager's terminate request (interrupt and terminate signals here, a console
// control handler on Windows). ListenForStopRequests starts listening (false when it
// cannot); StopRequested is true once one came; SleepUnlessStopped sleeps, waking at once
// when a stop is requested (or was before the call).
bool ListenForStopRequests();
bool StopRequested();
void SleepUnlessStopped(int milliseconds);

}  // namespace mizuto::platform
