// The History chart's arithmetic: the calendar filled between the days with battles, the
// weeks and their win rates, and value axes with whole-number ticks.
#include <gtest/gtest.h>

#include <random>

#include "app/season/history_chart_data.h"
#include "support/test_support.h"

namespace mizuto {
namespace {

DayRow Day(const char* date, std::int64_t won, std::int64_t lost = 0, std::int64_t ownDown = 0) {
  DayRow d;
  d.Date = date;
  d.Won = won;
  d.Lost = lost;
  d.OwnDown = ownDown;
  return d;
}

std::string Dates(const std::vector<DayRow>& days) {
  std::string text;
  for (const DayRow& d : days) text += (text.empty() ? "" : " ") + d.Date.substr(5) + "=" + std::to_string(d.Won);
  return text;
}

TEST(HistoryChartDays, EveryDayOfTheRangeInItsPlace) {
  const std::vector<DayRow> answered = {Day("2026-02-27", 1), Day("2026-03-01", 2), Day("2026-03-03", 3)};
  struct Case {
    const char* What;
    std::vector<DayRow> Days;
    std::string From, To;
    int Longest;
    std::string Expected;
  };
  const Case cases[] = {
      {"across the end of February", answered, "2026-02-27", "2026-03-03", 400,
       "02-27=1 02-28=0 03-01=2 03-02=0 03-03=3"},
      {"a range wider than the battles", answered, "2026-02-26", "2026-03-04", 400,
       "02-26=0 02-27=1 02-28=0 03-01=2 03-02=0 03-03=3 03-04=0"},
      {"days outside the range left out", answered, "2026-02-28", "2026-03-01", 400, "02-28=0 03-01=2"},
      {"no range: the days' own first and last", answered, "", "", 400, "02-27=1 02-28=0 03-01=2 03-02=0 03-03=3"},
      {"only an end", answered, "2026-03-01", "", 400, "03-01=2 03-02=0 03-03=3"},
      {"a leap year's 29th", {Day("2028-02-28", 1), Day("2028-03-01", 1)}, "", "", 400,
       "02-28=1 02-29=0 03-01=1"},
      {"over the year's end", {Day("2026-12-31", 4), Day("2027-01-01", 5)}, "2026-12-30", "2027-01-01", 400,
       "12-30=0 12-31=4 01-01=5"},
      {"a range turned round", answered, "2026-03-03", "2026-02-27", 400, ""},
      {"nothing answered, a range", {}, "2026-03-01", "2026-03-02", 400, "03-01=0 03-02=0"},
      {"nothing answered, no range", {}, "", "", 400, ""},
      {"a day that is no date is skipped", {Day("????", 9), Day("2026-03-01", 2)}, "", "", 400, "03-01=2"},
      {"a day answered twice counts once", {Day("2026-03-01", 2), Day("2026-03-01", 7)}, "", "", 400, "03-01=2"},
      {"unsorted answers", {Day("2026-03-03", 3), Day("2026-03-01", 2)}, "", "", 400, "03-01=2 03-02=0 03-03=3"},
      {"too long: narrowed to the battles", answered, "2020-01-01", "2030-12-31", 10,
       "02-27=1 02-28=0 03-01=2 03-02=0 03-03=3"},
      {"too long even so: the last days", answered, "2020-01-01", "2030-12-31", 3, "03-01=2 03-02=0 03-03=3"},
      {"too long without battles", answered, "2020-01-01", "2020-12-31", 10, ""},
      {"a date that is not one", answered, "2026-02-30", "2026-03-01", 400, "02-27=1 02-28=0 03-01=2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    EXPECT_EQ(Dates(FillDays(c.Days, c.From, c.To, c.Longest)), c.Expected);
  }
}

// Whatever the days, the filled calendar runs day after day without a gap or a repeat,
// and keeps every battle the range holds.
TEST(HistoryChartDays, FilledDaysAreConsecutiveAndKeepEveryBattle) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE(::testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  for (int round = 0; round < 200; ++round) {
    std::vector<DayRow> days;
    std::int64_t total = 0;
    const int count = static_cast<int>(random() % 6);
    const int year = 2027 + static_cast<int>(random() % 2), month = 1 + static_cast<int>(random() % 12);
    char date[16];
    int day = 1 + static_cast<int>(random() % 5);
    for (int i = 0; i < count && day <= 28; ++i) {
      std::snprintf(date, sizeof date, "%04d-%02d-%02d", year, month, day);
      const std::int64_t won = static_cast<std::int64_t>(random() % 4);
      days.push_back(Day(date, won));
      total += won;
      day += 1 + static_cast<int>(random() % 4);
    }
    const std::vector<DayRow> filled = FillDays(days, "", "");
    std::int64_t kept = 0;
    for (std::size_t i = 0; i < filled.size(); ++i) {
      kept += filled[i].Won;
      ASSERT_TRUE(IsCalendarDate(filled[i].Date)) << filled[i].Date;
      if (i > 0) {
        ASSERT_EQ(FillDays({}, filled[i - 1].Date, filled[i].Date).size(), 2u) << filled[i - 1].Date << " " << filled[i].Date;
      }
    }
    EXPECT_EQ(kept, total);
    if (!days.empty()) {
      EXPECT_EQ(filled.front().Date, days.front().Date);
      EXPECT_EQ(filled.back().Date, days.back().Date);
    }
  }
}

TEST(HistoryChartWeeks, WeeksRunMondayToSundayWithTheirWinRates) {
  // 2026-11-01 is a Sunday; 11-02 a Monday.
  const std::vector<DayRow> days =
      FillDays({Day("2026-11-01", 1, 1), Day("2026-11-02", 3, 1), Day("2026-11-08", 0, 4), Day("2026-11-23", 2)},
               "2026-11-01", "2026-11-23");
  const std::vector<WeekRow> weeks = WeeksOf(days);
  struct Expected {
    const char* Monday;
    std::int64_t Battles, Won;
    double Rate;
  };
  const Expected expected[] = {
      {"2026-10-26", 2, 1, 50},  // the range begins on the week's last day
      {"2026-11-02", 8, 3, 37.5},
      {"2026-11-09", 0, 0, -1},  // a week without battles: no rate
      {"2026-11-16", 0, 0, -1},
      {"2026-11-23", 2, 2, 100},
  };
  ASSERT_EQ(weeks.size(), std::size(expected));
  for (std::size_t i = 0; i < weeks.size(); ++i) {
    SCOPED_TRACE(expected[i].Monday);
    EXPECT_EQ(weeks[i].Monday, expected[i].Monday);
    EXPECT_EQ(weeks[i].Battles, expected[i].Battles);
    EXPECT_EQ(weeks[i].Won, expected[i].Won);
    EXPECT_DOUBLE_EQ(WinRatePercent(weeks[i]), expected[i].Rate);
  }
  EXPECT_EQ(test::U(WeekHint(weeks[1])), "2026-11-02 からの週  8戦  勝 3  勝率 38%");
  EXPECT_EQ(test::U(WeekHint(weeks[2])), "2026-11-09 からの週  0戦  勝 0");
}

TEST(HistoryChartAxis, TicksOnWholeNumbersWithRoomAboveTheHighest) {
  struct Case {
    std::int64_t Highest;
    int Intervals;
    std::int64_t Top, Step;
  };
  const Case cases[] = {
      {0, 5, 1, 1},       {1, 5, 2, 1},         {2, 5, 3, 1},       {4, 5, 5, 1},
      {5, 5, 6, 2},       {7, 5, 8, 2},         {9, 5, 10, 2},      {10, 5, 15, 5},
      {24, 5, 25, 5},     {25, 5, 30, 10},      {512, 5, 600, 200}, {1536, 5, 2000, 500},
      {3, 1, 5, 5},       {-4, 5, 1, 1},        {99, 10, 100, 10},  {100, 10, 120, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.Highest << " in " << c.Intervals);
    const IntegerAxis axis = IntegerAxisFor(c.Highest, c.Intervals);
    EXPECT_EQ(axis.Top, c.Top);
    EXPECT_EQ(axis.Step, c.Step);
  }
  // Whatever the highest: whole steps, the top above it and within the intervals allowed.
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE(::testing::Message() << "seed " << seed);
  std::mt19937_64 random(seed);
  for (int round = 0; round < 2000; ++round) {
    const std::int64_t highest = static_cast<std::int64_t>(random() % (std::int64_t{1} << (random() % 40)));
    const int intervals = 1 + static_cast<int>(random() % 12);
    const IntegerAxis axis = IntegerAxisFor(highest, intervals);
    ASSERT_GT(axis.Top, highest);
    ASSERT_EQ(axis.Top % axis.Step, 0);
    ASSERT_LE(axis.TickCount() - 1, intervals) << highest;
    // No smaller step of the series (1, 2, 5, 10, ...) would have done.
    if (axis.Step > 1) {
      std::int64_t decade = 1;
      while (axis.Step / decade >= 10) decade *= 10;
      const std::int64_t factor = axis.Step / decade;
      const std::int64_t smaller = factor == 1 ? decade / 2 : factor == 2 ? decade : 2 * decade;
      ASSERT_GT(highest / smaller + 1, intervals) << highest << " step " << axis.Step;
    }
  }
}

}  // namespace
}  // namespace mizuto
