// The window's entry point. It lives in a module that the program loads only when the window
// is wanted, so the headless report never pays for loading the toolkit.
#include <QApplication>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <iostream>
#include <string>
#include <vector>

#include "app/modes/command_line.h"
#include "app/modes/usage.h"
#include "gui/widgets/gui_dialogs.h"
#include "gui/window/main_window.h"
#include "gui/widgets/toolkit_language.h"
#include "gui/version/version_fetch.h"

#ifdef _WIN32
#define MIZUTO_EXPORT __declspec(dllexport)
#else
#define MIZUTO_EXPORT __attribute__((visibility("default")))
#endif

// argv is the program's arguments in UTF-8 on every system; programDir is the program's
// folder, ending in '/'.
extern "C" MIZUTO_EXPORT int MizutoWindowMain(int argc, char** argv, const char* programDir) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  mizuto::WindowOptions parsed;
  const int answered = mizuto::ReadWindowArguments(args, parsed, std::cout, std::cerr);
  if (answered >= 0) return answered;
  const std::string folder = parsed.ProgramDir.empty() ? std::string(programDir) : parsed.ProgramDir;
  const std::string& log = parsed.LogPath;
  const std::string& screenshot = parsed.Screenshot;
  const bool quitAfterLoad = parsed.QuitAfterLoad;

  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(mizuto::kApplicationTitle));
  // The whole program speaks Japanese, so the toolkit's own dialogs and buttons do too.
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  QTranslator toolkitJapanese;
  if (mizuto::LoadToolkitJapanese(toolkitJapanese)) {
    QApplication::installTranslator(&toolkitJapanese);
  }
  mizuto::MainWindowOptions options;
  options.ProgramDir = folder;
  options.HomePage = mizuto::HomePageUrl();
  options.Dialogs = mizuto::RealGuiDialogs();
  // The core is declared first, so it outlives the window that shows it.
  mizuto::App core;
  // Every log the window loads joins the season history.
  core.History.Enable(!parsed.NoHistory);
  // ... and is written beside the window, which shows the log meanwhile.
  core.History.RunBeside(true);
  core.History.KeepUndatedOut(true);
  mizuto::MainWindow window(core, std::move(options));
  window.show();
  const bool read = log.empty() || window.OpenLog(QString::fromUtf8(log));
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
