// The main window driven as the player drives it: start-up from the settings file, loading
// logs by dialog and drop, the battle list and its keys, the detail switches, the panes,
// the NPC switch, the check lists and the tally table.
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QSplitter>
#include <QTimer>

#include "gui/version/version_fetch.h"
#include "local_http_server.h"
#include "main_window_fixture.h"

namespace mizuto {
namespace {

using test::FontLine;
using test::Q;
using test::SystemLine;

// Two battles: a won assault with chat of every channel inside it, then a lost engagement.
// 太郎 sinks two ships, 花子 one, 次郎 one; the owner sinks one.
std::string TwoBattles() {
  return SystemLine("鬼丸の強襲です！") + FontLine("ffffff", "発言その一") +
         FontLine("10c870", "艦隊その一") + FontLine("80ffff", "商会その一") +
         FontLine("ffc080", "[R1]: 部屋一その一") + FontLine("aef40a", "[R2]: 部屋二その一") +
         FontLine("ff9ad5", "[R3]: 部屋三その一") + FontLine("f2f279", "耳打ちその一") +
         SystemLine("敵船鬼丸を撃沈しました！") + SystemLine("太郎が黒船を撃沈しました！") +
         SystemLine("太郎が青鷺を撃沈しました！") + SystemLine("花子が赤松を撃沈しました！") +
         SystemLine("鬼丸に勝利しました！") + SystemLine("白波と交戦に入ります！") +
         SystemLine("次郎が荒波を撃沈しました！") + SystemLine("白波に敗北しました…");
}

class MainWindowView : public test::MainWindowTest {
 protected:
  // A log with the two battles, loaded through the open dialog.
  void LoadTwoBattles() {
    log = dir.File("chat.html");
    test::WriteBytes(log, TwoBattles());
    record.OpenAnswer = QString::fromStdString(log);
    window->Action("LoadLog")->trigger();
    ASSERT_EQ(BattleList()->count(), 2);
  }
  std::string log;
};

TEST_F(MainWindowView, StartUpAppliesTheSettingsFile) {
  // Within the offscreen platform's screen (800 x 600), so nothing is fitted into it.
  WriteIni({"Top=40", "Left=30", "Width=720", "Height=540", "VerChk=0", "NPC=1", "CRI=0",
            "Water=1", "SChk=1", "TChk=1", "BattleView=0", "ErrorView=1", "ItemChk=01",
            "SkillChk=10"});
  Open();
  EXPECT_EQ(Caption(), "Mizuto Ver1.45");
  // Position and size are the frame's, on a platform whose windows have a frame.
  ASSERT_NE(window->frameGeometry().size(), window->size());
  EXPECT_EQ(window->frameGeometry(), QRect(30, 40, 720, 540));

  // Switches: the check boxes of the settings page show the actions' states.
  EXPECT_TRUE(Find<QCheckBox>("NPCCheck")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("CriCheck")->isChecked());
  EXPECT_FALSE(Checked("CriticalView"));
  EXPECT_TRUE(Find<QCheckBox>("WaterCheck")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("SayCheck")->isChecked());
  EXPECT_TRUE(Checked("SayView"));
  EXPECT_TRUE(Find<QCheckBox>("TellCheck")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("PartyCheck")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("activeModeBox")->isChecked());  // active mode is never stored
  EXPECT_FALSE(Find<QWidget>("transcriptPanel")->isVisible());
  EXPECT_TRUE(Find<QWidget>("errorPanePanel")->isVisible());

  // Check lists filled from the list files, with the stored marks (ItemChk holds the
  // skills' marks, SkillChk the items').
  QListWidget* skills = Find<QListWidget>("skillChecks");
  QListWidget* items = Find<QListWidget>("itemChecks");
  ASSERT_EQ(skills->count(), 2);
  ASSERT_EQ(items->count(), 2);
  EXPECT_EQ(skills->item(0)->text(), Q("砲撃"));
  EXPECT_EQ(items->item(1)->text(), Q("料理"));
  EXPECT_EQ(skills->item(0)->checkState(), Qt::Unchecked);
  EXPECT_EQ(skills->item(1)->checkState(), Qt::Checked);
  EXPECT_EQ(items->item(0)->checkState(), Qt::Checked);
  EXPECT_EQ(items->item(1)->checkState(), Qt::Unchecked);
  const QStringList captions = TallyCaptions();
  EXPECT_TRUE(captions.contains(Q("突撃")));
  EXPECT_TRUE(captions.contains(Q("木材")));
  EXPECT_FALSE(captions.contains(Q("砲撃")));

  // Nothing loaded yet: the result views are empty and the log commands wait for a log.
  EXPECT_EQ(BattleList()->count(), 0);
  EXPECT_EQ(Tally()->model()->rowCount(), 0);
  EXPECT_FALSE(Enabled("ReloadLog"));
  EXPECT_FALSE(Enabled("SaveCsv"));
  EXPECT_FALSE(Enabled("PlayerHide"));
  EXPECT_FALSE(Enabled("PlayerAll"));
  EXPECT_TRUE(Enabled("LoadLog"));
  EXPECT_EQ(Find<QLineEdit>("intervalField")->text(), "10");
  // The period in force is the one the field shows, before the field is ever touched.
  EXPECT_EQ(window->findChild<QTimer*>(QStringLiteral("followTimer"))->interval(), 10000);
  EXPECT_FALSE(window->SinkCounter()->isVisible());
  EXPECT_TRUE(record.Errors.isEmpty());
}

TEST_F(MainWindowView, AVersionCheckThatCannotConnectLeavesTheCaptionAlone) {
  WriteIni({"VerChk=1"});  // the home page of these tests is a closed port on this machine
  Open();
  EXPECT_EQ(Caption(), "Mizuto Ver1.45");
  EXPECT_TRUE(record.Errors.isEmpty());
  EXPECT_TRUE(record.Messages.isEmpty());
}

// The site may take its time: the window appears and answers meanwhile, and the caption
// names the newer version once the page has come.
TEST_F(MainWindowView, AStartUpCheckRunsInTheBackgroundAndNamesANewerVersionInTheCaption) {
  // The home page named by the environment, as a player (or a mirror) sets it.
  test::LocalHttpServer server(test::HttpReply("<TITLE>Mizuto Ver1.50</TITLE>"), /*held=*/true);
  const QByteArray saved = qgetenv(kHomePageVariable);
  qputenv(kHomePageVariable, QStringLiteral("http://127.0.0.1:%1/").arg(server.Port()).toLatin1());
  homePage = HomePageUrl();
  if (saved.isNull()) qunsetenv(kHomePageVariable); else qputenv(kHomePageVariable, saved);
  WriteIni({"VerChk=1"});
  Open();
  EXPECT_SOON(!server.FirstRequest().empty());
  EXPECT_EQ(Caption(), "Mizuto Ver1.45");
  // The window does its work while the page is awaited.
  window->Action("ActiveMode")->trigger();
  EXPECT_TRUE(window->SinkCounter()->isVisible());
  window->Action("ActiveMode")->trigger();
  server.Release();
  EXPECT_SOON_EQ(Caption(), Q("Mizuto Ver1.45 ( Mizuto Ver1.50が見つかりました。 )"));
  EXPECT_EQ(server.FirstRequest().rfind("GET /files/Ver_Mizuto.php ", 0), 0u);
  EXPECT_TRUE(record.Messages.isEmpty());
}

TEST_F(MainWindowView, AStartUpCheckThatFindsAnOlderVersionLeavesTheCaptionAlone) {
  test::LocalHttpServer server(test::HttpReply("<TITLE>Mizuto Ver1.44</TITLE>"));
  homePage = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server.Port()));
  WriteIni({"VerChk=1"});
  Open();
  // The check is over once it has gone.
  EXPECT_SOON(!server.FirstRequest().empty() && window->findChild<VersionCheck*>() == nullptr);
  EXPECT_EQ(Caption(), "Mizuto Ver1.45");
  EXPECT_TRUE(record.Messages.isEmpty());
}

TEST_F(MainWindowView, TheHelpMenuCheckAnswersWhenThePageComes) {
  test::LocalHttpServer server(test::HttpReply("<TITLE>Mizuto Ver1.46</TITLE>"), /*held=*/true);
  homePage = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server.Port()));
  Open();
  window->Action("VerCheck")->trigger();
  EXPECT_SOON(!server.FirstRequest().empty());
  EXPECT_TRUE(record.Messages.isEmpty());
  // Meanwhile the window goes on: another command runs and is drawn.
  window->Action("ActiveMode")->trigger();
  EXPECT_TRUE(window->SinkCounter()->isVisible());
  EXPECT_TRUE(record.Messages.isEmpty());
  server.Release();
  EXPECT_SOON_EQ(record.Messages, QStringList{Q("Mizuto Ver1.46が見つかりました。")});
  EXPECT_EQ(record.MessageCaptions, QStringList{Q("バージョン情報")});
}

TEST_F(MainWindowView, AnErrorThatEscapesACommandIsShownAndTheProgramGoesOn) {
  Open();
  record.OpenFails = "the disk went away";
  window->Action("LoadLog")->trigger();
  EXPECT_EQ(record.Errors, QStringList{QStringLiteral("the disk went away")});
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(BattleList()->count(), 0);
  // The next command runs as usual.
  record.OpenFails.clear();
  LoadTwoBattles();
  EXPECT_EQ(record.Errors.size(), 1);
}

TEST_F(MainWindowView, AnEmptyProgramFolderStillGivesAUsableWindow) {
  // No settings file and no list files at all.
  for (const char* name : {"SkillList.txt", "ItemList.txt", "NPCList.txt", "ShipList.txt"}) {
    std::remove(dir.File(name).c_str());
  }
  Open();
  EXPECT_EQ(Caption(), "Mizuto Ver1.45");
  EXPECT_TRUE(Find<QCheckBox>("CriCheck")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("NPCCheck")->isChecked());
  EXPECT_TRUE(Find<QWidget>("transcriptPanel")->isVisible());
  EXPECT_EQ(Find<QListWidget>("skillChecks")->count(), 0);
  window->OpenLog(QString::fromStdString(dir.File("chat.html")));  // not there yet
  test::WriteBytes(dir.File("chat.html"), TwoBattles());
  window->OpenLog(QString::fromStdString(dir.File("chat.html")));
  EXPECT_EQ(BattleList()->count(), 2);
  EXPECT_GT(Tally()->model()->rowCount(), 0);
}

TEST_F(MainWindowView, LoadingALogFillsEveryView) {
  Open();
  LoadTwoBattles();
  EXPECT_EQ(record.OpenFilters, QStringList{Q("ログファイル (*.html)")});
  EXPECT_EQ(Caption(), "chat.html - Mizuto Ver1.45");  // the loaded log names the window
  EXPECT_EQ(SelectedBattleRows(), std::vector<int>{0});
  EXPECT_TRUE(BattleRows()[0].contains(Q("鬼丸")));
  EXPECT_TRUE(BattleRows()[1].contains(Q("白波")));

  // The detail pane shows the first battle only.
  EXPECT_TRUE(Detail().contains(Q("鬼丸に勝利しました")));
  EXPECT_FALSE(Detail().contains(Q("白波")));

  // Tally rows for the owner and the three players, the head-to-head grid, the summary.
  const QStringList names = TallyColumn(Q("名前"));
  for (const char* name : {"YOU", "太郎", "花子", "次郎"}) {
    EXPECT_TRUE(names.contains(Q(name))) << name;
  }
  EXPECT_GT(Find<QTableView>("headToHeadGrid")->model()->rowCount(), 1);
  EXPECT_EQ(Status(), Q("   2戦   1勝   1敗   0分(逃げられ:0 撤退:0) [クリティカル:  0 /  0] "
                        "[無駄な努力 修理:  0 外科､救助:  0 その他:  0]"));
  EXPECT_TRUE(Enabled("ReloadLog"));
  EXPECT_TRUE(Enabled("SaveCsv"));
  EXPECT_TRUE(Errors().isEmpty());

  // A cancelled dialog changes nothing.
  record.OpenAnswer.clear();
  window->Action("LoadLog")->trigger();
  EXPECT_EQ(BattleList()->count(), 2);
  EXPECT_TRUE(Enabled("ReloadLog"));

  // A reload reads what the file gained.
  test::AppendBytes(log, SystemLine("黄鬼の強襲です！") + SystemLine("黄鬼に勝利しました！"));
  window->Action("ReloadLog")->trigger();
  EXPECT_EQ(BattleList()->count(), 3);
  EXPECT_EQ(SelectedBattleRows(), std::vector<int>{0});
}

TEST_F(MainWindowView, LogsWithoutBattlesAndUnreadableFilesLeaveTheViewsEmpty) {
  Open();
  LoadTwoBattles();

  test::WriteBytes(dir.File("quiet.html"), SystemLine("港に入りました") + FontLine("ffffff", "こんにちは"));
  window->OpenLog(QString::fromStdString(dir.File("quiet.html")));
  EXPECT_EQ(Status(), Q("戦闘データはありません"));
  EXPECT_EQ(BattleList()->count(), 0);
  EXPECT_EQ(Tally()->model()->rowCount(), 0);
  EXPECT_TRUE(Detail().isEmpty());
  EXPECT_FALSE(Enabled("ReloadLog"));
  EXPECT_FALSE(Enabled("SaveCsv"));
  EXPECT_TRUE(Errors().isEmpty());

  LoadTwoBattles();
  window->OpenLog(QString::fromStdString(dir.File("missing.html")));
  EXPECT_EQ(Errors(), Q("■ missing.html\nFile Open Error"));
  // The old summary goes: the status bar says which log did not open and why.
  EXPECT_EQ(Status(), Q("ログを開けませんでした: missing.html (ファイルが見つかりません)"));
  EXPECT_EQ(BattleList()->count(), 0);
  EXPECT_EQ(Tally()->model()->rowCount(), 0);
  EXPECT_TRUE(Detail().isEmpty());
  EXPECT_FALSE(Enabled("ReloadLog"));
  EXPECT_FALSE(Enabled("SaveCsv"));
  EXPECT_TRUE(record.Errors.isEmpty());  // reported in the pane, not in a box
}

// The error pane keeps every load's lines, each load's share under the name of its log; the
// title names only a log that was read; a log with more battles than the table holds says so
// in the status bar.
TEST_F(MainWindowView, ErrorsAreFiledUnderTheirLogAndTheTitleNamesOnlyALoadedLog) {
  Open();
  LoadTwoBattles();
  EXPECT_TRUE(Errors().isEmpty()) << "a log without errors adds nothing";
  window->OpenLog(QString::fromStdString(dir.File("missing.html")));
  EXPECT_EQ(Caption(), "Mizuto Ver1.45");

  std::string crowded;
  for (int i = 0; i < 514; ++i) crowded += SystemLine("鬼丸の強襲です！") + SystemLine("鬼丸に勝利しました！");
  test::WriteBytes(dir.File("crowded.html"), crowded);
  window->OpenLog(QString::fromStdString(dir.File("crowded.html")));
  EXPECT_EQ(Caption(), "crowded.html - Mizuto Ver1.45");
  EXPECT_EQ(BattleList()->count(), 512);
  EXPECT_TRUE(Status().startsWith(Q(" 512戦 512勝"))) << Status().toStdString();
  EXPECT_TRUE(Status().endsWith(Q("（戦闘が512件を超えたため、最初の512件だけを読み込みました）"))) << Status().toStdString();
  EXPECT_EQ(Errors(), Q("■ missing.html\nFile Open Error\n■ crowded.html\n@@@@@@@ Error Code 004 @@@@@@@ Line:1025"));

  // The next log is read whole: the note goes with the log it was about.
  LoadTwoBattles();
  EXPECT_FALSE(Status().contains(Q("512"))) << Status().toStdString();
  EXPECT_EQ(Caption(), "chat.html - Mizuto Ver1.45");
}

TEST_F(MainWindowView, DropTakesExactlyOneFileOfAnyName) {
  Open();
  LoadTwoBattles();
  test::WriteBytes(dir.File("other.html"), SystemLine("黄鬼の強襲です！") + SystemLine("黄鬼に勝利しました！"));

  Drop({QString::fromStdString(log), QString::fromStdString(dir.File("other.html"))});
  EXPECT_EQ(record.Messages, QStringList{Q("LOGは１コだけね")});
  EXPECT_EQ(record.MessageCaptions, QStringList{QStringLiteral("Mizuto")});
  EXPECT_EQ(BattleList()->count(), 2);  // the previous analysis stays
  Drop({});
  EXPECT_EQ(record.Messages.size(), 2);
  EXPECT_EQ(BattleList()->count(), 2);

  // One file, whatever its extension, with a Japanese name.
  const std::string odd = dir.File("航海日誌.txt");
  test::WriteBytes(odd, test::ReadBytes(dir.File("other.html")));
  Drop({QString::fromUtf8(odd.c_str())});
  EXPECT_EQ(record.Messages.size(), 2);
  ASSERT_EQ(BattleList()->count(), 1);
  EXPECT_TRUE(BattleRows()[0].contains(Q("黄鬼")));
  EXPECT_TRUE(Errors().isEmpty());
}

TEST_F(MainWindowView, BattleListKeysAndSelectionHint) {
  Open();
  LoadTwoBattles();
  QListWidget* list = BattleList();
  list->setFocus();

  // Selecting by mouse: the hint counts the selected counted battles.
  ClickRow(list, 1);
  EXPECT_EQ(SelectedBattleRows(), std::vector<int>{1});
  EXPECT_EQ(list->toolTip(), Q("0勝 1敗 0分(逃げられ:0 撤退:0)"));
  EXPECT_TRUE(Detail().contains(Q("鬼丸")));  // a click alone does not redraw the pane
  ClickRow(list, 0, Qt::ControlModifier);
  EXPECT_EQ(SelectedBattleRows(), (std::vector<int>{0, 1}));
  EXPECT_EQ(list->toolTip(), Q("1勝 1敗 0分(逃げられ:0 撤退:0)"));

  // Space shows every selected battle, in list order.
  Key(Qt::Key_Space);
  const QString both = Detail();
  const int first = both.indexOf(Q("鬼丸に勝利しました"));
  const int second = both.indexOf(Q("白波に敗北しました"));
  EXPECT_GE(first, 0);
  EXPECT_GT(second, first);

  // Del takes the selected battles out of the count, Ins puts them back.
  const QString rowBefore = BattleRows()[1];
  ClickRow(list, 1);
  Key(Qt::Key_Delete);
  EXPECT_NE(BattleRows()[1], rowBefore);
  EXPECT_FALSE(TallyColumn(Q("名前")).contains(Q("次郎")));
  EXPECT_TRUE(Status().contains(Q("  1戦")));
  // Only uncounted battles selected: the hint stays as it was.
  ClickRow(list, 0);
  EXPECT_EQ(list->toolTip(), Q("1勝 0敗 0分(逃げられ:0 撤退:0)"));
  ClickRow(list, 1);
  EXPECT_EQ(list->toolTip(), Q("1勝 0敗 0分(逃げられ:0 撤退:0)"));
  Key(Qt::Key_Insert);
  EXPECT_EQ(BattleRows()[1], rowBefore);
  EXPECT_TRUE(TallyColumn(Q("名前")).contains(Q("次郎")));
  EXPECT_TRUE(Status().contains(Q("  2戦")));

  // A double-click shows the battle it hit.
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                     list->visualItemRect(list->item(1)).center());
  EXPECT_TRUE(Detail().contains(Q("白波に敗北しました")));
  EXPECT_FALSE(Detail().contains(Q("鬼丸に勝利しました")));
}

// Every command of the core's table is an action of the window with a caption of its own,
// a check action exactly when it is a switch, and one the player can reach: in a menu or on
// a key.
TEST_F(MainWindowView, EveryCommandOfTheTableIsAnActionThePlayerCanReach) {
  Open();
  QList<QAction*> inMenus;
  for (QMenu* menu : window->findChildren<QMenu*>()) inMenus += menu->actions();
  for (const WindowCommand& command : WindowCommands()) {
    SCOPED_TRACE(command.Name);
    QAction* action = window->Action(command.Name);
    ASSERT_NE(action, nullptr);
    EXPECT_NE(action->text(), QLatin1String(command.Name)) << "no caption in the window";
    EXPECT_EQ(action->isCheckable(), command.Kind == CommandKind::Switch);
    EXPECT_TRUE(inMenus.contains(action) || !action->shortcut().isEmpty());
  }
}

TEST_F(MainWindowView, TheBattleListMenuShowsTheKeysOfItsCommands) {
  Open();
  auto* popup = Find<QMenu>("battleMenu");
  QAction* show = Find<QAction>("ShowBattleLogMenuItem");
  ASSERT_EQ(popup->actions().indexOf(show), 0);
  // A menu shows what follows a tab as the entry's shortcut; the entry itself has no
  // shortcut of its own, so Space stays the window's one key for the command.
  EXPECT_EQ(show->text(), Q("選択中の戦闘ログを表示(&L)\tSpace"));
  EXPECT_TRUE(show->shortcut().isEmpty());
  EXPECT_EQ(window->Action("AddTotalList")->shortcut().toString(QKeySequence::NativeText), "Ins");
  EXPECT_EQ(window->Action("DelTotalList")->shortcut().toString(QKeySequence::NativeText), "Del");
  EXPECT_TRUE(popup->actions().contains(window->Action("AddTotalList")));
  EXPECT_TRUE(popup->actions().contains(window->Action("DelTotalList")));

  // The entry runs the command: the selected battles are shown.
  LoadTwoBattles();
  ClickRow(BattleList(), 1);
  show->trigger();
  EXPECT_TRUE(Detail().contains(Q("白波に敗北しました")));
  EXPECT_FALSE(Detail().contains(Q("鬼丸に勝利しました")));
}

TEST_F(MainWindowView, ATranscriptSwitchRedrawsOnlyTheTranscript) {
  Open();
  LoadTwoBattles();
  QAbstractItemModel* tally = Tally()->model();
  QAbstractItemModel* grid = Find<QTableView>("headToHeadGrid")->model();
  struct Spies {
    explicit Spies(QAbstractItemModel* m)
        : Resets(m, &QAbstractItemModel::modelReset), Cells(m, &QAbstractItemModel::dataChanged),
          Removed(m, &QAbstractItemModel::rowsRemoved), Inserted(m, &QAbstractItemModel::rowsInserted),
          Layout(m, &QAbstractItemModel::layoutChanged) {}
    int Any() const {
      return static_cast<int>(Resets.count() + Cells.count() + Removed.count() + Inserted.count() +
                              Layout.count());
    }
    QSignalSpy Resets, Cells, Removed, Inserted, Layout;
  };
  const Spies tallySpy(tally), gridSpy(grid);

  // Every transcript switch, from the menu, the settings page and the keyboard.
  const QString before = Detail();
  window->Action("CriticalView")->trigger();
  window->Action("DebugView")->trigger();
  ClickBox("WaterCheck");
  BattleList()->setFocus();
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_NE(Detail(), before);
  EXPECT_TRUE(Detail().contains(Q("発言その一")));
  EXPECT_EQ(tallySpy.Any(), 0);
  EXPECT_EQ(gridSpy.Any(), 0);

  // Taking a battle out of the count changes the figures: the cells are announced, the
  // models are not reset.
  ClickRow(BattleList(), 1);
  Key(Qt::Key_Delete);
  EXPECT_GT(tallySpy.Cells.count(), 0);
  EXPECT_EQ(tallySpy.Resets.count(), 0);
  EXPECT_GT(gridSpy.Cells.count() + gridSpy.Removed.count(), 0);
  EXPECT_EQ(gridSpy.Resets.count(), 0);
  EXPECT_FALSE(TallyColumn(Q("名前")).contains(Q("次郎")));

  // A new column is the one change that resets the table (the grid keeps its shape).
  ClickCheckMark(Find<QListWidget>("skillChecks"), 0);
  EXPECT_EQ(tallySpy.Resets.count(), 1);
  EXPECT_EQ(TallyCaptions().back(), Q("砲撃"));
  EXPECT_EQ(gridSpy.Resets.count(), 0);
}

TEST_F(MainWindowView, TheHeadToHeadPageShowsTheTakersInItsFixedColumnWideEnough) {
  Open();
  test::WriteBytes(dir.File("chat.html"),
                   TwoBattles() + SystemLine("黄鬼の強襲です！") +
                       SystemLine("長い名前の提督さんが青波を撃沈しました！") +
                       SystemLine("黄鬼に勝利しました！"));
  window->OpenLog(QString::fromStdString(dir.File("chat.html")));
  auto* grid = Find<QTableView>("headToHeadGrid");
  ShowPageOf(grid);
  QAbstractItemModel* model = grid->model();
  QStringList takers;
  for (int r = 0; r < model->rowCount(); ++r) takers << model->headerData(r, Qt::Vertical).toString();
  // The owner sank one, 太郎 two, 花子 one, 次郎 one, the admiral with the long name one.
  EXPECT_EQ(takers, QStringList({Q("YOU"), Q("太郎"), Q("花子"), Q("次郎"), Q("長い名前の提督さん")}));
  EXPECT_TRUE(grid->verticalHeader()->isVisible());
  EXPECT_TRUE(grid->horizontalHeader()->isVisible());
  EXPECT_GE(grid->verticalHeader()->width(),
            QFontMetrics(grid->verticalHeader()->font()).horizontalAdvance(Q("長い名前の提督さん")));
  EXPECT_EQ(grid->horizontalHeader()->geometry().left(),
            grid->verticalHeader()->geometry().right() + 1);
}

TEST_F(MainWindowView, ChatShortcutsToggleTheirChannelAndRedraw) {
  Open();
  LoadTwoBattles();
  BattleList()->setFocus();
  const struct {
    Qt::Key Key;
    const char* Action;
    const char* Box;
    const char* Text;
  } channels[] = {
      {Qt::Key_S, "SayView", "SayCheck", "発言その一"},
      {Qt::Key_P, "PartyView", "PartyCheck", "艦隊その一"},
      {Qt::Key_O, "CompanyView", "CompanyCheck", "商会その一"},
      {Qt::Key_1, "Room1View", "RoomCheck1", "部屋一その一"},
      {Qt::Key_2, "Room2View", "RoomCheck2", "部屋二その一"},
      {Qt::Key_3, "Room3View", "RoomCheck3", "部屋三その一"},
      {Qt::Key_T, "TellView", "TellCheck", "耳打ちその一"},
  };
  for (const auto& c : channels) {
    SCOPED_TRACE(c.Action);
    EXPECT_FALSE(Detail().contains(Q(c.Text)));
    Key(c.Key, Qt::ControlModifier);
    EXPECT_TRUE(Checked(c.Action));
    EXPECT_TRUE(Find<QCheckBox>(c.Box)->isChecked());
    EXPECT_TRUE(Detail().contains(Q(c.Text)));
    Key(c.Key, Qt::ControlModifier);
    EXPECT_FALSE(Checked(c.Action));
    EXPECT_FALSE(Find<QCheckBox>(c.Box)->isChecked());
    EXPECT_FALSE(Detail().contains(Q(c.Text)));
  }
  // The check box of the settings page is the same switch.
  ClickBox("SayCheck");
  EXPECT_TRUE(Checked("SayView"));
  EXPECT_TRUE(Detail().contains(Q("発言その一")));
}

TEST_F(MainWindowView, DetailSwitchesWithoutASelectionKeepThePane) {
  Open();
  LoadTwoBattles();
  QListWidget* list = BattleList();
  list->setFocus();
  const QString shown = Detail();
  ASSERT_FALSE(shown.isEmpty());
  ClickRow(list, 0, Qt::ControlModifier);  // deselects the only selected row
  ASSERT_TRUE(SelectedBattleRows().empty());
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(Checked("SayView"));
  ClickBox("CriCheck");
  EXPECT_FALSE(Checked("CriticalView"));
  Key(Qt::Key_Space);
  EXPECT_EQ(Detail(), shown);
}

TEST_F(MainWindowView, PaneSwitchesHideAndShowTheirPanes) {
  Open();
  LoadTwoBattles();
  QWidget* panel6 = Find<QWidget>("transcriptPanel");
  QWidget* listAndErrorsPanel = Find<QWidget>("listAndErrorsPanel");
  QWidget* panel9 = Find<QWidget>("errorPanePanel");
  auto* splitter7 = Find<QSplitter>("transcriptSplitter");
  ASSERT_TRUE(panel6->isVisible());

  window->Action("BattleLogView")->trigger();
  EXPECT_FALSE(Checked("BattleLogView"));
  EXPECT_FALSE(panel6->isVisible());
  window->Action("BattleLogView")->trigger();
  EXPECT_TRUE(panel6->isVisible());
  // Back on the left of the battle list, with the handle between them.
  QApplication::processEvents();
  EXPECT_EQ(splitter7->indexOf(panel6), 0);
  EXPECT_LT(panel6->geometry().right(), listAndErrorsPanel->geometry().left());
  EXPECT_GT(panel6->width(), 0);

  window->Action("ErrorLogView")->trigger();
  EXPECT_FALSE(panel9->isVisible());
  window->Action("ErrorLogView")->trigger();
  EXPECT_TRUE(panel9->isVisible());
  EXPECT_TRUE(Detail().contains(Q("鬼丸")));  // the panes keep their contents
}

TEST_F(MainWindowView, NpcSwitchAnalysesTheLogAgain) {
  Open();
  QCheckBox* npc = Find<QCheckBox>("NPCCheck");
  ClickBox("NPCCheck");  // nothing loaded: only the setting, no error
  EXPECT_TRUE(npc->isChecked());
  EXPECT_TRUE(window->Core().NpcCheck);
  ClickBox("NPCCheck");
  EXPECT_FALSE(window->Core().NpcCheck);

  log = dir.File("chat.html");
  test::WriteBytes(log, TwoBattles() + SystemLine("海賊船団の強襲です！") + SystemLine("海賊船団に勝利しました！"));
  record.OpenAnswer = QString::fromStdString(log);
  window->Action("LoadLog")->trigger();
  ASSERT_EQ(BattleList()->count(), 2);
  ClickTallyRow(0);
  ASSERT_TRUE(Enabled("PlayerHide"));
  ClickBox("NPCCheck");
  EXPECT_TRUE(window->Core().NpcCheck);
  EXPECT_EQ(BattleList()->count(), 3);
  EXPECT_GT(Tally()->model()->rowCount(), 0);
  EXPECT_FALSE(Detail().isEmpty());
  EXPECT_TRUE(Status().startsWith(Q("   3戦   2勝   1敗"))) << Status().toStdString();
  EXPECT_FALSE(Enabled("PlayerHide"));  // the selection went with the old rows
  ClickBox("NPCCheck");
  EXPECT_EQ(BattleList()->count(), 2);
  EXPECT_TRUE(Status().startsWith(Q("   2戦   1勝   1敗"))) << Status().toStdString();
}

TEST_F(MainWindowView, CheckMarksAddTallyColumns) {
  Open();
  LoadTwoBattles();
  const int before = Tally()->model()->columnCount();
  QListWidget* skills = Find<QListWidget>("skillChecks");
  QListWidget* items = Find<QListWidget>("itemChecks");
  ClickCheckMark(skills, 1);
  EXPECT_EQ(skills->item(1)->checkState(), Qt::Checked);
  EXPECT_EQ(Tally()->model()->columnCount(), before + 1);
  EXPECT_EQ(TallyCaptions().back(), Q("突撃"));
  ClickCheckMark(items, 0);
  EXPECT_EQ(TallyCaptions().back(), Q("木材"));
  // Every row has a figure in the new columns.
  for (const QString& cell : TallyColumn(Q("木材"))) EXPECT_EQ(cell, "0");
  ClickCheckMark(skills, 1);
  EXPECT_EQ(Tally()->model()->columnCount(), before + 1);
  EXPECT_FALSE(TallyCaptions().contains(Q("突撃")));
  EXPECT_EQ(BattleList()->count(), 2);  // the battles are not touched
}

// The sorting rules are the core's; here only that a header click reaches the core and the
// table shows the order it made.
TEST_F(MainWindowView, HeaderClicksSortTheTally) {
  Open();
  LoadTwoBattles();
  ClickHeader(Q("与撃沈"));
  EXPECT_EQ(TallyColumn(Q("名前")).front(), Q("太郎"));  // two sinks, the most
  EXPECT_EQ(TallyColumn(Q("与撃沈")).front(), "2");
  ClickHeader(Q("与撃沈"));
  EXPECT_EQ(TallyColumn(Q("名前")).back(), Q("太郎"));
}

// The header shows the order the core keeps, and a rebuild of the rows keeps it.
TEST_F(MainWindowView, TheSortArrowShowsTheCoresOrderAndARebuildKeepsIt) {
  Open();
  LoadTwoBattles();
  QHeaderView* header = Tally()->horizontalHeader();
  EXPECT_FALSE(header->isSortIndicatorShown());  // name order: no sort yet
  const int sinks = static_cast<int>(TallyCaptions().indexOf(Q("与撃沈")));
  ClickHeader(Q("与撃沈"));
  EXPECT_TRUE(header->isSortIndicatorShown());
  EXPECT_EQ(header->sortIndicatorSection(), sinks);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);  // largest first
  ClickHeader(Q("与撃沈"));
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
  ClickHeader(Q("与撃沈"));
  const QStringList sorted = TallyColumn(Q("与撃沈"));
  EXPECT_EQ(sorted.front(), "2");

  // Hiding a player rebuilds the rows: they stay sorted, the arrow stays.
  const int hanako = static_cast<int>(TallyColumn(Q("名前")).indexOf(Q("花子")));
  ASSERT_GE(hanako, 0);
  ClickTallyRow(hanako);
  window->Action("PlayerHide")->trigger();
  ASSERT_FALSE(TallyColumn(Q("名前")).contains(Q("花子")));
  EXPECT_EQ(TallyColumn(Q("名前")).front(), Q("太郎"));
  EXPECT_EQ(TallyColumn(Q("与撃沈")).front(), "2");
  EXPECT_TRUE(header->isSortIndicatorShown());
  EXPECT_EQ(header->sortIndicatorSection(), sinks);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(MainWindowView, PlayersAreHiddenThroughTheTableSelection) {
  Open();
  LoadTwoBattles();
  const int rows = Tally()->model()->rowCount();
  const QStringList names = TallyColumn(Q("名前"));
  const int taro = static_cast<int>(names.indexOf(Q("太郎")));
  const int hanako = static_cast<int>(names.indexOf(Q("花子")));
  ASSERT_GE(taro, 0);
  ASSERT_GE(hanako, 0);

  // Hiding needs a selected row; without one it does nothing.
  window->Action("PlayerHide")->trigger();
  EXPECT_EQ(Tally()->model()->rowCount(), rows);

  ClickTallyRow(taro);
  ClickTallyRow(hanako, Qt::ControlModifier);
  EXPECT_TRUE(Enabled("PlayerHide"));
  EXPECT_FALSE(Enabled("PlayerAll"));
  auto* popup = Find<QMenu>("tallyMenu");
  ASSERT_EQ(popup->actions().size(), 2);
  popup->actions()[0]->trigger();  // 選択したPCを非表示
  EXPECT_EQ(Tally()->model()->rowCount(), rows - 2);
  EXPECT_FALSE(TallyColumn(Q("名前")).contains(Q("太郎")));
  EXPECT_FALSE(TallyColumn(Q("名前")).contains(Q("花子")));
  EXPECT_TRUE(Enabled("PlayerAll"));
  EXPECT_FALSE(Enabled("PlayerHide"));  // the selection went with the old rows
  EXPECT_EQ(BattleList()->count(), 2);   // the battles stay

  popup->actions()[1]->trigger();  // PCを総て表示
  EXPECT_EQ(Tally()->model()->rowCount(), rows);
  EXPECT_FALSE(Enabled("PlayerAll"));

  // Hidden players come back with the next load.
  ClickTallyRow(taro);
  popup->actions()[0]->trigger();
  ASSERT_EQ(Tally()->model()->rowCount(), rows - 1);
  window->Action("ReloadLog")->trigger();
  EXPECT_EQ(Tally()->model()->rowCount(), rows);
  EXPECT_FALSE(Enabled("PlayerAll"));
}

}  // namespace
}  // namespace mizuto


