#include "gui/window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProgressDialog>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <exception>

#include "app/commands/main_commands.h"
#include "app/owner/result_views.h"
#include "app/commands/settings_file.h"
#include "app/commands/start_up.h"
#include "app/version/version_check.h"
#include "app/commands/active_mode.h"
#include "gui/results/battle_results_page.h"
#include "gui/widgets/elided_label.h"
#include "gui/widgets/gui_text.h"
#include "gui/results/head_to_head_page.h"
#include "app/owner/history_recorder.h"
#include "gui/history/history_page.h"
#include "gui/widgets/program_icon.h"
#include "gui/settings/settings_page.h"
#include "gui/window/sink_counter_window.h"
#include "gui/version/version_fetch.h"

namespace mizuto {

namespace {
// The longest the window goes undrawn while a log loads, less the time one progress step
// takes (a block of the log read, or 64 lines analysed).
constexpr int kLoadRedrawMs = 40;
// How long the closing window lets an import of the loaded log finish: the window is gone
// and the player waits for nothing they can see, so the process ends within a blink.
constexpr std::chrono::milliseconds kImportPatienceAtClose{150};
}  // namespace

MainWindow::MainWindow(App& core, MainWindowOptions options)
    : app_(core), options_(std::move(options)) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowIcon(ProgramIcon());
  setFont(ProportionalFont(12));
  app_.ProgramDir = options_.ProgramDir;
  // The pane keeps every log's lines: each load's share is headed by the log's name.
  app_.ErrorPaneNamesLoads = true;
  // The analysis reports its progress far more often than the figure changes: the status
  // bar is drawn again only when its text did.
  app_.OnStatusChanged = [this] {
    if (StatusBarText(app_) == shownStatus_) return;
    SyncStatus();
    statusText_->repaint();
  };
  // A large log takes seconds to load: the window is drawn meanwhile, every few
  // hundredths of a second. It takes no input then and the log's timer waits, so no
  // command starts inside the load.
  app_.OnLoadProgress = [this, sinceEvents = QElapsedTimer()](LoadStage, int) mutable {
    if (sinceEvents.isValid() && sinceEvents.elapsed() < kLoadRedrawMs) return;
    const bool ticking = followTimer_ != nullptr && followTimer_->isActive();
    if (ticking) followTimer_->stop();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (ticking) followTimer_->start();
    sinceEvents.start();
  };
  AnswerCommands();
  BuildLayout();
  BuildActions();
  BuildMenus();

  // Settings, lists, check marks, switches, tally columns and caption, then the window's
  // own share: geometry, panes and the controls that show them.
  RunCommand([this] { StartUp(app_); });
  ApplyGeometry();
  settings_->FillCheckLists();
  settings_->BindSwitches([this](const char* name) { return Action(name); });
  SyncAll();
  ApplyPanes();

  if (app_.CheckVersionAtStart != 0) {
    // In the background: the window appears and answers while the site takes its time.
    VersionCheck::Start(VersionPageUrl(options_.HomePage), app_.ProgramTitle(), this,
                        [this](VersionCheckResult result, const std::string& message) {
                          if (result != kVersionFound) return;
                          app_.Caption += " ( " + message + " )";
                          setWindowTitle(ToQt(WindowTitle(app_)));
                        });
  }

  sinkCounter_ = std::make_unique<SinkCounterWindow>(this);
  sinkCounter_->hide();
}

// What a command asks of the window: questions and files through the window's dialogs,
// errors in its error pane, an import's progress in its progress dialog.
void MainWindow::AnswerCommands() {
  commandContext_.Ask.Message = [this](const std::string& text, const std::string& caption) {
    if (!closing_) options_.Dialogs.Message(this, ToQt(text), ToQt(caption));
  };
  commandContext_.Ask.AskYesNo = [this](const std::string& text, const std::string& caption) {
    return !closing_ && options_.Dialogs.AskYesNo(this, ToQt(text), ToQt(caption));
  };
  commandContext_.Ask.SaveFile = [this](const std::string& suggested) {
    if (!options_.Dialogs.SaveFile) return std::string();
    return options_.Dialogs.SaveFile(this, QString::fromStdString(suggested), QStringLiteral("CSV (*.csv)"))
        .toUtf8()
        .toStdString();
  };
  commandContext_.ReportError = [this](const std::string& text) { ShowError(QString::fromStdString(text)); };
  commandContext_.Progress = [this](std::size_t done, std::size_t total, const std::string& step) {
    return ShowImportProgress(done, total, step);
  };
}

// The core outlives the window; its status callback must not.
MainWindow::~MainWindow() {
  app_.OnStatusChanged = nullptr;
  app_.OnLoadProgress = nullptr;
}

QAction* MainWindow::Action(const char* name) const {
  for (const ActionEntry& e : entries_) {
    if (qstrcmp(e.Command->Name, name) == 0) return e.Action;
  }
  return nullptr;
}

// Message boxes and dialogs run event loops of their own, in which the active-mode timer
// keeps firing: a tick there would change the tables under a command that is half done. The
// tick waits instead, and one tick runs once the outermost command is over, however often
// the timer fired meanwhile.
void MainWindow::RunCommand(const std::function<void()>& command) {
  ++commandDepth_;
  try {
    command();
  } catch (const std::exception& e) {
    options_.Dialogs.Error(this, QString::fromUtf8(e.what()));
  } catch (...) {
    options_.Dialogs.Error(this, QStringLiteral("Unknown error"));
  }
  --commandDepth_;
  // After every command (a tick, the switch, a load, the settings): the streaming program's
  // copy of the counter follows the counter window.
  if (commandDepth_ == 0) KeepCounterFile(app_);
  RunWaitingTick();
  // A load's import goes on beside the window; its result (a failure for the error pane,
  // the History page's new answers) is taken once the window has shown the log.
  if (commandDepth_ == 0 && app_.History.ImportPending() && !settleWaiting_) {
    settleWaiting_ = true;
    QTimer::singleShot(0, this, [this] { TakeHistoryImportWhenDone(); });
  }
}

// Looks in while the window is idle, so that it never waits for the import; the History
// page, a tick or a correction that needs the history meanwhile waits for it instead.
void MainWindow::TakeHistoryImportWhenDone() {
  if (app_.History.ImportPending() && !app_.History.ImportDone()) {
    QTimer::singleShot(10, this, [this] { TakeHistoryImportWhenDone(); });
    return;
  }
  settleWaiting_ = false;
  RunCommand([this] { app_.History.Settle(app_); });
  SyncAll();
}

// A long import shows how far it got and can be stopped; it is a command, so the log's
// timer waits for it. The events it lets through are the dialog's own and the drawing.
bool MainWindow::ShowImportProgress(std::size_t done, std::size_t total, const std::string& step) {
  if (importProgress_ == nullptr) {
    importProgress_ = new QProgressDialog(this);
    importProgress_->setObjectName(QStringLiteral("importProgress"));
    importProgress_->setWindowTitle(QStringLiteral("履歴に取り込む"));
    importProgress_->setCancelButtonText(QStringLiteral("中止"));
    importProgress_->setWindowModality(Qt::WindowModal);
    importProgress_->setMinimumDuration(0);
    importProgress_->setAutoClose(false);
    importProgress_->setAutoReset(false);
    // As wide as forty characters whatever the file names: a dialog that changes its width
    // with every log is hard to read, and its 中止 button moves under the pointer.
    importProgress_->setFixedWidth(importProgress_->fontMetrics().averageCharWidth() * 40 + 80);
  }
  QProgressDialog* dialog = importProgress_;
  dialog->setMaximum(static_cast<int>(total));
  dialog->setValue(static_cast<int>(done));
  // A name longer than the dialog is cut in its middle (the date is at its end).
  const QString name = dialog->fontMetrics().elidedText(QString::fromStdString(step).section(QLatin1Char('/'), -1),
                                                        Qt::ElideMiddle, dialog->width() - 40);
  const QString doing = commandContext_.ProgressDoing.empty() ? QStringLiteral("ログを履歴に取り込んでいます")
                                                               : ToQt(commandContext_.ProgressDoing);
  dialog->setLabelText(QStringLiteral("%1 (%2 / %3)\n%4").arg(doing).arg(done + 1 > total ? total : done + 1).arg(total).arg(name));
  QCoreApplication::processEvents();
  // The window closed meanwhile (its close came in with these events): the import stops as
  // the player's 中止 stops it.
  const bool go = !dialog->wasCanceled() && !closing_ && done < total;
  if (!go) {
    importProgress_ = nullptr;
    dialog->deleteLater();
    dialog->hide();
  }
  return go || done >= total;
}

void MainWindow::RunWaitingTick() {
  if (commandDepth_ > 0 || !tickWaiting_) return;
  tickWaiting_ = false;
  // Switched off or closed meanwhile: the tick is not wanted any more.
  if (!app_.TimerRunning) return;
  OnTimer();
}

// An error box is shown as a command is: no tick runs while it is open.
void MainWindow::ShowError(const QString& text) {
  RunCommand([&] { options_.Dialogs.Error(this, text); });
}

void MainWindow::BuildLayout() {
  auto* statusBar = new QStatusBar;
  statusBar->setObjectName(QStringLiteral("statusBar"));
  statusBar->setSizeGripEnabled(true);
  statusBar->setFixedHeight(19);
  statusText_ = new ElidedLabel;
  statusText_->setObjectName(QStringLiteral("StatusText"));
  statusBar->addWidget(statusText_, 1);
  setStatusBar(statusBar);

  auto* pages = new QTabWidget;
  pages->setObjectName(QStringLiteral("pages"));
  setCentralWidget(pages);
  results_ = new BattleResultsPage(app_, *this);
  pages->addTab(results_, QStringLiteral("戦闘結果"));
  settings_ = new SettingsPage(app_, *this);
  pages->addTab(settings_, QStringLiteral("設定"));
  headToHead_ = new HeadToHeadPage(app_);
  pages->addTab(headToHead_, QStringLiteral("対戦表"));
  history_ = new HistoryPage(app_, *this);
  pages->addTab(history_, QStringLiteral("履歴"));
  connect(history_, &HistoryPage::BattleOpened, this, [this, pages] { pages->setCurrentWidget(results_); });
  // The results page's keys (Space shows the chosen battles) act only with the focus inside
  // it: a page shown while the focus went nowhere (its control was on the page left) gives
  // it to the battle list, so the keys work without a click first.
  connect(pages, &QTabWidget::currentChanged, this, [this, pages] {
    const QWidget* focus = QApplication::focusWidget();
    if (pages->currentWidget() == results_ && (focus == nullptr || !focus->isVisible())) {
      results_->BattleListBox()->setFocus();
    }
  });

  followTimer_ = new QTimer(this);
  followTimer_->setObjectName(QStringLiteral("followTimer"));
  followTimer_->setSingleShot(true);  // restarted after each tick: the next one comes a period later
  followTimer_->setInterval(options_.TimerPeriodMs > 0 ? options_.TimerPeriodMs : app_.TimerIntervalMs);
  connect(followTimer_, &QTimer::timeout, this, [this] { OnTimer(); });
}

// ---------------------------------------------------------------------------------------
// Geometry and panes

// Width and Height are the window's outer size, frame included, as Left and Top are the
// frame's position. The frame is known only once the window system has framed the window:
// until then the inner size stands in for the outer one, and the first move or resize that
// brings the frame's size makes the inner size smaller by it.
//
// The kept rectangle may come from a larger screen or another scale factor: the window is
// shown moved and shrunk into the screen's free area, and the kept rectangle stays as it is
// unless the player moves or resizes the window.
void MainWindow::ApplyGeometry() {
  const WindowGeometry& g = app_.Geometry;
  const QRect kept(g.Left, g.Top, g.Width, g.Height);
  QScreen* screen = QGuiApplication::screenAt(kept.center());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  shownGeometry_ = screen ? FitIntoArea(kept, screen->availableGeometry()) : kept;
  move(shownGeometry_.topLeft());
  resize(shownGeometry_.size());
  pendingOuterSize_ = shownGeometry_.size();
  if (g.Maximized) setWindowState(windowState() | Qt::WindowMaximized);
  results_->Refit();
  settings_->Refit();
}

QRect FitIntoArea(const QRect& outer, const QRect& area) {
  if (!area.isValid()) return outer;
  QRect fitted(outer.topLeft(), outer.size().boundedTo(area.size()));
  if (fitted.right() > area.right()) fitted.moveRight(area.right());
  if (fitted.bottom() > area.bottom()) fitted.moveBottom(area.bottom());
  if (fitted.left() < area.left()) fitted.moveLeft(area.left());
  if (fitted.top() < area.top()) fitted.moveTop(area.top());
  return fitted;
}

// The frame of the normal window, seen while it is one: a window system may frame a
// maximised window otherwise (without borders), and the normal rectangle is kept with its
// own frame. A frame that covers the whole free area is taken for a maximised one.
void MainWindow::NoteNormalFrame() {
  if (!isVisible() || windowState() != Qt::WindowNoState) return;
  const QRect outer = frameGeometry(), inner = geometry();
  if (outer == inner) return;  // not framed yet
  if (screen() != nullptr && outer == screen()->availableGeometry()) return;
  normalFrame_ = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                          outer.right() - inner.right(), outer.bottom() - inner.bottom());
}

void MainWindow::FitOuterSize() {
  NoteNormalFrame();
  if (!pendingOuterSize_.isValid() || !isVisible() || isMaximized()) return;
  const QSize frame = frameGeometry().size() - size();
  if (frame.isNull()) return;  // not framed (yet): the inner size is the outer one
  const QSize inner = pendingOuterSize_ - frame;
  pendingOuterSize_ = QSize();
  if (inner != size()) resize(inner);
}

void MainWindow::StoreGeometry() {
  // The pane sizes are kept up to date by the splitters themselves.
  WindowGeometry& g = app_.Geometry;
  g.Maximized = isMaximized();
  // Maximised all along: the normal rectangle is as it was kept.
  if (g.Maximized && !normalFrame_) return;
  // A maximised window keeps the rectangle it comes back to.
  const QRect outer = g.Maximized ? normalGeometry().marginsAdded(*normalFrame_) : frameGeometry();
  // Shown as it was placed: the kept rectangle stays, though it was fitted to this screen.
  if (outer == shownGeometry_) return;
  g.Left = outer.x();
  g.Top = outer.y();
  g.Width = outer.width();
  g.Height = outer.height();
}

void MainWindow::ApplyPanes() {
  results_->ShowBattleLogPane(app_.Acts.BattleLogView.Checked);
  results_->ShowErrorPane(app_.Acts.ErrorLogView.Checked);
}

// ---------------------------------------------------------------------------------------
// Drawing what the core says

void MainWindow::SyncAll() {
  setWindowTitle(ToQt(WindowTitle(app_)));
  SyncStatus();
  SyncActions();
  results_->Sync();
  headToHead_->Sync();
  history_->Sync();
  settings_->Sync();
  SyncTimer();
  SyncSinkCounter();
}

void MainWindow::SyncStatus() {
  std::string text = StatusBarText(app_);
  if (text == shownStatus_) return;
  shownStatus_ = std::move(text);
  statusText_->setText(ToQt(shownStatus_));
}

void MainWindow::SyncActions() {
  for (ActionEntry& e : entries_) {
    const ActionState& state = app_.Acts.*(e.Command->State);
    if (e.Action->isEnabled() != state.Enabled) e.Action->setEnabled(state.Enabled);
    if (e.Action->isCheckable() && e.Action->isChecked() != state.Checked) {
      e.Action->setChecked(state.Checked);
    }
    // A greyed command says why; an empty tooltip is the caption again.
    const QString why = state.Enabled ? QString() : ToQt(state.WhyDisabled);
    if (why != e.ShownWhy) {
      e.Action->setToolTip(why);
      e.ShownWhy = why;
    }
  }
}

void MainWindow::SyncTimer() {
  const int period = options_.TimerPeriodMs > 0 ? options_.TimerPeriodMs : app_.TimerIntervalMs;
  if (followTimer_->interval() != period) followTimer_->setInterval(period);
  if (app_.TimerRunning && !followTimer_->isActive()) followTimer_->start();
  if (!app_.TimerRunning && followTimer_->isActive()) followTimer_->stop();
}

void MainWindow::SyncSinkCounter() {
  if (!sinkCounter_) return;
  sinkCounter_->SetText(ToQt(app_.SinkCounterText));
  if (app_.SinkCounterVisible && !sinkCounter_->isVisible()) sinkCounter_->ShowCentredOn(this);
  if (!app_.SinkCounterVisible && sinkCounter_->isVisible()) sinkCounter_->hide();
}

// ---------------------------------------------------------------------------------------
// Events

void MainWindow::OnTimer() {
  if (commandDepth_ > 0) {
    // The timer is single-shot and nothing starts it again before the command ends.
    tickWaiting_ = true;
    return;
  }
  RunCommand([this] { TickFollowedLog(app_); });
  // The timer is single-shot: SyncAll starts it again, so the next tick comes a full period
  // after this one ended.
  SyncAll();
}

bool MainWindow::OpenLog(const QString& path) {
  repaint();
  bool read = false;
  // The core spells paths in UTF-8 on every system.
  RunCommand([&] { read = OpenLogFile(app_, path.toUtf8().toStdString()); });
  SyncAll();
  return read;
}

void MainWindow::DropFiles(const QStringList& paths) {
  RunCommand([&] {
    if (!DropIsAccepted(static_cast<int>(paths.size()))) {
      options_.Dialogs.Message(this, ToQt(OneLogOnlyMessage()),
                               QString::fromLatin1(kApplicationTitle));
    } else {
      OpenLog(paths.front());
    }
  });
  activateWindow();
  raise();
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  closing_ = false;  // shown again after a close
  if (!dropTargetRegistered_) {
    setAcceptDrops(true);
    dropTargetRegistered_ = true;
  }
  FitOuterSize();
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  FitOuterSize();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FitOuterSize();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) paths << url.toLocalFile();
  event->acceptProposedAction();
  DropFiles(paths);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  closing_ = true;
  // A command of its own: a tick the error box held back is dropped with the stopped timer.
  RunCommand([this] {
    StoreGeometry();
    history_->StoreLayout();
    // The battles the history still owes (it was locked by another program) are written
    // now, or the error pane says why not. A long import of the loaded log is not waited
    // for: it is rolled back, and the log joins the history when it is next loaded.
    app_.History.FinishWithin(app_, kImportPatienceAtClose);
    std::string error;
    // A file's error names its path as the system spells it (UTF-8), not in Shift-JIS.
    if (!SaveSettings(app_, &error)) ShowError(QString::fromStdString(error));
    // The views say so too: Exit closes from inside an action, and the redraw that follows
    // every action would otherwise start the timer and show the counter window again.
    app_.TimerRunning = false;
    app_.SinkCounterVisible = false;
    followTimer_->stop();
    if (sinkCounter_) sinkCounter_->hide();
  });
  event->accept();
}

}  // namespace mizuto
