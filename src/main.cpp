// Mizuto: a chat-log analyser. Without --report it opens the main window (on the log named
// on the command line, if any); `mizuto --report ...` prints, without any display, what the
// main window shows after loading a log.
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QTimer>
#include <climits>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/report.h"
#include "gui/gui_dialogs.h"
#include "gui/main_window.h"
#include "gui/version_fetch.h"

namespace {

constexpr const char* kWindowUsage =
    "usage: mizuto [--program-dir DIR] [--screenshot PNG | --quit-after-load] [LOG]\n"
    "       mizuto --report ...   (without a display; see mizuto --report --help)\n";

// The folder of the running program, with a trailing separator.
std::string ProgramFolder(const char* argv0) {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string path = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string(argv0);
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int RunReportCommand(std::vector<std::string> args, const char* argv0) {
  args.erase(args.begin());
  mizuto::ReportOptions options;
  options.ProgramDir = ProgramFolder(argv0);
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

int RunWindow(int argc, char** argv, const std::vector<std::string>& args) {
  std::string programDir = ProgramFolder(argv[0]);
  std::string log;
  std::string screenshot;
  bool quitAfterLoad = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if ((a == "--program-dir" || a == "--screenshot") && i + 1 < args.size()) {
      std::string& target = a == "--program-dir" ? programDir : screenshot;
      target = args[++i];
      if (&target == &programDir && !programDir.empty() && programDir.back() != '/') {
        programDir += '/';
      }
    } else if (a == "--quit-after-load") {
      quitAfterLoad = true;
    } else if (!a.empty() && a[0] == '-') {
      std::cerr << "mizuto: unknown option " << a << "\n" << kWindowUsage;
      return 2;
    } else if (log.empty()) {
      log = a;
    } else {
      std::cerr << "mizuto: one log at a time\n" << kWindowUsage;
      return 2;
    }
  }

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Mizuto"));
  mizuto::MainWindowOptions options;
  options.ProgramDir = programDir;
  options.HomePage = QUrl(QString::fromLatin1(mizuto::kHomePageUrl));
  options.Dialogs = mizuto::RealGuiDialogs();
  mizuto::MainWindow window(std::move(options));
  window.show();
  const bool read = log.empty() || window.OpenLog(QFile::decodeName(log.c_str()));
  if (quitAfterLoad) {
    // For scripts and timings: the window is drawn once with the loaded log, then closed
    // without writing the settings back.
    QApplication::processEvents();
    window.repaint();
    if (!read) std::cerr << "mizuto: cannot read " << log << "\n";
    return read ? 0 : 1;
  }
  if (!screenshot.empty()) {
    // Draws the window once it has been laid out, saves it and ends.
    QTimer::singleShot(300, &window, [&] {
      const bool saved = window.grab().save(QString::fromStdString(screenshot));
      if (!saved) std::cerr << "mizuto: cannot write " << screenshot << "\n";
      QApplication::exit(saved ? 0 : 1);
    });
  }
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "--report") return RunReportCommand(std::move(args), argv[0]);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kWindowUsage;
    return 0;
  }
  return RunWindow(argc, argv, args);
}
