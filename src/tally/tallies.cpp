#include "tally/tallies.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "battle/battle_label.h"
#include "tally/tally_totals.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

// Fixed-point text of `value`; the same digits as printf("%.*f") but independent of the
// process locale, which a GUI toolkit may have switched to one with a decimal comma.
std::string FixedText(double value, int precision) {
  char buffer[400];  // room for any double in fixed notation
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
  return std::string(buffer, result.ptr);
}

std::vector<int> CheckedEntries(const std::vector<std::string>& names,
                                const std::vector<char>& checked) {
  std::vector<int> entries;
  const std::size_t n = std::min(names.size(), checked.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (checked[i]) entries.push_back(static_cast<int>(i));
  }
  return entries;
}

// Sums a name's sparse skill and item uses over the counted battles. The uses are kept in
// battle order, so one merge with the (ascending) counted list visits only the battles that
// count, also when a single battle of many is counted.
void FoldUses(const NameRecord& record, const std::vector<int>& counted,
              std::vector<std::int32_t>& skillSums, std::vector<std::int32_t>& itemSums) {
  skillSums.assign(static_cast<std::size_t>(std::max(record.SkillCount, 0)), 0);
  itemSums.assign(static_cast<std::size_t>(std::max(record.ItemCount, 0)), 0);
  auto it = record.Uses.begin();
  const auto end = record.Uses.end();
  for (int b : counted) {
    if (it == end) break;
    it = std::lower_bound(it, end, b, [](const UseCount& u, int battle) { return u.Battle < battle; });
    for (; it != end && it->Battle == b; ++it) {
      std::vector<std::int32_t>& sums = it->Item ? itemSums : skillSums;
      if (it->Index < sums.size()) WrapAdd(sums[it->Index], it->Count);
    }
  }
}

}  // namespace

std::vector<int> CountedBattleIndices(const Analysis& analysis) {
  std::vector<int> counted;
  const int count = std::min(analysis.BattleCount(), kMaxBattles);
  for (int b = 0; b < count; ++b) {
    if (CountedBattle(analysis.Battles[static_cast<std::size_t>(b)])) counted.push_back(b);
  }
  return counted;
}

NameTotals FoldNameTotals(const Analysis& analysis, int n, const std::vector<int>& counted) {
  NameTotals t;
  if (!analysis.Names.Valid(n)) return t;
  const NameBattleStats* stats = analysis.Names[n].Stats;
  for (int b : counted) {
    const NameBattleStats& s = stats[b];
    t.AnyPresent |= s.Present;
    t.Relations |= s.OwnerRelations;
    t.Sides |= s.Sides;
    if (s.Present != 0) WrapAdd(t.BattlesPresent, 1);
    for (std::size_t k = 0; k < t.Counters.size(); ++k) WrapAdd(t.Counters[k], s.BattleCounts[k]);
    WrapAdd(t.Tenacity, s.ExtraCounts[kTenacity]);
    WrapAdd(t.FleetMeals, s.ExtraCounts[kFleetMeals]);
  }
  return t;
}

int TallyIcon(SideSet sides, RelationSet relations) {
  // By the sets' stored numbers: sides none, own, enemy, both; relations likewise.
  static constexpr int kIcons[4][4] = {{0, 0, 0, 0}, {1, 1, 1, 1}, {2, 8, 9, 10}, {3, 11, 12, 13}};
  return kIcons[sides.ToStored()][relations.ToStored()];
}

void BuildTallyColumns(const TallyOptions& options, TallyTableView& table) {
  std::vector<TallyColumn> columns;
  for (const std::string* caption :
       {&SJ("名前"), &SJ("戦闘数"), &SJ("与撃沈"), &SJ("決定"), &SJ("被撃沈"), &SJ("与拿捕"),
        &SJ("被拿捕"), &SJ("粘り"), &SJ("艦隊料理")}) {
    columns.push_back(TallyColumn{*caption, true});
  }
  columns.front().RightAligned = false;
  const ReferenceLists& lists = options.Lists;
  for (int i : CheckedEntries(lists.SkillNames, options.SkillChecked)) {
    columns.push_back(TallyColumn{lists.SkillNames[static_cast<std::size_t>(i)], true});
  }
  for (int i : CheckedEntries(lists.ItemNames, options.ItemChecked)) {
    columns.push_back(TallyColumn{lists.ItemNames[static_cast<std::size_t>(i)], true});
  }
  table.SetColumns(std::move(columns));
}

void BuildTallies(const Analysis& analysis, const TallyOptions& options, TallyTableView& table,
                  HeadToHeadGrid& grid) {
  std::vector<TallyRow> rows;
  const std::vector<int> counted = CountedBattleIndices(analysis);
  const std::vector<int> skills = CheckedEntries(options.Lists.SkillNames, options.SkillChecked);
  const std::vector<int> items = CheckedEntries(options.Lists.ItemNames, options.ItemChecked);
  const bool averageHits = options.AverageHits;
  const bool averageOthers = options.AverageOthers;

  std::vector<NameTotals> totals(static_cast<std::size_t>(analysis.NameCount()));
  std::vector<std::int32_t> skillSums, itemSums;
  if (!counted.empty()) rows.reserve(static_cast<std::size_t>(analysis.NameCount()));

  for (int n = 0; n < analysis.NameCount(); ++n) {
    const NameRecord& record = analysis.Names[n];
    if (record.Visible == 0) continue;
    const NameTotals& t = totals[static_cast<std::size_t>(n)] = FoldNameTotals(analysis, n, counted);
    if (t.AnyPresent == 0) continue;
    const std::int32_t battles = t.BattlesPresent == 0 ? 1 : t.BattlesPresent;
    auto hitText = [&](std::int32_t value) {
      if (!averageHits) return DecimalText(value);
      return FixedText(static_cast<double>(value) / battles * 100, 1) + "%";
    };
    auto otherText = [&](std::int32_t value) {
      if (!averageOthers) return DecimalText(value);
      return FixedText(static_cast<double>(value) / battles, 2);
    };

    TallyRow row;
    row.Caption = record.Name;
    row.NameIndex = n;
    row.Icon = TallyIcon(t.Sides, t.Relations);
    row.Cells.reserve(8 + skills.size() + items.size());
    row.Cells.push_back(DecimalText(battles));
    row.Cells.push_back(hitText(t.Counters[kSinksDealt]));
    row.Cells.push_back(hitText(t.Counters[kDecisive]));
    row.Cells.push_back(hitText(t.Counters[kSinksTaken]));
    row.Cells.push_back(hitText(t.Counters[kCapturesDealt]));
    row.Cells.push_back(hitText(t.Counters[kCapturesTaken]));
    row.Cells.push_back(otherText(t.Tenacity));
    row.Cells.push_back(otherText(t.FleetMeals));
    if (!skills.empty() || !items.empty()) {
      FoldUses(record, counted, skillSums, itemSums);
      // A record made before the list grew has no counter for the later entries: 0.
      auto sumOf = [](const std::vector<std::int32_t>& sums, int i) {
        return static_cast<std::size_t>(i) < sums.size() ? sums[static_cast<std::size_t>(i)] : 0;
      };
      for (int i : skills) row.Cells.push_back(otherText(sumOf(skillSums, i)));
      for (int i : items) row.Cells.push_back(otherText(sumOf(itemSums, i)));
    }
    rows.push_back(std::move(row));
  }
  table.SetRows(std::move(rows));

  FillHeadToHeadFrom(analysis, counted, totals, grid);
}

}  // namespace mizuto
