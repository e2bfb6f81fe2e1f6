// Mizuto: a chat-log analyser. Without --report or --follow it opens the main window (on the
// log named on the command line, if any); `mizuto --report ...` prints, without any display,
// what the main window shows after loading a log; `mizuto --follow ...` follows a log as the
// window's active mode does, for scripts and streaming overlays.
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/owner/app.h"
#include "app/modes/command_line.h"
#include "app/modes/follow.h"
#include "app/modes/history_command.h"
#include "app/modes/report.h"
#include "app/commands/settings_file.h"
#include "app/modes/usage.h"
#include "app/parts/user_folder.h"
#include "platform/platform.h"
#ifdef MIZUTO_HAS_WEB
#include "web/serve_command.h"
#endif

namespace {

// A build without Qt (the Windows zip) has only the modes without a display.
#ifdef MIZUTO_HAS_WINDOW
constexpr bool kHasWindow = true;
#else
constexpr bool kHasWindow = false;
#endif
#ifdef MIZUTO_INSTALLED_LAYOUT
constexpr bool kInstalled = true;
#else
constexpr bool kInstalled = false;
#endif

// Where the program's own files live and where its settings and lists are kept. The build
// decides between the two layouts (MIZUTO_INSTALLED_LAYOUT): a portable Mizuto keeps
// everything in the program's folder; an installed one finds its window module and shipped
// lists relative to bin/ (so an unpacked package runs from wherever it was unpacked) and
// keeps each user's settings and lists in their own folder.
struct Folders {
  std::string Module;   // holds the window module; ends in a separator
  std::string Program;  // Mizuto.ini and the lists; ends in a separator
};

// False (with the reason on the error output) when the per-user folder cannot be had.
bool FindFolders(const char* argv0, const std::vector<std::string>& args, Folders* folders) {
  const std::string own = mizuto::platform::ProgramFolder(argv0);
#ifdef MIZUTO_INSTALLED_LAYOUT
  folders->Module = own + MIZUTO_MODULE_FROM_BIN;
  if (mizuto::NamesProgramDir(args)) return true;  // the option sets it, and wins
  folders->Program = mizuto::UserProgramFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
  if (folders->Program.empty()) {
    std::cerr << "mizuto: no folder for the settings (neither XDG_CONFIG_HOME nor HOME names an absolute one);"
                 " name one with --program-dir DIR\n";
    return false;
  }
  std::string error;
  if (!mizuto::PrepareUserFolder(folders->Program, own + MIZUTO_DATA_FROM_BIN, &error)) {
    std::cerr << "mizuto: cannot prepare the settings folder (" << error << ")\n";
    return false;
  }
#else
  (void)args;
  folders->Module = own;
  folders->Program = own;
#endif
  return true;
}

// Set at the start, before anything is opened.
bool standardOutputClosed = false;

// What was printed must have arrived, to the last byte: a full disk, /dev/full or an output
// closed under way is a failure of its own, never the run's `status`.
int FinishOutput(std::ostream& out, mizuto::platform::StandardOutputBuffer& buffer, int status) {
  out.flush();
  std::string error = buffer.Failure();
  if (error.empty() && mizuto::platform::CloseStandardOutput(&error)) return status;
  if (!buffer.BrokenPipe()) std::cerr << "mizuto: the output could not be written (" << error << ")\n";
  return mizuto::kOutputFailedStatus;
}

// A closed standard output was given the null device at the start, so nothing else would
// take its place; printing into it would pass for success.
int OutputClosed() {
  std::cerr << "mizuto: the standard output is closed\n";
  return mizuto::kOutputFailedStatus;
}

// The usage or the version: the answer is the output, and is checked as any output is.
int PrintAnswer(const std::string& text) {
  if (standardOutputClosed) return OutputClosed();
  mizuto::platform::StandardOutputBuffer buffer;
  std::ostream out(&buffer);
  out << text;
  return FinishOutput(out, buffer, 0);
}

// A headless mode: its arguments after the mode's own word, then the run itself.
template <class Run>
int RunHeadless(std::vector<std::string> args, const char* argv0, mizuto::CommandMode mode, Run run) {
  args.erase(args.begin());
  mizuto::CommandLine options;
  std::string error;
  if (!mizuto::ParseCommandLine(mode, args, options, &error)) {
    std::cerr << "mizuto: " << error << "\n" << mizuto::ModeSynopsis(mode) << mizuto::kHelpHint;
    return 2;
  }
  if (options.Help) return PrintAnswer(mizuto::FullUsage(kHasWindow));
  if (standardOutputClosed) return OutputClosed();
  Folders folders;
  if (!FindFolders(argv0, args, &folders)) return 1;
  if (!mizuto::NamesProgramDir(args)) {
    options.ProgramDir = folders.Program;
    // Without the window nothing else would ever write the settings file a player of the
    // zip is told to edit: the first run puts it beside the program.
    if (!kHasWindow && !kInstalled && !mizuto::WriteFirstSettings(folders.Program, &error)) {
      std::cerr << "mizuto: Mizuto.ini could not be written (" << error << ")\n";
    }
  }
  // The output's bytes are its contract: no LF -> CR LF on the way out.
  mizuto::platform::BinaryStandardOutput();
  mizuto::platform::StandardOutputBuffer outBuffer(
      1, options.Sjis ? mizuto::platform::TextBytes::kShiftJis : mizuto::platform::TextBytes::kUtf8);
  std::ostream out(&outBuffer);
  int status = 1;
  try {
    status = run(options, out, std::cerr);
  } catch (const std::bad_alloc&) {
    // Not "the log cannot be opened": the log may be fine and the machine short.
    std::cerr << "mizuto: メモリが足りません (out of memory)\n";
    status = mizuto::kOutOfMemoryStatus;
  } catch (const std::exception& e) {
    std::cerr << "mizuto: " << e.what() << "\n";
  }
  return FinishOutput(out, outBuffer, status);
}

int RunReportCommand(std::vector<std::string> args, const char* argv0) {
  return RunHeadless(
      std::move(args), argv0, mizuto::CommandMode::Report,
      [](mizuto::ReportOptions options, std::ostream& out, std::ostream& err) {
        // Someone watching sees how far a long load got; a file or a pipe gets nothing.
        options.ShowProgress = mizuto::platform::ErrorOutputIsTerminal();
        if (!options.HtmlFile.empty()) {
#ifdef MIZUTO_HAS_WEB
          return mizuto::web::RunHtmlReport(options, err);
#else
          err << "mizuto: this build has no browser page (--html)\n";
          return 2;
#endif
        }
        return mizuto::RunReport(options, out, err);
      });
}

int RunFollowCommand(std::vector<std::string> args, const char* argv0) {
  return RunHeadless(std::move(args), argv0, mizuto::CommandMode::Follow, mizuto::RunFollow);
}

int RunHistoryCommand(std::vector<std::string> args, const char* argv0) {
  return RunHeadless(
      std::move(args), argv0, mizuto::CommandMode::History,
      [](mizuto::HistoryOptions options, std::ostream& out, std::ostream& err) {
        options.ShowProgress = mizuto::platform::ErrorOutputIsTerminal();
        return mizuto::RunHistory(options, out, err);
      });
}

#ifdef MIZUTO_HAS_WEB
int RunServeCommand(std::vector<std::string> args, const char* argv0) {
  return RunHeadless(std::move(args), argv0, mizuto::CommandMode::Serve, mizuto::web::RunServe);
}
#endif

// A build without the window, started without a mode: with no argument (on Windows most
// likely a double-click) it says how to use it; anything else is a mistake. In a console
// of its own, which closes when the program ends, it waits for a key so it can be read.
int RunWithoutWindow(const std::vector<std::string>& args) {
  const bool ownConsole = mizuto::platform::OwnConsole();
  int status = 0;
  if (!args.empty()) {
    std::cerr << "mizuto: this build has no window (" << args[0] << "); it reads logs with:\n"
              << mizuto::ModeSynopsis(mizuto::CommandMode::Report) << mizuto::ModeSynopsis(mizuto::CommandMode::Follow)
              << mizuto::ModeSynopsis(mizuto::CommandMode::History) << mizuto::kHelpHint;
    status = 2;
  }
  if (args.empty() || ownConsole) {
    std::string guide = std::string(mizuto::ProgramTitleUtf8()) + "\n\n" + mizuto::StartGuide();
    if (ownConsole) guide += "\n何かキーを押すと閉じます。\n";
    const int printed = PrintAnswer(guide);
    if (status == 0) status = printed;
  }
  if (ownConsole) mizuto::platform::WaitForKey();
  return status;
}

// The window is loaded only when it is wanted: the report starts without the toolkit.
// `args` are the program's arguments in UTF-8, the program's name first.
int RunWindow(std::vector<std::string> args, char* argv0) {
  // A mistyped option is named first, display or not.
  mizuto::WindowOptions options;
  const std::vector<std::string> own(args.begin() + (args.empty() ? 0 : 1), args.end());
  mizuto::platform::StandardOutputBuffer answerBuffer;
  std::ostream answer(&answerBuffer);
  const int answered = mizuto::ReadWindowArguments(own, options, answer, std::cerr);
  if (answered == 0 && standardOutputClosed) return OutputClosed();
  if (answered >= 0) return FinishOutput(answer, answerBuffer, answered);
  // Without a display the toolkit would abort: say what works instead.
  if (!mizuto::platform::HasDisplay()) {
    std::cerr << "mizuto: no display for the window; the report and --follow work without one:\n"
              << mizuto::ModeSynopsis(mizuto::CommandMode::Report) << mizuto::ModeSynopsis(mizuto::CommandMode::Follow)
              << mizuto::kHelpHint;
    return 2;
  }
  Folders folders;
  if (!FindFolders(argv0, std::vector<std::string>(args.begin() + 1, args.end()), &folders)) return 1;
  const std::string module = folders.Module + mizuto::platform::ModuleFileName("mizuto_window");
  std::string error;
  void* handle = mizuto::platform::LoadModule(module, &error);
  if (handle == nullptr) {
    std::cerr << "mizuto: the window cannot be started (" << error << "); mizuto --report still works\n";
    return 1;
  }
  using WindowMain = int (*)(int, char**, const char*);
  auto windowMain = reinterpret_cast<WindowMain>(mizuto::platform::ModuleSymbol(handle, "MizutoWindowMain"));
  if (windowMain == nullptr) {
    std::cerr << "mizuto: " << module << " has no window entry point\n";
    return 1;
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return windowMain(static_cast<int>(args.size()), argv.data(), folders.Program.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything is opened: a descriptor left closed by the caller would be taken by
  // the first file or pipe, and the output would go there.
  standardOutputClosed =
      (mizuto::platform::OpenClosedStandardDescriptors() & mizuto::platform::kStandardOutputBit) != 0;
  // A stop requested in the first moments of --follow still ends with its summary.
  if (argc > 1 && (std::string_view(argv[1]) == "--follow" || std::string_view(argv[1]) == "--serve")) {
    mizuto::platform::ListenForStopRequests();
  }
  // The log's path may hold any character: on Windows the arguments are read as UTF-8.
  std::vector<std::string> all = mizuto::platform::Arguments(argc, argv);
  std::vector<std::string> args(all.begin() + (all.empty() ? 0 : 1), all.end());
  // A Windows console shows bytes by its code page, which is seldom UTF-8: the messages
  // reach it as characters. (Never freed: the error stream is used until the very end.)
  auto* errorConsole = new mizuto::platform::StandardOutputBuffer(2);
  if (errorConsole->ToConsole()) {
    std::cerr.rdbuf(errorConsole);
  } else {
    delete errorConsole;
  }
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) return PrintAnswer(mizuto::FullUsage(kHasWindow));
  if (!args.empty() && args[0] == "--version") return PrintAnswer(std::string(mizuto::ProgramTitleUtf8()) + "\n");
  if (!args.empty() && args[0] == "--report") return RunReportCommand(std::move(args), argv[0]);
  if (!args.empty() && args[0] == "--follow") return RunFollowCommand(std::move(args), argv[0]);
  if (!args.empty() && args[0] == "--history") return RunHistoryCommand(std::move(args), argv[0]);
#ifdef MIZUTO_HAS_WEB
  if (!args.empty() && args[0] == "--serve") return RunServeCommand(std::move(args), argv[0]);
#endif
  if (!kHasWindow) return RunWithoutWindow(args);
  return RunWindow(std::move(all), argv[0]);
}
