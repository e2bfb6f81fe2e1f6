#include "app/main_commands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/app.h"
#include "app/result_views.h"
#include "support/test_support.h"
#include "tally/tallies.h"

namespace mizuto {
namespace {

using test::S;
using test::SystemLine;

class MainCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteListFile(dir.File("SkillList.txt"), {"砲撃", "突撃"});
    test::WriteListFile(dir.File("ItemList.txt"), {"木材,1", "料理,2"});
    test::SetUpApp(app, dir);
    app.SkillChecked.assign(app.Lists.SkillNames.size(), 0);
    app.ItemChecked.assign(app.Lists.ItemNames.size(), 0);
    RebuildTallyColumns(app);
    log = dir.File("chat.html");
    test::WriteBytes(log, SystemLine("赤鬼の強襲です！") + SystemLine("敵船赤鬼を撃沈しました！") +
                              SystemLine("赤鬼に勝利しました！"));
  }
  test::TempDir dir;
  App app;
  std::string log;
};

TEST_F(MainCommandsTest, NpcSwitchEmptiesTheResultsButKeepsTheAnalysis) {
  ASSERT_TRUE(OpenLogFile(app, log));
  ASSERT_EQ(app.BattleList.Count(), 1);
  app.Acts.PlayerHide.Enabled = app.Acts.PlayerAll.Enabled = true;
  NPCCheckClick(app, true);
  EXPECT_TRUE(app.NpcCheck);
  EXPECT_EQ(app.BattleList.Count(), 0);
  EXPECT_TRUE(app.TallyTable.Rows.empty());
  EXPECT_TRUE(app.Detail.empty());
  EXPECT_FALSE(app.Acts.PlayerHide.Enabled);
  EXPECT_FALSE(app.Acts.PlayerAll.Enabled);
  EXPECT_EQ(app.BattleCount(), 1);  // the tables stay until the next analysis
  NPCCheckClick(app, false);        // also without anything loaded
  EXPECT_FALSE(app.NpcCheck);
}

TEST_F(MainCommandsTest, CheckMarksAddAndRemoveTallyColumnsAndIgnoreStrayIndexes) {
  ASSERT_TRUE(OpenLogFile(app, log));
  const std::size_t fixed = app.TallyTable.Columns.size();
  CheckListBox1ClickCheck(app, 1, true);
  ASSERT_EQ(app.TallyTable.Columns.size(), fixed + 1);
  EXPECT_EQ(app.TallyTable.Columns.back().Caption, S("突撃"));
  CheckListBox2ClickCheck(app, 0, true);
  ASSERT_EQ(app.TallyTable.Columns.size(), fixed + 2);
  // Every row carries a cell for each column after the refresh.
  for (const TallyRow& row : app.TallyTable.Rows) EXPECT_EQ(row.Cells.size(), fixed + 1);
  CheckListBox1ClickCheck(app, 1, false);
  EXPECT_EQ(app.TallyTable.Columns.size(), fixed + 1);
  CheckListBox1ClickCheck(app, 7, true);
  CheckListBox2ClickCheck(app, -1, true);
  EXPECT_EQ(app.TallyTable.Columns.size(), fixed + 1);
}

TEST_F(MainCommandsTest, LoadCommandsAndTheDropRule) {
  EXPECT_FALSE(DropIsAccepted(0));
  EXPECT_TRUE(DropIsAccepted(1));
  EXPECT_FALSE(DropIsAccepted(2));
  EXPECT_EQ(OneLogOnlyMessage(), S("LOGは１コだけね"));

  // The File menu offers the newest log only once the folder has one.
  app.LogDir = S(dir.Path() + "logs");
  N1Click(app);
  EXPECT_FALSE(app.Acts.LoadNewLog.Enabled);
  std::filesystem::create_directory(dir.Path() + "logs");
  test::WriteBytes(dir.Path() + "logs/today.html", test::ReadBytes(log));
  N1Click(app);
  EXPECT_TRUE(app.Acts.LoadNewLog.Enabled);
  ASSERT_TRUE(LoadNewLogExecute(app));
  EXPECT_EQ(app.CurrentLogPath, dir.Path() + "logs/today.html");
  EXPECT_EQ(app.BattleList.Count(), 1);

  // A reload reads the same file again, with what it gained since.
  test::AppendBytes(app.CurrentLogPath, SystemLine("青鬼の強襲です！") + SystemLine("青鬼に勝利しました！"));
  ASSERT_TRUE(ReloadLogExecute(app));
  EXPECT_EQ(app.BattleList.Count(), 2);

  // A path longer than the old 260-character limit is kept whole and loads.
  std::string deep = dir.Path();
  while (deep.size() < 300) {
    deep += "folder_with_a_long_name/";
    std::filesystem::create_directory(deep);
  }
  test::WriteBytes(deep + "log.html", test::ReadBytes(log));
  ASSERT_TRUE(OpenLogFile(app, deep + "log.html"));
  EXPECT_EQ(app.CurrentLogPath, deep + "log.html");
  EXPECT_EQ(app.BattleList.Count(), 1);
}

}  // namespace
}  // namespace mizuto
