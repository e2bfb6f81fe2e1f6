#include "support/test_basics.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <sys/wait.h>
#endif

#include "platform/platform.h"
#include "text/codec.h"

namespace mizuto::test {

TempDir::TempDir() {
  const std::string base = platform::PathString(std::filesystem::temp_directory_path() / "mizuto_test_");
#ifdef _WIN32
  // No mkdtemp: try numbered names until one can be created, which only one process can.
  static unsigned counter = 0;
  for (int attempt = 0;; ++attempt) {
    const std::string name = base + std::to_string(::_getpid()) + "_" + std::to_string(counter++);
    std::error_code ec;
    if (std::filesystem::create_directory(platform::NativePath(name), ec)) {
      path_ = name + "/";
      break;
    }
    if (attempt > 1000) throw std::runtime_error("no temporary folder: " + ec.message());
  }
#else
  std::string templ = base + "XXXXXX";
  if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = templ + "/";
#endif
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(platform::NativePath(path_), ec);
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(platform::NativePath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void AppendBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(platform::NativePath(path), std::ios::binary | std::ios::app);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(platform::NativePath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#ifdef _WIN32
namespace {

std::wstring Wide(const std::string& utf8) { return platform::NativePath(utf8).native(); }

// A file the child writes into; the handle is inherited.
HANDLE InheritableFile(const std::string& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

void* StartProgram(std::string program, const std::string& arguments, const std::string& outFile,
                   const std::string& errFile) {
  if (program.find_first_of(platform::kPathSeparators) == std::string::npos) {
    program = platform::ProgramFolder(nullptr) + program;
  }
  std::wstring line = Wide("\"" + program + "\" " + arguments);
  HANDLE out = InheritableFile(outFile);
  HANDLE err = InheritableFile(errFile);
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  start.hStdOutput = out;
  start.hStdError = err;
  PROCESS_INFORMATION process{};
  const bool started = ::CreateProcessW(Wide(program).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &start, &process);
  ::CloseHandle(out);
  ::CloseHandle(err);
  if (!started) return nullptr;
  ::CloseHandle(process.hThread);
  return process.hProcess;
}

int WaitForProgram(void* process, bool kill) {
  if (kill) ::TerminateProcess(process, 1);
  ::WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  const bool ended = ::GetExitCodeProcess(process, &code);
  ::CloseHandle(process);
  return ended && !kill ? static_cast<int>(code) : -1;
}

Outcome RunCommand(const std::string& command) {
  // The command processor would only add its own quoting rules: the program is started
  // directly, with '...' turned into the "..." that Windows programs split arguments by.
  std::string line = command;
  for (char& c : line) {
    if (c == '\'') c = '"';
  }
  const bool quoted = !line.empty() && line[0] == '"';
  const std::size_t nameEnd = quoted ? line.find('"', 1) : line.find(' ');
  const std::string program = quoted ? line.substr(1, nameEnd - 1) : line.substr(0, nameEnd);
  const std::string rest = nameEnd == std::string::npos ? "" : line.substr(nameEnd + (quoted ? 1 : 0));
  TempDir dir;
  Outcome run;
  if (void* process = StartProgram(program, rest, dir.File("out"), dir.File("err"))) {
    run.status = WaitForProgram(process, false);
  }
  run.out = ReadBytes(dir.File("out"));
  run.err = ReadBytes(dir.File("err"));
  return run;
}
#else
Outcome RunCommand(const std::string& command) {
  TempDir dir;
  const std::string errFile = dir.File("stderr.txt");
  Outcome run;
  std::FILE* pipe = ::popen((command + " 2>'" + errFile + "'").c_str(), "r");
  if (!pipe) return run;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.err = ReadBytes(errFile);
  return run;
}
#endif

std::string FontLine(std::string_view colour, std::string_view utf8Text) {
  return "<FONT color=\"#" + std::string(colour) + "\">" + std::string(utf8Text) +
         "</FONT><BR>\r\n";
}
std::string SystemLine(std::string_view t) { return FontLine("80aaff", t); }
std::string PartyLine(std::string_view t) { return FontLine("10c870", t); }
std::string NoticeLine(std::string_view t) { return FontLine("ff8080", t); }
std::string SayLine(std::string_view t) { return FontLine("ffffff", t); }

void WriteListFile(const std::string& path, const std::vector<std::string>& utf8Lines) {
  std::string bytes;
  for (const std::string& line : utf8Lines) bytes += Utf8ToSjis(line) + "\r\n";
  WriteBytes(path, bytes);
}

std::string S(std::string_view utf8) { return Utf8ToSjis(utf8); }
std::string U(std::string_view sjis) { return SjisToUtf8(sjis); }

}  // namespace mizuto::test
