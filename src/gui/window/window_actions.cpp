// How the window shows the core's commands (app/commands/window_commands.h): each command's caption
// and key, and what the window does in place of the core's handler; each menu's entries by
// command name.
#include <QAction>
#include <QDesktopServices>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTableView>
#include "gui/results/detail_pane.h"

#include "app/owner/battle_list_commands.h"
#include "app/commands/main_commands.h"
#include "gui/results/battle_results_page.h"
#include "gui/widgets/gui_text.h"
#include "gui/window/main_window.h"
#include "gui/settings/settings_dialog.h"
#include "gui/version/version_dialog.h"
#include "gui/version/version_fetch.h"

namespace mizuto {

// A long load blocks the window: the menu that chose it is taken down first.
void MainWindow::RepaintThenRun(MainWindow& w, const WindowCommand& c) {
  w.repaint();
  c.Run(w.app_, w.commandContext_);
}

void MainWindow::LayOutPanes(MainWindow& w, const WindowCommand&) { w.ApplyPanes(); }

const MainWindow::ActionLook MainWindow::kActionLooks[] = {
    {"LoadLog", "ログ読込(&O)", {},
     [](MainWindow& w, const WindowCommand&) {
       const QString path = w.options_.Dialogs.OpenFile(&w, QString::fromStdString(w.app_.LogDir.Utf8()),
                                                         QStringLiteral("ログファイル (*.html)"));
       if (!path.isEmpty()) w.OpenLog(path);
     }},
    {"ReloadLog", "ログ再読込(&R)", {}, RepaintThenRun},
    {"LoadNewLog", "最新のログを読込(&N)", {}, RepaintThenRun},
    {"SaveCsv", "結果をCSV形式で保存(&S)"},
    {"ImportLogFolder", "ログフォルダのログをすべて履歴に取り込む(&H)", {}, RepaintThenRun},
    {"ReanalyseHistory", "履歴を解析し直す(&Y)", {}, RepaintThenRun},
    {"ForgetLoadedLog", "読み込んだログを履歴から外す(&D)..."},
    {"Setting", "設定(&T)", {},
     [](MainWindow& w, const WindowCommand&) { EditSettingsInDialog(w.app_, &w, w.options_.Dialogs); }},
    {"Exit", "終了(&X)", {}, [](MainWindow& w, const WindowCommand&) { w.close(); }},
    {"CriticalView", "クリティカル表示(&C)"},
    {"WaterView", "浸水表示(&W)"},
    {"SailView", "帆表示(&A)"},
    {"RudderView", "舵表示(&R)"},
    {"ConfuseView", "混乱表示(&N)"},
    {"DebugView", "デバッグモード(&D)"},
    {"SayView", "Say表示(&S)", Qt::CTRL | Qt::Key_S},
    {"PartyView", "艦隊チャット表示(&P)", Qt::CTRL | Qt::Key_P},
    {"CompanyView", "商会チャット表示(&O)", Qt::CTRL | Qt::Key_O},
    {"Room1View", "チャットルーム１表示(&1)", Qt::CTRL | Qt::Key_1},
    {"Room2View", "チャットルーム２表示(&2)", Qt::CTRL | Qt::Key_2},
    {"Room3View", "チャットルーム３表示(&3)", Qt::CTRL | Qt::Key_3},
    {"TellView", "Ｔｅｌｌ表示(&T)", Qt::CTRL | Qt::Key_T},
    {"BattleLogView", "戦闘状況画面(&B)", {}, LayOutPanes},
    {"ErrorLogView", "エラー表示画面(&E)", {}, LayOutPanes},
    {"AvgHitDown", "撃沈、拿捕を平均表示(&A)"},
    {"AvgSkillItem", "スキル、アイテムを平均表示(&S)"},
    {"ActiveMode", "アクティブモード(&A)"},
    {"PlayerHide", "選択したPCを非表示(&H)"},
    {"PlayerAll", "PCを総て表示(&A)"},
    {"ShowBattleLog", "戦闘ログを表示(&L)", Qt::Key_Space},
    {"AddTotalList", "選択中の戦闘を集計に入れる(&I)", Qt::Key_Insert},
    {"DelTotalList", "選択中の戦闘を集計から外す(&E)", Qt::Key_Delete},
    {"SizeSmall", "選択中の戦闘を小型にする(&S)"},
    {"SizeMedium", "選択中の戦闘を中型にする(&M)"},
    {"SizeLarge", "選択中の戦闘を大型にする(&B)"},
    {"TypeNaval", "選択中の戦闘を海戦にする(&K)"},
    {"TypeMock", "選択中の戦闘を模擬にする(&G)"},
    {"TypeReal", "選択中の戦闘を実戦にする(&R)"},
    {"ToPC", "選択中の戦闘をPC扱いにする(&P)"},
    {"ToNPC", "選択中の戦闘をNPC扱いにする(&N)"},
    {"AddNPC", "NPCリストへ登録(&D)"},
    {"Version", "バージョン情報(&A)", {},
     [](MainWindow& w, const WindowCommand&) { ShowVersionDialog(w.app_, &w, w.options_.Dialogs); }},
    {"VerCheck", "最新バージョンをチェック(&C)", {},
     [](MainWindow& w, const WindowCommand&) {
       // The answer comes later, from the event loop: its box is a command of its own, so
       // no tick runs while it is open.
       auto answer = [&w](const std::string& message) {
         w.RunCommand([&] { ShowVersionAnswer(&w, w.options_.Dialogs, message); });
       };
       CheckVersionOnRequest(VersionPageUrl(w.options_.HomePage), w.app_, &w, answer);
     }},
    {"HomePage", "ホームページを見る(&H)", {},
     [](MainWindow& w, const WindowCommand&) { QDesktopServices::openUrl(w.options_.HomePage); }},
};

namespace {

// The menus' entries by action name; "-" is a separator.
constexpr const char* kFileEntries[] = {"LoadLog", "ReloadLog", "LoadNewLog", "-", "SaveCsv",
                                        "-", "ImportLogFolder", "ReanalyseHistory", "ForgetLoadedLog", "-", "Setting", "-",
                                        "Exit"};
constexpr const char* kViewEntries[] = {"BattleLogView", "ErrorLogView", "-", "AvgHitDown",
                                        "AvgSkillItem"};
constexpr const char* kHelpEntries[] = {"Version", "VerCheck", "HomePage"};
// The transcript's menu.
constexpr const char* kDetailEntries[] = {"CriticalView",   "WaterView",   "SailView",  "RudderView",
                                          "ConfuseView", "-",         "SayView",   "PartyView",
                                          "CompanyView", "Room1View", "Room2View", "Room3View",
                                          "TellView",  "-",           "DebugView"};
// The tally table's menu.
constexpr const char* kTallyEntries[] = {"PlayerHide", "PlayerAll"};
// The battle list's menu.
constexpr const char* kBattleListEntries[] = {
    "ShowBattleLog", "-", "SizeLarge", "SizeMedium", "SizeSmall", "-", "TypeNaval", "TypeMock",
    "TypeReal", "-", "ToNPC", "ToPC", "-", "AddTotalList", "DelTotalList", "-", "AddNPC", "-",
    "ActiveMode"};

struct MenuBarMenu {
  const char* Name;
  const char* Title;
  std::span<const char* const> Entries;
};
constexpr MenuBarMenu kMenuBar[] = {
    {"fileMenu", "ファイル(&F)", kFileEntries},
    {"ViewMenu", "表示(&V)", kViewEntries},
    {"HelpMenu", "ヘルプ(&H)", kHelpEntries},
};

// A context menu entry that names its action otherwise: the battle list's menu names the
// show command after what it shows. It is an entry of its own that triggers the action, with
// the key written after a tab, which a menu shows as the entry's shortcut: a second Space
// shortcut in the window would make the key ambiguous.
struct MirrorEntry {
  const char* ActionName;
  const char* ObjectName;
  const char* Caption;
};
constexpr MirrorEntry kMirrorEntries[] = {
    {"ShowBattleLog", "ShowBattleLogMenuItem", "選択中の戦闘ログを表示(&L)"},
};

// Actions whose key acts only while the battle results page has the focus: Space shows the
// chosen battles there, and everywhere else it belongs to the focused control (a check box or
// a check list's entry on the settings page is ticked with it).
constexpr const char* kResultsPageShortcuts[] = {"ShowBattleLog"};

bool ActsOnResultsPageOnly(const char* actionName) {
  for (const char* name : kResultsPageShortcuts) {
    if (qstrcmp(name, actionName) == 0) return true;
  }
  return false;
}

const MirrorEntry* MirrorOf(const char* actionName) {
  for (const MirrorEntry& m : kMirrorEntries) {
    if (qstrcmp(m.ActionName, actionName) == 0) return &m;
  }
  return nullptr;
}

// Where a menu opened from the keyboard appears: below the focused row of a list or table,
// else in the middle of the pane.
QPoint KeyboardMenuPoint(const QAbstractScrollArea& view) {
  const QRect area = view.viewport()->rect();
  if (const auto* items = qobject_cast<const QAbstractItemView*>(&view)) {
    const QRect row = items->visualRect(items->currentIndex());
    if (row.isValid() && area.intersects(row)) return QPoint(row.left() + 8, row.bottom());
  }
  return area.center();
}

}  // namespace

const MainWindow::ActionLook* MainWindow::LookOf(const char* name) {
  for (const ActionLook& look : kActionLooks) {
    if (qstrcmp(look.Name, name) == 0) return &look;
  }
  return nullptr;
}

void MainWindow::BuildActions() {
  for (const WindowCommand& command : WindowCommands()) {
    const ActionLook* look = LookOf(command.Name);
    // A command the window has no caption for yet still gets its action, under its name.
    auto* action = new QAction(look ? QString::fromUtf8(look->Caption) : QLatin1String(command.Name), this);
    action->setObjectName(QLatin1String(command.Name));
    action->setCheckable(command.Kind == CommandKind::Switch);
    if (look && look->Shortcut.key() != Qt::Key_unknown) action->setShortcut(look->Shortcut);
    if (ActsOnResultsPageOnly(command.Name)) {
      action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
      results_->addAction(action);
    } else {
      action->setShortcutContext(Qt::WindowShortcut);
      addAction(action);  // shortcuts act anywhere in the window
    }
    entries_.push_back(ActionEntry{&command, look, action, {}});
  }
  for (const ActionEntry& e : entries_) {
    connect(e.Action, &QAction::triggered, this, [this, entry = &e] { Trigger(*entry); });
  }
}

void MainWindow::Trigger(const ActionEntry& entry) {
  // A disabled command does nothing, and nothing is drawn again.
  if (!(app_.Acts.*entry.Command->State).Enabled) return;
  RunCommand([&] {
    std::function<void()> instead;
    if (entry.Look && entry.Look->Handler) instead = [&] { entry.Look->Handler(*this, *entry.Command); };
    // A check action has flipped its own state before this runs.
    TriggerCommand(app_, *entry.Command, commandContext_, entry.Action->isChecked(), instead);
  });
  SyncAll();
}

QMenu* MainWindow::ContextMenu(const char* name, std::span<const char* const> entries,
                               QWidget* owner) {
  auto* menu = new QMenu(this);
  menu->setObjectName(QLatin1String(name));
  for (const char* entry : entries) {
    if (entry[0] == '-') {
      menu->addSeparator();
    } else if (const MirrorEntry* mirror = MirrorOf(entry)) {
      QAction* action = Action(entry);
      auto* item = new QAction(QString::fromUtf8(mirror->Caption) + QLatin1Char('\t') +
                                   action->shortcut().toString(QKeySequence::NativeText),
                               menu);
      item->setObjectName(QLatin1String(mirror->ObjectName));
      connect(item, &QAction::triggered, action, &QAction::trigger);
      connect(action, &QAction::changed, item, [action, item] { item->setEnabled(action->isEnabled()); });
      menu->addAction(item);
    } else {
      menu->addAction(Action(entry));
    }
  }
  auto* view = qobject_cast<QAbstractScrollArea*>(owner);
  connect(owner, &QWidget::customContextMenuRequested, menu, [menu, view](const QPoint& p) {
    menu->popup(view->viewport()->mapToGlobal(p));
  });
  // From the keyboard too, whatever the window system makes of these keys: Shift+F10 and the
  // Menu key open it beside the row that has the focus.
  for (const QKeySequence& key : {QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)}) {
    auto* shortcut = new QShortcut(key, owner, nullptr, nullptr, Qt::WidgetShortcut);
    connect(shortcut, &QShortcut::activated, menu,
            [menu, view] { menu->popup(view->viewport()->mapToGlobal(KeyboardMenuPoint(*view))); });
  }
  return menu;
}

void MainWindow::BuildMenus() {
  QMenuBar* mainMenu = menuBar();
  mainMenu->setObjectName(QStringLiteral("mainMenu"));
  for (const MenuBarMenu& m : kMenuBar) {
    QMenu* menu = mainMenu->addMenu(QString::fromUtf8(m.Title));
    menu->setObjectName(QLatin1String(m.Name));
    menu->setToolTipsVisible(true);  // a greyed entry says why
    for (const char* entry : m.Entries) {
      if (entry[0] == '-') menu->addSeparator(); else menu->addAction(Action(entry));
    }
  }
  ContextMenu("transcriptMenu", kDetailEntries, results_->DetailView());
  ContextMenu("tallyMenu", kTallyEntries, results_->TallyView());
  QMenu* battleMenu = ContextMenu("battleMenu", kBattleListEntries, results_->BattleListBox());

  // Menus whose entries depend on the moment: the core enables them as they open.
  connect(mainMenu->findChild<QMenu*>(QStringLiteral("fileMenu")), &QMenu::aboutToShow, this, [this] {
    RunCommand([this] { PrepareFileMenu(app_); });
    SyncActions();
  });
  connect(battleMenu, &QMenu::aboutToShow, this, [this] {
    RunCommand([this] { PrepareBattleMenu(app_); });
    SyncActions();
  });
}

}  // namespace mizuto
