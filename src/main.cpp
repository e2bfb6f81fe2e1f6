// Mizuto: a chat-log analyser. `mizuto --report ...` prints, without any display, what the
// main window shows after loading a log.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/report.h"

namespace {

// The folder of the running program, with a trailing separator.
std::string ProgramFolder(const char* argv0) {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string path = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string(argv0);
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] != "--report") {
    std::cerr << mizuto::kReportUsage;
    return 2;
  }
  args.erase(args.begin());
  mizuto::ReportOptions options;
  options.ProgramDir = ProgramFolder(argv[0]);
  std::string error;
  if (!mizuto::ParseReportArguments(args, &options, &error)) {
    std::cerr << "mizuto: " << error << "\n" << mizuto::kReportUsage;
    return 2;
  }
  std::ios::sync_with_stdio(false);
  try {
    return mizuto::RunReport(options, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "mizuto: " << e.what() << "\n";
    return 1;
  }
}
