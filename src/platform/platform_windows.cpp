#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>
// windows.h names its own ReplaceFile a macro; ours is a function of this namespace.
#undef ReplaceFile

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "platform/platform.h"
#include "platform/save_target.h"

namespace mizuto::platform {
namespace {

namespace fs = std::filesystem;

// The program's strings are UTF-8; the system's wide functions want UTF-16. Malformed
// UTF-8 becomes U+FFFD rather than failing the whole name.
std::wstring Widen(std::string_view text) {
  if (text.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
  std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr,
                          nullptr);
  }
  return text;
}

// The system's own words for an error code, without the line end it appends.
std::string ErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = n > 0 ? Narrow(std::wstring_view(buffer, n)) : std::string();
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return text.empty() ? "error " + std::to_string(code) : text;
}

}  // namespace

unsigned long CurrentProcessNumber() { return ::GetCurrentProcessId(); }

bool ProcessGone(unsigned long pid) {
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return ::GetLastError() == ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool ended = ::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  ::CloseHandle(process);
  return ended;
}

fs::path NativePath(const std::string& path) { return fs::path(Widen(path)); }

std::string PathString(const fs::path& path) { return Narrow(path.native()); }

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return ::_wfopen(Widen(path).c_str(), Widen(mode).c_str());
}

std::vector<std::string> Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(Narrow(wide[i]));
  ::LocalFree(wide);
  return args;
}

bool ErrorOutputIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void* ConsoleOf(int descriptor) {
  const intptr_t handle = ::_get_osfhandle(descriptor);
  if (handle == -1 || handle == -2) return nullptr;
  DWORD mode = 0;
  // Only a console answers GetConsoleMode; a file, a pipe or NUL does not.
  return ::GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode) ? reinterpret_cast<void*>(handle) : nullptr;
}

bool WriteConsoleText(void* console, std::string_view text, TextBytes encoding, std::string* error) {
  const UINT codePage = encoding == TextBytes::kShiftJis ? 932 : CP_UTF8;
  std::wstring wide;
  if (!text.empty()) {
    const int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    wide.assign(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  }
  // Older consoles refuse a large write at once: pieces of a few thousand characters.
  constexpr std::size_t kPiece = 8192;
  for (std::size_t at = 0; at < wide.size();) {
    std::size_t count = std::min(kPiece, wide.size() - at);
    // A surrogate pair stays in one piece.
    if (count < wide.size() - at && wide[at + count - 1] >= 0xD800 && wide[at + count - 1] <= 0xDBFF) --count;
    DWORD written = 0;
    if (!::WriteConsoleW(static_cast<HANDLE>(console), wide.data() + at, static_cast<DWORD>(count), &written,
                         nullptr) ||
        written == 0) {
      if (error) *error = ErrorText(::GetLastError());
      return false;
    }
    at += written;
  }
  return true;
}

bool OwnConsole() {
  // A console made for this program lists only it; one of a prompt lists the prompt too.
  DWORD processes[2];
  return ::GetConsoleProcessList(processes, 2) == 1;
}

void WaitForKey() {
  HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == INVALID_HANDLE_VALUE || input == nullptr || !::GetConsoleMode(input, &mode)) return;
  INPUT_RECORD record;
  DWORD read = 0;
  while (::ReadConsoleInputW(input, &record, 1, &read) && read == 1) {
    if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
  }
}

void BinaryStandardOutput() {
  std::fflush(stdout);
  ::_setmode(::_fileno(stdout), _O_BINARY);
}

unsigned OpenClosedStandardDescriptors() { return 0; }

std::FILE* OpenRegularFile(const std::string& path, std::int64_t* size, OpenError* error) {
  auto fail = [error](OpenFailure failure, DWORD code) -> std::FILE* {
    if (error) {
      error->Failure = failure;
      error->SystemText = code != 0 ? ErrorText(code) : std::string();
    }
    return nullptr;
  };
  const std::wstring wide = Widen(path);
  // The game keeps writing its log while it is read: share it for writing. A folder does
  // not open without backup semantics; a pipe or a device opens but is no disk file.
  HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME) {
      return fail(OpenFailure::kMissing, code);
    }
    // A folder is refused as if access were denied.
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return fail(OpenFailure::kFolder, 0);
    }
    if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) {
      return fail(OpenFailure::kAccessDenied, code);
    }
    return fail(OpenFailure::kOther, code);
  }
  BY_HANDLE_FILE_INFORMATION info;
  LARGE_INTEGER length;
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    ::CloseHandle(h);
    return fail(OpenFailure::kNotRegularFile, 0);
  }
  if (!::GetFileInformationByHandle(h, &info) || !::GetFileSizeEx(h, &length)) {
    const DWORD code = ::GetLastError();
    ::CloseHandle(h);
    return fail(OpenFailure::kOther, code);
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    ::CloseHandle(h);
    return fail(OpenFailure::kFolder, 0);
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(h);
    return fail(OpenFailure::kOther, ERROR_TOO_MANY_OPEN_FILES);
  }
  std::FILE* f = ::_fdopen(fd, "rb");
  if (f == nullptr) {
    ::_close(fd);
    return fail(OpenFailure::kOther, ERROR_NOT_ENOUGH_MEMORY);
  }
  *size = static_cast<std::int64_t>(length.QuadPart);
  return f;
}

FileIdentity IdentityOf(std::FILE* file) {
  const HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
  BY_HANDLE_FILE_INFORMATION info;
  if (h == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(h, &info)) return {};
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
}

PathKind KindOfPath(const std::string& path) {
  // No access asked: a file another program holds opens all the same, and a folder opens
  // with backup semantics. A device name (NUL, COM1) opens as a device.
  HANDLE h = ::CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? PathKind::Missing : PathKind::Unknown;
  }
  PathKind kind = PathKind::Special;
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileType(h) == FILE_TYPE_DISK) {
    if (!::GetFileInformationByHandle(h, &info)) {
      kind = PathKind::Unknown;
    } else {
      kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder : PathKind::RegularFile;
    }
  }
  ::CloseHandle(h);
  return kind;
}

bool MayWriteFile(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

FileLock::~FileLock() {
  if (handle_ == kNone) return;
  // Closing the only handle deletes the file (it was opened to be deleted on close).
  ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  // A waiter looks again every few milliseconds: a holder that took the lock again at once
  // would otherwise keep it from the waiter until it has done.
  ::Sleep(10);
}

FileLock FileLock::Take(const std::string& path, int waitMilliseconds, std::string* error) {
  const std::wstring wide = Widen(path);
  const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(waitMilliseconds > 0 ? waitMilliseconds : 0);
  for (;;) {
    // Shared with no one: holding the file open is holding the lock. A holder that ends
    // however it ends closes it, and the system deletes it then.
    HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      if (::GetFileType(h) == FILE_TYPE_DISK) return FileLock(path, reinterpret_cast<std::intptr_t>(h));
      ::CloseHandle(h);
      if (error) *error = path + ": " + kNotARegularFile;
      return FileLock();
    }
    const DWORD code = ::GetLastError();
    // Another holder has it open, or has just closed it and its deletion is pending.
    const bool held = code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED;
    if (!held || ::GetTickCount64() >= end) {
      const std::string reason =
          code == ERROR_SHARING_VIOLATION ? std::string("held by another program for too long") : ErrorText(code);
      if (error) *error = path + ": " + reason;
      return FileLock();
    }
    ::Sleep(2);
  }
}

bool Seek(std::FILE* file, std::int64_t offset) {
  return offset >= 0 && ::_fseeki64(file, offset, SEEK_SET) == 0;
}

bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* error) {
  const fs::path target = SaveTarget(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path();
  std::wstring temp;
  auto fail = [&](DWORD code) {
    if (error) *error = path + ": " + ErrorText(code ? code : ERROR_WRITE_FAULT);
    return false;
  };
  // Only a file on a disk is replaced: a device name (NUL, COM1), a pipe or a folder is
  // refused and left as it is.
  const PathKind kind = KindOfPath(PathString(target));
  if (kind == PathKind::Special || kind == PathKind::Folder) {
    if (error) *error = path + ": " + kNotARegularFile;
    return false;
  }
  // The new file keeps the old one's attributes (hidden, archive, ...) but read-only, which
  // would forbid the replacement the user asked for by saving.
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  const DWORD old = ::GetFileAttributesW(target.c_str());
  if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    attributes = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                        FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
  }
  // A new name each time, created only when nothing is there.
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; h == INVALID_HANDLE_VALUE && attempt < 8; ++attempt) {
    temp = (folder / NativePath(TemporaryName(PathString(target.filename()), ::GetCurrentProcessId()))).native();
    h = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes | FILE_FLAG_OPEN_REPARSE_POINT,
                      nullptr);
    if (h == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) return fail(::GetLastError());
  DWORD failure = 0;
  for (std::size_t done = 0; failure == 0 && done < bytes.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(h, bytes.data() + done, chunk, &written, nullptr)) {
      failure = ::GetLastError();
    } else {
      done += written;
    }
  }
  if (failure == 0 && !::FlushFileBuffers(h)) failure = ::GetLastError();
  if (!::CloseHandle(h) && failure == 0) failure = ::GetLastError();
  if (failure == 0 &&
      !::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    failure = ::GetLastError();
  }
  if (failure != 0) {
    ::DeleteFileW(temp.c_str());
    return fail(failure);
  }
  RemoveStaleTemporaries(target);
  return true;
}

std::string ProgramFolder(const char* argv0) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) {
      buffer.clear();
      break;
    }
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  const std::string path = buffer.empty() ? std::string(argv0 ? argv0 : "") : Narrow(buffer);
  const std::size_t slash = path.find_last_of(kPathSeparators);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ModuleFileName(const std::string& base) { return base + ".dll"; }

// A desktop is always there to draw on.
bool HasDisplay() { return true; }

void* LoadModule(const std::string& path, std::string* error) {
  HMODULE module = ::LoadLibraryW(Widen(path).c_str());
  if (module == nullptr && error) *error = path + ": " + ErrorText(::GetLastError());
  return reinterpret_cast<void*>(module);
}

void* ModuleSymbol(void* module, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

void* ReserveZeroed(std::size_t bytes) {
  // Committed pages read as zero and take memory only once touched.
  void* block = ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void Release(void* memory, std::size_t) { ::VirtualFree(memory, 0, MEM_RELEASE); }

void ZeroAgain(void* memory, std::size_t bytes) {
  // MEM_RESET would only let the system discard the contents, not promise zeros.
  std::memset(memory, 0, bytes);
}

void PreferLargePages(const void*, std::size_t) {
  // Large pages need a privilege an ordinary user does not hold.
}

namespace {

// Set by the console's control handler, which the system runs on a thread of its own.
std::atomic<bool> stopRequested{false};
HANDLE wakeEvent = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      stopRequested = true;
      if (wakeEvent) ::SetEvent(wakeEvent);
      // A second request finds the default handling again and ends the program at once,
      // should a tick hang.
      ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

bool ListenForStopRequests() {
  if (wakeEvent == nullptr) wakeEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return wakeEvent != nullptr && ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool StopRequested() { return stopRequested; }

void SleepUnlessStopped(int milliseconds) {
  if (StopRequested() || milliseconds <= 0) return;
  if (wakeEvent == nullptr) {
    ::Sleep(static_cast<DWORD>(milliseconds));  // not listening: a plain sleep
    return;
  }
  // The event stays set once a request came, so one that arrives before the wait starts
  // still ends it at once.
  ::WaitForSingleObject(wakeEvent, static_cast<DWORD>(milliseconds));
}

}  // namespace mizuto::platform

#endif  // _WIN32
