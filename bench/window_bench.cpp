// Window benchmarks on Qt's offscreen platform: what one click costs once a big log is
// loaded. A switch of the transcript (critical hits shown or not) must redraw the transcript
// and nothing else, however full the name table is.
//
//   MIZUTO_BENCH_DIR=build/bench-corpus/full MIZUTO_BENCH_BIG_DIR=build/bench-corpus/100mb
//     build/bench/window_bench
// The folder holds chat.html with its list files and Mizuto.ini (made by make_corpus.sh).
//
// And how long the window stays undrawn while it loads a large log: a 5 ms timer stands for
// everything the window has to answer (its own redraws, the system's expose events), so the
// longest wait between two of its ticks, from the start of the load to its end, is the
// longest the window did not answer. The status bar's label is watched too: the longest
// time between two of its paints.
//
//   MIZUTO_BENCH_LOAD_DIR=build/bench-corpus/100mb build/bench/window_bench
//     --benchmark_filter=LoadLargeLog
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QStatusBar>
#include <QTimer>
#include <QTableView>
#include <QUrl>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "gui/window/main_window.h"

namespace mizuto {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Records the longest time between two events of one kind, and how many there were.
class GapWatch : public QObject {
 public:
  explicit GapWatch(QEvent::Type type) : type_(type) {}
  void Start() {
    clock_.start();
    last_ = 0;
    longest_ = 0;
    count_ = 0;
  }
  void Mark() {
    const qint64 now = clock_.nsecsElapsed();
    lastGap_ = now - last_;
    longest_ = std::max(longest_, lastGap_);
    last_ = now;
    ++count_;
  }
  double LongestMs() const { return static_cast<double>(longest_) / 1e6; }
  double LastGapMs() const { return static_cast<double>(lastGap_) / 1e6; }
  int Count() const { return count_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == type_) Mark();
    return QObject::eventFilter(watched, event);
  }

 private:
  QEvent::Type type_;
  QElapsedTimer clock_;
  qint64 last_ = 0, longest_ = 0, lastGap_ = 0;
  int count_ = 0;
};

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

// The main window on the folder `dir`, shown; the core is made first so that it outlives it.
struct ShownWindow {
  explicit ShownWindow(const std::string& dir) {
    MainWindowOptions options;
    options.ProgramDir = dir + "/";
    options.HomePage = QUrl(QStringLiteral("http://127.0.0.1:9/"));
    options.Dialogs = SilentDialogs();
    Window = std::make_unique<MainWindow>(*Core, std::move(options));
    Window->show();
  }
  std::unique_ptr<App> Core = std::make_unique<App>();
  std::unique_ptr<MainWindow> Window;
};

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
  ShownWindow shown(dir);
  MainWindow* window = shown.Window.get();
  if (!window->OpenLog(QString::fromStdString(dir + "/chat.html"))) {
    state.SkipWithError("cannot read chat.html");
    return;
  }
  Settle();
  if (everyBattle) {
    // As the player does it: the whole battle list selected, then shown with Space's action.
    auto* list = window->findChild<QListWidget*>(QStringLiteral("battleList"));
    list->selectAll();
    window->Action("ShowBattleLog")->trigger();
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
  TranscriptSwitch(state, "MIZUTO_BENCH_DIR", "CriticalView", false);
}
BENCHMARK(BM_TranscriptSwitch)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same switch (Say表示) with every battle of a big log shown: the transcript holds the
// whole log's battles.
void BM_TranscriptSwitchEveryBattle(benchmark::State& state) {
  TranscriptSwitch(state, "MIZUTO_BENCH_BIG_DIR", "SayView", true);
}
BENCHMARK(BM_TranscriptSwitchEveryBattle)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_LoadLargeLog(benchmark::State& state) {
  const std::string dir = Env("MIZUTO_BENCH_LOAD_DIR");
  if (dir.empty()) {
    state.SkipWithError("set MIZUTO_BENCH_LOAD_DIR");
    return;
  }
  ShownWindow shown(dir);
  MainWindow* window = shown.Window.get();
  QCoreApplication::processEvents();

  GapWatch answered(QEvent::Timer);
  QTimer heartbeat;
  heartbeat.setInterval(5);
  QObject::connect(&heartbeat, &QTimer::timeout, [&] { answered.Mark(); });
  GapWatch painted(QEvent::Paint);
  QLabel* status = window->findChild<QStatusBar*>(QStringLiteral("statusBar"))->findChild<QLabel*>();
  status->installEventFilter(&painted);

  double longestAnswer = 0, longestPaint = 0, endWait = 0;
  int paints = 0;
  for (auto _ : state) {
    heartbeat.start();
    answered.Start();
    painted.Start();
    const bool read = window->OpenLog(QString::fromStdString(dir + "/chat.html"));
    answered.Mark();  // the wait from the last tick to the end of the load counts too
    painted.Mark();
    heartbeat.stop();
    if (!read) {
      state.SkipWithError("cannot read chat.html");
      return;
    }
    longestAnswer = std::max(longestAnswer, answered.LongestMs());
    endWait = std::max(endWait, answered.LastGapMs());
    longestPaint = std::max(longestPaint, painted.LongestMs());
    paints += painted.Count() - 1;
  }
  state.counters["longest_unanswered_ms"] = longestAnswer;
  state.counters["longest_status_unpainted_ms"] = longestPaint;
  state.counters["end_unanswered_ms"] = endWait;  // from the last tick to the load's end
  state.counters["status_paints"] = benchmark::Counter(paints, benchmark::Counter::kAvgIterations);
  window->hide();  // nothing is written back: the window is not closed
}
BENCHMARK(BM_LoadLargeLog)->Unit(benchmark::kMillisecond)->Iterations(3);

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
