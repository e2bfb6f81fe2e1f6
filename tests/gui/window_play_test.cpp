// The window as a player meets it: the keyboard on every page, the interval field typed
// through an input method, a status text longer than the window, the window's place on
// screens of any size, the title and the small dialogs.
#include <QContextMenuEvent>
#include <functional>
#include <QGuiApplication>
#include <filesystem>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

#include "main_window_fixture.h"

namespace mizuto {
namespace {

using test::Q;
using test::SystemLine;

std::string OneBattle() {
  return SystemLine("鬼丸の強襲です！") + SystemLine("太郎が黒船を撃沈しました！") +
         SystemLine("鬼丸に勝利しました！");
}

class WindowPlay : public test::MainWindowTest {
 protected:
  void LoadOneBattle(const char* name = "chat_20240501.html") {
    log = dir.File(name);
    test::WriteBytes(log, OneBattle());
    ASSERT_TRUE(window->OpenLog(QString::fromStdString(log)));
    ASSERT_EQ(BattleList()->count(), 1);
  }
  std::string log;
};

TEST_F(WindowPlay, SpaceTicksTheFocusedControlOfTheSettingsPageAndShowsBattlesOnlyOnTheResults) {
  Open();
  LoadOneBattle();
  const QString shown = Detail();
  ASSERT_TRUE(shown.contains(Q("鬼丸に勝利しました")));

  // A check box of the settings page: Space ticks it (and so flips its switch).
  auto* cri = Find<QCheckBox>("CriCheck");
  ShowPageOf(cri);
  cri->setFocus();
  ASSERT_TRUE(Checked("CriticalView"));
  Key(Qt::Key_Space);
  EXPECT_FALSE(cri->isChecked());
  EXPECT_FALSE(Checked("CriticalView"));
  Key(Qt::Key_Space);
  EXPECT_TRUE(Checked("CriticalView"));

  // An entry of a check list: Space ticks its mark, which becomes a tally column.
  auto* skills = Find<QListWidget>("skillChecks");
  skills->setFocus();
  skills->setCurrentRow(1);
  Key(Qt::Key_Space);
  EXPECT_EQ(skills->item(1)->checkState(), Qt::Checked);
  ASSERT_EQ(window->Core().SkillChecked.size(), 2u);
  EXPECT_TRUE(window->Core().SkillChecked[1]);
  EXPECT_TRUE(TallyCaptions().contains(Q("突撃")));

  // None of that showed the battle again: the pane was emptied in between to tell.
  window->Core().Detail.Clear();
  window->SyncAll();
  skills->setFocus();
  Key(Qt::Key_Space);
  EXPECT_TRUE(Detail().isEmpty());

  // On the results page Space shows the chosen battles.
  BattleList()->setFocus();
  ShowPageOf(BattleList());
  BattleList()->setFocus();
  Key(Qt::Key_Space);
  EXPECT_EQ(Detail(), shown);
}

TEST_F(WindowPlay, ALongStatusIsCutAndNeverWidensTheWindow) {
  WriteIni({"Left=10", "Top=10", "Width=500", "Height=400"});
  Open();
  QCoreApplication::processEvents();
  const QRect before = window->frameGeometry();
  const int least = window->minimumSizeHint().width();
  const std::string longStatus = std::string(60, ' ') + std::string(300, '8');
  window->Core().SetStatus(longStatus);
  window->SyncAll();
  QCoreApplication::processEvents();
  EXPECT_EQ(Status(), QString::fromStdString(longStatus));  // the label holds all of it
  EXPECT_EQ(window->frameGeometry(), before);
  EXPECT_LE(window->minimumSizeHint().width(), least);
  // What is cut is said in full by the tooltip.
  auto* label = Find<QLabel>("StatusText");
  label->repaint();
  EXPECT_EQ(label->toolTip(), QString::fromStdString(longStatus));
  window->Core().SetStatus("  1");
  window->SyncAll();
  label->repaint();
  EXPECT_TRUE(label->toolTip().isEmpty());
}

// Kept rectangles against the free areas of small and large screens, at scale 1 and 2 (a
// screen of 1024 x 768 pixels at scale 2 offers 512 x 384).
TEST(FitIntoArea, MovesAndShrinksTheKeptRectangleIntoTheScreen) {
  const struct {
    const char* What;
    QRect Kept, Area, Expected;
  } cases[] = {
      {"design place, 1024x768", {214, 134, 734, 707}, {0, 0, 1024, 768}, {214, 61, 734, 707}},
      {"design place, 1600x1000", {214, 134, 734, 707}, {0, 0, 1600, 1000}, {214, 134, 734, 707}},
      {"design place, 1024x768 at scale 2", {214, 134, 734, 707}, {0, 0, 512, 384}, {0, 0, 512, 384}},
      {"design place, 1600x1000 at scale 2", {214, 134, 734, 707}, {0, 0, 800, 500}, {66, 0, 734, 500}},
      {"kept on a larger screen", {1700, 900, 1200, 900}, {0, 0, 1024, 768}, {0, 0, 1024, 768}},
      {"above and left of the screen", {-500, -40, 734, 707}, {0, 0, 1600, 1000}, {0, 0, 734, 707}},
      {"a panel along the top", {214, 0, 734, 707}, {0, 30, 1024, 738}, {214, 30, 734, 707}},
      {"a second screen to the right", {1500, 100, 734, 707}, {1024, 0, 1600, 1000}, {1500, 100, 734, 707}},
      {"across two screens", {1900, 100, 734, 707}, {1024, 0, 1600, 1000}, {1890, 100, 734, 707}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FitIntoArea(c.Kept, c.Area), c.Expected) << c.What;
  }
}

TEST_F(WindowPlay, AWindowKeptOffScreenComesUpWholeAndKeepsItsRectangle) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const int left = area.right() + 300, top = area.bottom() - 10;
  const int width = area.width() + 200, height = area.height() + 100;
  WriteIni({"Left=" + std::to_string(left), "Top=" + std::to_string(top),
            "Width=" + std::to_string(width), "Height=" + std::to_string(height)});
  Open();
  QCoreApplication::processEvents();
  EXPECT_TRUE(area.contains(window->frameGeometry())) << area.width() << "x" << area.height();
  window->close();
  const std::string ini = test::ReadBytes(dir.File("Mizuto.ini"));
  for (const std::string& kept : {"Left=" + std::to_string(left), "Top=" + std::to_string(top),
                                  "Width=" + std::to_string(width), "Height=" + std::to_string(height)}) {
    EXPECT_NE(ini.find(kept + "\r\n"), std::string::npos) << kept;
  }
}

TEST_F(WindowPlay, AMaximisedWindowKeepsItsNormalRectangleAndComesBackMaximised) {
  WriteIni({"Left=40", "Top=30", "Width=600", "Height=450"});
  Open();
  QCoreApplication::processEvents();
  const QRect normal = window->frameGeometry();
  ASSERT_EQ(normal, QRect(40, 30, 600, 450));
  window->showMaximized();
  EXPECT_SOON(window->isMaximized());
  QCoreApplication::processEvents();
  window->close();
  std::string ini = test::ReadBytes(dir.File("Mizuto.ini"));
  for (const char* kept : {"Left=40\r\n", "Top=30\r\n", "Width=600\r\n", "Height=450\r\n",
                           "Maximized=1\r\n"}) {
    EXPECT_NE(ini.find(kept), std::string::npos) << kept;
  }

  window.reset();
  Open();
  EXPECT_SOON(window->isMaximized());
  window->showNormal();
  EXPECT_SOON(!window->isMaximized());
  EXPECT_SOON_EQ(window->frameGeometry(), normal);
  window->close();
  ini = test::ReadBytes(dir.File("Mizuto.ini"));
  EXPECT_NE(ini.find("Maximized=0\r\n"), std::string::npos);
  EXPECT_NE(ini.find("Width=600\r\n"), std::string::npos);
}

TEST_F(WindowPlay, TheTitleNamesTheLoadedLogAndTheFileMenuHasAcceleratorLetters) {
  Open();
  EXPECT_EQ(Caption(), "Mizuto Ver1.45");
  LoadOneBattle();
  EXPECT_EQ(Caption(), "chat_20240501.html - Mizuto Ver1.45");
  window->Action("ActiveMode")->trigger();
  EXPECT_EQ(Caption(), "chat_20240501.html - Mizuto Ver1.45 [ActiveMode]");
  window->Action("ActiveMode")->trigger();
  EXPECT_EQ(Caption(), "chat_20240501.html - Mizuto Ver1.45");
  // A Japanese name, in a Japanese folder.
  std::filesystem::create_directories(dir.File("ログ"));
  log = dir.File("ログ/海戦の記録.html");
  test::WriteBytes(log, OneBattle());
  ASSERT_TRUE(window->OpenLog(QString::fromStdString(log)));
  EXPECT_EQ(Caption(), Q("海戦の記録.html - Mizuto Ver1.45"));

  // Every entry of the File menu has a letter of its own to reach it with Alt.
  QStringList letters;
  for (QAction* entry : Find<QMenu>("fileMenu")->actions()) {
    if (entry->isSeparator()) continue;
    const QString text = entry->text();
    const qsizetype amp = text.indexOf(QLatin1Char('&'));
    ASSERT_GE(amp, 0) << text.toStdString();
    ASSERT_LT(amp + 1, text.size());
    letters << text.mid(amp + 1, 1).toUpper();
  }
  EXPECT_EQ(letters.size(), 9);
  letters.removeDuplicates();
  EXPECT_EQ(letters.size(), 9) << letters.join(QLatin1Char(',')).toStdString();
}

// The letters after '&' of a menu's entries, upper case ("" for an entry without one).
QStringList AccessKeys(const QMenu& menu) {
  QStringList letters;
  for (QAction* entry : menu.actions()) {
    if (entry->isSeparator()) continue;
    const QString text = entry->text();
    const qsizetype amp = text.indexOf(QLatin1Char('&'));
    letters << (amp >= 0 && amp + 1 < text.size() ? text.mid(amp + 1, 1).toUpper() : QString());
  }
  return letters;
}

// Each context menu opens from the keyboard on the control that has the focus, and each of
// its entries has a letter of its own.
TEST_F(WindowPlay, ContextMenusOpenFromTheKeyboardAndEveryEntryHasItsOwnLetter) {
  Open();
  LoadOneBattle();
  const struct {
    const char* Owner;
    const char* Menu;
    QKeyCombination Key;
  } cases[] = {
      {"battleList", "battleMenu", Qt::SHIFT | Qt::Key_F10},
      {"battleList", "battleMenu", QKeyCombination(Qt::Key_Menu)},
      {"tallyTable", "tallyMenu", Qt::SHIFT | Qt::Key_F10},
      {"tallyTable", "tallyMenu", QKeyCombination(Qt::Key_Menu)},
      {"battleTranscript", "transcriptMenu", Qt::SHIFT | Qt::Key_F10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Owner) + " " + QKeySequence(c.Key).toString().toStdString());
    auto* owner = Find<QWidget>(c.Owner);
    auto* menu = Find<QMenu>(c.Menu);
    ShowPageOf(owner);
    owner->setFocus();
    QTest::keyClick(owner, c.Key.key(), c.Key.keyboardModifiers());
    EXPECT_SOON(menu->isVisible());
    // Opened beside the control, not somewhere else on the screen.
    EXPECT_TRUE(owner->rect().adjusted(-20, -20, 20, 20).contains(owner->mapFromGlobal(menu->pos())));
    menu->hide();

    const QStringList letters = AccessKeys(*menu);
    EXPECT_FALSE(letters.contains(QString())) << letters.join(QLatin1Char(',')).toStdString();
    QStringList distinct = letters;
    distinct.removeDuplicates();
    EXPECT_EQ(distinct.size(), letters.size()) << letters.join(QLatin1Char(',')).toStdString();
  }
}

// 最新のログを読込 greyed says why in its tooltip, and says nothing once it can run.
TEST_F(WindowPlay, TheGreyedNewestLogCommandSaysWhy) {
  const std::string folder = dir.File("logs");
  WriteIni({"LogDir=" + folder});
  Open();
  auto* fileMenu = Find<QMenu>("fileMenu");
  QAction* command = window->Action("LoadNewLog");
  const struct {
    std::function<void()> Arrange;
    bool Enabled;
    const char* Says;  // what the tooltip holds ("" none but the caption)
  } steps[] = {
      {[] {}, false, "ログフォルダがありません"},
      {[&] { std::filesystem::create_directory(folder); }, false, "ログフォルダに .html のログがありません"},
      {[&] { test::WriteBytes(folder + "/chat.html", OneBattle()); }, true, ""},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.Says);
    step.Arrange();
    emit fileMenu->aboutToShow();
    EXPECT_EQ(command->isEnabled(), step.Enabled);
    if (*step.Says != 0) {
      EXPECT_TRUE(command->toolTip().contains(Q(step.Says))) << command->toolTip().toStdString();
      EXPECT_TRUE(command->toolTip().contains(QString::fromStdString(folder)));
    } else {
      EXPECT_FALSE(command->toolTip().contains(Q("ログフォルダ"))) << command->toolTip().toStdString();
    }
  }
  EXPECT_TRUE(fileMenu->toolTipsVisible());
}

TEST_F(WindowPlay, TheTranscriptPaneOffersItsSwitchesOnTheRightButton) {
  Open();
  LoadOneBattle();
  auto* pane = Find<DetailPane>("battleTranscript");
  ShowPageOf(pane);
  QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20), pane->viewport()->mapToGlobal(QPoint(20, 20)));
  QApplication::sendEvent(pane->viewport(), &click);
  auto* menu = Find<QMenu>("transcriptMenu");
  EXPECT_SOON(menu->isVisible());
  EXPECT_TRUE(menu->actions().contains(window->Action("SayView")));
  menu->hide();
}

}  // namespace
}  // namespace mizuto
