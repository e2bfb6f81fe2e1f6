#include "app/result_views.h"
#include "gui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>
#include <functional>

#include "app/dialogs.h"
#include "app/main_commands.h"
#include "app/version_check.h"
#include "app/settings_file.h"
#include "app/start_up.h"
#include "app/battle_list_commands.h"
#include "gui/detail_pane.h"
#include "gui/fixed_header.h"
#include "gui/gui_text.h"
#include "gui/head_to_head_model.h"
#include "gui/head_to_head_view.h"
#include "gui/pane_splitter.h"
#include "gui/program_icon.h"
#include "gui/settings_dialog.h"
#include "gui/sink_counter_window.h"
#include "gui/tally_table_model.h"
#include "gui/version_dialog.h"
#include "gui/version_fetch.h"
#include "app/active_mode.h"
#include "tally/battle_list_view.h"
#include "tally/csv_export.h"
#include "tally/tally_table.h"

namespace mizuto {

struct MainWindow::ActionEntry {
  const char* Name;
  ActionState Actions::*State;
  QAction* Action;
  std::function<void()> Handler;
};

namespace {

constexpr const char* kCategoryProperty = "category";

// The check boxes of the settings page that mirror a view switch: object name, action,
// caption, y.
struct SwitchBox {
  const char* Name;
  const char* ActionName;
  int Y;
};
constexpr SwitchBox kSwitchBoxes[] = {
    {"CriCheck", "CriView", 40},        {"WaterCheck", "WaterView", 56},
    {"SailCheck", "SailView", 72},      {"RudderCheck", "RudderView", 88},
    {"ConfuseCheck", "ConfuseView", 104}, {"SayCheck", "SayView", 136},
    {"PartyCheck", "PartyView", 152},   {"CompanyCheck", "CompanyView", 168},
    {"RoomCheck1", "RoomView1", 184},   {"RoomCheck2", "RoomView2", 200},
    {"RoomCheck3", "RoomView3", 216},   {"TellCheck", "TellView", 232},
    {"DebugCheck", "DebugView", 264},
};

QWidget* FillingPanel(const char* name, QWidget* child) {
  auto* panel = new QWidget;
  panel->setObjectName(QLatin1String(name));
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(child);
  return panel;
}

// A check box bound to an action shows the action's caption and state and triggers it.
void BindCheckBox(QCheckBox* box, QAction* action) {
  box->setText(action->text());
  box->setChecked(action->isChecked());
  QObject::connect(box, &QCheckBox::clicked, action, [action, box](bool) {
    action->trigger();
    box->setChecked(action->isChecked());
  });
  QObject::connect(action, &QAction::changed, box, [action, box] {
    if (box->isChecked() != action->isChecked()) box->setChecked(action->isChecked());
    box->setEnabled(action->isEnabled());
  });
}

}  // namespace

MainWindow::MainWindow(MainWindowOptions options) : options_(std::move(options)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowIcon(ProgramIcon());
  setFont(ProportionalFont(12));
  app_.ProgramDir = options_.ProgramDir;
  // The analysis reports its progress far more often than the figure changes: the status
  // bar is drawn again only when its text did.
  app_.OnStatusChanged = [this] {
    if (app_.StatusText == shownStatus_) return;
    shownStatus_ = app_.StatusText;
    statusText_->setText(ToQt(shownStatus_));
    statusText_->repaint();
  };
  BuildLayout();
  BuildActions();
  BuildMenus();

  // Settings, lists, check marks, switches, tally columns and caption, then the window's
  // own share: geometry, panes and the controls that show them.
  Run([this] { StartUp(app_); });
  ApplyGeometry();
  FillCheckLists();
  for (const SwitchBox& s : kSwitchBoxes) {
    BindCheckBox(findChild<QCheckBox*>(QLatin1String(s.Name)), Action(s.ActionName));
  }
  BindCheckBox(findChild<QCheckBox*>(QStringLiteral("CheckBox1")), Action("ActiveMode"));
  npcCheck_->setChecked(app_.NpcCheck);
  SyncAll();
  ApplyBattleLogPane();
  ApplyErrorPane();

  if (app_.VerChk != 0) {
    std::string message;
    const int result = CheckLatestVersion(VersionPageUrl(options_.HomePage), app_, &message);
    if (result == kVersionFound) app_.Caption = app_.ProgramTitle() + " ( " + message + " )";
    setWindowTitle(ToQt(app_.Caption));
  }

  sinkCounter_ = std::make_unique<SinkCounterWindow>(this);
  sinkCounter_->hide();
}

MainWindow::~MainWindow() {
  // The views read the core's tables, and the core would outlive nothing here: the widgets
  // go first, while the tables they show still exist (a dying QWidget still lays out and
  // asks its model).
  timer1_->stop();
  app_.OnStatusChanged = nullptr;
  hide();
  delete takeCentralWidget();
}

QAction* MainWindow::Action(const char* name) const {
  for (const ActionEntry& e : entries_) {
    if (qstrcmp(e.Name, name) == 0) return e.Action;
  }
  return nullptr;
}

template <typename F>
void MainWindow::Run(F&& command) {
  try {
    command();
  } catch (const std::exception& e) {
    options_.Dialogs.Error(this, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    options_.Dialogs.Error(this, QStringLiteral("Unknown error"));
  }
}

// ---------------------------------------------------------------------------------------
// Layout

void MainWindow::BuildLayout() {
  auto* statusBar1 = new QStatusBar;
  statusBar1->setObjectName(QStringLiteral("StatusBar1"));
  statusBar1->setSizeGripEnabled(true);
  statusBar1->setFixedHeight(19);
  statusText_ = new QLabel;
  statusText_->setObjectName(QStringLiteral("StatusText"));
  statusBar1->addWidget(statusText_, 1);
  setStatusBar(statusBar1);

  auto* pageControl1 = new QTabWidget;
  pageControl1->setObjectName(QStringLiteral("PageControl1"));
  setCentralWidget(pageControl1);

  // Page 1: tally table above; detail pane, battle list and error pane below.
  listView1_ = new QTableView;
  listView1_->setObjectName(QStringLiteral("ListView1"));
  listView1_->setHorizontalHeader(new FixedHeader(Qt::Horizontal, -1, listView1_));
  listView1_->setFont(FixedFont(12));
  listView1_->setShowGrid(true);
  listView1_->setSelectionBehavior(QAbstractItemView::SelectRows);
  listView1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  listView1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  listView1_->setWordWrap(false);
  listView1_->setIconSize(QSize(16, 16));
  listView1_->verticalHeader()->hide();
  listView1_->verticalHeader()->setDefaultSectionSize(18);
  listView1_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  listView1_->horizontalHeader()->setSectionsClickable(true);
  listView1_->horizontalHeader()->setHighlightSections(false);
  listView1_->setContextMenuPolicy(Qt::CustomContextMenu);
  tallyModel_ = new TallyTableModel(app_.TallyTable, this);
  listView1_->setModel(tallyModel_);
  connect(listView1_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) {
    Run([&] { ListView1ColumnClick(app_, c); });
    SyncTally();
    SyncActions();
  });
  connect(listView1_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { OnTallySelection(); });
  auto* panel4 = FillingPanel("Panel4", listView1_);
  panel4->setMinimumHeight(50);

  richEdit1_ = new QTextEdit;
  richEdit1_->setObjectName(QStringLiteral("RichEdit1"));
  SetUpDetailPane(richEdit1_);
  richEdit1_->setContextMenuPolicy(Qt::CustomContextMenu);
  panel6_ = FillingPanel("Panel6", richEdit1_);
  panel6_->setMinimumWidth(50);

  listBox1_ = new QListWidget;
  listBox1_->setObjectName(QStringLiteral("ListBox1"));
  listBox1_->setFont(FixedFont(12));
  listBox1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  listBox1_->setUniformItemSizes(true);
  listBox1_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(listBox1_, &QListWidget::itemSelectionChanged, this, [this] { OnBattleListSelection(); });
  connect(listBox1_, &QListWidget::itemDoubleClicked, this, [this] {
    Run([this] { ListBox1DblClick(app_); });
    SyncAll();
  });
  auto* panel8 = FillingPanel("Panel8", listBox1_);
  panel8->setMinimumHeight(50);

  memo1_ = new QPlainTextEdit;
  memo1_->setObjectName(QStringLiteral("Memo1"));
  memo1_->setReadOnly(true);
  memo1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  panel9_ = FillingPanel("Panel9", memo1_);
  panel9_->setMinimumHeight(50);

  // The panes docked to an edge keep the sizes of the settings (Sp1 .. Sp5).
  WindowGeometry& sizes = app_.Geometry;
  splitter8_ = new PaneSplitter("Splitter8", Qt::Vertical);
  splitter8_->AddFilling(panel8);
  splitter8_->AddDocked(panel9_, PaneSplitter::Edge::Trailing, &sizes.Sp3);
  auto* panel7 = FillingPanel("Panel7", splitter8_);
  panel7->setMinimumWidth(50);

  splitter7_ = new PaneSplitter("Splitter7", Qt::Horizontal);
  splitter7_->AddDocked(panel6_, PaneSplitter::Edge::Leading, &sizes.Sp2);
  splitter7_->AddFilling(panel7);
  panel5_ = FillingPanel("Panel5", splitter7_);
  panel5_->setMinimumHeight(50);

  splitter5_ = new PaneSplitter("Splitter5", Qt::Vertical);
  splitter5_->AddFilling(panel4);
  splitter5_->AddDocked(panel5_, PaneSplitter::Edge::Trailing, &sizes.Sp1);
  auto* page1 = FillingPanel("Page1", splitter5_);
  pageControl1->addTab(page1, QStringLiteral("戦闘結果"));

  // Page 2: the skill and item check lists and the switches.
  checkListBox1_ = new QListWidget;
  checkListBox1_->setObjectName(QStringLiteral("CheckListBox1"));
  checkListBox1_->setUniformItemSizes(true);
  checkListBox2_ = new QListWidget;
  checkListBox2_->setObjectName(QStringLiteral("CheckListBox2"));
  checkListBox2_->setUniformItemSizes(true);
  // A toggled check mark goes to the list's own command (skills or items).
  auto forwardChecks = [this](QListWidget* list, void (*command)(App&, int, bool)) {
    connect(list, &QListWidget::itemChanged, this, [this, list, command](QListWidgetItem* item) {
      if (syncing_ > 0) return;
      const int row = list->row(item);
      const bool checked = item->checkState() == Qt::Checked;
      Run([&] { command(app_, row, checked); });
      SyncAll();
    });
  };
  forwardChecks(checkListBox1_, &CheckListBox1ClickCheck);
  forwardChecks(checkListBox2_, &CheckListBox2ClickCheck);

  auto* panel3 = new QWidget;
  panel3->setObjectName(QStringLiteral("Panel3"));
  panel3->setMinimumWidth(200);
  npcCheck_ = new QCheckBox(QStringLiteral("NPCとの戦闘を含める"), panel3);
  npcCheck_->setObjectName(QStringLiteral("NPCCheck"));
  npcCheck_->setGeometry(8, 8, 185, 17);
  connect(npcCheck_, &QCheckBox::clicked, this, [this](bool checked) {
    Run([&] { NPCCheckClick(app_, checked); });
    SyncAll();
  });
  for (const SwitchBox& s : kSwitchBoxes) {
    auto* box = new QCheckBox(panel3);
    box->setObjectName(QLatin1String(s.Name));
    box->setGeometry(8, s.Y, 185, 17);
  }
  auto* panel1 = new QWidget(panel3);
  panel1->setObjectName(QStringLiteral("Panel1"));
  panel1->setGeometry(8, 280, 185, 65);
  auto* checkBox1 = new QCheckBox(panel1);
  checkBox1->setObjectName(QStringLiteral("CheckBox1"));
  checkBox1->setGeometry(0, 0, 185, 17);
  edit1_ = new QLineEdit(QStringLiteral("10"), panel1);
  edit1_->setObjectName(QStringLiteral("Edit1"));
  edit1_->setGeometry(0, 22, 45, 21);
  auto* upDown1 = new QWidget(panel1);
  upDown1->setObjectName(QStringLiteral("UpDown1"));
  upDown1->setGeometry(45, 22, 16, 21);
  auto* up = new QToolButton(upDown1);
  up->setObjectName(QStringLiteral("UpDown1Up"));
  up->setArrowType(Qt::UpArrow);
  up->setAutoRepeat(true);
  up->setGeometry(0, 0, 16, 10);
  auto* down = new QToolButton(upDown1);
  down->setObjectName(QStringLiteral("UpDown1Down"));
  down->setArrowType(Qt::DownArrow);
  down->setAutoRepeat(true);
  down->setGeometry(0, 11, 16, 10);
  auto* seconds = new QLabel(QStringLiteral("秒"), panel1);
  seconds->setGeometry(66, 22, 40, 21);
  connect(edit1_, &QLineEdit::textChanged, this, [this](const QString& t) { OnIntervalText(t); });
  connect(up, &QToolButton::clicked, this, [this] { StepInterval(1); });
  connect(down, &QToolButton::clicked, this, [this] { StepInterval(-1); });

  page2Splitter_ = new PaneSplitter("Page2Splitter", Qt::Horizontal);
  page2Splitter_->AddDocked(checkListBox1_, PaneSplitter::Edge::Leading, &sizes.Sp4);
  page2Splitter_->AddDocked(checkListBox2_, PaneSplitter::Edge::Leading, &sizes.Sp5);
  page2Splitter_->AddFilling(panel3);
  auto* page2 = FillingPanel("Page2", page2Splitter_);
  pageControl1->addTab(page2, QStringLiteral("設定"));

  // Page 3: the head-to-head grid.
  stringGrid1_ = new QTableView;
  stringGrid1_->setObjectName(QStringLiteral("StringGrid1"));
  SetUpHeadToHeadView(stringGrid1_);
  gridModel_ = new HeadToHeadModel(app_.Grid, this);
  stringGrid1_->setModel(gridModel_);
  auto* tabSheet1 = FillingPanel("TabSheet1", stringGrid1_);
  pageControl1->addTab(tabSheet1, QStringLiteral("対戦表"));
  connect(pageControl1, &QTabWidget::currentChanged, this, [this] { FitGridNames(); });

  timer1_ = new QTimer(this);
  timer1_->setObjectName(QStringLiteral("Timer1"));
  timer1_->setSingleShot(true);  // restarted after each tick: the next one comes a period later
  timer1_->setInterval(options_.TimerPeriodMs > 0 ? options_.TimerPeriodMs : app_.TimerIntervalMs);
  connect(timer1_, &QTimer::timeout, this, [this] { OnTimer(); });
}

// ---------------------------------------------------------------------------------------
// Actions and menus

void MainWindow::BuildActions() {
  struct Def {
    const char* Name;
    const char* Category;
    const char* Caption;
    QKeySequence Shortcut;
    ActionState Actions::*State;
    bool Checkable;
    std::function<void()> Handler;
  };
  auto render = [this] { CriViewExecute(app_); };
  const Def defs[] = {
      {"LoadLog", "File", "ログ読込", {}, &Actions::LoadLog, false,
       [this] {
         QString folder = ToQt(app_.LogDir);
         const QString path = options_.Dialogs.OpenFile(
             this, folder, QStringLiteral("ログファイル (*.html)"));
         if (path.isEmpty()) return;
         OpenLog(path);
       }},
      {"ReloadLog", "File", "ログ再読込", {}, &Actions::ReloadLog, false,
       [this] {
         repaint();
         ReloadLogExecute(app_);
       }},
      {"LoadNewLog", "File", "最新のログを読込", {}, &Actions::LoadNewLog, false,
       [this] {
         repaint();
         LoadNewLogExecute(app_);
       }},
      {"SaveCsv", "File", "結果をCSV形式で保存(&S)", {}, &Actions::SaveCsv, false,
       [this] {
         std::string error;
         if (!SaveCsvExecute(app_, &error)) {
           options_.Dialogs.Error(this, ToQt(error));
         }
       }},
      {"Setting", "File", "設定", {}, &Actions::Setting, false,
       [this] { SettingExecute(app_, this, options_.Dialogs); }},
      {"Exit", "File", "終了(&X)", {}, &Actions::Exit, false, [this] { close(); }},
      {"CriView", "ViewSetting", "クリティカル表示", {}, &Actions::CriView, true, render},
      {"WaterView", "ViewSetting", "浸水表示", {}, &Actions::WaterView, true, render},
      {"SailView", "ViewSetting", "帆表示", {}, &Actions::SailView, true, render},
      {"RudderView", "ViewSetting", "舵表示", {}, &Actions::RudderView, true, render},
      {"ConfuseView", "ViewSetting", "混乱表示", {}, &Actions::ConfuseView, true, render},
      {"DebugView", "ViewSetting", "デバッグモード", {}, &Actions::DebugView, true, render},
      {"SayView", "ViewSetting", "Say表示", QKeySequence(Qt::CTRL | Qt::Key_S),
       &Actions::SayView, true, render},
      {"PartyView", "ViewSetting", "艦隊チャット表示", QKeySequence(Qt::CTRL | Qt::Key_P),
       &Actions::PartyView, true, render},
      {"CompanyView", "ViewSetting", "商会チャット表示", QKeySequence(Qt::CTRL | Qt::Key_O),
       &Actions::CompanyView, true, render},
      {"RoomView1", "ViewSetting", "チャットルーム１表示", QKeySequence(Qt::CTRL | Qt::Key_1),
       &Actions::RoomView1, true, render},
      {"RoomView2", "ViewSetting", "チャットルーム２表示", QKeySequence(Qt::CTRL | Qt::Key_2),
       &Actions::RoomView2, true, render},
      {"RoomView3", "ViewSetting", "チャットルーム３表示", QKeySequence(Qt::CTRL | Qt::Key_3),
       &Actions::RoomView3, true, render},
      {"TellView", "ViewSetting", "Ｔｅｌｌ表示", QKeySequence(Qt::CTRL | Qt::Key_T),
       &Actions::TellView, true, render},
      {"BattleLogView", "ViewSetting", "戦闘状況画面", {}, &Actions::BattleLogView, true,
       [this] { ApplyBattleLogPane(); }},
      {"ErrorLogView", "ViewSetting", "エラー表示画面", {}, &Actions::ErrorLogView, true,
       [this] { ApplyErrorPane(); }},
      {"AvgHitDown", "ViewSetting", "撃沈、拿捕を平均表示", {}, &Actions::AvgHitDown, true,
       [this] { AvgHitDownExecute(app_); }},
      {"AvgSkillItem", "ViewSetting", "スキル、アイテムを平均表示", {}, &Actions::AvgSkillItem,
       true, [this] { AvgSkillItemExecute(app_); }},
      {"ActiveMode", "ViewSetting", "アクティブモード", {}, &Actions::ActiveMode, true,
       [this] { ActiveModeExecute(app_); }},
      {"PlayerHide", "PlayerView", "選択したPCを非表示", {}, &Actions::PlayerHide, false,
       [this] { PlayerHideExecute(app_); }},
      {"PlayerAll", "PlayerView", "PCを総て表示", {}, &Actions::PlayerAll, false,
       [this] { PlayerAllExecute(app_); }},
      {"PrBatLog", "BattleList", "戦闘ログを表示", QKeySequence(Qt::Key_Space),
       &Actions::PrBatLog, false, [this] { ListBox1DblClick(app_); }},
      {"AddTotalList", "BattleList", "選択中の戦闘を集計に入れる", QKeySequence(Qt::Key_Insert),
       &Actions::AddTotalList, false, [this] { AddTotalListExecute(app_); }},
      {"DelTotalList", "BattleList", "選択中の戦闘を集計から外す", QKeySequence(Qt::Key_Delete),
       &Actions::DelTotalList, false, [this] { DelTotalListExecute(app_); }},
      {"ShipTypeS", "BattleList", "選択中の戦闘を小型にする", {}, &Actions::ShipTypeS, false,
       [this] { ShipTypeSExecute(app_); }},
      {"ShipTypeM", "BattleList", "選択中の戦闘を中型にする", {}, &Actions::ShipTypeM, false,
       [this] { ShipTypeMExecute(app_); }},
      {"ShipTypeB", "BattleList", "選択中の戦闘を大型にする", {}, &Actions::ShipTypeB, false,
       [this] { ShipTypeBExecute(app_); }},
      {"BattleTypeK", "BattleList", "選択中の戦闘を海戦にする", {}, &Actions::BattleTypeK, false,
       [this] { BattleTypeKExecute(app_); }},
      {"BattleTypeM", "BattleList", "選択中の戦闘を模擬にする", {}, &Actions::BattleTypeM, false,
       [this] { BattleTypeMExecute(app_); }},
      {"BattleTypeR", "BattleList", "選択中の戦闘を実戦にする", {}, &Actions::BattleTypeR, false,
       [this] { BattleTypeRExecute(app_); }},
      {"ToPC", "BattleList", "選択中の戦闘をPC扱いにする", {}, &Actions::ToPC, false,
       [this] { ToPCExecute(app_); }},
      {"ToNPC", "BattleList", "選択中の戦闘をNPC扱いにする", {}, &Actions::ToNPC, false,
       [this] { ToNPCExecute(app_); }},
      {"AddNPC", "BattleList", "NPCリストへ登録", {}, &Actions::AddNPC, false,
       [this] {
         Dialogs core;
         core.Message = [this](const std::string& text, const std::string& caption) {
           options_.Dialogs.Message(this, ToQt(text), ToQt(caption));
         };
         core.AskYesNo = [this](const std::string& text, const std::string& caption) {
           return options_.Dialogs.AskYesNo(this, ToQt(text), ToQt(caption));
         };
         std::string error;
         if (!AddNPCExecute(app_, core, &error)) options_.Dialogs.Error(this, ToQt(error));
       }},
      {"Version", "Help", "バージョン情報(&A)", {}, &Actions::Version, false,
       [this] { VersionExecute(app_, this, options_.Dialogs); }},
      {"VerCheck", "Help", "最新バージョンをチェック", {}, &Actions::VerCheck, false,
       [this] { VerCheckExecute(VersionPageUrl(options_.HomePage), app_, this, options_.Dialogs); }},
      {"HomePage", "Help", "ホームページを見る", {}, &Actions::HomePage, false,
       [this] { QDesktopServices::openUrl(options_.HomePage); }},
  };
  for (const Def& d : defs) {
    auto* action = new QAction(QString::fromUtf8(d.Caption), this);
    action->setObjectName(QLatin1String(d.Name));
    action->setProperty(kCategoryProperty, QLatin1String(d.Category));
    action->setCheckable(d.Checkable);
    if (!d.Shortcut.isEmpty()) {
      action->setShortcut(d.Shortcut);
      action->setShortcutContext(Qt::WindowShortcut);
    }
    addAction(action);  // shortcuts act anywhere in the window
    entries_.push_back(ActionEntry{d.Name, d.State, action, d.Handler});
  }
  for (const ActionEntry& e : entries_) {
    const ActionEntry* entry = &e;
    connect(e.Action, &QAction::triggered, this, [this, entry] {
      if (syncing_ > 0) return;
      Trigger(*entry);
    });
  }
}

void MainWindow::Trigger(const ActionEntry& entry) {
  ActionState& state = app_.Acts.*(entry.State);
  if (!state.Enabled) return;
  // A check action has flipped its own state before its handler runs.
  if (entry.Action->isCheckable()) state.Checked = entry.Action->isChecked();
  Run(entry.Handler);
  SyncAll();
}

void MainWindow::BuildMenus() {
  QMenuBar* mainMenu1 = menuBar();
  mainMenu1->setObjectName(QStringLiteral("MainMenu1"));
  fileMenu_ = mainMenu1->addMenu(QStringLiteral("ファイル(&F)"));
  fileMenu_->setObjectName(QStringLiteral("N1"));
  for (const char* name : {"LoadLog", "ReloadLog", "LoadNewLog", "-", "SaveCsv", "-", "Setting",
                           "-", "Exit"}) {
    if (name[0] == '-') fileMenu_->addSeparator(); else fileMenu_->addAction(Action(name));
  }
  connect(fileMenu_, &QMenu::aboutToShow, this, [this] {
    Run([this] { N1Click(app_); });
    SyncActions();
  });
  QMenu* viewMenu = mainMenu1->addMenu(QStringLiteral("表示(&V)"));
  viewMenu->setObjectName(QStringLiteral("ViewMenu"));
  for (const char* name : {"BattleLogView", "ErrorLogView", "-", "AvgHitDown", "AvgSkillItem"}) {
    if (name[0] == '-') viewMenu->addSeparator(); else viewMenu->addAction(Action(name));
  }
  QMenu* helpMenu = mainMenu1->addMenu(QStringLiteral("ヘルプ(&H)"));
  helpMenu->setObjectName(QStringLiteral("HelpMenu"));
  for (const char* name : {"Version", "VerCheck", "HomePage"}) helpMenu->addAction(Action(name));

  popupMenu1_ = new QMenu(this);
  popupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
  for (const char* name : {"CriView", "WaterView", "SailView", "RudderView", "ConfuseView", "-",
                           "SayView", "PartyView", "CompanyView", "RoomView1", "RoomView2",
                           "RoomView3", "TellView", "-", "DebugView"}) {
    if (name[0] == '-') popupMenu1_->addSeparator(); else popupMenu1_->addAction(Action(name));
  }
  connect(richEdit1_, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
    popupMenu1_->popup(richEdit1_->viewport()->mapToGlobal(p));
  });

  popupMenu2_ = new QMenu(this);
  popupMenu2_->setObjectName(QStringLiteral("PopupMenu2"));
  popupMenu2_->addAction(Action("PlayerHide"));
  popupMenu2_->addAction(Action("PlayerAll"));
  connect(listView1_, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
    popupMenu2_->popup(listView1_->viewport()->mapToGlobal(p));
  });

  popupMenu3_ = new QMenu(this);
  popupMenu3_->setObjectName(QStringLiteral("PopupMenu3"));
  // The battle list's menu names the show command after what it shows. It is an entry of
  // its own, so the key is written after a tab, which a menu shows as the entry's shortcut:
  // a second Space shortcut in the window would make the key ambiguous.
  auto* prBatLog = new QAction(
      QStringLiteral("選択中の戦闘ログを表示\t") +
          Action("PrBatLog")->shortcut().toString(QKeySequence::NativeText),
      popupMenu3_);
  prBatLog->setObjectName(QStringLiteral("PrBatLogMenuItem"));
  connect(prBatLog, &QAction::triggered, Action("PrBatLog"), &QAction::trigger);
  connect(Action("PrBatLog"), &QAction::changed, prBatLog,
          [this, prBatLog] { prBatLog->setEnabled(Action("PrBatLog")->isEnabled()); });
  popupMenu3_->addAction(prBatLog);
  for (const char* name : {"-", "ShipTypeB", "ShipTypeM", "ShipTypeS", "-", "BattleTypeK",
                           "BattleTypeM", "BattleTypeR", "-", "ToNPC", "ToPC", "-",
                           "AddTotalList", "DelTotalList", "-", "AddNPC", "-", "ActiveMode"}) {
    if (name[0] == '-') popupMenu3_->addSeparator(); else popupMenu3_->addAction(Action(name));
  }
  connect(popupMenu3_, &QMenu::aboutToShow, this, [this] {
    Run([this] { PopupMenu3Popup(app_); });
    SyncActions();
  });
  connect(listBox1_, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
    popupMenu3_->popup(listBox1_->viewport()->mapToGlobal(p));
  });
}

// ---------------------------------------------------------------------------------------
// Geometry and panes

// Width and Height are the window's outer size, frame included, as Left and Top are the
// frame's position. The frame is known only once the window system has framed the window:
// until then the inner size stands in for the outer one, and the first move or resize that
// brings the frame's size makes the inner size smaller by it.
void MainWindow::ApplyGeometry() {
  const WindowGeometry& g = app_.Geometry;
  move(g.Left, g.Top);
  resize(g.Width, g.Height);
  pendingOuterSize_ = QSize(g.Width, g.Height);
  for (PaneSplitter* splitter : {splitter5_, splitter7_, splitter8_, page2Splitter_}) {
    splitter->Refit();
  }
}

void MainWindow::FitOuterSize() {
  if (!pendingOuterSize_.isValid() || !isVisible()) return;
  const QSize frame = frameGeometry().size() - size();
  if (frame.isNull()) return;  // not framed (yet): the inner size is the outer one
  const QSize inner = pendingOuterSize_ - frame;
  pendingOuterSize_ = QSize();
  if (inner != size()) resize(inner);
}

void MainWindow::StoreGeometry() {
  // The pane sizes (Sp1 .. Sp5) are kept up to date by the splitters themselves.
  WindowGeometry& g = app_.Geometry;
  const QRect outer = frameGeometry();
  g.Left = outer.x();
  g.Top = outer.y();
  g.Width = outer.width();
  g.Height = outer.height();
}

void MainWindow::ApplyBattleLogPane() {
  // A hidden pane takes its splitter handle with it; shown again it is back on its side,
  // as wide as it was.
  panel6_->setVisible(app_.Acts.BattleLogView.Checked);
  splitter7_->Refit();
}

void MainWindow::ApplyErrorPane() {
  panel9_->setVisible(app_.Acts.ErrorLogView.Checked);
  splitter8_->Refit();
}

void MainWindow::FillCheckLists() {
  ++syncing_;
  auto fill = [](QListWidget* list, const std::vector<std::string>& names,
                 const std::vector<char>& marks) {
    list->clear();
    for (std::size_t i = 0; i < names.size(); ++i) {
      auto* item = new QListWidgetItem(ToQt(names[i]), list);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      item->setCheckState(i < marks.size() && marks[i] ? Qt::Checked : Qt::Unchecked);
    }
  };
  fill(checkListBox1_, app_.Lists.SkillNames, app_.SkillChecked);
  fill(checkListBox2_, app_.Lists.ItemNames, app_.ItemChecked);
  --syncing_;
}

// ---------------------------------------------------------------------------------------
// Drawing what the core says

void MainWindow::SyncAll() {
  ++syncing_;
  setWindowTitle(ToQt(app_.Caption));
  if (app_.StatusText != shownStatus_) {
    shownStatus_ = app_.StatusText;
    statusText_->setText(ToQt(shownStatus_));
  }
  SyncActions();
  SyncBattleList();
  SyncDetail();
  SyncErrors();
  SyncTally();
  SyncGrid();
  SyncInterval();
  SyncTimer();
  SyncSinkCounter();
  if (npcCheck_->isChecked() != app_.NpcCheck) npcCheck_->setChecked(app_.NpcCheck);
  --syncing_;
}

void MainWindow::SyncActions() {
  ++syncing_;
  for (const ActionEntry& e : entries_) {
    const ActionState& state = app_.Acts.*(e.State);
    if (e.Action->isEnabled() != state.Enabled) e.Action->setEnabled(state.Enabled);
    if (e.Action->isCheckable() && e.Action->isChecked() != state.Checked) e.Action->setChecked(state.Checked);
  }
  --syncing_;
}

void MainWindow::SyncBattleList() {
  ++syncing_;
  const BattleListView& list = app_.BattleList;
  const int rows = list.Count();
  listBox1_->setUpdatesEnabled(false);
  while (listBox1_->count() > rows) delete listBox1_->takeItem(listBox1_->count() - 1);
  for (int i = 0; i < rows; ++i) {
    const QString text = ToQt(list.Rows[static_cast<std::size_t>(i)]);
    if (i < listBox1_->count()) {
      QListWidgetItem* item = listBox1_->item(i);
      if (item->text() != text) item->setText(text);
    } else {
      listBox1_->addItem(text);
    }
  }
  QItemSelectionModel* selection = listBox1_->selectionModel();
  for (int i = 0; i < rows; ++i) {
    const bool want = list.IsSelected(i);
    if (listBox1_->item(i)->isSelected() != want) listBox1_->item(i)->setSelected(want);
  }
  if (list.FocusRow >= 0 && list.FocusRow < rows) {
    selection->setCurrentIndex(listBox1_->model()->index(list.FocusRow, 0),
                               QItemSelectionModel::NoUpdate);
    if (list.IsSelected(list.FocusRow)) listBox1_->scrollToItem(listBox1_->item(list.FocusRow));
  }
  listBox1_->setToolTip(ToQt(list.Hint));
  listBox1_->setUpdatesEnabled(true);
  --syncing_;
}

void MainWindow::SyncDetail() {
  if (app_.Detail == shownDetail_) return;
  FillDetailPane(richEdit1_, app_.Detail);
  shownDetail_ = app_.Detail;
}

void MainWindow::SyncErrors() {
  if (app_.ErrorLines.size() < shownErrors_) {
    memo1_->clear();
    shownErrors_ = 0;
  }
  if (app_.ErrorLines.size() == shownErrors_) return;
  QString text;
  for (std::size_t i = shownErrors_; i < app_.ErrorLines.size(); ++i) {
    if (i > shownErrors_) text += QLatin1Char('\n');
    text += ToQt(app_.ErrorLines[i]);
  }
  memo1_->appendPlainText(text);
  shownErrors_ = app_.ErrorLines.size();
}

void MainWindow::SyncTally() {
  // Most commands leave the table as it is (a transcript switch, a selection): then there is
  // nothing to draw.
  const TallyTableModel::Change change = tallyModel_->Update();
  if (change == TallyTableModel::Change::None) return;
  ++syncing_;
  // Columns are as wide as their captions, the name column as wide as the longest name.
  QHeaderView* header = listView1_->horizontalHeader();
  if (change == TallyTableModel::Change::Columns) {
    for (int c = 1; c < tallyModel_->columnCount(); ++c) {
      header->resizeSection(c, header->sectionSizeHint(c));
    }
  }
  if (tallyModel_->columnCount() > 0) {
    listView1_->resizeColumnToContents(0);
    if (header->sectionSize(0) < 100) header->resizeSection(0, 100);
  }
  QItemSelection selected;
  const auto& rows = app_.TallyTable.Rows;
  const int lastColumn = tallyModel_->columnCount() - 1;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].Selected) continue;
    const int r = static_cast<int>(i);
    selected.select(tallyModel_->index(r, 0), tallyModel_->index(r, std::max(0, lastColumn)));
  }
  listView1_->selectionModel()->select(selected, QItemSelectionModel::ClearAndSelect);
  --syncing_;
}

void MainWindow::SyncGrid() {
  if (gridModel_->Update()) gridNamesToFit_ = true;
  FitGridNames();
}

// Measuring a thousand names costs more than the rest of a redraw of the grid: it waits
// until the grid's page is on screen.
void MainWindow::FitGridNames() {
  if (!gridNamesToFit_ || !stringGrid1_->isVisible()) return;
  FitNameColumn(stringGrid1_, app_.Grid);
  gridNamesToFit_ = false;
}

void MainWindow::SyncInterval() {
  const QString text = ToQt(app_.IntervalText);
  if (edit1_->text() != text) edit1_->setText(text);
}

void MainWindow::SyncTimer() {
  const int period = options_.TimerPeriodMs > 0 ? options_.TimerPeriodMs : app_.TimerIntervalMs;
  if (timer1_->interval() != period) timer1_->setInterval(period);
  if (app_.TimerRunning && !timer1_->isActive()) timer1_->start();
  if (!app_.TimerRunning && timer1_->isActive()) timer1_->stop();
}

void MainWindow::SyncSinkCounter() {
  if (!sinkCounter_) return;
  sinkCounter_->SetText(ToQt(app_.SinkCounterText));
  if (app_.SinkCounterVisible && !sinkCounter_->isVisible()) sinkCounter_->ShowCentredOn(this);
  if (!app_.SinkCounterVisible && sinkCounter_->isVisible()) sinkCounter_->hide();
}

// ---------------------------------------------------------------------------------------
// Events

void MainWindow::OnBattleListSelection() {
  if (syncing_ > 0) return;
  BattleListView& list = app_.BattleList;
  for (int i = 0; i < list.Count() && i < listBox1_->count(); ++i) {
    list.Selected[static_cast<std::size_t>(i)] = listBox1_->item(i)->isSelected() ? 1 : 0;
  }
  list.FocusRow = listBox1_->currentRow();
  Run([this] { ListBox1Click(app_); });
  listBox1_->setToolTip(ToQt(list.Hint));
}

void MainWindow::OnTallySelection() {
  if (syncing_ > 0) return;
  auto& rows = app_.TallyTable.Rows;
  QItemSelectionModel* selection = listView1_->selectionModel();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].Selected = selection->isRowSelected(static_cast<int>(i), QModelIndex());
  }
  Run([this] { ListView1SelectItem(app_); });
  SyncActions();
}

void MainWindow::OnTimer() {
  Run([this] { Timer1Timer(app_); });
  // The timer is single-shot: SyncAll starts it again, so the next tick comes a full period
  // after this one ended.
  SyncAll();
}

void MainWindow::OnIntervalText(const QString& text) {
  if (syncing_ > 0) return;
  bool valid = true;
  Run([&] { valid = Edit1Change(app_, FromQt(text)); });
  if (!valid) {
    options_.Dialogs.Error(this, QStringLiteral("'%1' is not a valid integer value").arg(text));
    return;
  }
  // A clamped value or leading zeros are written back; the rewrite comes here once more.
  const QString shown = ToQt(app_.IntervalText);
  if (shown != text) edit1_->setText(shown);
  SyncTimer();
}

void MainWindow::StepInterval(int delta) {
  bool ok = false;
  int value = ToQt(app_.IntervalText).toInt(&ok);
  if (!ok) value = 10;
  value = std::clamp(value + delta, 1, 100);
  edit1_->setText(QString::number(value));
}

bool MainWindow::OpenLog(const QString& path) {
  repaint();
  bool read = false;
  Run([&] { read = OpenLogFile(app_, QFile::encodeName(path).toStdString()); });
  SyncAll();
  return read;
}

void MainWindow::DropFiles(const QStringList& paths) {
  if (!DropIsAccepted(static_cast<int>(paths.size()))) {
    options_.Dialogs.Message(this, ToQt(OneLogOnlyMessage()),
                             QString::fromLatin1(kApplicationTitle));
  } else {
    OpenLog(paths.front());
  }
  activateWindow();
  raise();
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
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
  StoreGeometry();
  std::string error;
  if (!SaveSettings(app_, &error)) options_.Dialogs.Error(this, ToQt(error));
  // The views say so too: Exit closes from inside an action, and the redraw that follows
  // every action would otherwise start the timer and show the counter window again.
  app_.TimerRunning = false;
  app_.SinkCounterVisible = false;
  timer1_->stop();
  if (sinkCounter_) sinkCounter_->hide();
  event->accept();
}

}  // namespace mizuto
