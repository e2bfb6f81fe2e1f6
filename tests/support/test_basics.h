// What every test may use, whatever layer it tests: temporary folders, files, programs run
// as processes, hand-made chat-log lines and the Shift-JIS shorthands. Needs only the text
// layer (and the platform below it).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mizuto::test {

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder's path with a trailing "/".
  const std::string& Path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + std::string(name); }

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, std::string_view bytes);
void AppendBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);

// What a program run by a test did.
struct Outcome {
  int status = -1;  // its exit status; -1 when it did not end normally
  std::string out;
  std::string err;
};
// Runs a command line: a program and its arguments, those that hold spaces in '...'. A
// program named without a folder is the one beside the test executable (where a Windows
// build finds its programs).
Outcome RunCommand(const std::string& command);

#ifdef _WIN32
// Starts `program` (found as RunCommand finds it) with the command line `arguments`, its
// output and errors going to the two files: the process, nullptr when it cannot start.
void* StartProgram(std::string program, const std::string& arguments, const std::string& outFile,
                   const std::string& errFile);
// Waits for the process (ending it first when `kill`): its exit status, -1 when killed.
int WaitForProgram(void* process, bool kill);
#endif

// One log line as the game writes it: <FONT color="#rrggbb">text</FONT><BR> + CR LF.
// `utf8Text` is UTF-8, as in the file.
std::string FontLine(std::string_view colour, std::string_view utf8Text);
// Shorthands for the channels the analysis reads.
std::string SystemLine(std::string_view utf8Text);  // 80aaff
std::string PartyLine(std::string_view utf8Text);   // 10c870
std::string NoticeLine(std::string_view utf8Text);  // ff8080
std::string SayLine(std::string_view utf8Text);     // ffffff

// Writes a list file (UTF-8 lines given, stored as Shift-JIS with CR LF).
void WriteListFile(const std::string& path, const std::vector<std::string>& utf8Lines);

// Shift-JIS from UTF-8 (short name for tests).
std::string S(std::string_view utf8);
// UTF-8 from Shift-JIS, for readable failure messages.
std::string U(std::string_view sjis);

}  // namespace mizuto::test
