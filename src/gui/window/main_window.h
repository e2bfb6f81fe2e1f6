// The main window: the four pages, the menus, the action list, the drop target, the status
// bar and the active-mode timer. It shows an App that its creator owns and that outlives it:
// after every event it forwards to the core, it redraws what the core's view models say.
#pragma once

#include <QMainWindow>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/owner/app.h"
#include "app/commands/window_commands.h"
#include "gui/widgets/gui_dialogs.h"
#include "gui/widgets/page_host.h"

class QAction;
class QLabel;
class QMenu;
class QProgressDialog;
class QTimer;

namespace mizuto {

class BattleResultsPage;
class HeadToHeadPage;
class HistoryPage;
class SettingsPage;
class SinkCounterWindow;

struct MainWindowOptions {
  std::string ProgramDir;  // the folder of the settings and list files, ending in '/'
  QUrl HomePage;           // the home site; the version page lies on the same host
  GuiDialogs Dialogs;      // message boxes and choosers (tests pre-answer them)
  // The period of the active-mode timer in milliseconds instead of the interval the player
  // set (0: the player's); tests make it short, so a tick comes soon.
  int TimerPeriodMs = 0;
};

// `outer` moved and, where it is larger, shrunk so that it lies inside `area` (a screen's free
// area): a window kept on a larger screen or at another scale comes up whole.
QRect FitIntoArea(const QRect& outer, const QRect& area);

class MainWindow : public QMainWindow, private PageHost {
  Q_OBJECT

 public:
  // `core` must outlive the window: the pages read its tables in place.
  MainWindow(App& core, MainWindowOptions options);
  ~MainWindow() override;

  App& Core() { return app_; }
  const App& Core() const { return app_; }
  SinkCounterWindow* SinkCounter() const { return sinkCounter_.get(); }
  QAction* Action(const char* name) const;

  // Loads a log as the open dialog or a drop would; false when it could not be read.
  bool OpenLog(const QString& path);
  // Forwards the files of a drop (also what a real drop event calls).
  void DropFiles(const QStringList& paths);
  // Redraws every control from the core's view models.
  void SyncAll() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // How the window shows a command of the core's table (app/commands/window_commands.h): its caption
  // (UTF-8), its key, and what the window does in place of the core's handler (a dialog, a
  // browser, the panes' layout), if anything.
  struct ActionLook {
    const char* Name;
    const char* Caption;
    QKeyCombination Shortcut{};
    void (*Handler)(MainWindow& window, const WindowCommand& command) = nullptr;
  };
  static const ActionLook kActionLooks[];
  static const ActionLook* LookOf(const char* name);
  static void RepaintThenRun(MainWindow& window, const WindowCommand& command);
  static void LayOutPanes(MainWindow& window, const WindowCommand& command);
  struct ActionEntry {
    const WindowCommand* Command;
    const ActionLook* Look;  // nullptr: shown under the command's name
    QAction* Action;
    QString ShownWhy;  // the tooltip that says why it is greyed, as shown
  };

  // The page host: what the pages ask of the window.
  void RunCommand(const std::function<void()>& command) override;
  void SyncActions() override;
  void SyncTimer() override;
  void ShowError(const QString& text) override;
  const Dialogs& Ask() const override { return commandContext_.Ask; }

  void AnswerCommands();
  void BuildLayout();
  bool ShowImportProgress(std::size_t done, std::size_t total, const std::string& step);
  void BuildActions();
  void BuildMenus();
  QMenu* ContextMenu(const char* name, std::span<const char* const> entries, QWidget* owner);
  void Trigger(const ActionEntry& entry);
  void ApplyGeometry();
  void FitOuterSize();
  void NoteNormalFrame();
  void StoreGeometry();
  void ApplyPanes();
  void SyncStatus();
  void SyncSinkCounter();
  void OnTimer();
  void RunWaitingTick();
  void TakeHistoryImportWhenDone();

  App& app_;
  MainWindowOptions options_;
  std::unique_ptr<SinkCounterWindow> sinkCounter_;
  std::vector<ActionEntry> entries_;
  CommandContext commandContext_;  // the window's dialogs and error box, as commands ask them
  bool dropTargetRegistered_ = false;

  QLabel* statusText_ = nullptr;
  BattleResultsPage* results_ = nullptr;
  SettingsPage* settings_ = nullptr;
  HeadToHeadPage* headToHead_ = nullptr;
  HistoryPage* history_ = nullptr;
  QProgressDialog* importProgress_ = nullptr;  // while the log folder is imported
  QTimer* followTimer_ = nullptr;
  int commandDepth_ = 0;      // commands in progress, nested ones counted too
  bool settleWaiting_ = false;  // a history import's result is to be taken when the window is idle
  // The window was closed, maybe from inside a long command's progress: the command stops
  // before its next step and asks and tells nothing more.
  bool closing_ = false;
  bool tickWaiting_ = false;  // the timer fired during a command: one tick runs after it

  QSize pendingOuterSize_;  // the outer size to reach once the frame is known
  QRect shownGeometry_;     // the kept rectangle as fitted into the screen at the start
  std::optional<QMargins> normalFrame_;  // the frame of the normal window, once seen
  std::string shownStatus_;
};

}  // namespace mizuto
