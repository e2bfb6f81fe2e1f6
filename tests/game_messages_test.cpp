#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/owner/analysis_driver.h"
#include "app/owner/result_views.h"
#include "battle/battle_detail.h"
#include "ingest/game_messages.h"
#include "battle/segmentation.h"
#include "ingest/chat_log_reader.h"
#include "support/test_support.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

using test::S;
using test::U;

std::string ShownText(const EventMessage& m) { return *m.Shown ? m.Shown : m.Text; }

// Every sample line goes through the analysis and the transcript and reaches its own
// entry: a message added where an earlier one shadows it (its text found in the sample
// first) fails here, in whichever reader it is shadowed.
TEST(GameMessages, EveryInBattleSampleReachesItsOwnRuleInTheAnalysisAndTheTranscript) {
  int index = 0;
  for (const EventMessage& m : kEventMessages) {
    SCOPED_TRACE(std::string("entry ") + std::to_string(index) + ": " + SampleLine(m));
    const std::string sample = S(SampleLine(m));
    const SystemLineMeaning analysed = ReadSystemLine(sample, false);
    EXPECT_EQ(analysed.Message, -1) << "the sample would end the battle";
    EXPECT_FALSE(analysed.NotCounted);
    EXPECT_EQ(analysed.Rule, m.Rule == kNoRule ? -1 : static_cast<int>(m.Rule));
    EXPECT_EQ(ShownEventMessage(sample), m.Shown == nullptr ? -1 : index);

    // The sample carries what each reader looks for.
    if (m.Text != nullptr) {
      EXPECT_TRUE(ContainsBytes(sample, S(m.Text)));
    }
    if (m.Shown != nullptr) {
      const std::size_t at = FindBytes(sample, S(ShownText(m)));
      EXPECT_NE(at, 0u);
      if (m.ShownOpensText) {
        EXPECT_EQ(at, 1u);
      }
    }
    ++index;
  }
}

// Each rule has one message, and no message is written twice: a second entry with the same
// text would never be reached by one of the readers.
TEST(GameMessages, EachRuleHasOneMessageAndEachTextAppearsOnce) {
  std::vector<int> perRule(kRuleCount, 0);
  std::map<std::string, int> analysed, shown;
  for (const EventMessage& m : kEventMessages) {
    if (m.Rule != kNoRule) {
      ++perRule[static_cast<std::size_t>(m.Rule)];
      EXPECT_NE(m.Text, nullptr) << SampleLine(m);
    } else {
      EXPECT_EQ(m.Text, nullptr) << SampleLine(m);
      EXPECT_NE(m.Shown, nullptr) << "an entry that no reader reads: " << SampleLine(m);
    }
    if (m.Text != nullptr) {
      EXPECT_EQ(++analysed[m.Text], 1) << m.Text;
    }
    if (m.Shown != nullptr) {
      EXPECT_EQ(++shown[ShownText(m)], 1) << ShownText(m);
    }
  }
  for (int rule = 0; rule < kRuleCount; ++rule) EXPECT_EQ(perRule[static_cast<std::size_t>(rule)], 1) << rule;
}

class BattleMessageSamples : public ::testing::Test {
 protected:
  void SetUp() override { test::SetUpApp(app, dir); }
  test::TempDir dir;
  App app;
};

// Start samples open a battle between battles only, results end one inside a battle only
// (in the analysis and in the transcript: the battle's closing line), and the "does not count" notices are noted
// wherever they come without deciding anything else.
TEST_F(BattleMessageSamples, ReachTheirOwnMessage) {
  for (int k = 0; k < kBattleMessageCount; ++k) {
    const MessageText& m = kBattleMessages[static_cast<std::size_t>(k)];
    SCOPED_TRACE(SampleLine(m));
    const std::string sample = S(SampleLine(m));
    EXPECT_TRUE(ContainsBytes(sample, S(m.Text)));
    const SystemLineMeaning between = ReadSystemLine(sample, true);
    const SystemLineMeaning during = ReadSystemLine(sample, false);
    const bool start = k >= kFirstStartMessage && k <= kLastStartMessage;
    const bool result = k >= kFirstResultMessage && k <= kLastResultMessage;
    EXPECT_EQ(between.Message, start ? k : -1);
    EXPECT_EQ(during.Message, result ? k : -1);
    EXPECT_EQ(during.Rule, -1);
    EXPECT_EQ(between.NotCounted, !start && !result);
    EXPECT_EQ(during.NotCounted, !start && !result);

    // The transcript of a battle ends at a result and goes on past anything else.
    BattleRecord record;
    record.FirstLine = static_cast<std::int32_t>(app.Lines.size());
    test::AddStoredLines(app, {"~0強襲です", "~0" + std::string(SampleLine(m)), "~0敵の援軍が到着しました"});
    TranscriptView pane;
    RenderBattleDetail(app.Lines, record, 0, DetailSwitchesOf(app.Acts), pane);
    if (result) {
      EXPECT_EQ(pane.size(), 3u);
    }
    EXPECT_EQ(U(pane.back().Text), result ? SampleLine(m) : "敵の援軍が到着しました");
    EXPECT_EQ(pane.back().Colour, kShownFrame);
  }
}

// The event's notices set the class of the battles that follow; the fleet notices name the
// admiral. Each sample, fed on its channel, does what its own message does.
TEST_F(BattleMessageSamples, PhaseAndFleetSamplesDoWhatTheirMessageDoes) {
  const BattleClass medium{ShipSize::Medium, BattleType::Real};  // neither a start value nor a phase's
  const BattleClass afterPhase[] = {medium,
                                    {ShipSize::Small, BattleType::Naval},
                                    {ShipSize::Medium, BattleType::Naval},
                                    {ShipSize::Large, BattleType::Naval},
                                    {ShipSize::Medium, BattleType::Mock}};
  static_assert(std::size(afterPhase) == kPhaseCount);
  for (int k = 0; k < kPhaseCount; ++k) {
    const MessageText& m = kPhaseMessages[static_cast<std::size_t>(k)];
    SCOPED_TRACE(SampleLine(m));
    EXPECT_TRUE(ContainsBytes(S(SampleLine(m)), S(m.Text)));
    ResetAnalysis(app);
    app.State.CurrentClass = medium;
    test::AnalyseMore(app, {"~8" + std::string(SampleLine(m))});
    EXPECT_EQ(app.State.CurrentClass, afterPhase[k]);
  }

  const char* admiralAfter[] = {"Boss", "Chief", nullptr};  // nullptr: the owner
  static_assert(std::size(admiralAfter) == kFleetCount);
  for (int k = 0; k < kFleetCount; ++k) {
    const MessageText& m = kFleetMessages[static_cast<std::size_t>(k)];
    SCOPED_TRACE(SampleLine(m));
    EXPECT_TRUE(ContainsBytes(S(SampleLine(m)), S(m.Text)));
    ResetAnalysis(app);
    app.State.CurrentAdmiral = -1;  // none of the outcomes
    test::AnalyseMore(app, {"~1" + std::string(SampleLine(m))});
    EXPECT_EQ(app.State.CurrentAdmiral, admiralAfter[k] ? test::NameIndex(app, admiralAfter[k]) : 0);
  }
}

// Each marker's sample is read under the marker's rule, and the names the analysis cuts from
// it are exactly the ship names the line holds: a marker that the analysis no longer finds,
// or finds in the wrong place, leaves a name with the marker's words in it, or none.
TEST_F(BattleMessageSamples, EachNameMarkerCutsItsSampleIntoTheNamesItHolds) {
  const std::vector<std::vector<std::string>> namesOf = {
      {"ベッポ"},         {"太郎", "ゴンザ"}, {"太郎", "ゴンザ"}, {"太郎", "ゴンザ"}, {"花子", "ベッポ"},
      {"ゴンザ"},         {"ゴンザ", "太郎"}, {"ベッポ", "花子"}, {"花子", "ゴンザ"}, {"花子", "ベッポ"},
      {},                 {"ゴンザ"},         {"ゴンザ", "太郎"}, {"太郎"},         {"ゴンザ", "ベッポ"},
      {"ベッポ", "ゴンザ"}, {"ゴンザ"},       {"ベッポ"},         {"ゴンザ"},       {"太郎", "花子"}};
  ASSERT_EQ(namesOf.size(), kNameMarkers.size());
  for (std::size_t k = 0; k < kNameMarkers.size(); ++k) {
    const MarkerText& m = kNameMarkers[k];
    SCOPED_TRACE(std::string(m.Text) + " in " + m.Sample);
    EXPECT_TRUE(ContainsBytes(S(m.Sample), S(m.Text)));
    EXPECT_EQ(ReadSystemLine(S(m.Sample), false).Rule, static_cast<int>(m.Rule));

    ResetAnalysis(app);
    test::AnalyseMore(app, {"~0海賊団の強襲です！", "~0" + std::string(m.Sample)});
    ASSERT_EQ(app.Battles.size(), 1u);
    std::vector<std::string> present;
    for (int n = 1; n < app.Names.Count(); ++n) {
      const NameBattleStats* stats = app.Names.Stats(n, 0);
      const std::string name = U(app.Names[n].Name);
      if (stats != nullptr && stats->Present && name != "海賊団") present.push_back(name);
    }
    std::vector<std::string> expected = namesOf[k];
    std::sort(present.begin(), present.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(present, expected);
  }
  // The enemy camp's points carry no name: its marker decides whose points they are.
  EXPECT_EQ(app.Battles.size(), 1u);
  ResetAnalysis(app);
  test::AnalyseMore(app, {"~0海賊団の強襲です！", "~0" + std::string(kNameMarkers[kMarkEnemyCampPoints].Sample)});
  EXPECT_EQ(app.Battles[0].EnemyPoints, 12);
  EXPECT_EQ(app.Battles[0].OwnPoints, 0);
}

// The admiral's title is cut off the name in a fleet notice, and the reader tags each use
// sample as a skill or an item, cut where the phrase starts.
TEST_F(BattleMessageSamples, AdmiralTitleAndUseSamplesReachTheirReaders) {
  ResetAnalysis(app);
  test::AnalyseMore(app, {"~1" + std::string(kAdmiralTitle.Sample)});
  EXPECT_EQ(app.State.CurrentAdmiral, test::NameIndex(app, "Boss"));
  EXPECT_TRUE(ContainsBytes(S(kAdmiralTitle.Sample), S(kAdmiralTitle.Text)));

  const char* tagged[] = {"~s花子が砲撃の心得", "~i花子が予備帆"};
  static_assert(std::size(tagged) == kUseCount);
  std::string log;
  for (const MessageText& m : kUseMessages) log += test::SystemLine(SampleLine(m));
  const std::string path = dir.File("uses.html");
  test::WriteBytes(path, log);
  LogLines lines;
  std::int64_t offset = 0;
  ASSERT_TRUE(ReadChatLog(path, offset, lines));
  ASSERT_EQ(lines.size(), std::size(tagged));
  for (std::size_t k = 0; k < lines.size(); ++k) EXPECT_EQ(U(lines[k]), tagged[k]);
}

}  // namespace
}  // namespace mizuto
