// The main window over time: active mode following a growing log through its timer, the
// interval field, the File menu's newest-log offer, a generated program folder, and the
// settings written at shut-down and read again at the next start.
#include <QInputMethodEvent>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>

#include <sys/wait.h>

#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>

#include "local_http_server.h"
#include "main_window_fixture.h"

namespace mizuto {
namespace {

using test::Q;
using test::SystemLine;

// The key=value lines of the settings file (ASCII keys; values as bytes).
std::map<std::string, std::string> ReadIni(const std::string& path) {
  std::map<std::string, std::string> values;
  std::istringstream in(test::ReadBytes(path));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

class MainWindowLive : public test::MainWindowTest {
 protected:
  QLineEdit* Interval() const { return Find<QLineEdit>("intervalField"); }
  // Replaces the interval field's text by typing, as the player does: select all, type.
  void TypeInterval(const QString& text) {
    QLineEdit* field = Interval();
    ShowPageOf(field);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
  }
  // Text that the input method hands over, as a Japanese input method commits it.
  void Commit(const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(Interval(), &event);
  }
  QTimer* Timer() const { return Find<QTimer>("followTimer"); }
  // A window with a short timer period following a log of one ended battle in active mode;
  // the log's path.
  std::string FollowOneBattle() {
    timerPeriodMs = 20;
    Open();
    const std::string log = dir.File("chat.html");
    test::WriteBytes(log, SystemLine("鬼丸の強襲です！") + SystemLine("鬼丸に勝利しました！"));
    window->OpenLog(QString::fromStdString(log));
    ClickBox("activeModeBox");
    EXPECT_TRUE(Checked("ActiveMode"));
    EXPECT_EQ(BattleList()->count(), 1);
    return log;
  }
  // Drags the first handle of a splitter by `by`, with the mouse.
  void DragHandle(const char* splitterName, QPoint by) {
    auto* splitter = Find<QSplitter>(splitterName);
    QSplitterHandle* handle = splitter->handle(1);
    const QPoint from = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, from);
    QTest::mouseMove(handle, from + by);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, from + by);
  }
  // Opens the File menu from the menu bar, then closes it again.
  void OpenFileMenu() {
    QMenuBar* bar = window->menuBar();
    auto* menu = Find<QMenu>("fileMenu");
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
    menu->close();
  }
};

TEST_F(MainWindowLive, ActiveModeFollowsTheGrowingLog) {
  timerPeriodMs = 20;  // ticks come soon; the interval field's own period is tested below
  Open();
  const std::string log = dir.File("chat.html");
  test::WriteBytes(log, SystemLine("鬼丸の強襲です！") + SystemLine("敵船鬼丸を撃沈しました！") +
                            SystemLine("鬼丸に勝利しました！") + SystemLine("白波と交戦に入ります！") +
                            SystemLine("白波に敗北しました…"));
  window->OpenLog(QString::fromStdString(log));
  ASSERT_EQ(BattleList()->count(), 2);
  EXPECT_FALSE(Timer()->isActive());

  ClickBox("activeModeBox");
  EXPECT_TRUE(Checked("ActiveMode"));
  EXPECT_EQ(Caption(), "chat.html - Mizuto Ver1.45 [ActiveMode]");
  EXPECT_TRUE(window->SinkCounter()->isVisible());
  EXPECT_EQ(window->SinkCounter()->Text(), Q("味方 0 - 0 敵"));
  EXPECT_TRUE(Timer()->isActive());
  // Only the newest battle counts now, and it is the one selected.
  EXPECT_TRUE(Status().startsWith(Q("   1戦   0勝   1敗")));
  EXPECT_EQ(SelectedBattleRows(), std::vector<int>{1});
  // The battle list's menu shows the same switch, checked.
  auto* popup = Find<QMenu>("battleMenu");
  EXPECT_TRUE(popup->actions().back()->isChecked());

  // The game starts writing a new battle: a tick picks it up.
  test::AppendBytes(log, SystemLine("黄鬼の強襲です！") + SystemLine("敵船黄鬼を撃沈しました！") +
                             SystemLine("黄鬼の船が航行不能になりました") +
                             SystemLine("船が航行不能になりました"));
  EXPECT_SOON_EQ(BattleList()->count(), 3);
  EXPECT_EQ(SelectedBattleRows(), std::vector<int>{2});
  EXPECT_TRUE(Detail().contains(Q("黄鬼の強襲です")));
  EXPECT_FALSE(Detail().contains(Q("白波")));
  EXPECT_EQ(window->SinkCounter()->Text(), Q("味方 1 - 1 敵"));
  EXPECT_TRUE(Status().startsWith(Q("   1戦   0勝   0敗   0分")));  // undecided yet: fought, not lost
  EXPECT_TRUE(Timer()->isActive());  // started again after the tick
  EXPECT_EQ(Caption(), "chat.html - Mizuto Ver1.45 [ActiveMode]");

  // The next tick brings the end of the battle: its row and the summary follow.
  const QString openRow = BattleRows()[2];
  test::AppendBytes(log, SystemLine("黄鬼に勝利しました！"));
  EXPECT_SOON(Status().startsWith(Q("   1戦   1勝   0敗")));
  EXPECT_NE(BattleRows()[2], openRow);
  EXPECT_EQ(BattleList()->count(), 3);

  // Switched off: title, timer and counter window change; what the mode counted stays.
  // A stopped timer never fires, so what the game writes now stays unread.
  ClickBox("activeModeBox");
  EXPECT_FALSE(Checked("ActiveMode"));
  EXPECT_EQ(Caption(), "chat.html - Mizuto Ver1.45");
  EXPECT_FALSE(window->SinkCounter()->isVisible());
  EXPECT_FALSE(Timer()->isActive());
  test::AppendBytes(log, SystemLine("紫鬼の強襲です！") + SystemLine("紫鬼に勝利しました！"));
  QCoreApplication::processEvents();
  EXPECT_FALSE(Timer()->isActive());
  EXPECT_EQ(BattleList()->count(), 3);
  EXPECT_TRUE(Status().startsWith(Q("   1戦   1勝")));
}

// A message box runs an event loop of its own and the timer fires inside it: the tick waits
// until the box is closed, then one tick reads what the game wrote meanwhile.
TEST_F(MainWindowLive, NoTickRunsWhileAMessageBoxIsOpenThenOne) {
  const std::string log = FollowOneBattle();
  ASSERT_FALSE(HasFailure());

  int fired = 0;
  QObject::connect(Timer(), &QTimer::timeout, [&fired] { ++fired; });
  int firedWhileOpen = 0;
  int rowsWhileOpen = -1;
  bool timerActiveWhileOpen = true;
  record.WhileOpen = [&] {
    // The game writes a new battle while the player reads the box.
    test::AppendBytes(log, SystemLine("黄鬼の強襲です！") + SystemLine("敵船黄鬼を撃沈しました！"));
    EXPECT_SOON(fired >= 1);
    QCoreApplication::processEvents();
    firedWhileOpen = fired;
    rowsWhileOpen = BattleList()->count();
    timerActiveWhileOpen = Timer()->isActive();
  };
  // Two logs dropped at once: the box that says only one is read.
  Drop({QString::fromStdString(log), QString::fromStdString(dir.File("other.html"))});
  record.WhileOpen = nullptr;
  ASSERT_EQ(record.Messages.size(), 1);
  EXPECT_GE(firedWhileOpen, 1);
  EXPECT_EQ(rowsWhileOpen, 1) << "a tick ran inside the box";
  EXPECT_FALSE(timerActiveWhileOpen) << "the waiting tick was scheduled again";
  // Closed: the waiting tick has run already, not a later timeout, and read the new battle.
  EXPECT_EQ(fired, firedWhileOpen);
  EXPECT_EQ(BattleList()->count(), 2);
  EXPECT_EQ(SelectedBattleRows(), std::vector<int>{1});
  EXPECT_TRUE(Timer()->isActive());  // the next tick comes a full period later
  // And the timer goes on as before: the battle's end comes with a later tick.
  const QString openRow = BattleRows()[1];
  test::AppendBytes(log, SystemLine("黄鬼に勝利しました！"));
  EXPECT_SOON(BattleRows()[1] != openRow);
  EXPECT_GT(fired, firedWhileOpen);
}

// The Help menu's check answers later, from the event loop, in a box of its own: while the
// player reads it the timer fires and the tick waits, then runs once when it is closed.
TEST_F(MainWindowLive, NoTickRunsWhileTheVersionAnswerIsOpenThenOne) {
  test::LocalHttpServer server(test::HttpReply("<TITLE>Mizuto Ver1.46</TITLE>"), /*held=*/true);
  homePage = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server.Port()));
  const std::string log = FollowOneBattle();
  ASSERT_FALSE(HasFailure());

  int fired = 0;
  QObject::connect(Timer(), &QTimer::timeout, [&fired] { ++fired; });
  int firedWhileOpen = 0;
  int rowsWhileOpen = -1;
  record.WhileOpen = [&] {
    test::AppendBytes(log, SystemLine("黄鬼の強襲です！") + SystemLine("敵船黄鬼を撃沈しました！"));
    const int before = fired;
    EXPECT_SOON(fired > before);
    QCoreApplication::processEvents();
    firedWhileOpen = fired;
    rowsWhileOpen = BattleList()->count();
  };
  window->Action("VerCheck")->trigger();
  EXPECT_SOON(!server.FirstRequest().empty());
  server.Release();
  EXPECT_SOON_EQ(record.Messages.size(), 1);
  record.WhileOpen = nullptr;
  EXPECT_EQ(record.Messages.front(), Q("Mizuto Ver1.46が見つかりました。"));
  EXPECT_EQ(rowsWhileOpen, 1) << "a tick ran inside the box";
  // Closed: the waiting tick has run already and read the new battle.
  EXPECT_EQ(fired, firedWhileOpen);
  EXPECT_EQ(BattleList()->count(), 2);
}

// The window's selection is the core's after the switch and after every tick, and no older
// battle stays selected once play goes on: the transcript shows the battle being fought,
// kept at its newest line, and Space shows it again without a click on the list first.
TEST_F(MainWindowLive, SelectionAndTranscriptFollowPlay) {
  timerPeriodMs = 20;
  Open();
  const std::string log = dir.File("chat.html");
  // The read ends on a finished battle.
  test::WriteBytes(log, SystemLine("鬼丸の強襲です！") + SystemLine("鬼丸に勝利しました！") +
                            SystemLine("白波の強襲です！") + SystemLine("白波に敗北しました…"));
  window->OpenLog(QString::fromStdString(log));
  ASSERT_EQ(BattleList()->count(), 2);
  auto coreSelection = [&] {
    std::vector<int> rows;
    for (int i = 0; i < core->BattleList.Count(); ++i) {
      if (core->BattleList.IsSelected(i)) rows.push_back(i);
    }
    return rows;
  };
  auto* transcript = Find<DetailPane>("battleTranscript");

  // The player looks at the first battle, then switches the mode on from the settings page.
  ClickRow(BattleList(), 0);
  ClickBox("activeModeBox");
  EXPECT_EQ(SelectedBattleRows(), std::vector<int>{1});
  EXPECT_EQ(coreSelection(), std::vector<int>{1});
  EXPECT_TRUE(Detail().startsWith(Q("-------- 2戦目 --------"))) << Detail().toStdString();
  EXPECT_FALSE(Detail().contains(Q("鬼丸")));

  // The next tick opens a battle: it alone is selected and shown.
  std::string fight = SystemLine("黄鬼の強襲です！");
  for (int i = 0; i < 60; ++i) fight += SystemLine("太郎が黒船を撃沈しました！");
  test::AppendBytes(log, fight);
  EXPECT_SOON_EQ(BattleList()->count(), 3);
  EXPECT_EQ(SelectedBattleRows(), std::vector<int>{2});
  EXPECT_EQ(coreSelection(), std::vector<int>{2});
  EXPECT_TRUE(Detail().startsWith(Q("-------- 3戦目 --------"))) << Detail().toStdString();
  EXPECT_FALSE(Detail().contains(Q("白波")));
  // Longer than the pane: its newest line is in view.
  ShowPageOf(BattleList());
  const int lastLine = static_cast<int>(core->Detail.size()) - 1;
  EXPECT_GT(transcript->FirstShownLine(), 0);
  EXPECT_FALSE(transcript->LineRect(lastLine).isEmpty());

  // Space and the menu's entry show the selection without a click on the list. (The offscreen
  // platform hands the activation to the counter window, which a window system does not.)
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  EXPECT_SOON(QApplication::focusWidget() == BattleList());
  core->Detail.Clear();
  window->SyncAll();
  ASSERT_TRUE(Detail().isEmpty());
  Key(Qt::Key_Space);
  EXPECT_TRUE(Detail().contains(Q("黄鬼の強襲です")))
      << (window->focusWidget() ? window->focusWidget()->objectName().toStdString() : "no focus");
  core->Detail.Clear();
  window->SyncAll();
  Find<QMenu>("battleMenu")->aboutToShow();
  Find<QAction>("ShowBattleLogMenuItem")->trigger();
  EXPECT_TRUE(Detail().contains(Q("黄鬼の強襲です")));

  // The battle ends: it stays selected and its end is shown.
  test::AppendBytes(log, SystemLine("黄鬼に勝利しました！"));
  EXPECT_SOON(Detail().contains(Q("黄鬼に勝利しました")));
  EXPECT_EQ(SelectedBattleRows(), std::vector<int>{2});
  EXPECT_EQ(coreSelection(), std::vector<int>{2});
}

// The counter file of the settings is kept in active mode, tick for tick, as the follower
// keeps its own.
TEST_F(MainWindowLive, ActiveModeKeepsTheCounterFileOfTheSettings) {
  const std::string counter = dir.File("score.txt");
  test::WriteListFile(dir.File("Mizuto.ini"), {"[MizutoWindow]", "CounterFile=" + counter});
  timerPeriodMs = 20;
  Open();
  const std::string log = dir.File("chat.html");
  test::WriteBytes(log, SystemLine("鬼丸の強襲です！") + SystemLine("鬼丸に勝利しました！"));
  window->OpenLog(QString::fromStdString(log));
  EXPECT_FALSE(std::filesystem::exists(counter)) << "written before active mode";
  ClickBox("activeModeBox");
  EXPECT_EQ(test::ReadBytes(counter), "味方 0 - 0 敵");
  test::AppendBytes(log, SystemLine("黄鬼の強襲です！") + SystemLine("黄鬼の船が航行不能になりました"));
  EXPECT_SOON_EQ(test::ReadBytes(counter), "味方 0 - 1 敵");
  test::AppendBytes(log, SystemLine("船が航行不能になりました"));
  EXPECT_SOON_EQ(test::ReadBytes(counter), "味方 1 - 1 敵");

  // Shut down and started again: the setting is kept.
  window->close();
  window.reset();
  EXPECT_EQ(ReadIni(dir.File("Mizuto.ini"))["CounterFile"], counter);
}

TEST_F(MainWindowLive, ActiveModeWithoutALogOnlyShowsTheCounterUntilALoad) {
  Open();
  ClickBox("activeModeBox");
  EXPECT_TRUE(window->SinkCounter()->isVisible());
  EXPECT_EQ(window->SinkCounter()->Text(), Q("味方 0 - 0 敵"));
  EXPECT_FALSE(Timer()->isActive());
  EXPECT_EQ(Caption(), "Mizuto Ver1.45");

  // A log without battles leaves the timer stopped and the title as it was.
  test::WriteBytes(dir.File("quiet.html"), SystemLine("港に入りました"));
  window->OpenLog(QString::fromStdString(dir.File("quiet.html")));
  EXPECT_FALSE(Timer()->isActive());
  EXPECT_EQ(Caption(), "quiet.html - Mizuto Ver1.45");

  // A load in active mode counts and selects only the newest battle and starts the timer.
  test::WriteBytes(dir.File("chat.html"),
                   SystemLine("鬼丸の強襲です！") + SystemLine("鬼丸に勝利しました！") +
                       SystemLine("白波の強襲です！") + SystemLine("白波に勝利しました！") +
                       SystemLine("戦力差が大きすぎるため、この戦闘は戦果に加算されません"));
  window->OpenLog(QString::fromStdString(dir.File("chat.html")));
  ASSERT_EQ(BattleList()->count(), 2);
  EXPECT_EQ(SelectedBattleRows(), std::vector<int>{1});
  EXPECT_EQ(Caption(), "chat.html - Mizuto Ver1.45 [ActiveMode]");
  EXPECT_TRUE(Timer()->isActive());
  // Counted although the game said it does not count: the load overwrites the state.
  EXPECT_TRUE(Status().startsWith(Q("   1戦   1勝")));
}

// The interval's rules (clamping, leading zeros) are the core's; here the field reaches the
// timer, shows what the core made of the text, and refuses what is no number.
TEST_F(MainWindowLive, IntervalFieldSetsTheTimerRefusesAndSpins) {
  Open();
  EXPECT_EQ(Interval()->text(), "10");

  TypeInterval("250");
  EXPECT_EQ(Interval()->text(), "100");
  EXPECT_EQ(Timer()->interval(), 100000);
  Interval()->setText("7");  // pasted
  EXPECT_EQ(Timer()->interval(), 7000);
  EXPECT_TRUE(record.Errors.isEmpty());

  // Not a number: nothing while it is typed; when the editing ends (Enter, or the focus
  // leaving), a message in Japanese, and the field shows the period that stayed.
  TypeInterval("abc");
  EXPECT_TRUE(record.Errors.isEmpty());
  QTest::keyClick(Interval(), Qt::Key_Return);
  ASSERT_EQ(record.Errors.size(), 1);
  EXPECT_EQ(record.Errors.back(),
            Q("'abc' は 1 から 100 までの秒数ではありません。"));
  EXPECT_EQ(Interval()->text(), "7");
  EXPECT_EQ(Timer()->interval(), 7000);
  EXPECT_FALSE(Timer()->isActive());
  // Emptied, then the focus goes elsewhere.
  TypeInterval("");
  QTest::keyClick(Interval(), Qt::Key_Backspace);
  EXPECT_EQ(Interval()->text(), "");
  EXPECT_EQ(record.Errors.size(), 1);
  Find<QCheckBox>("CriCheck")->setFocus();
  ASSERT_EQ(record.Errors.size(), 2);
  EXPECT_TRUE(record.Errors.back().startsWith(Q("'' は")));
  EXPECT_EQ(Interval()->text(), "7");

  // Digits typed through the input method are full-width: they are the number they show.
  TypeInterval("");
  Commit(Q("１５"));
  EXPECT_EQ(Interval()->text(), "15");
  EXPECT_EQ(Timer()->interval(), 15000);
  TypeInterval("");
  Commit(Q("００７"));
  EXPECT_EQ(Interval()->text(), "7");
  EXPECT_EQ(Timer()->interval(), 7000);
  QTest::keyClick(Interval(), Qt::Key_Return);
  EXPECT_EQ(record.Errors.size(), 2);

  // The spin buttons step from the last valid value and stop at 1 and 100.
  auto* up = Find<QToolButton>("intervalUp");
  auto* down = Find<QToolButton>("intervalDown");
  QTest::mouseClick(up, Qt::LeftButton);
  EXPECT_EQ(Interval()->text(), "8");
  EXPECT_EQ(Timer()->interval(), 8000);
  TypeInterval("100");
  QTest::mouseClick(up, Qt::LeftButton);
  EXPECT_EQ(Interval()->text(), "100");
  TypeInterval("1");
  QTest::mouseClick(down, Qt::LeftButton);
  EXPECT_EQ(Interval()->text(), "1");
  EXPECT_EQ(Timer()->interval(), 1000);
}

TEST_F(MainWindowLive, FileMenuOffersTheNewestLogOnceTheFolderHasOne) {
  // The log folder has a Japanese name, as the settings file (Shift-JIS) gives it.
  const std::string logs = dir.File("ログ");
  WriteIni({"LogDir=" + logs});
  Open();
  OpenFileMenu();
  EXPECT_FALSE(Enabled("LoadNewLog"));

  // The open dialog starts in the log folder.
  record.OpenAnswer.clear();
  window->Action("LoadLog")->trigger();
  ASSERT_EQ(record.OpenFolders.size(), 1);
  EXPECT_EQ(record.OpenFolders[0], QString::fromStdString(logs));

  std::filesystem::create_directory(logs);
  test::WriteBytes(logs + "/today.html", SystemLine("鬼丸の強襲です！") + SystemLine("鬼丸に勝利しました！"));
  OpenFileMenu();
  ASSERT_TRUE(Enabled("LoadNewLog"));
  window->Action("LoadNewLog")->trigger();
  ASSERT_EQ(BattleList()->count(), 1);
  EXPECT_TRUE(Enabled("ReloadLog"));
  EXPECT_TRUE(Errors().isEmpty());

  // A newer log appears during the run: the command loads it.
  test::WriteBytes(logs + "/tomorrow.html", SystemLine("鬼丸の強襲です！") + SystemLine("鬼丸に勝利しました！") +
                                                SystemLine("白波の強襲です！") + SystemLine("白波に勝利しました！"));
  std::filesystem::last_write_time(logs + "/tomorrow.html", std::filesystem::last_write_time(logs + "/today.html") +
                                                                std::chrono::minutes(1));
  OpenFileMenu();
  window->Action("LoadNewLog")->trigger();
  EXPECT_EQ(BattleList()->count(), 2);
  // A folder without logs, set in the settings: the menu no longer offers one.
  window->Core().LogDir = Utf8Path::FromUtf8(dir.File("empty"));
  OpenFileMenu();
  EXPECT_FALSE(Enabled("LoadNewLog"));
}

TEST_F(MainWindowLive, ShutDownWritesWhatTheNextStartReads) {
  WriteIni({"Sp2=150", "UserName=提督"});
  Open();
  window->resize(700, 500);  // within the offscreen platform's screen (800 x 600)
  window->move(50, 60);
  const QRect outer = window->frameGeometry();
  ASSERT_EQ(outer.topLeft(), QPoint(50, 60));
  ClickBox("CriCheck");
  BattleList()->setFocus();
  Key(Qt::Key_S, Qt::ControlModifier);
  ClickCheckMark(Find<QListWidget>("skillChecks"), 0);
  ClickCheckMark(Find<QListWidget>("itemChecks"), 1);
  ClickBox("NPCCheck");
  window->Action("BattleLogView")->trigger();
  ClickBox("activeModeBox");  // active mode is not stored
  test::WriteBytes(dir.File("chat.html"), SystemLine("鬼丸の強襲です！"));
  window->OpenLog(QString::fromStdString(dir.File("chat.html")));
  ASSERT_TRUE(Timer()->isActive());

  // Exit from the menu: nothing of active mode outlives the window.
  window->Action("Exit")->trigger();
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->SinkCounter()->isVisible());
  EXPECT_FALSE(Timer()->isActive());
  std::map<std::string, std::string> ini = ReadIni(dir.File("Mizuto.ini"));
  // The outer size: the inner one and the frame.
  EXPECT_EQ(ini["Width"], std::to_string(outer.width()));
  EXPECT_EQ(ini["Height"], std::to_string(outer.height()));
  EXPECT_GT(outer.width(), 700);
  EXPECT_EQ(ini["Left"], "50");
  EXPECT_EQ(ini["Top"], "60");
  EXPECT_EQ(ini["Sp2"], "150");  // the hidden pane keeps its last width
  EXPECT_EQ(ini["CRI"], "0");
  EXPECT_EQ(ini["SChk"], "1");
  EXPECT_EQ(ini["PChk"], "0");
  EXPECT_EQ(ini["NPC"], "1");
  EXPECT_EQ(ini["BattleView"], "0");
  EXPECT_EQ(ini["ErrorView"], "1");
  EXPECT_EQ(ini["ItemChk"], "10");  // the skills' marks, under the crossed key
  EXPECT_EQ(ini["SkillChk"], "01");
  EXPECT_EQ(ini["VerChk"], "0");
  EXPECT_EQ(ini["UserName"], test::S("提督"));
  for (const char* key : {"Sp1", "Sp3", "Sp4", "Sp5", "LogDir", "Debug", "TChk"}) {
    EXPECT_EQ(ini.count(key), 1u) << key;
  }
  EXPECT_EQ(ini.count("ActiveMode"), 0u);

  // The next start comes up as the last one ended, on the same rectangle of the screen.
  window.reset();
  Open();
  EXPECT_EQ(window->frameGeometry(), outer);
  EXPECT_EQ(window->size(), QSize(700, 500));
  EXPECT_FALSE(Checked("CriticalView"));
  EXPECT_TRUE(Find<QCheckBox>("SayCheck")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("NPCCheck")->isChecked());
  EXPECT_FALSE(Find<QWidget>("transcriptPanel")->isVisible());
  EXPECT_FALSE(Checked("ActiveMode"));
  EXPECT_EQ(Find<QListWidget>("skillChecks")->item(0)->checkState(), Qt::Checked);
  EXPECT_EQ(Find<QListWidget>("itemChecks")->item(1)->checkState(), Qt::Checked);
  EXPECT_EQ(window->Core().UserName, test::S("提督"));
}

// The window's place and the pane sizes: a run that only opens and closes the window
// writes back exactly what it read (or, without a file, the design sizes), however often.
TEST_F(MainWindowLive, GeometryAndPaneSizesStayTheSameFromRunToRun) {
  const std::vector<std::string> designed{"Top=134", "Left=214", "Width=734", "Height=707",
                                          "Sp1=255", "Sp2=185", "Sp3=103", "Sp4=177", "Sp5=289"};
  const std::vector<std::string> odd{"Top=20",  "Left=10", "Width=1200", "Height=520", "Sp1=203",
                                     "Sp2=77",  "Sp3=61",  "Sp4=400",    "Sp5=400"};
  const struct {
    const char* Name;
    std::vector<std::string> Ini;  // empty: no settings file
    std::vector<std::string> Expected;
  } cases[] = {{"no settings file", {}, designed}, {"odd sizes", odd, odd}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::remove(dir.File("Mizuto.ini").c_str());
    if (!c.Ini.empty()) WriteIni(c.Ini);
    std::string first;
    for (int run = 0; run < 3; ++run) {
      Open();
      QCoreApplication::processEvents();
      window->close();
      window.reset();
      const std::string written = test::ReadBytes(dir.File("Mizuto.ini"));
      if (run == 0) first = written; else EXPECT_EQ(written, first) << "run " << run;
    }
    std::map<std::string, std::string> ini = ReadIni(dir.File("Mizuto.ini"));
    for (const std::string& line : c.Expected) {
      const std::string key = line.substr(0, line.find('='));
      EXPECT_EQ(key + "=" + ini[key], line);
    }
  }
}

// Only a drag of a handle changes a pane's size: not a window made small for a while, nor
// a page shown or not.
TEST_F(MainWindowLive, OnlyADragOfItsHandleChangesAPaneSize) {
  WriteIni({"Sp1=240", "Sp4=150", "Sp5=250"});
  Open();
  auto* lowerPanel = Find<QWidget>("lowerPanel");
  EXPECT_SOON_EQ(lowerPanel->height(), 240);

  const QSize size = window->size();
  window->resize(400, 320);
  EXPECT_SOON(lowerPanel->height() < 240);
  window->resize(size);
  EXPECT_SOON_EQ(lowerPanel->height(), 240);

  // The handle above the transcript-and-list pane, 30 pixels up: the pane grows by about
  // 30 (the handle is grabbed within its 3 pixels), and that size is kept.
  DragHandle("tallySplitter", QPoint(0, -30));
  EXPECT_SOON(lowerPanel->height() >= 269);
  const int panel5Height = lowerPanel->height();
  EXPECT_NEAR(panel5Height, 270, 1);

  // The handle between the skill and the item list, 40 pixels right: the skill list grows,
  // the item list keeps its width and the switches' panel gives the room.
  auto* skills = Find<QListWidget>("skillChecks");
  auto* items = Find<QListWidget>("itemChecks");
  ShowPageOf(skills);
  EXPECT_SOON_EQ(skills->width(), 150);
  DragHandle("settingsSplitter", QPoint(40, 0));
  EXPECT_SOON(skills->width() >= 189);
  const int skillsWidth = skills->width();
  EXPECT_NEAR(skillsWidth, 190, 1);
  EXPECT_EQ(items->width(), 250);

  window->close();
  std::map<std::string, std::string> ini = ReadIni(dir.File("Mizuto.ini"));
  EXPECT_EQ(ini["Sp1"], std::to_string(panel5Height));
  EXPECT_EQ(ini["Sp4"], std::to_string(skillsWidth));
  EXPECT_EQ(ini["Sp5"], "250");
  EXPECT_EQ(ini["Sp2"], "185");
  EXPECT_EQ(ini["Sp3"], "103");
}

TEST_F(MainWindowLive, SettingsThatCannotBeWrittenAreReportedAndTheWindowStillCloses) {
  Open();
  std::filesystem::create_directory(dir.File("Mizuto.ini"));
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(record.Errors.size(), 1);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("Mizuto.ini")));
}

// Runs the chat-log generator; its exit status.
int Loggen(const std::string& args) {
  const std::string command = std::string("'") + MIZUTO_LOGGEN + "' " + args + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(MainWindowLive, GeneratedProgramFolderAndLogInActiveMode) {
  const std::string log = dir.File("live.html");
  ASSERT_EQ(Loggen("--seed 11 --battles 12 --npc-battles 0 --open-battle --checked 3 --program-dir '" +
                   dir.Path() + "' --out '" + log + "'"),
            0);
  Open();
  // The generator's lists and check marks.
  QListWidget* skills = Find<QListWidget>("skillChecks");
  ASSERT_EQ(skills->count(), 15);
  int marked = 0;
  for (int i = 0; i < skills->count(); ++i) marked += skills->item(i)->checkState() == Qt::Checked;
  EXPECT_EQ(marked, 3);
  EXPECT_EQ(Find<QListWidget>("itemChecks")->count(), 20);
  EXPECT_EQ(TallyCaptions().size(), 9 + 3 + 3);

  ClickBox("activeModeBox");
  Drop({QString::fromStdString(log)});
  ASSERT_EQ(BattleList()->count(), 12);
  EXPECT_EQ(SelectedBattleRows(), std::vector<int>{11});
  EXPECT_EQ(Caption(), "live.html - Mizuto Ver1.45 [ActiveMode]");
  EXPECT_TRUE(Timer()->isActive());
  EXPECT_TRUE(Status().startsWith(Q("   1戦")));
  EXPECT_TRUE(Detail().startsWith(Q("-------- 12戦目 --------")));
  EXPECT_GT(Tally()->model()->rowCount(), 0);
  EXPECT_TRUE(Errors().isEmpty());
}

}  // namespace
}  // namespace mizuto
