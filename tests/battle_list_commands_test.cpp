#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/parts/dialogs.h"
#include "app/commands/main_commands.h"
#include "app/owner/result_views.h"
#include "battle/battle_label.h"
#include "app/owner/battle_list_commands.h"
#include "support/battle_builder.h"
#include "support/test_support.h"
#include "tally/battle_list_view.h"
#include "tally/tallies.h"
#include "text/codec.h"

namespace mizuto {
namespace {

using test::S;
using test::U;

class BattleListCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteListFile(dir.File("NPCList.txt"), {"海賊"});
    test::SetUpApp(app, dir);
    RebuildTallyColumns(app);
    dialogs.Message = [this](const std::string& text, const std::string& caption) {
      messages.push_back(U(text) + "|" + U(caption));
    };
    dialogs.AskYesNo = [this](const std::string& text, const std::string& caption) {
      questions.push_back(U(text) + "|" + U(caption));
      return answer;
    };
  }
  void ExpectLabelsCurrent() {
    for (int i = 0; i < app.BattleList.Count(); ++i) {
      EXPECT_EQ(app.BattleList.Rows[static_cast<std::size_t>(i)], BattleLabel(app, i)) << i;
    }
  }
  // A counted battle against `opponent` (UTF-8), its row alone selected and focused.
  int BattleAgainst(const char* opponent) {
    const int b = build.Battle();
    app.Battles[static_cast<std::size_t>(b)].Opponent = build.Name(opponent);
    std::fill(app.BattleList.Selected.begin(), app.BattleList.Selected.end(), 0);
    app.BattleList.Select(b);
    return b;
  }
  test::TempDir dir;
  App app;
  test::BattleBuilder build{app};
  Dialogs dialogs;
  std::vector<std::string> messages, questions;
  bool answer = true;
};

TEST_F(BattleListCommandsTest, IncludeAndExcludeSwitchOnlyTheCountedBit) {
  const int x = build.Name("Taro");
  const int b0 = build.Battle(BattleResult::Victory, test::kCounted), b1 = build.Battle(BattleResult::Victory, test::kRefused);
  const int b2 = build.Battle(BattleResult::Defeat, test::kCounted), b3 = build.Battle(BattleResult::Victory, test::kUncounted);
  build.Present(x, b1, Side::Enemy);
  build.Present(x, b2, Side::Enemy);
  app.BattleList.Select(b1);
  app.BattleList.Select(b2);
  app.BattleList.FocusRow = b0;

  CountSelectedBattles(app);  // the game's not-counted battle gets the mark: still not counted
  EXPECT_EQ(app.Battles[static_cast<std::size_t>(b1)].Tally, test::kRefusedMarked);
  EXPECT_EQ(app.Battles[static_cast<std::size_t>(b2)].Tally, test::kCounted);
  EXPECT_EQ(app.Battles[static_cast<std::size_t>(b3)].Tally, test::kUncounted);
  EXPECT_NE(U(app.BattleList.Rows[static_cast<std::size_t>(b1)]).find("[×]"), std::string::npos);
  ExpectLabelsCurrent();
  EXPECT_EQ(app.BattleList.Selected, (std::vector<char>{0, 1, 1, 0}));
  EXPECT_EQ(app.BattleList.FocusRow, b0);
  ASSERT_EQ(app.TallyTable.Rows.size(), 2u);  // the owner, and Taro from battle 2 only
  EXPECT_EQ(app.TallyTable.Rows[1].Cells[0], "1");
  EXPECT_EQ(app.StatusText, SummaryLine(app));

  UncountSelectedBattles(app);
  EXPECT_EQ(app.Battles[static_cast<std::size_t>(b1)].Tally, test::kRefused);
  EXPECT_EQ(app.Battles[static_cast<std::size_t>(b2)].Tally, test::kUncounted);
  EXPECT_NE(U(app.BattleList.Rows[static_cast<std::size_t>(b2)]).find("[－]"), std::string::npos);
  ExpectLabelsCurrent();
  EXPECT_EQ(app.BattleList.Selected, (std::vector<char>{0, 1, 1, 0}));
  ASSERT_EQ(app.TallyTable.Rows.size(), 1u);
  EXPECT_EQ(app.TallyTable.Rows[0].NameIndex, 0);

  // With nothing selected no command does anything.
  std::fill(app.BattleList.Selected.begin(), app.BattleList.Selected.end(), 0);
  app.BattleList.Rows[0] = "stale";
  app.StatusText = "unchanged";
  CountSelectedBattles(app);
  MarkSelectedSmall(app);
  EXPECT_EQ(app.BattleList.Rows[0], "stale");
  EXPECT_EQ(app.StatusText, "unchanged");
  EXPECT_EQ(app.Battles[static_cast<std::size_t>(b3)].Tally, test::kUncounted);
}

TEST_F(BattleListCommandsTest, ClassCommandsSetOnePartOfTheClassOfTheSelectedBattles) {
  const int b0 = build.Battle(), b1 = build.Battle();
  app.Battles[static_cast<std::size_t>(b0)].Class = kFirstBattleClass;
  app.Battles[static_cast<std::size_t>(b1)].Class = kFirstBattleClass;
  for (int b : {b0, b1}) app.BattleList.Rows[static_cast<std::size_t>(b)] = BattleLabel(app, b);
  app.BattleList.Select(b0);
  RefreshTallies(app);
  const std::string summary = app.StatusText;

  MarkSelectedSmall(app);
  EXPECT_EQ(app.Battles[0].Class, (BattleClass{ShipSize::Small, BattleType::Mock, false}));
  MarkSelectedReal(app);
  EXPECT_EQ(app.Battles[0].Class, (BattleClass{ShipSize::Small, BattleType::Real, false}));
  MarkSelectedAsNpcs(app);
  EXPECT_EQ(app.Battles[0].Class, (BattleClass{ShipSize::Small, BattleType::Real, true}));
  EXPECT_EQ(app.Battles[1].Class, kFirstBattleClass);
  const std::string label = U(app.BattleList.Rows[0]);
  EXPECT_EQ(label.rfind("実戦小[集]", 0), 0u) << label;
  EXPECT_NE(label.find("(NPC)"), std::string::npos) << label;
  ExpectLabelsCurrent();
  EXPECT_TRUE(app.BattleList.IsSelected(b0));
  EXPECT_EQ(app.StatusText, summary);
}

TEST_F(BattleListCommandsTest, AddNpcRegistersTheFocusedOpponentOnce) {
  std::string error;
  BattleAgainst("商船隊A");
  EXPECT_TRUE(AddFocusedOpponentToNpcList(app, dialogs, &error));
  EXPECT_EQ(questions, (std::vector<std::string>{"商船隊を登録しますか？|NPC艦隊の登録"}));
  EXPECT_TRUE(messages.empty());
  ASSERT_EQ(app.Lists.NpcNames.size(), 2u);
  EXPECT_EQ(U(app.Lists.NpcNames[1]), "商船隊");
  EXPECT_EQ(test::ReadBytes(dir.File("NPCList.txt")), S("海賊\r\n商船隊\r\n"));
  // The battles read already keep their class: the status bar says when the entry counts.
  EXPECT_EQ(U(app.StatusText), "商船隊 をNPCリストに登録しました（次にログを読み込んだときから反映されます）");

  // Any entry inside the name: already registered, nothing asked or written.
  questions.clear();
  BattleAgainst("大商船隊B");
  EXPECT_TRUE(AddFocusedOpponentToNpcList(app, dialogs, &error));
  EXPECT_EQ(messages, (std::vector<std::string>{"既に登録されています。|NPC艦隊の登録"}));
  EXPECT_TRUE(questions.empty());
  EXPECT_EQ(app.Lists.NpcNames.size(), 2u);

  // The "A" goes only when the first one is the last character; "No" changes nothing.
  answer = false;
  for (const char* name : {"AB", "ZAZA", "海軍ア"}) {
    BattleAgainst(name);
    EXPECT_TRUE(AddFocusedOpponentToNpcList(app, dialogs, &error));
  }
  // "ア" is 0x83 0x41: its second byte is not an "A" to cut.
  EXPECT_EQ(questions, (std::vector<std::string>{"ABを登録しますか？|NPC艦隊の登録",
                                                 "ZAZAを登録しますか？|NPC艦隊の登録",
                                                 "海軍アを登録しますか？|NPC艦隊の登録"}));
  EXPECT_EQ(app.Lists.NpcNames.size(), 2u);
  EXPECT_EQ(test::ReadBytes(dir.File("NPCList.txt")), S("海賊\r\n商船隊\r\n"));
  EXPECT_EQ(U(app.StatusText), "商船隊 をNPCリストに登録しました（次にログを読み込んだときから反映されます）")
      << "said only when an entry was written";
}

TEST_F(BattleListCommandsTest, AddNpcWithoutOpponentOrFocusDoesNothingAndReportsWriteFailures) {
  std::string error;
  const int b = BattleAgainst("艦隊");
  app.Battles[static_cast<std::size_t>(b)].Opponent = -1;
  EXPECT_TRUE(AddFocusedOpponentToNpcList(app, dialogs, &error));
  app.Battles[static_cast<std::size_t>(b)].Opponent = 1;
  app.BattleList.FocusRow = -1;
  EXPECT_TRUE(AddFocusedOpponentToNpcList(app, dialogs, &error));
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(questions.empty());
  EXPECT_EQ(app.Lists.NpcNames.size(), 1u);

  app.BattleList.FocusRow = b;
  app.ProgramDir = dir.File("missing/");
  EXPECT_FALSE(AddFocusedOpponentToNpcList(app, dialogs, &error));
  EXPECT_NE(error.find("NPCList.txt"), std::string::npos) << error;
  EXPECT_EQ(test::ReadBytes(dir.File("NPCList.txt")), S("海賊\r\n"));
}

TEST_F(BattleListCommandsTest, ContextMenuEnablesCommandsBySelection) {
  for (int i = 0; i < 3; ++i) build.Battle();
  Actions& a = app.Acts;
  const std::vector<ActionState*> rowCommands = {
      &a.AddTotalList, &a.ShowBattleLog,    &a.DelTotalList, &a.SizeSmall, &a.SizeMedium, &a.SizeLarge,
      &a.TypeNaval,  &a.TypeMock, &a.TypeReal,  &a.ToPC,      &a.ToNPC};
  a.ActiveMode.Enabled = false;

  PrepareBattleMenu(app);
  for (ActionState* s : rowCommands) EXPECT_FALSE(s->Enabled);
  EXPECT_FALSE(a.AddNPC.Enabled);

  app.BattleList.Select(1);
  PrepareBattleMenu(app);
  for (ActionState* s : rowCommands) EXPECT_TRUE(s->Enabled);
  EXPECT_TRUE(a.AddNPC.Enabled);

  app.BattleList.Select(2);
  PrepareBattleMenu(app);
  for (ActionState* s : rowCommands) EXPECT_TRUE(s->Enabled);
  EXPECT_FALSE(a.AddNPC.Enabled);
  EXPECT_FALSE(a.ActiveMode.Enabled);
}

// The enabled states set when the menu opens last until it opens again, and the window runs
// the key of a disabled action not at all: after the menu opened with nothing selected, Ins,
// Del and Space stay off even once a row is selected by a click. Run with nothing selected,
// their commands change nothing.
TEST_F(BattleListCommandsTest, InsDelAndSpaceAfterTheMenuOpenedWithNothingSelected) {
  const struct {
    const char* key;
    ActionState Actions::*action;
    void (*command)(App&);
    TallyState stateAfter;  // of the row selected before the menu opened again
    const char* paneAfter;
  } keys[] = {{"Ins", &Actions::AddTotalList, CountSelectedBattles, test::kCounted, "pane"},
              {"Del", &Actions::DelTotalList, UncountSelectedBattles, test::kUncounted, "pane"},
              {"Space", &Actions::ShowBattleLog, ShowSelectedBattles, test::kUncounted, "-------- 2戦目 --------"}};
  build.Battle(BattleResult::Victory, test::kCounted);
  build.Battle(BattleResult::Defeat, test::kUncounted);
  for (const auto& k : keys) {
    SCOPED_TRACE(k.key);
    ActionState& action = app.Acts.*k.action;
    std::fill(app.BattleList.Selected.begin(), app.BattleList.Selected.end(), 0);
    app.BattleList.Rows[1] = "stale";
    app.Detail.Clear();
    app.Detail.Append(DetailLine{"pane", 0xFFFFFF, false});
    app.StatusText = "unchanged";
    const TallyState stateBefore = app.Battles[1].Tally;

    PrepareBattleMenu(app);
    EXPECT_FALSE(action.Enabled);
    k.command(app);
    EXPECT_EQ(app.BattleList.Rows[1], "stale");
    EXPECT_EQ(app.Battles[1].Tally, stateBefore);
    EXPECT_EQ(app.StatusText, "unchanged");
    EXPECT_EQ(U(app.Detail.at(0).Text), "pane");

    app.BattleList.Select(1);
    SelectBattles(app);
    EXPECT_FALSE(action.Enabled);

    PrepareBattleMenu(app);
    EXPECT_TRUE(action.Enabled);
    k.command(app);
    EXPECT_EQ(app.Battles[1].Tally, k.stateAfter);
    ASSERT_EQ(app.Detail.size(), 1u);
    EXPECT_EQ(U(app.Detail[0].Text), k.paneAfter);
  }
}

}  // namespace
}  // namespace mizuto
