// Window benchmarks on Qt's offscreen platform: what one click costs once a big log is
// loaded. A switch of the transcript (critical hits shown or not) must redraw the transcript
// and nothing else, however full the name table is.
//
//   MIZUTO_BENCH_DIR=build/bench-corpus/full MIZUTO_BENCH_BIG_DIR=build/bench-corpus/100mb \
//     build/bench/window_bench
// The folder holds chat.html with its list files and Mizuto.ini (made by make_corpus.sh).
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QTableView>
#include <QUrl>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "gui/main_window.h"

namespace mizuto {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// No dialog ever waits for a click here.
GuiDialogs SilentDialogs() {
  GuiDialogs d;
  d.Message = [](QWidget*, const QString&, const QString&) {};
  d.AskYesNo = [](QWidget*, const QString&, const QString&) { return false; };
  d.Error = [](QWidget*, const QString&) {};
  d.OpenFile = [](QWidget*, const QString&, const QString&) { return QString(); };
  d.BrowseFolder = [](QWidget*, const QString&, const QString&) { return QString(); };
  d.Exec = [](QDialog&) { return static_cast<int>(QDialog::Rejected); };
  return d;
}

// Everything the window has to draw after an event, drawn.
void Settle() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

// `everyBattle`: every battle of the list is selected and shown first, so the switch redraws
// the transcript of the whole log; otherwise only the battle the load selected is shown.
void TranscriptSwitch(benchmark::State& state, const char* envName, const char* switchName,
                      bool everyBattle) {
  const std::string dir = Env(envName);
  if (dir.empty()) {
    state.SkipWithError((std::string("set ") + envName).c_str());
    return;
  }
  MainWindowOptions options;
  options.ProgramDir = dir + "/";
  options.HomePage = QUrl(QStringLiteral("http://127.0.0.1:9/"));
  options.Dialogs = SilentDialogs();
  auto core = std::make_unique<App>();
  auto window = std::make_unique<MainWindow>(*core, std::move(options));
  window->show();
  if (!window->OpenLog(QString::fromStdString(dir + "/chat.html"))) {
    state.SkipWithError("cannot read chat.html");
    return;
  }
  Settle();
  if (everyBattle) {
    // As the player does it: the whole battle list selected, then shown with Space's action.
    auto* list = window->findChild<QListWidget*>(QStringLiteral("ListBox1"));
    list->selectAll();
    window->Action("PrBatLog")->trigger();
    Settle();
  }
  QAction* switchAction = window->Action(switchName);
  for (auto _ : state) {
    switchAction->trigger();
    Settle();
  }
  state.counters["names"] = static_cast<double>(window->Core().NameCount());
  state.counters["tally_rows"] = static_cast<double>(window->Core().TallyTable.Rows.size());
  state.counters["grid_cells"] = static_cast<double>(window->Core().Grid.Counts.size());
  state.counters["transcript_lines"] = static_cast<double>(window->Core().Detail.size());
  window->hide();  // nothing is written back: the window is not closed
}
void BM_TranscriptSwitch(benchmark::State& state) {
  TranscriptSwitch(state, "MIZUTO_BENCH_DIR", "CriView", false);
}
BENCHMARK(BM_TranscriptSwitch)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same switch (Say表示) with every battle of a big log shown: the transcript holds the
// whole log's battles.
void BM_TranscriptSwitchEveryBattle(benchmark::State& state) {
  TranscriptSwitch(state, "MIZUTO_BENCH_BIG_DIR", "SayView", true);
}
BENCHMARK(BM_TranscriptSwitchEveryBattle)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
}  // namespace mizuto

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
