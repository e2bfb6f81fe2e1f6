// The main window: pages, panes, menus, the action list, the drop target and the timer.
// It owns the program's core object and, after every event it forwards there, redraws
// what the core's view models say.
#pragma once

#include <QMainWindow>
#include <QUrl>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "gui/gui_dialogs.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QTableView;
class QTextEdit;
class QTimer;
class QWidget;

namespace mizuto {

class HeadToHeadModel;
class PaneSplitter;
class SinkCounterWindow;
class TallyTableModel;

struct MainWindowOptions {
  std::string ProgramDir;  // the folder of the settings and list files, ending in '/'
  QUrl HomePage;           // the home site; the version page lies on the same host
  GuiDialogs Dialogs;      // message boxes and choosers (tests pre-answer them)
  // The period of the active-mode timer in milliseconds instead of the interval the player
  // set (0: the player's); tests make it short, so a tick comes soon.
  int TimerPeriodMs = 0;
};

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(MainWindowOptions options);
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
  void SyncAll();

 protected:
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct ActionEntry;

  void BuildLayout();
  void BuildActions();
  void BuildMenus();
  void ApplyGeometry();
  void FitOuterSize();
  void StoreGeometry();
  void FillCheckLists();
  // Runs a command at the event boundary: an error that escapes is shown, the program goes on.
  template <typename F>
  void Run(F&& command);
  void Trigger(const ActionEntry& entry);
  void ApplyBattleLogPane();
  void ApplyErrorPane();

  void SyncActions();
  void SyncBattleList();
  void SyncDetail();
  void SyncErrors();
  void SyncTally();
  void SyncGrid();
  void FitGridNames();
  void SyncTimer();
  void SyncSinkCounter();
  void SyncInterval();

  void OnBattleListSelection();
  void OnTallySelection();
  void OnTimer();
  void OnIntervalText(const QString& text);
  void StepInterval(int delta);

  App app_;
  MainWindowOptions options_;
  std::unique_ptr<SinkCounterWindow> sinkCounter_;
  std::vector<ActionEntry> entries_;
  bool dropTargetRegistered_ = false;
  int syncing_ = 0;  // >0 while the window writes into its own controls

  QLabel* statusText_ = nullptr;
  QTableView* listView1_ = nullptr;
  TallyTableModel* tallyModel_ = nullptr;
  QTextEdit* richEdit1_ = nullptr;
  QListWidget* listBox1_ = nullptr;
  QPlainTextEdit* memo1_ = nullptr;
  QWidget* panel5_ = nullptr;
  QWidget* panel6_ = nullptr;
  QWidget* panel9_ = nullptr;
  PaneSplitter* splitter5_ = nullptr;
  PaneSplitter* splitter7_ = nullptr;
  PaneSplitter* splitter8_ = nullptr;
  PaneSplitter* page2Splitter_ = nullptr;
  QListWidget* checkListBox1_ = nullptr;
  QListWidget* checkListBox2_ = nullptr;
  QCheckBox* npcCheck_ = nullptr;
  QLineEdit* edit1_ = nullptr;
  QTableView* stringGrid1_ = nullptr;
  HeadToHeadModel* gridModel_ = nullptr;
  QTimer* timer1_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QMenu* popupMenu1_ = nullptr;
  QMenu* popupMenu2_ = nullptr;
  QMenu* popupMenu3_ = nullptr;

  std::vector<DetailLine> shownDetail_;
  QSize pendingOuterSize_;  // the outer size to reach once the frame is known
  bool gridNamesToFit_ = false;  // the grid changed since its name column was fitted
  std::string shownStatus_;
  std::size_t shownErrors_ = 0;
  bool timerWasRunning_ = false;
  bool sinkCounterShown_ = false;
};

}  // namespace mizuto
