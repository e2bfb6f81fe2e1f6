// The arithmetic behind the History page's chart, apart from any drawing: every day of the
// range in its place (days without battles included, so the axis keeps the calendar's
// spacing), the weeks of the range with their win rates, and axes whose ticks fall on whole
// numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/history_rows.h"

namespace mizuto {

// The counted battles of a day: every result.
std::int64_t DayBattles(const DayRow& day);

// Whether `date` is a real calendar date written "YYYY-MM-DD".
bool IsCalendarDate(const std::string& date);

// Every day from `from` to `to` ("YYYY-MM-DD", both included), ascending: the row `days`
// has for it, or an empty row. An end that is not a date falls back on the first or last
// day of `days`; days of `days` outside the range are left out. A range longer than
// `longest` days is narrowed to the days that have battles (and to `longest` days before
// the last of them), so a range chosen years wide does not draw thousands of empty days.
std::vector<DayRow> FillDays(const std::vector<DayRow>& days, const std::string& from, const std::string& to,
                             int longest = 400);

struct WeekRow {
  std::string Monday;  // the week's first day, "YYYY-MM-DD" (it may lie before the range)
  std::int64_t Battles = 0, Won = 0;
};

// The weeks (Monday to Sunday) the ascending days fall in, each once, ascending; a week
// inside the range without battles is there with none.
std::vector<WeekRow> WeeksOf(const std::vector<DayRow>& days);

// The share of won battles in percent; -1 for a week without battles (no rate to draw).
double WinRatePercent(const WeekRow& week);

// The figures of a week, for the hint over its point (Shift-JIS): the week, its battles,
// won and win rate in whole percent.
std::string WeekHint(const WeekRow& week);

// A value axis from 0 with ticks on whole numbers: `Step` of the 1-2-5 series, the top a
// whole number of steps strictly above `highest` (so a point at the highest value is drawn
// whole, not cut by the plot's edge), and at most `intervals` steps.
struct IntegerAxis {
  std::int64_t Top = 1;
  std::int64_t Step = 1;
  int TickCount() const { return static_cast<int>(Top / Step) + 1; }
};
IntegerAxis IntegerAxisFor(std::int64_t highest, int intervals);

}  // namespace mizuto
