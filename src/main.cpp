// Mizuto: a chat-log analyser. Without --report or --follow it opens the main window (on the
// log named on the command line, if any); `mizuto --report ...` prints, without any display,
// what the main window shows after loading a log; `mizuto --follow ...` follows a log as the
// window's active mode does, for scripts and streaming overlays.
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "app/follow.h"
#include "app/report.h"
#include "app/usage.h"
#include "platform/platform.h"

namespace {

// A headless mode: its arguments after the mode's own word, then the run itself.
// Set at the start, before anything is opened.
bool standardOutputClosed = false;

template <class Options, class Parse, class Run>
int RunHeadless(std::vector<std::string> args, const char* argv0, const char* usage, Parse parse,
                Run run) {
  args.erase(args.begin());
  Options options;
  options.ProgramDir = mizuto::platform::ProgramFolder(argv0);
  std::string error;
  if (!parse(args, &options, &error)) {
    std::cerr << "mizuto: " << error << "\n" << usage << mizuto::kHelpHint;
    return 2;
  }
  if (options.Help) {
    std::cout << mizuto::FullUsage();
    return 0;
  }
  // A closed standard output was given the null device at the start, so nothing else
  // would take its place; printing into it would pass for success.
  if (standardOutputClosed) {
    std::cerr << "mizuto: the standard output is closed\n";
    return mizuto::kOutputFailedStatus;
  }
  // The output's bytes are its contract: no LF -> CR LF on the way out.
  mizuto::platform::BinaryStandardOutput();
  mizuto::platform::StandardOutputBuffer outBuffer;
  std::ostream out(&outBuffer);
  int status = 1;
  try {
    status = run(options, out, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "mizuto: " << e.what() << "\n";
  }
  // What was printed must have arrived, to the last byte: a full disk, /dev/full or an
  // output closed under way is a failure of its own, never an exit status of 0.
  out.flush();
  error = outBuffer.Failure();
  if (error.empty() && mizuto::platform::CloseStandardOutput(&error)) return status;
  if (!outBuffer.BrokenPipe()) std::cerr << "mizuto: the output could not be written (" << error << ")\n";
  return mizuto::kOutputFailedStatus;
}

int RunReportCommand(std::vector<std::string> args, const char* argv0) {
  return RunHeadless<mizuto::ReportOptions>(std::move(args), argv0, mizuto::kReportUsage,
                                            mizuto::ParseReportArguments, mizuto::RunReport);
}

int RunFollowCommand(std::vector<std::string> args, const char* argv0) {
  return RunHeadless<mizuto::FollowOptions>(std::move(args), argv0, mizuto::kFollowUsage,
                                            mizuto::ParseFollowArguments, mizuto::RunFollow);
}

// The window is loaded only when it is wanted: the report starts without the toolkit.
// `args` are the program's arguments in UTF-8, the program's name first.
int RunWindow(std::vector<std::string> args, char* argv0) {
  // Without a display the toolkit would abort: say what works instead.
  if (!mizuto::platform::HasDisplay()) {
    std::cerr << "mizuto: no display for the window; the report and --follow work without one:\n"
              << mizuto::kReportUsage << mizuto::kFollowUsage << mizuto::kHelpHint;
    return 2;
  }
  const std::string folder = mizuto::platform::ProgramFolder(argv0);
  const std::string module = folder + mizuto::platform::ModuleFileName("mizuto_window");
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
  return windowMain(static_cast<int>(args.size()), argv.data(), folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything is opened: a descriptor left closed by the caller would be taken by
  // the first file or pipe, and the output would go there.
  standardOutputClosed =
      (mizuto::platform::OpenClosedStandardDescriptors() & mizuto::platform::kStandardOutputBit) != 0;
  // A stop requested in the first moments of --follow still ends with its summary.
  if (argc > 1 && std::string_view(argv[1]) == "--follow") mizuto::platform::ListenForStopRequests();
  // The log's path may hold any character: on Windows the arguments are read as UTF-8.
  std::vector<std::string> all = mizuto::platform::Arguments(argc, argv);
  std::vector<std::string> args(all.begin() + (all.empty() ? 0 : 1), all.end());
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << mizuto::FullUsage();
    return 0;
  }
  if (!args.empty() && args[0] == "--report") return RunReportCommand(std::move(args), argv[0]);
  if (!args.empty() && args[0] == "--follow") return RunFollowCommand(std::move(args), argv[0]);
  return RunWindow(std::move(all), argv[0]);
}
