// The progress line of a long headless load, on a clock the test moves.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

#include "app/owner/app.h"
#include "app/owner/load_driver.h"
#include "app/modes/progress_line.h"
#include "support/test_support.h"
#include "text/codec.h"

namespace mizuto {
namespace {

using std::chrono::milliseconds;

TEST(ProgressLine, SilentForASecondThenOneLineRewrittenAndWiped) {
  std::ostringstream terminal;
  std::chrono::steady_clock::time_point now{};
  ProgressLine line(terminal, [&] { return now; });
  struct Step {
    int afterMs;  // since the start
    LoadStage stage;
    int percent;
    const char* adds;  // what the terminal gets
  };
  const Step steps[] = {
      {0, LoadStage::Reading, 0, ""},
      {999, LoadStage::Reading, 60, ""},
      {1000, LoadStage::Reading, 61, "\rmizuto: reading 61%"},
      {1010, LoadStage::Reading, 61, ""},  // the same figure is not written again
      {1200, LoadStage::Reading, 100, "\rmizuto: reading 100%"},
      {1300, LoadStage::Analysing, 0, "\rmizuto: analysing 0%"},
      {1400, LoadStage::Analysing, 7, "\rmizuto: analysing 7%"},
      {1500, LoadStage::Analysing, 100, "\rmizuto: analysing 100%"},
  };
  std::string expected;
  for (const Step& s : steps) {
    now = std::chrono::steady_clock::time_point{} + milliseconds(s.afterMs);
    line.Update(s.stage, s.percent);
    expected += s.adds;
    EXPECT_EQ(terminal.str(), expected) << s.afterMs << " ms";
  }
  // A shorter text covers what the longer one left.
  std::ostringstream shorter;
  ProgressLine back(shorter, [&] { return now; });
  now += milliseconds(1000);
  back.Update(LoadStage::Reading, 100);
  back.Update(LoadStage::Reading, 5);
  EXPECT_EQ(shorter.str(), "\rmizuto: reading 100%\rmizuto: reading 5%  ");

  line.Finish();
  expected += "\r" + std::string(22, ' ') + "\r";  // "mizuto: analysing 100%"
  EXPECT_EQ(terminal.str(), expected);
  line.Finish();
  EXPECT_EQ(terminal.str(), expected);
}

TEST(ProgressLine, AShortLoadWritesNothing) {
  std::ostringstream terminal;
  std::chrono::steady_clock::time_point now{};
  ProgressLine line(terminal, [&] { return now; });
  for (int p = 0; p <= 100; p += 10) {
    now += milliseconds(50);
    line.Update(p < 50 ? LoadStage::Reading : LoadStage::Analysing, p);
  }
  line.Finish();
  EXPECT_EQ(terminal.str(), "");
}

// A log of a few reader blocks: the load reports the bytes read, then the lines analysed,
// each rising to 100, and the status bar counts the reading before the analysis.
TEST(LoadProgress, ReadingThenAnalysingEachToTheEnd) {
  test::TempDir dir;
  App app;
  test::SetUpApp(app, dir);
  std::string log;
  while (log.size() < 3'500'000) log += test::SayLine("進捗のための長いおしゃべり " + std::to_string(log.size()));
  test::WriteBytes(dir.File("long.html"), log);
  app.CurrentLogPath = dir.File("long.html");

  std::vector<std::pair<LoadStage, int>> heard;
  app.OnLoadProgress = [&](LoadStage stage, int percent) { heard.emplace_back(stage, percent); };
  std::vector<std::string> statuses;
  app.OnStatusChanged = [&] {
    if (statuses.empty() || statuses.back() != app.StatusText) statuses.push_back(app.StatusText);
  };
  ASSERT_TRUE(LoadAndAnalyse(app));

  ASSERT_FALSE(heard.empty());
  std::size_t reading = 0;
  while (reading < heard.size() && heard[reading].first == LoadStage::Reading) ++reading;
  ASSERT_GE(reading, 3u) << "one report a block";
  EXPECT_EQ(heard[reading - 1].second, 100);
  ASSERT_LT(reading, heard.size());
  EXPECT_EQ(heard.back(), std::make_pair(LoadStage::Analysing, 100));
  for (std::size_t i = reading; i < heard.size(); ++i) EXPECT_EQ(heard[i].first, LoadStage::Analysing) << i;
  for (std::size_t i = 1; i < heard.size(); ++i) {
    if (heard[i].first == heard[i - 1].first) {
      EXPECT_GE(heard[i].second, heard[i - 1].second) << i;
    }
  }
  ASSERT_GE(statuses.size(), 3u);
  EXPECT_EQ(SjisToUtf8(statuses.front()).rfind("読込中:", 0), 0u) << SjisToUtf8(statuses.front());
  EXPECT_EQ(SjisToUtf8(app.StatusText), "戦闘データはありません");
}

}  // namespace
}  // namespace mizuto
