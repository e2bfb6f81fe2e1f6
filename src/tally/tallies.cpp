#include "tally/tallies.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "app/app.h"
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

bool IsNameTotal(int kind) {
  return (kind >= kAnyPresent && kind <= kBattlesPresent) ||
         (kind >= kWastedRepairsSum && kind <= kTenacitySum);
}

bool IsBattleTotal(int kind) {
  switch (kind) {
    case kCountedBattles: case kVictories: case kDefeats: case kUndecided:
    case kEscapedBattles: case kWithdrawnBattles: case kCriticalsDealtSum:
    case kCriticalsTakenSum:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool CountedBattle(const BattleRecord& record) { return record.TallyState == 1; }

std::vector<int> CountedBattleIndices(const App& app) {
  std::vector<int> counted;
  const int count = std::min(app.BattleCount(), kMaxBattles);
  for (int b = 0; b < count; ++b) {
    if (CountedBattle(app.Battles[static_cast<std::size_t>(b)])) counted.push_back(b);
  }
  return counted;
}

NameTotals FoldNameTotals(const App& app, int n, const std::vector<int>& counted) {
  NameTotals t;
  if (!app.Names.Valid(n)) return t;
  const NameBattleStats* stats = app.Names[n].Stats;
  for (int b : counted) {
    const NameBattleStats& s = stats[b];
    t.AnyPresent |= s.Present;
    t.RelationBits |= s.OwnerRelation;
    t.SideBits |= s.Side;
    if (s.Present != 0) WrapAdd(t.BattlesPresent, 1);
    for (std::size_t k = 0; k < t.Counters.size(); ++k) WrapAdd(t.Counters[k], s.BattleCounts[k]);
    WrapAdd(t.Tenacity, s.ExtraCounts[kTenacity]);
    WrapAdd(t.FleetMeals, s.ExtraCounts[kFleetMeals]);
  }
  return t;
}

std::int32_t TallyQuery(const App& app, int nameIndex, int kind, int column) {
  std::int32_t result = 0;
  if (kind == kSkillSum || kind == kItemSum) {
    if (!app.Names.Valid(nameIndex) || column < 0) return 0;
    const bool item = kind == kItemSum;
    for (const UseCount& u : app.Names[nameIndex].Uses) {
      if (u.Item != item || u.Index != static_cast<std::uint32_t>(column)) continue;
      if (u.Battle >= app.BattleCount() || !CountedBattle(app.Battles[u.Battle])) continue;
      WrapAdd(result, u.Count);
    }
    return result;
  }
  if (!IsNameTotal(kind) && !IsBattleTotal(kind)) return 0;
  if (kind == kCounterSum && (column < 0 || column >= 5)) return 0;

  for (int b = 0; b < app.BattleCount(); ++b) {
    const BattleRecord& r = app.Battles[static_cast<std::size_t>(b)];
    if (!CountedBattle(r)) continue;
    if (IsBattleTotal(kind)) {
      switch (kind) {
        case kCountedBattles: WrapAdd(result, 1); break;
        case kVictories: WrapAdd(result, r.Result == kVictory); break;
        case kDefeats: WrapAdd(result, r.Result == kDefeat); break;
        case kUndecided: WrapAdd(result, r.Result >= 2); break;
        case kEscapedBattles: WrapAdd(result, r.Result == kEscaped); break;
        case kWithdrawnBattles: WrapAdd(result, r.Result == kWithdrawn); break;
        case kCriticalsDealtSum: WrapAdd(result, r.CriticalsDealt); break;
        case kCriticalsTakenSum: WrapAdd(result, r.CriticalsTaken); break;
      }
      continue;
    }
    const NameBattleStats* s = app.Names.Stats(nameIndex, b);
    if (s == nullptr) continue;  // "no name": every counter at its start value
    switch (kind) {
      case kAnyPresent: result |= s->Present; break;
      case kRelationBits: result |= s->OwnerRelation; break;
      case kSideBits: result |= s->Side; break;
      case kCounterSum: WrapAdd(result, s->BattleCounts[static_cast<std::size_t>(column)]); break;
      case kBattlesPresent: WrapAdd(result, s->Present != 0); break;
      case kWastedRepairsSum: WrapAdd(result, s->ExtraCounts[kWastedRepairs]); break;
      case kWastedCareSum: WrapAdd(result, s->ExtraCounts[kWastedCare]); break;
      case kWastedOtherSum: WrapAdd(result, s->ExtraCounts[kWastedOther]); break;
      case kFleetMealsSum: WrapAdd(result, s->ExtraCounts[kFleetMeals]); break;
      case kTenacitySum: WrapAdd(result, s->ExtraCounts[kTenacity]); break;
    }
  }
  return result;
}

int TallyIcon(std::int32_t sideBits, std::int32_t relationBits) {
  static constexpr int kIcons[4][4] = {{0, 0, 0, 0}, {1, 1, 1, 1}, {2, 8, 9, 10}, {3, 11, 12, 13}};
  return kIcons[sideBits & 3][relationBits & 3];
}

void RebuildTallyColumns(App& app) {
  std::vector<TallyColumn>& columns = app.TallyTable.Columns;
  columns.clear();
  for (const std::string* caption :
       {&SJ("名前"), &SJ("戦闘数"), &SJ("与撃沈"), &SJ("決定"), &SJ("被撃沈"), &SJ("与拿捕"),
        &SJ("被拿捕"), &SJ("粘り"), &SJ("艦隊料理")}) {
    columns.push_back(TallyColumn{*caption, true});
  }
  columns.front().RightAligned = false;
  for (int i : CheckedEntries(app.Lists.SkillNames, app.SkillChecked)) {
    columns.push_back(TallyColumn{app.Lists.SkillNames[static_cast<std::size_t>(i)], true});
  }
  for (int i : CheckedEntries(app.Lists.ItemNames, app.ItemChecked)) {
    columns.push_back(TallyColumn{app.Lists.ItemNames[static_cast<std::size_t>(i)], true});
  }
}

void RefreshTallies(App& app) {
  app.SetStatus(SJ("集計中･･･"));
  TallyTableView& table = app.TallyTable;
  table.Rows.clear();
  // The selection went with the old rows.
  app.Acts.PlayerHide.Enabled = false;

  const std::vector<int> counted = CountedBattleIndices(app);
  const std::vector<int> skills = CheckedEntries(app.Lists.SkillNames, app.SkillChecked);
  const std::vector<int> items = CheckedEntries(app.Lists.ItemNames, app.ItemChecked);
  const bool averageHits = app.Acts.AvgHitDown.Checked;
  const bool averageOthers = app.Acts.AvgSkillItem.Checked;

  std::vector<NameTotals> totals(static_cast<std::size_t>(app.NameCount()));
  std::vector<std::int32_t> skillSums, itemSums;
  if (!counted.empty()) table.Rows.reserve(static_cast<std::size_t>(app.NameCount()));

  for (int n = 0; n < app.NameCount(); ++n) {
    const NameRecord& record = app.Names[n];
    if (record.Visible == 0) continue;
    const NameTotals& t = totals[static_cast<std::size_t>(n)] = FoldNameTotals(app, n, counted);
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
    row.Icon = TallyIcon(t.SideBits, t.RelationBits);
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
    table.Rows.push_back(std::move(row));
  }

  FillHeadToHeadFrom(app, counted, totals);
  app.SetStatus(SummaryLine(app));
}

}  // namespace mizuto
