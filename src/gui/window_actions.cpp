// The window's action list and its menus, as data: each action's caption, key, the core's
// state it mirrors and its command; each menu's entries by action name.
#include <QAction>
#include <QDesktopServices>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include "gui/detail_pane.h"

#include "app/active_mode.h"
#include "app/battle_list_commands.h"
#include "app/dialogs.h"
#include "app/main_commands.h"
#include "app/result_views.h"
#include "gui/battle_results_page.h"
#include "gui/gui_text.h"
#include "gui/main_window.h"
#include "gui/settings_dialog.h"
#include "gui/version_dialog.h"
#include "gui/version_fetch.h"

namespace mizuto {

namespace {

constexpr const char* kCategoryProperty = "category";

// The transcript switches all draw the chosen battles again.
void Render(MainWindow& w) { CriViewExecute(w.Core()); }

}  // namespace

const MainWindow::ActionDef MainWindow::kActionTable[] = {
    {"LoadLog", "File", "ログ読込(&O)", {}, &Actions::LoadLog, false,
     [](MainWindow& w) {
       const QString path = w.options_.Dialogs.OpenFile(&w, ToQt(w.app_.LogDir),
                                                         QStringLiteral("ログファイル (*.html)"));
       if (!path.isEmpty()) w.OpenLog(path);
     }},
    {"ReloadLog", "File", "ログ再読込(&R)", {}, &Actions::ReloadLog, false,
     [](MainWindow& w) {
       w.repaint();
       ReloadLogExecute(w.app_);
     }},
    {"LoadNewLog", "File", "最新のログを読込(&N)", {}, &Actions::LoadNewLog, false,
     [](MainWindow& w) {
       w.repaint();
       LoadNewLogExecute(w.app_);
     }},
    {"SaveCsv", "File", "結果をCSV形式で保存(&S)", {}, &Actions::SaveCsv, false,
     [](MainWindow& w) {
       std::string error;
       if (!SaveCsvExecute(w.app_, &error)) w.ShowError(QString::fromStdString(error));
     }},
    {"Setting", "File", "設定(&T)", {}, &Actions::Setting, false,
     [](MainWindow& w) { SettingExecute(w.app_, &w, w.options_.Dialogs); }},
    {"Exit", "File", "終了(&X)", {}, &Actions::Exit, false, [](MainWindow& w) { w.close(); }},
    {"CriView", "ViewSetting", "クリティカル表示", {}, &Actions::CriView, true, Render},
    {"WaterView", "ViewSetting", "浸水表示", {}, &Actions::WaterView, true, Render},
    {"SailView", "ViewSetting", "帆表示", {}, &Actions::SailView, true, Render},
    {"RudderView", "ViewSetting", "舵表示", {}, &Actions::RudderView, true, Render},
    {"ConfuseView", "ViewSetting", "混乱表示", {}, &Actions::ConfuseView, true, Render},
    {"DebugView", "ViewSetting", "デバッグモード", {}, &Actions::DebugView, true, Render},
    {"SayView", "ViewSetting", "Say表示", Qt::CTRL | Qt::Key_S, &Actions::SayView, true, Render},
    {"PartyView", "ViewSetting", "艦隊チャット表示", Qt::CTRL | Qt::Key_P, &Actions::PartyView,
     true, Render},
    {"CompanyView", "ViewSetting", "商会チャット表示", Qt::CTRL | Qt::Key_O,
     &Actions::CompanyView, true, Render},
    {"RoomView1", "ViewSetting", "チャットルーム１表示", Qt::CTRL | Qt::Key_1,
     &Actions::RoomView1, true, Render},
    {"RoomView2", "ViewSetting", "チャットルーム２表示", Qt::CTRL | Qt::Key_2,
     &Actions::RoomView2, true, Render},
    {"RoomView3", "ViewSetting", "チャットルーム３表示", Qt::CTRL | Qt::Key_3,
     &Actions::RoomView3, true, Render},
    {"TellView", "ViewSetting", "Ｔｅｌｌ表示", Qt::CTRL | Qt::Key_T, &Actions::TellView, true,
     Render},
    {"BattleLogView", "ViewSetting", "戦闘状況画面", {}, &Actions::BattleLogView, true,
     [](MainWindow& w) { w.ApplyPanes(); }},
    {"ErrorLogView", "ViewSetting", "エラー表示画面", {}, &Actions::ErrorLogView, true,
     [](MainWindow& w) { w.ApplyPanes(); }},
    {"AvgHitDown", "ViewSetting", "撃沈、拿捕を平均表示", {}, &Actions::AvgHitDown, true,
     [](MainWindow& w) { AvgHitDownExecute(w.app_); }},
    {"AvgSkillItem", "ViewSetting", "スキル、アイテムを平均表示", {}, &Actions::AvgSkillItem,
     true, [](MainWindow& w) { AvgSkillItemExecute(w.app_); }},
    {"ActiveMode", "ViewSetting", "アクティブモード", {}, &Actions::ActiveMode, true,
     [](MainWindow& w) { ActiveModeExecute(w.app_); }},
    {"PlayerHide", "PlayerView", "選択したPCを非表示", {}, &Actions::PlayerHide, false,
     [](MainWindow& w) { PlayerHideExecute(w.app_); }},
    {"PlayerAll", "PlayerView", "PCを総て表示", {}, &Actions::PlayerAll, false,
     [](MainWindow& w) { PlayerAllExecute(w.app_); }},
    {"PrBatLog", "BattleList", "戦闘ログを表示", Qt::Key_Space, &Actions::PrBatLog, false,
     [](MainWindow& w) { ShowSelectedBattles(w.app_); }},
    {"AddTotalList", "BattleList", "選択中の戦闘を集計に入れる", Qt::Key_Insert,
     &Actions::AddTotalList, false, [](MainWindow& w) { AddTotalListExecute(w.app_); }},
    {"DelTotalList", "BattleList", "選択中の戦闘を集計から外す", Qt::Key_Delete,
     &Actions::DelTotalList, false, [](MainWindow& w) { DelTotalListExecute(w.app_); }},
    {"ShipTypeS", "BattleList", "選択中の戦闘を小型にする", {}, &Actions::ShipTypeS, false,
     [](MainWindow& w) { ShipTypeSExecute(w.app_); }},
    {"ShipTypeM", "BattleList", "選択中の戦闘を中型にする", {}, &Actions::ShipTypeM, false,
     [](MainWindow& w) { ShipTypeMExecute(w.app_); }},
    {"ShipTypeB", "BattleList", "選択中の戦闘を大型にする", {}, &Actions::ShipTypeB, false,
     [](MainWindow& w) { ShipTypeBExecute(w.app_); }},
    {"BattleTypeK", "BattleList", "選択中の戦闘を海戦にする", {}, &Actions::BattleTypeK, false,
     [](MainWindow& w) { BattleTypeKExecute(w.app_); }},
    {"BattleTypeM", "BattleList", "選択中の戦闘を模擬にする", {}, &Actions::BattleTypeM, false,
     [](MainWindow& w) { BattleTypeMExecute(w.app_); }},
    {"BattleTypeR", "BattleList", "選択中の戦闘を実戦にする", {}, &Actions::BattleTypeR, false,
     [](MainWindow& w) { BattleTypeRExecute(w.app_); }},
    {"ToPC", "BattleList", "選択中の戦闘をPC扱いにする", {}, &Actions::ToPC, false,
     [](MainWindow& w) { ToPCExecute(w.app_); }},
    {"ToNPC", "BattleList", "選択中の戦闘をNPC扱いにする", {}, &Actions::ToNPC, false,
     [](MainWindow& w) { ToNPCExecute(w.app_); }},
    {"AddNPC", "BattleList", "NPCリストへ登録", {}, &Actions::AddNPC, false,
     [](MainWindow& w) {
       Dialogs core;
       core.Message = [&w](const std::string& text, const std::string& caption) {
         w.options_.Dialogs.Message(&w, ToQt(text), ToQt(caption));
       };
       core.AskYesNo = [&w](const std::string& text, const std::string& caption) {
         return w.options_.Dialogs.AskYesNo(&w, ToQt(text), ToQt(caption));
       };
       std::string error;
       if (!AddNPCExecute(w.app_, core, &error)) w.ShowError(QString::fromStdString(error));
     }},
    {"Version", "Help", "バージョン情報(&A)", {}, &Actions::Version, false,
     [](MainWindow& w) { VersionExecute(w.app_, &w, w.options_.Dialogs); }},
    {"VerCheck", "Help", "最新バージョンをチェック", {}, &Actions::VerCheck, false,
     [](MainWindow& w) {
       VerCheckExecute(VersionPageUrl(w.options_.HomePage), w.app_, &w, w.options_.Dialogs);
     }},
    {"HomePage", "Help", "ホームページを見る", {}, &Actions::HomePage, false,
     [](MainWindow& w) { QDesktopServices::openUrl(w.options_.HomePage); }},
};

namespace {

// The menus' entries by action name; "-" is a separator.
constexpr const char* kFileEntries[] = {"LoadLog", "ReloadLog", "LoadNewLog", "-", "SaveCsv",
                                        "-", "Setting", "-", "Exit"};
constexpr const char* kViewEntries[] = {"BattleLogView", "ErrorLogView", "-", "AvgHitDown",
                                        "AvgSkillItem"};
constexpr const char* kHelpEntries[] = {"Version", "VerCheck", "HomePage"};
// The transcript's menu.
constexpr const char* kDetailEntries[] = {"CriView",   "WaterView",   "SailView",  "RudderView",
                                          "ConfuseView", "-",         "SayView",   "PartyView",
                                          "CompanyView", "RoomView1", "RoomView2", "RoomView3",
                                          "TellView",  "-",           "DebugView"};
// The tally table's menu.
constexpr const char* kTallyEntries[] = {"PlayerHide", "PlayerAll"};
// The battle list's menu.
constexpr const char* kBattleListEntries[] = {
    "PrBatLog", "-", "ShipTypeB", "ShipTypeM", "ShipTypeS", "-", "BattleTypeK", "BattleTypeM",
    "BattleTypeR", "-", "ToNPC", "ToPC", "-", "AddTotalList", "DelTotalList", "-", "AddNPC", "-",
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
    {"PrBatLog", "PrBatLogMenuItem", "選択中の戦闘ログを表示"},
};

// Actions whose key acts only while the battle results page has the focus: Space shows the
// chosen battles there, and everywhere else it belongs to the focused control (a check box or
// a check list's entry on the settings page is ticked with it).
constexpr const char* kResultsPageShortcuts[] = {"PrBatLog"};

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

}  // namespace

void MainWindow::BuildActions() {
  for (const ActionDef& d : kActionTable) {
    auto* action = new QAction(QString::fromUtf8(d.Caption), this);
    action->setObjectName(QLatin1String(d.Name));
    action->setProperty(kCategoryProperty, QLatin1String(d.Category));
    action->setCheckable(d.Checkable);
    if (d.Shortcut.key() != Qt::Key_unknown) action->setShortcut(d.Shortcut);
    if (ActsOnResultsPageOnly(d.Name)) {
      action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
      results_->addAction(action);
    } else {
      action->setShortcutContext(Qt::WindowShortcut);
      addAction(action);  // shortcuts act anywhere in the window
    }
    entries_.push_back(ActionEntry{&d, action});
  }
  for (const ActionEntry& e : entries_) {
    connect(e.Action, &QAction::triggered, this, [this, entry = &e] { Trigger(*entry); });
  }
}

void MainWindow::Trigger(const ActionEntry& entry) {
  ActionState& state = app_.Acts.*(entry.Def->State);
  if (!state.Enabled) return;
  // A check action has flipped its own state before its handler runs.
  if (entry.Action->isCheckable()) state.Checked = entry.Action->isChecked();
  RunCommand([&] { entry.Def->Handler(*this); });
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
  return menu;
}

void MainWindow::BuildMenus() {
  QMenuBar* mainMenu = menuBar();
  mainMenu->setObjectName(QStringLiteral("mainMenu"));
  for (const MenuBarMenu& m : kMenuBar) {
    QMenu* menu = mainMenu->addMenu(QString::fromUtf8(m.Title));
    menu->setObjectName(QLatin1String(m.Name));
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
