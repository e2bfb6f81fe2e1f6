#include "battle/battle_label.h"

#include <array>
#include <cstdio>

#include "battle/analysis.h"
#include "text/codec.h"

namespace mizuto {
namespace {

// A label table: the texts of the values 0 .. N-1, converted to Shift-JIS once; any other
// value has the empty label.
template <std::size_t N>
class LabelTable {
 public:
  explicit LabelTable(const std::array<const char*, N>& utf8) {
    for (std::size_t i = 0; i < N; ++i) labels_[i] = Utf8ToSjis(utf8[i]);
  }
  const std::string& operator[](int value) const {
    static const std::string empty;
    return value >= 0 && static_cast<std::size_t>(value) < N ? labels_[static_cast<std::size_t>(value)] : empty;
  }

 private:
  std::array<std::string, N> labels_;
};

const LabelTable<4>& ShipTypeLabels() {
  static const LabelTable<4> table({"小", "中", "大", "　"});
  return table;
}
const LabelTable<4>& LabelsOfBattleTypes() {
  static const LabelTable<4> table({"海戦", "模擬", "実戦", "ＢＣ"});
  return table;
}
const LabelTable<2>& NpcLabels() {
  static const LabelTable<2> table({" ", "(NPC)"});
  return table;
}
// The game's refusal shows whatever the player's mark says.
const std::string& TallyLabel(const TallyState& tally) {
  static const LabelTable<3> table({"－", "集", "×"});
  return table[tally.GameSaysNotCounted ? 2 : tally.CountMark ? 1 : 0];
}
// A camp battle (4) has no kind label of its own.
const LabelTable<4>& KindLabels() {
  static const LabelTable<4> table({"", "強襲", "交戦", "援軍"});
  return table;
}
const LabelTable<5>& ResultLabels() {
  static const LabelTable<5> table({"×", "○", "逃", "撤", "－"});
  return table;
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
  const NameTable& names = analysis.Names;
  return BattleLabel(r, i, names.Valid(r.Admiral) ? std::string_view(names[r.Admiral].Name) : std::string_view(),
                     names.Valid(r.Opponent) ? std::string_view(names[r.Opponent].Name) : kUnknownOpponent);
}

std::string BattleLabel(const BattleRecord& r, int i, std::string_view admiralName, std::string_view opponent) {
  std::string admiral(admiralName);
  admiral.append(18, ' ');
  admiral.resize(18);

  // Names are appended, not formatted: a name may hold any byte.
  const bool camp = r.Class.Type == BattleType::Camp;
  std::string label = LabelsOfBattleTypes()[static_cast<int>(r.Class.Type)];
  label += ShipTypeLabels()[static_cast<int>(r.Class.Size)];
  label += '[';
  label += TallyLabel(r.Tally);
  label += ']';
  label += Format("%3d", i + 1);
  label += SJ("戦目 ");
  label += admiral;
  label += ' ';
  if (!camp) {
    label += KindLabels()[ToStored(r.Kind)];
    label += SJ(" → ");
  }
  label += ResultLabels()[ToStored(r.Result)];
  label += " : ";
  label += opponent;
  label += ' ';
  label += NpcLabels()[r.Class.Npc ? 1 : 0];
  label += ' ';
  if (camp) label += Format("%d-%d", r.OwnPoints, r.EnemyPoints);
  return label;
}

ResultCount CountOfResult(BattleResult result, bool ended) {
  if (!ended) return ResultCount::None;
  switch (result) {
    case BattleResult::Victory: return ResultCount::Won;
    case BattleResult::Defeat: return ResultCount::Lost;
    case BattleResult::Escaped: return ResultCount::Escaped;
    case BattleResult::Withdrawn: return ResultCount::Withdrawn;
    case BattleResult::Draw: return ResultCount::Drawn;
    default: return ResultCount::None;  // a stored number that names no result
  }
}

void ResultCounts::Add(const BattleRecord& r, bool ended) {
  WrapAdd(Counted, 1);
  switch (CountOfResult(r.Result, ended)) {
    case ResultCount::Won: WrapAdd(Won, 1); break;
    case ResultCount::Lost: WrapAdd(Lost, 1); break;
    case ResultCount::Escaped: WrapAdd(Escaped, 1); WrapAdd(Undecided, 1); break;
    case ResultCount::Withdrawn: WrapAdd(Withdrawn, 1); WrapAdd(Undecided, 1); break;
    case ResultCount::Drawn: WrapAdd(Undecided, 1); break;
    case ResultCount::None: break;
  }
}

std::string SummaryLine(const Analysis& analysis) {
  ResultCounts results;
  std::int32_t critDealt = 0, critTaken = 0, repairs = 0, care = 0, other = 0;
  for (int b = 0; b < analysis.BattleCount(); ++b) {
    const BattleRecord& r = analysis.Battles[static_cast<std::size_t>(b)];
    if (!CountedBattle(r)) continue;
    results.Add(r, BattleEnded(analysis, b));
    WrapAdd(critDealt, r.CriticalsDealt);
    WrapAdd(critTaken, r.CriticalsTaken);
    if (const NameBattleStats* s = analysis.Names.Stats(0, b)) {
      WrapAdd(repairs, s->ExtraCounts[kWastedRepairs]);
      WrapAdd(care, s->ExtraCounts[kWastedCare]);
      WrapAdd(other, s->ExtraCounts[kWastedOther]);
    }
  }
  return SummaryText(SummaryFigures{results.Counted, results.Won, results.Lost, results.Undecided,
                                    results.Escaped, results.Withdrawn, critDealt, critTaken, repairs,
                                    care, other});
}

std::string SummaryText(const SummaryFigures& f) {
  return Format(SJ(" %3lld戦 %3lld勝 %3lld敗 %3lld分(逃げられ:%lld 撤退:%lld) [クリティカル:%3lld /%3lld] "
                   "[無駄な努力 修理:%3lld 外科､救助:%3lld その他:%3lld]")
                    .c_str(),
                f.Counted, f.Won, f.Lost, f.Undecided, f.Escaped, f.Withdrawn, f.CriticalsDealt,
                f.CriticalsTaken, f.WastedRepairs, f.WastedCare, f.WastedOther);
}

}  // namespace mizuto
