// What the History page shows and the filter the player set: a part of the App, which
// the page's commands fill (app/history/history_page_model.h). Every text is Shift-JIS.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/season/season_tables.h"
#include "history/history_rows.h"

namespace mizuto {

// What Mizuto.ini keeps of the page, in a section of its own.
struct HistoryPageSettings {
  // The range the player chose, "YYYY-MM-DD" each; both empty: the last 30 calendar days
  // (today and the 29 before), which moves along with the calendar.
  std::string From, To;
  int Type = 0;     // 0 every battle type, then 海戦, 模擬, 実戦, ＢＣ
  int Size = 0;     // 0 every ship size, then 小型, 中型, 大型
  int Against = 0;  // 0 everybody, 1 NPC, 2 players
  std::string Name; // Shift-JIS; empty: every name
  bool PartialName = false;  // 部分一致: the name may be part of a longer one
  // The window's layout: column widths of the three tables and the splitters' sizes.
  std::vector<int> OpponentColumns, PlayerColumns, BattleColumns, Splitter, UpperSplitter, LowerSplitter;
};

struct HistoryPageView {
  HistoryPageSettings Settings;
  HistoryRange Range;      // the range shown (the chosen one, or the default)
  std::string Today;       // the day the default range ends on; empty: today by the clock
  std::string Summary;     // the status bar's form
  HistoryTable Opponents, Players, Battles;
  // The battles as the history answered, read a few at a time as the Battles table shows
  // them (its rows' Source); null before the page asked.
  std::shared_ptr<SeasonBattles> BattleAnswer;
  std::vector<DayRow> Days;
  std::string ErrorText;   // why the history cannot be asked; empty when it answered
  // The history's revision the answers belong to; the page asks again when it moved on.
  std::uint64_t AnsweredRevision = 0;
  bool Answered = false;
  std::uint64_t Revision = 0;  // counts every refresh
};

// How many calendar days the page shows when the player chose no range.
inline constexpr int kRecentHistoryDays = 30;

}  // namespace mizuto
