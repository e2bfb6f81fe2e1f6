#include <gtest/gtest.h>

#include <ostream>

#include "app/owner/result_views.h"
#include "battle/battle_detail.h"
#include "ingest/chat_log_reader.h"
#include "support/test_support.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

using test::S;
using test::U;

// A pane line with its text in UTF-8, for readable comparisons.
struct Shown {
  std::string Text;
  std::uint32_t Colour;
  bool Bold = false;
  bool operator==(const Shown&) const = default;
};
void PrintTo(const Shown& s, std::ostream* os) {
  *os << "{\"" << s.Text << "\", #" << std::hex << s.Colour << (s.Bold ? ", bold}" : "}");
}

constexpr std::uint32_t kWhite = 0xFFFFFF, kFrame = 0x80AAFF, kBlue = 0x4040FF, kRed = 0xFF4040,
                        kGreen = 0x008000, kOrange = 0xFF8040;

class DetailTest : public ::testing::Test {
 protected:
  void SetUp() override { test::SetUpApp(app, dir); }

  // A battle of type `battleType` starting at the next stored line.
  int AddBattle(const std::vector<std::string>& utf8Lines, BattleType battleType = BattleType::Mock) {
    BattleRecord record;
    record.FirstLine = static_cast<std::int32_t>(app.Lines.size());
    record.Class.Type = battleType;
    app.Battles.push_back(record);
    app.BattleList.Append(S("row"));
    test::AddStoredLines(app, utf8Lines);
    return app.BattleCount() - 1;
  }
  std::vector<Shown> Render(int b) {
    app.Detail.Clear();
    RenderBattleDetail(app.Lines, app.Battles[static_cast<std::size_t>(b)], b, DetailSwitchesOf(app.Acts), app.Detail);
    return Pane();
  }
  std::vector<Shown> Pane() const {
    std::vector<Shown> out;
    for (const DetailLine& d : app.Detail) out.push_back({U(d.Text), d.Colour, d.Bold});
    return out;
  }

  test::TempDir dir;
  App app;
};

TEST_F(DetailTest, DefaultSwitchesShowTheFrameAndTheBattleEventsOnly) {
  const int b = AddBattle({
      "~0海賊団の強襲です！", "~0敵船ゴンザを撃沈しました！",
      "~0船が航行不能になりました",  // follows the sink: swallowed
      "~0味方の太郎が拿捕されました", "~0敵船ベッポを拿捕しました！", "~0敵の旗艦を撃破しました",
      "~0北の海域で敵艦隊に撃破されました", "~0被害甚大！", "~0帆が破れました", "~0手桶を使いました",
      "~0ただの通知です", "~s太郎", "~i太郎は医薬品", "~8お知らせ", "~2太郎: やあ",
      "~0海賊団に勝利しました！", "~0次の戦闘です"});
  const std::vector<Shown> expected = {
      {"-------- 1戦目 --------", kWhite},       {"海賊団の強襲です！", kFrame},
      {"敵船ゴンザを撃沈しました！", kBlue, true}, {"味方の太郎が拿捕されました", 0x800000},
      {"敵船ベッポを拿捕しました！", 0x008080, true}, {"敵の旗艦を撃破しました", kBlue, true},
      {"北の海域で敵艦隊に撃破されました", kRed},  {"被害甚大！", kOrange},
      {"海賊団に勝利しました！", kFrame}};
  EXPECT_EQ(Render(b), expected);
  app.Acts.CriticalView.Checked = false;
  EXPECT_EQ(Render(b).size(), expected.size() - 1);
}

TEST_F(DetailTest, DamageSwitchesAndRulesThatMustOpenTheText) {
  const int b = AddBattle({
      "~0強襲です", "~0統率スキルを使いました", "~0手桶を使いました", "~0予備舵を使いました",
      "~0予備帆を使いました", "~0沈静の旗を掲げました", "~0帆が破れました", "~0帆を直しました",
      "~0舵が壊れました", "~0混乱が収まりました", "~0花子の攻撃により浸水が起こりました！",
      "~0船の浸水が止まりました", "~0船底に穴が開き、浸水しました",
      // Found away from the first byte these are hidden, and no later rule ("帆が") gets a
      // second try at them.
      "~0太郎が予備帆を使いました。帆が戻りました", "~0太郎の船の浸水が止まりました",
      "~0敵の援軍が到着しました", "~0花子が戦闘から撤退しました", "~0戦闘から撤退します",
      "~0後の行"});
  Actions& a = app.Acts;
  a.WaterView.Checked = a.SailView.Checked = a.RudderView.Checked = a.ConfuseView.Checked = true;
  std::vector<Shown> expected = {{"-------- 1戦目 --------", kWhite}, {"強襲です", kFrame}};
  for (std::size_t i = 1; i <= 12; ++i) expected.push_back({U(FromByte(app.Lines[i], 3)), kGreen});
  // The past form is someone else leaving; the owner leaving ends the battle.
  expected.push_back({"敵の援軍が到着しました", kFrame});
  expected.push_back({"花子が戦闘から撤退しました", kFrame});
  expected.push_back({"戦闘から撤退します", kFrame});
  EXPECT_EQ(Render(b), expected);

  // Each switch opens only its own lines.
  a.WaterView.Checked = a.RudderView.Checked = a.ConfuseView.Checked = false;
  const std::vector<Shown> sail = Render(b);
  ASSERT_EQ(sail.size(), 8u);
  EXPECT_EQ(sail[2].Text, "予備帆を使いました");
  EXPECT_EQ(sail[4].Text, "帆を直しました");
}

TEST_F(DetailTest, OutOfActionNoticeIsSwallowedOncePerSinkAndNeverShownInCamp) {
  const std::vector<std::string> lines = {
      "~0強襲です", "~0敵船ゴンザを撃沈しました！", "~0太郎が機雷により撃沈しました！",
      "~0船が航行不能になりました", "~0ゴンザが航行不能になりました",  // both sinks' notices
      "~0船が航行不能になりました",      // nothing pending: shown, bold (own ship)
      "~0ベッポが航行不能になりました",  // shown, not bold
      "~0花子の誤射により、太郎の船が沈みました", "~0船が航行不能になりました",
      "~0と引き分けました"};
  const int normal = AddBattle(lines, BattleType::Mock);
  const int camp = AddBattle(lines, BattleType::Camp);
  const std::vector<Shown> expected = {
      {"-------- 1戦目 --------", kWhite},      {"強襲です", kFrame},
      {"敵船ゴンザを撃沈しました！", kBlue, true}, {"太郎が機雷により撃沈しました！", 0x800080},
      {"船が航行不能になりました", kRed, true},   {"ベッポが航行不能になりました", kRed},
      {"花子の誤射により、太郎の船が沈みました", 0x808000}, {"と引き分けました", kFrame}};
  EXPECT_EQ(Render(normal), expected);
  const std::vector<Shown> campPane = Render(camp);
  EXPECT_EQ(campPane.size(), 6u);
  for (const Shown& s : campPane) EXPECT_EQ(FindBytes(S(s.Text), SJ("航行不能")), 0u) << s.Text;
}

// Every kind of sink message has its colour, bold only where the owner's own ship is in it,
// and each one swallows exactly one out-of-action notice that follows it.
TEST_F(DetailTest, EachSinkMessageHasItsColourAndSwallowsOneOutOfActionNotice) {
  constexpr std::uint32_t kPurple = 0x800080, kOlive = 0x808000;
  const struct {
    const char* line;
    std::uint32_t colour;
    bool bold;
  } sinks[] = {
      {"太郎の船が機雷により撃沈しました！", kPurple, false},
      {"機雷により船が沈没しました！", kPurple, true},
      {"敵船ゴンザを撃沈しました！", kBlue, true},
      {"太郎がゴンザを撃沈しました！", kBlue, false},
      {"敵船ゴンザの攻撃により、撃沈されました！", kRed, true},
      {"ゴンザの攻撃により、太郎の船が撃沈されました！", kRed, false},
      {"花子の誤射により、太郎の船が沈みました", kOlive, false},
      {"敵船ゴンザが敵船ベッポを沈没させたようです！", kOlive, false},
      {"味方の砲撃により、船が沈没してしまいました", kOlive, true},
  };
  for (const auto& sink : sinks) {
    SCOPED_TRACE(sink.line);
    const int b = AddBattle({"~0強襲です", std::string("~0") + sink.line, "~0船が航行不能になりました",
                             "~0ベッポが航行不能になりました", "~0と引き分けました"});
    const std::vector<Shown> expected = {
        {"-------- " + std::to_string(b + 1) + "戦目 --------", kWhite}, {"強襲です", kFrame},
        {sink.line, sink.colour, sink.bold}, {"ベッポが航行不能になりました", kRed},
        {"と引き分けました", kFrame}};
    EXPECT_EQ(Render(b), expected);
  }

  // The count adds up: two sinks swallow the next two notices, the third is shown.
  const int b = AddBattle({"~0強襲です", "~0敵船ゴンザが敵船ベッポを沈没させたようです！",
                           "~0味方の砲撃により、船が沈没してしまいました", "~0ゴンザが航行不能になりました",
                           "~0船が航行不能になりました", "~0ベッポが航行不能になりました"});
  const std::vector<Shown> pane = Render(b);
  ASSERT_EQ(pane.size(), 5u);
  EXPECT_EQ(pane.back(), (Shown{"ベッポが航行不能になりました", kRed}));
}

TEST_F(DetailTest, ChatSwitchesInterleaveTheirChannelsAndDebugViewNumbersLines) {
  test::AddStoredLines(app, {"~2前の雑談"});
  const int b = AddBattle({
      "~0強襲です", "~1艦隊: 右へ", "~2太郎: a&gt;b&nbsp;c", "~3部屋1", "~4部屋2", "~5部屋3",
      "~6商会", "~7内緒",
      // A tag inside the text is no tag: '~' is also the second byte of ミ (83 7E), and
      // players type ranges like "3~5".
      "~0敵船ミ1号が現れました", "~2敵は3~5隻", "~0海賊団を取り逃がしました", "~2後の雑談"});
  ASSERT_NE(FindBytes(S("ミ1"), "~1"), 0u);
  app.Acts.SayView.Checked = app.Acts.DebugView.Checked = true;
  const std::vector<Shown> sayOnly = {
      {"-------- 1戦目 --------", kWhite}, {"Line:2", kWhite}, {"強襲です", kFrame},
      {"太郎: a>b c", kWhite},             {"敵は3~5隻", kWhite},
      {"海賊団を取り逃がしました", kFrame}, {"Line:12", kWhite}};
  EXPECT_EQ(Render(b), sayOnly);

  Actions& a = app.Acts;
  a.PartyView.Checked = a.Room1View.Checked = a.Room2View.Checked = a.Room3View.Checked = true;
  a.CompanyView.Checked = a.TellView.Checked = true;
  a.DebugView.Checked = false;
  const std::vector<Shown> pane = Render(b);
  ASSERT_EQ(pane.size(), 11u);
  for (int k = 1; k <= 7; ++k) {
    EXPECT_EQ(pane[static_cast<std::size_t>(k + 1)].Colour, ChannelDisplayColour(k)) << k;
  }
  EXPECT_EQ(pane[2].Text, "艦隊: 右へ");
  EXPECT_EQ(pane[8].Text, "内緒");
}

TEST_F(DetailTest, SelectedBattlesRenderInListOrderAndNoSelectionKeepsThePane) {
  AddBattle({"~0一戦目の開始", "~0に勝利しました！"});
  AddBattle({"~0二戦目の開始", "~0に勝利しました！"});
  AddBattle({"~0三戦目の開始", "~0被害甚大！"});  // still going: runs to the last line
  app.Detail.Clear();
  app.Detail.Append(DetailLine{S("previous"), kWhite, false});
  RenderSelectedBattles(app);
  EXPECT_EQ(Pane(), (std::vector<Shown>{{"previous", kWhite}}));

  app.BattleList.Select(2);
  app.BattleList.Select(0);
  RenderSelectedBattles(app);
  const std::vector<Shown> expected = {
      {"-------- 1戦目 --------", kWhite}, {"一戦目の開始", kFrame}, {"に勝利しました！", kFrame},
      {"-------- 3戦目 --------", kWhite}, {"三戦目の開始", kFrame}, {"被害甚大！", kOrange}};
  EXPECT_EQ(Pane(), expected);

  // A start line outside the store gives the header only.
  app.Detail.Clear();
  BattleRecord outside;
  outside.FirstLine = 99;
  RenderBattleDetail(app.Lines, outside, 0, DetailSwitches{}, app.Detail);
  outside.FirstLine = -1;
  RenderBattleDetail(app.Lines, outside, 7, DetailSwitches{}, app.Detail);
  EXPECT_EQ(Pane(), (std::vector<Shown>{{"-------- 1戦目 --------", kWhite},
                                        {"-------- 8戦目 --------", kWhite}}));
}

}  // namespace
}  // namespace mizuto
