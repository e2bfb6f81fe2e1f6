// The window as a player meets it: the keyboard on every page, the interval field typed
// through an input method, a status text longer than the window, the window's place on
// screens of any size, the title and the small dialogs.
#include <QGuiApplication>
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
  ASSERT_TRUE(Checked("CriView"));
  Key(Qt::Key_Space);
  EXPECT_FALSE(cri->isChecked());
  EXPECT_FALSE(Checked("CriView"));
  Key(Qt::Key_Space);
  EXPECT_TRUE(Checked("CriView"));

  // An entry of a check list: Space ticks its mark, which becomes a tally column.
  auto* skills = Find<QListWidget>("CheckListBox1");
  skills->setFocus();
  skills->setCurrentRow(1);
  Key(Qt::Key_Space);
  EXPECT_EQ(skills->item(1)->checkState(), Qt::Checked);
  ASSERT_EQ(window->Core().SkillChecked.size(), 2u);
  EXPECT_TRUE(window->Core().SkillChecked[1]);
  EXPECT_TRUE(TallyCaptions().contains(Q("突撃")));

  // None of that showed the battle again: the pane was emptied in between to tell.
  window->Core().Detail.clear();
  ++window->Core().DetailRevision;
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

}  // namespace
}  // namespace mizuto
