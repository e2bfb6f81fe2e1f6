#include "battle/event_recognition.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "ingest/game_messages.h"
#include "text/codec.h"
#include "text/literal_set.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

// A marker's bytes, converted once.
const std::string& Mark(NameMarker marker) {
  static const std::array<std::string, kNameMarkerCount> converted = [] {
    std::array<std::string, kNameMarkerCount> out;
    for (std::size_t m = 0; m < out.size(); ++m) out[m] = Utf8ToSjis(kNameMarkers[m].Text);
    return out;
  }();
  return converted[static_cast<std::size_t>(marker)];
}

// The text before `what`; empty when `what` is absent. A message that lacks the literal
// its name ends at thus yields an empty name, never the whole line.
std::string_view BeforeOrEmpty(std::string_view text, std::string_view what) {
  const std::size_t p = FindBytes(text, what);
  return p == 0 ? std::string_view{} : text.substr(0, p - 1);
}

// The counters of the names involved in one line. A name index of -1 (the name table was
// full) has no stats: every write to it is dropped.
struct Battle {
  AnalysisRun& run;
  int index;

  NameBattleStats* operator()(int n) const { return run.Names.Stats(n, index); }
  BattleRecord& Record() const { return run.Battles[static_cast<std::size_t>(index)]; }
};

void Bump(NameBattleStats* s, BattleCounter c) {
  if (s) WrapAdd(s->BattleCounts[c], 1);
}
void BumpExtra(NameBattleStats* s, ExtraCounter c) {
  if (s) WrapAdd(s->ExtraCounts[c], 1);
}
void SetPresent(NameBattleStats* s) {
  if (s) s->Present = 1;
}
void AddSide(NameBattleStats* s, Side side) {
  if (s) s->AddSide(side);
}
void AddRelation(NameBattleStats* s, OwnerRelation relation) {
  if (s) s->AddRelation(relation);
}
void SetTakenBy(NameBattleStats* s, int by) {
  if (s) s->TakenBy = by;
}

// The area phrase of a defeat message between two other ships, or empty.
std::string_view AreaLiteral(std::string_view text) {
  for (const NameMarker area : {kMarkOwnArea, kMarkNeutralArea, kMarkEnemyArea}) {
    if (ContainsBytes(text, Mark(area))) return Mark(area);
  }
  return {};
}

// A capture or sink between two other ships: split at the one "が" (taker on the own side,
// target on the enemy side), else around a name already known. `dealt` is counted for the
// taker, `taken` (when given) for the target. False when the text cannot be split.
bool TakeBetweenOthers(const Battle& at, std::string_view t, BattleCounter dealt,
                       std::optional<BattleCounter> taken) {
  AnalysisRun& run = at.run;
  int u = -1, w = -1;
  if (const long v = SplitAtGa(t); v > 0) {
    u = MarkPresent(run, CutBytes(t, v), Side::Own);
    w = MarkPresent(run, FromByte(t, v + 3), Side::Enemy);
  } else if (SplitByKnownName(run, t, &u, &w)) {
    SetPresent(at(u));
    SetPresent(at(w));
    AddSide(at(u), Side::Own);
    AddSide(at(w), Side::Enemy);
  } else {
    return false;
  }
  Bump(at(u), dealt);
  if (taken) Bump(at(w), *taken);
  SetTakenBy(at(w), u);
  return true;
}

void Capture(const Battle& at, std::string_view t, int lineIndex) {
  AnalysisRun& run = at.run;
  if (ContainsBytes(t, Mark(kMarkEnemyShip))) {  // the owner captured an enemy
    Bump(at(0), kCapturesDealt);
    const int n = MarkPresent(run, FromByte(t, 5), Side::Enemy);
    Bump(at(n), kCapturesTaken);
    AddRelation(at(n), OwnerRelation::TakenOutByOwner);
    SetTakenBy(at(n), 0);
    return;
  }
  if (!TakeBetweenOthers(at, t, kCapturesDealt, kCapturesTaken)) {
    run.Events.Error(ErrorCodeLine(2, static_cast<long long>(lineIndex) + 1));
  }
}

void Captured(const Battle& at, std::string_view text) {
  AnalysisRun& run = at.run;
  if (ContainsBytes(text, Mark(kMarkEnemyShip))) {  // an enemy captured the owner
    Bump(at(0), kCapturesTaken);
    const std::string_view t = BeforeOrEmpty(FromByte(text, 5), Mark(kMarkCapturedByName));
    const int n = MarkPresent(run, t, Side::Enemy);
    Bump(at(n), kCapturesDealt);
    SetTakenBy(at(0), n);
    AddRelation(at(n), OwnerRelation::TookOwnerOut);
    return;
  }
  const auto [u, w] = SplitByMarkers(run, text, Mark(kMarkThrough), Mark(kMarkCapturedName));
  SetPresent(at(u));
  SetPresent(at(w));
  Bump(at(u), kCapturesDealt);
  Bump(at(w), kCapturesTaken);
  AddSide(at(u), Side::Enemy);
  AddSide(at(w), Side::Own);
  SetTakenBy(at(w), u);
}

// "…に撃破されました！！" (lost) and "…を撃破しました！！" (won).
void Defeat(const Battle& at, std::string_view text, std::string_view before, bool ownerLost) {
  AnalysisRun& run = at.run;
  if (const std::string_view area = AreaLiteral(text); !area.empty()) {
    // Two other ships: the one before the area phrase is on the own side.
    const auto [u, w] =
        SplitByMarkers(run, text, area, ownerLost ? Mark(kMarkDefeatedByName) : Mark(kMarkDefeatedName));
    const int loser = ownerLost ? u : w;
    const int winner = ownerLost ? w : u;
    Bump(at(loser), kSinksTaken);
    Bump(at(winner), kSinksDealt);
    SetPresent(at(u));
    SetPresent(at(w));
    AddSide(at(u), Side::Own);
    AddSide(at(w), Side::Enemy);
    SetTakenBy(at(loser), winner);
    return;
  }
  if (ownerLost) {
    Bump(at(0), kSinksTaken);
    const int n = MarkPresent(run, before, Side::Enemy);
    AddRelation(at(n), OwnerRelation::TookOwnerOut);
    SetTakenBy(at(0), n);
    Bump(at(n), kSinksDealt);
  } else {
    Bump(at(0), kSinksDealt);
    const int n = MarkPresent(run, before, Side::Enemy);
    AddRelation(at(n), OwnerRelation::TakenOutByOwner);
    SetTakenBy(at(n), 0);
    Bump(at(n), kSinksTaken);
  }
}

void Points(const Battle& at, std::string_view t, int lineIndex) {
  const std::string& enemyCamp = Mark(kMarkEnemyCampPoints);
  std::int32_t value = 0;
  if (const std::size_t q = FindBytes(t, enemyCamp)) {
    if (ParseDecimal(DeleteBytes(t, q, enemyCamp.size()), &value)) {
      WrapAdd(at.Record().EnemyPoints, value);
      return;
    }
  } else if (ParseDecimal(t, &value)) {
    WrapAdd(at.Record().OwnPoints, value);
    return;
  }
  // A garbled number counts nothing; the rest of the log is still analysed.
  at.run.Events.Error(ErrorCodeLine(3, static_cast<long long>(lineIndex) + 1));
}

// Sinks never move the sunk ship's SinksTaken: that is counted when it goes out of action.
void Sink(const Battle& at, std::string_view t, int lineIndex) {
  AnalysisRun& run = at.run;
  const std::string& enemyShip = Mark(kMarkEnemyShip);
  if (const std::size_t q = FindBytes(t, enemyShip)) {  // the owner sank an enemy
    Bump(at(0), kSinksDealt);
    const int n = MarkPresent(run, DeleteBytes(t, q, enemyShip.size()), Side::Enemy);
    AddRelation(at(n), OwnerRelation::TakenOutByOwner);
    SetTakenBy(at(n), 0);
    return;
  }
  if (!TakeBetweenOthers(at, t, kSinksDealt, std::nullopt)) {
    run.Events.Error(ErrorCodeLine(1, static_cast<long long>(lineIndex) + 1));
  }
}

void SunkBy(const Battle& at, std::string_view text) {
  AnalysisRun& run = at.run;
  const std::string& enemyShip = Mark(kMarkEnemyShip);
  if (const std::size_t q = FindBytes(text, enemyShip)) {  // an enemy sank the owner
    const std::string without = DeleteBytes(text, q, enemyShip.size());
    const int n = MarkPresent(run, BeforeOrEmpty(without, Mark(kMarkAttackedBy)), Side::Enemy);
    Bump(at(n), kSinksDealt);
    SetTakenBy(at(0), n);
    AddRelation(at(n), OwnerRelation::TookOwnerOut);
    return;
  }
  const auto [u, w] = SplitByMarkers(run, text, Mark(kMarkAttackedBy), Mark(kMarkShipOfName));
  Bump(at(u), kSinksDealt);
  SetPresent(at(u));
  SetPresent(at(w));
  AddSide(at(u), Side::Enemy);
  AddSide(at(w), Side::Own);
  SetTakenBy(at(w), u);
}

// A ship out of action: its Tenacity is the number of ships of its side already down.
void OutOfAction(const Battle& at, std::string_view text, std::size_t position) {
  AnalysisRun& run = at.run;
  if (at.Record().Kind == BattleKind::Camp) return;
  AnalysisState& state = run.State;
  if (position == 1) {  // the owner's own ship
    Bump(at(0), kSinksTaken);
    at(0)->ExtraCounts[kTenacity] = state.OwnShipsDown;
    WrapAdd(state.OwnShipsDown, 1);
  } else {
    // Drop the "の" before the literal.
    const int n = InternName(run, CutBytes(text, static_cast<long long>(position) - 3));
    if (NameBattleStats* s = at(n)) {
      s->Present = 1;
      WrapAdd(s->BattleCounts[kSinksTaken], 1);
      if (s->OnlyOn(Side::Own)) {
        s->ExtraCounts[kTenacity] = state.OwnShipsDown;
        WrapAdd(state.OwnShipsDown, 1);
      } else if (s->OnlyOn(Side::Enemy)) {
        s->ExtraCounts[kTenacity] = state.EnemyShipsDown;
        WrapAdd(state.EnemyShipsDown, 1);
      }
    }
  }
  run.Events.ShipsDown(state);
}


// One in-battle line as its rule's handler sees it: the whole text, the text before the
// rule's message, and where that message was found (1-based).
struct EventLine {
  const Battle& At;
  std::string_view Text;
  std::string_view Before;
  int LineIndex;
  std::size_t Position;
};
using EventHandler = void (*)(const EventLine&);

void MineSink(const EventLine& e) {
  if (ContainsBytes(e.Before, Mark(kMarkEnemyShip))) {
    MarkPresent(e.At.run, FromByte(e.Before, 5), Side::Enemy);
  } else {
    MarkPresent(e.At.run, BeforeOrEmpty(e.Before, Mark(kMarkShipOf)), Side::Own);
  }
}

// Friendly fire on the own side counts for nothing; the shooter took part.
void FriendlyFire(const EventLine& e) {
  const std::string& message = EventRuleLiterals()[kFriendlyFire];
  const auto names = SplitByMarkers(e.At.run, e.Text, message, Mark(kMarkShipOfName));
  SetPresent(e.At(names.first));
}

// One enemy sank another: nobody is credited with the sink.
void EnemySankEnemy(const EventLine& e) {
  const Battle& at = e.At;
  const std::string_view t = ContainsBytes(e.Text, Mark(kMarkEnemyShip)) ? FromByte(e.Text, 5) : e.Text;
  const auto [u, w] = SplitByMarkers(at.run, t, Mark(kMarkEnemySinksEnemy), Mark(kMarkSankName));
  Bump(at(w), kSinksTaken);
  SetPresent(at(u));
  SetPresent(at(w));
  AddSide(at(u), Side::Enemy);
  AddSide(at(w), Side::Enemy);
}

void SailDamaged(const EventLine& e) {
  std::string_view t = e.Text;
  if (const std::size_t p = FindBytes(e.Text, Mark(kMarkSubMast))) {
    t = e.Text.substr(0, p - 1);
  } else if (const std::size_t q = FindBytes(e.Text, Mark(kMarkMainMast))) {
    t = e.Text.substr(0, q - 1);
  }
  MarkPresent(e.At.run, t, Side::Enemy);
}

void SailDamagedBy(const EventLine& e) {
  if (const std::size_t p = FindBytes(e.Text, Mark(kMarkAttackOn))) {
    MarkPresent(e.At.run, e.Text.substr(0, p - 1), Side::Enemy);
  }
}

// What each rule does, by rule.
constexpr std::array<EventHandler, kRuleCount> kEventHandlers = [] {
  std::array<EventHandler, kRuleCount> h{};
  // Someone on the own side (the name before the message) took part.
  constexpr EventHandler ownSide = [](const EventLine& e) { MarkPresent(e.At.run, e.Before, Side::Own); };
  constexpr EventHandler enemySide = [](const EventLine& e) { MarkPresent(e.At.run, e.Before, Side::Enemy); };
  h[kMineSink] = MineSink;
  h[kMineSelf] = [](const EventLine&) {};
  h[kCapture] = [](const EventLine& e) { Capture(e.At, e.Before, e.LineIndex); };
  h[kCaptured] = [](const EventLine& e) { Captured(e.At, e.Text); };
  h[kDefeatedBy] = [](const EventLine& e) { Defeat(e.At, e.Text, e.Before, true); };
  h[kDefeated] = [](const EventLine& e) { Defeat(e.At, e.Text, e.Before, false); };
  h[kPoints] = [](const EventLine& e) { Points(e.At, e.Before, e.LineIndex); };
  h[kSink] = [](const EventLine& e) { Sink(e.At, e.Before, e.LineIndex); };
  h[kSunkBy] = [](const EventLine& e) { SunkBy(e.At, e.Text); };
  h[kFriendlyFire] = FriendlyFire;
  h[kEnemySankEnemy] = EnemySankEnemy;
  h[kCriticalTaken] = [](const EventLine& e) {
    WrapAdd(e.At.Record().CriticalsTaken, 1);
    MarkPresent(e.At.run, e.Before, Side::Enemy);
  };
  h[kCriticalDealt] = [](const EventLine& e) {
    WrapAdd(e.At.Record().CriticalsDealt, 1);
    MarkPresent(e.At.run, e.Before, Side::Enemy);
  };
  h[kOutOfAction] = [](const EventLine& e) { OutOfAction(e.At, e.Text, e.Position); };
  h[kSailDamaged] = SailDamaged;
  h[kSailDamagedBy] = SailDamagedBy;
  for (const EventRule rule : {kSailRepaired, kRudderRepaired, kReinforcements, kMeal}) h[rule] = ownSide;
  for (const EventRule rule : {kFloodDealt, kFloodTaken, kRockDealt, kRockTaken, kRudderDamaged,
                               kConfusionDealt, kConfusionTaken}) {
    h[rule] = enemySide;
  }
  h[kWastedRepair] = [](const EventLine& e) { BumpExtra(e.At(0), kWastedRepairs); };
  h[kWastedTreatment] = [](const EventLine& e) { BumpExtra(e.At(0), kWastedCare); };
  h[kWastedRescue] = h[kWastedTreatment];
  h[kWastedItem] = [](const EventLine& e) { BumpExtra(e.At(0), kWastedOther); };
  return h;
}();

}  // namespace

long SplitAtGa(std::string_view text) {
  const std::string& ga = Mark(kMarkGa);
  const std::size_t first = FindBytes(text, ga);
  if (first == 0) return -1;
  const long p = static_cast<long>(first) - 1;
  if (p == 0) return 0;
  // A second "が" means one of the names holds it, so the split point is unknown.
  if (FindBytes(text, ga, first + 1) != 0) return -1;
  return p;
}

bool SplitByKnownName(AnalysisRun& run, std::string_view text, int* actor, int* target) {
  for (int e = 0; e < run.Names.Count(); ++e) {
    const std::size_t nameLength = run.Names[e].Name.size();
    const std::size_t p = FindBytes(text, run.Names[e].Name);
    if (p == 0) continue;
    // The two names are joined by a two-byte separator.
    if (p == 1) {
      *actor = e;
      *target = InternName(run, FromByte(text, static_cast<long long>(nameLength) + 3));
    } else {
      *target = e;
      *actor = InternName(run, CutBytes(text, static_cast<long long>(p) - 3));
    }
    return true;
  }
  return false;
}

std::pair<int, int> SplitByMarkers(AnalysisRun& run, std::string_view text, std::string_view m1,
                                   std::string_view m2) {
  const std::size_t p1 = FindBytes(text, m1);
  const int first = InternName(run, p1 == 0 ? std::string_view{} : text.substr(0, p1 - 1));
  if (p1 != 0) text = text.substr(p1 - 1 + m1.size());
  const int second = InternName(run, BeforeOrEmpty(text, m2));
  return {first, second};
}

const std::vector<std::string>& EventRuleLiterals() {
  static const std::vector<std::string> converted = [] {
    std::vector<std::string> out(kRuleCount);
    for (const EventMessage& m : kEventMessages) {
      if (m.Rule != kNoRule) out[static_cast<std::size_t>(m.Rule)] = Utf8ToSjis(m.Text);
    }
    return out;
  }();
  return converted;
}

void RecogniseEventRule(AnalysisRun& run, std::string_view text, int lineIndex, int rule,
                        std::size_t position) {
  if (run.Battles.empty()) return;
  run.CurrentLine = lineIndex;
  if (rule < 0 || rule >= kRuleCount || position == 0) return;
  const Battle at{run, run.BattleCount() - 1};
  kEventHandlers[static_cast<std::size_t>(rule)](
      EventLine{at, text, text.substr(0, position - 1), lineIndex, position});
}

void RecogniseSkillItem(AnalysisRun& run, std::string_view line, int lineIndex) {
  if (line.size() < 2 || line[0] != '~' || (line[1] != 's' && line[1] != 'i')) return;
  if (run.Battles.empty()) return;
  run.CurrentLine = lineIndex;
  const bool item = line[1] == 'i';
  const int battle = run.BattleCount() - 1;
  const std::string_view t = line.substr(2);
  const std::vector<std::string>& list = item ? run.Lists.ItemNames : run.Lists.SkillNames;
  const std::string& ga = Mark(kMarkGa);
  // A matcher of another length than its list was made of another list: an entry index
  // from the old list must not reach the new one.
  if ((item ? run.Lists.ItemMatcher() : run.Lists.SkillMatcher()).Size() != list.size()) {
    run.Lists.PrepareMatchers();
  }
  const LiteralSet& matcher = item ? run.Lists.ItemMatcher() : run.Lists.SkillMatcher();

  // The first entry of the list that occurs anywhere in the line decides, even when it is
  // then found to be no use (no "が" before it).
  const LiteralSet::Hit hit = matcher.FindLowest(t);
  if (hit.Index < 0) {
    run.Events.Error(std::string(t));
    return;
  }
  const auto k = static_cast<std::size_t>(hit.Index);
  const std::string& entry = list[k];
  std::size_t at = hit.Position;

  // Items of kind 2 are fleet meals as well; any other code, digit or not, is ordinary.
  std::int32_t kind = 0;
  const bool meal = item && k < run.Lists.ItemKinds.size() &&
                    ParseDecimal(run.Lists.ItemKinds[k], &kind) && kind == 2;
  const int index = static_cast<int>(k);
  if (at == 1) {
    run.Names[0].AddUse(battle, item, index, 1);
    if (meal) BumpExtra(run.Names.Stats(0, battle), kFleetMeals);
    return;
  }
  // Someone else's use: "name" + "が" + entry. The first occurrence of the entry preceded
  // by "が" marks where the name ends.
  for (; at != 0; at = FindBytes(t, entry, at + 1)) {
    if (at >= 3 && t.substr(at - 3, ga.size()) == ga) break;
  }
  if (at == 0) return;
  const int n = InternName(run, CutBytes(t, static_cast<long long>(at) - 3));
  if (NameBattleStats* s = run.Names.Stats(n, battle)) {
    s->Present = 1;
    run.Names[n].AddUse(battle, item, index, 1);
    if (meal) WrapAdd(s->ExtraCounts[kFleetMeals], 1);
  }
}

}  // namespace mizuto
