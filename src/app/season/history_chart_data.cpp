#include "app/season/history_chart_data.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "text/codec.h"

namespace mizuto {
namespace {

using std::chrono::sys_days;

bool ParseDate(const std::string& text, sys_days& day) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  const std::chrono::year_month_day date{std::chrono::year{std::stoi(text.substr(0, 4))},
                                         std::chrono::month{static_cast<unsigned>(std::stoi(text.substr(5, 2)))},
                                         std::chrono::day{static_cast<unsigned>(std::stoi(text.substr(8, 2)))}};
  if (!date.ok()) return false;
  day = sys_days{date};
  return true;
}

std::string DateText(sys_days day) {
  const std::chrono::year_month_day date{day};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

}  // namespace

std::int64_t DayBattles(const DayRow& d) { return d.Won + d.Lost + d.Drawn + d.Escaped + d.Withdrawn; }

bool IsCalendarDate(const std::string& date) {
  sys_days day;
  return ParseDate(date, day);
}

std::vector<DayRow> FillDays(const std::vector<DayRow>& days, const std::string& from, const std::string& to,
                             int longest) {
  // The days the history answered that are dates at all, in order.
  std::vector<std::pair<sys_days, const DayRow*>> known;
  for (const DayRow& d : days) {
    sys_days day;
    if (ParseDate(d.Date, day)) known.emplace_back(day, &d);
  }
  std::stable_sort(known.begin(), known.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  sys_days first, last;
  const bool hasFrom = ParseDate(from, first), hasTo = ParseDate(to, last);
  if (!hasFrom) {
    if (known.empty()) return {};
    first = known.front().first;
  }
  if (!hasTo) {
    if (known.empty()) return {};
    last = known.back().first;
  }
  if (last < first) return {};
  if ((last - first).count() + 1 > longest) {
    // Only the part of the range with battles; with none, nothing worth a calendar.
    auto inside = [&](const auto& k) { return k.first >= first && k.first <= last; };
    const auto begin = std::find_if(known.begin(), known.end(), inside);
    const auto end = std::find_if(known.rbegin(), known.rend(), inside);
    if (begin == known.end()) return {};
    first = std::max(begin->first, end->first - std::chrono::days{longest - 1});
    last = end->first;
  }
  std::vector<DayRow> filled;
  filled.reserve(static_cast<std::size_t>((last - first).count() + 1));
  auto next = known.begin();
  for (sys_days day = first; day <= last; day += std::chrono::days{1}) {
    while (next != known.end() && next->first < day) ++next;
    if (next != known.end() && next->first == day) {
      filled.push_back(*next->second);
      // A day answered twice (it should not be) counts once.
      while (next != known.end() && next->first == day) ++next;
    } else {
      DayRow empty;
      empty.Date = DateText(day);
      filled.push_back(empty);
    }
  }
  return filled;
}

std::vector<WeekRow> WeeksOf(const std::vector<DayRow>& days) {
  std::vector<WeekRow> weeks;
  for (const DayRow& d : days) {
    sys_days day;
    if (!ParseDate(d.Date, day)) continue;
    // Monday first: the weekday counts from Sunday = 0.
    const unsigned fromMonday = (std::chrono::weekday{day}.c_encoding() + 6) % 7;
    const std::string monday = DateText(day - std::chrono::days{fromMonday});
    if (weeks.empty() || weeks.back().Monday != monday) weeks.push_back(WeekRow{monday, 0, 0});
    weeks.back().Battles += DayBattles(d);
    weeks.back().Won += d.Won;
  }
  return weeks;
}

double WinRatePercent(const WeekRow& week) {
  if (week.Battles <= 0) return -1;
  return 100.0 * static_cast<double>(week.Won) / static_cast<double>(week.Battles);
}

std::string WeekHint(const WeekRow& week) {
  std::string hint = week.Monday + SJ(" からの週  ") + std::to_string(week.Battles) + SJ("戦  勝 ") +
                     std::to_string(week.Won);
  const double rate = WinRatePercent(week);
  if (rate >= 0) hint += SJ("  勝率 ") + std::to_string(std::lround(rate)) + "%";
  return hint;
}

IntegerAxis IntegerAxisFor(std::int64_t highest, int intervals) {
  // Beyond any season; keeps the steps below from overflowing.
  highest = std::clamp<std::int64_t>(highest, 0, 1000000000000000);
  intervals = std::max(intervals, 1);
  IntegerAxis axis;
  for (std::int64_t decade = 1;; decade *= 10) {
    for (std::int64_t factor : {1, 2, 5}) {
      const std::int64_t step = decade * factor;
      const std::int64_t steps = highest / step + 1;
      if (steps <= intervals) {
        axis.Step = step;
        axis.Top = steps * step;
        return axis;
      }
    }
  }
}

}  // namespace mizuto
