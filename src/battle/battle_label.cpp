#include "battle/battle_label.h"

#include <cstdio>

#include "battle/analysis.h"
#include "text/codec.h"

namespace mizuto {
namespace {

const std::string& Label(const char* const* table, int count, int value,
                         std::string (&converted)[8]) {
  static const std::string empty;
  if (value < 0 || value >= count) return empty;
  if (converted[value].empty() && table[value][0] != '\0') converted[value] = Utf8ToSjis(table[value]);
  return converted[value];
}

const std::string& ShipTypeLabel(int v) {
  static const char* t[] = {"小", "中", "大", "　"};
  static std::string c[8];
  return Label(t, 4, v, c);
}
const std::string& BattleTypeLabel(int v) {
  static const char* t[] = {"海戦", "模擬", "実戦", "ＢＣ"};
  static std::string c[8];
  return Label(t, 4, v, c);
}
const std::string& NpcLabel(int v) {
  static const char* t[] = {" ", "(NPC)"};
  static std::string c[8];
  return Label(t, 2, v, c);
}
const std::string& TallyLabel(int v) {
  static const char* t[] = {"－", "集", "×", "×"};
  static std::string c[8];
  return Label(t, 4, v, c);
}
// A camp battle (4) has no kind label of its own.
const std::string& KindLabel(int v) {
  static const char* t[] = {"", "強襲", "交戦", "援軍"};
  static std::string c[8];
  return Label(t, 4, v, c);
}
const std::string& ResultLabel(int v) {
  static const char* t[] = {"×", "○", "逃", "撤", "－"};
  static std::string c[8];
  return Label(t, 5, v, c);
}

std::string Format(const char* sjisFormat, auto... args) {
  const int n = std::snprintf(nullptr, 0, sjisFormat, args...);
  std::string out(static_cast<std::size_t>(n), '\0');
  std::snprintf(out.data(), out.size() + 1, sjisFormat, args...);
  return out;
}

}  // namespace

std::string InProgressLabel(int i) { return Format(SJ("<<< %3d戦目 戦闘中 >>>").c_str(), i + 1); }

std::string BattleLabel(const Analysis& analysis, int i) {
  // No such battle (a stale row index, say): an empty row rather than a read past the list.
  if (i < 0 || i >= analysis.BattleCount()) return {};
  const BattleRecord& r = analysis.Battles[static_cast<std::size_t>(i)];
  std::string admiral;
  if (analysis.Names.Valid(r.Admiral)) admiral = analysis.Names[r.Admiral].Name;
  admiral.append(18, ' ');
  admiral.resize(18);
  const std::string opponent = analysis.Names.Valid(r.Opponent) ? analysis.Names[r.Opponent].Name : "???";

  // Names are appended, not formatted: a name may hold any byte.
  std::string label = BattleTypeLabel(r.BattleType());
  label += ShipTypeLabel(r.ShipType());
  label += '[';
  label += TallyLabel(r.TallyState);
  label += ']';
  label += Format("%3d", i + 1);
  label += SJ("戦目 ");
  label += admiral;
  label += ' ';
  if (r.BattleType() != 3) {
    label += KindLabel(r.Kind);
    label += SJ(" → ");
  }
  label += ResultLabel(r.Result);
  label += " : ";
  label += opponent;
  label += ' ';
  label += NpcLabel(r.NpcFlag());
  label += ' ';
  if (r.BattleType() == 3) label += Format("%d-%d", r.OwnPoints, r.EnemyPoints);
  return label;
}

void ResultCounts::Add(const BattleRecord& r) {
  WrapAdd(Counted, 1);
  if (r.Result == kVictory) WrapAdd(Won, 1);
  if (r.Result == kDefeat) WrapAdd(Lost, 1);
  if (r.Result >= 2) WrapAdd(Undecided, 1);
  if (r.Result == kEscaped) WrapAdd(Escaped, 1);
  if (r.Result == kWithdrawn) WrapAdd(Withdrawn, 1);
}

std::string SummaryLine(const Analysis& analysis) {
  ResultCounts results;
  std::int32_t critDealt = 0, critTaken = 0, repairs = 0, care = 0, other = 0;
  for (int b = 0; b < analysis.BattleCount(); ++b) {
    const BattleRecord& r = analysis.Battles[static_cast<std::size_t>(b)];
    if (!CountedBattle(r)) continue;
    results.Add(r);
    WrapAdd(critDealt, r.CriticalsDealt);
    WrapAdd(critTaken, r.CriticalsTaken);
    if (const NameBattleStats* s = analysis.Names.Stats(0, b)) {
      WrapAdd(repairs, s->ExtraCounts[kWastedRepairs]);
      WrapAdd(care, s->ExtraCounts[kWastedCare]);
      WrapAdd(other, s->ExtraCounts[kWastedOther]);
    }
  }
  return Format(SJ(" %3d戦 %3d勝 %3d敗 %3d分(逃げられ:%d 撤退:%d) [クリティカル:%3d /%3d] "
                   "[無駄な努力 修理:%3d 外科､救助:%3d その他:%3d]")
                    .c_str(),
                results.Counted, results.Won, results.Lost, results.Undecided, results.Escaped,
                results.Withdrawn, critDealt, critTaken, repairs,
                care, other);
}

}  // namespace mizuto
