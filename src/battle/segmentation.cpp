#include "battle/segmentation.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/app.h"
#include "battle/battle_label.h"
#include "battle/event_recognition.h"
#include "text/codec.h"
#include "text/literal_set.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

NameBattleStats* StatsIn(App& app, int name, int battle) { return app.Names.Stats(name, battle); }

// Each kind of line is searched once for every literal its steps ask about; the steps then
// read the first position of each literal (0: absent) from that one pass.
template <std::size_t N>
std::vector<std::string> ToSjis(const std::array<const char*, N>& utf8) {
  std::vector<std::string> out;
  for (const char* literal : utf8) out.push_back(Utf8ToSjis(literal));
  return out;
}

enum PhaseLiteral {
  kPhaseNotice,
  kPhaseOpening,
  kPhaseMiddle,
  kPhaseFinal,
  kPhaseEnd,
  kPhaseCount
};
constexpr std::array<const char*, kPhaseCount> kPhaseLiteralsUtf8 = {
    "『大海戦』の", "開戦しました！", "中盤戦を開始します", "終盤戦を開始します",
    "海戦を終了いたします"};

enum FleetLiteral { kFleetJoined, kFleetNewAdmiral, kFleetDisbanded, kFleetCount };
constexpr std::array<const char*, kFleetCount> kFleetLiteralsUtf8 = {
    "の艦隊に参加しました", "が提督になりました", "艦隊が解散しました"};

// The System line literals; the in-battle message rules follow them (from kFirstRule on).
enum SystemLiteral {
  kNotCountedGap,  // the forces are too unequal
  kNotCountedRepeat,  // the same opponent too often
  kStartAssault,
  kStartEngagement,
  kStartReinforcement,
  kStartCamp,
  kResultDefeat,
  kResultVictory,
  kResultDraw,
  kResultEscaped,
  kResultRetreat,
  kResultAllLeft,
  kFirstRule,
  kSystemLiteralCount = kFirstRule + kEventRuleCount
};
// The deciding rule is read from the bits of the literals found.
static_assert(kSystemLiteralCount <= 64);
using SystemFound = std::array<std::size_t, kSystemLiteralCount>;
constexpr std::array<const char*, kFirstRule> kSystemLiteralsUtf8 = {
    "戦力差が大きすぎるため、この戦闘は戦果に加算されません",
    "すでに何度も対戦した相手なので戦果には加算されません",
    "の強襲です！",
    "と交戦に入ります！",
    "の援軍として戦闘に参加します！",
    "ただちに戦闘海域に向かい、敵船を撃破せよ！！",
    "に敗北しました…",
    "に勝利しました！",
    "と引き分けました",
    "を取り逃がしました",
    "戦闘から撤退します",
    "全船が戦場を離れました",
};

const LiteralSet& PhaseMatcher() {
  static const LiteralSet matcher(ToSjis(kPhaseLiteralsUtf8));
  return matcher;
}
const LiteralSet& FleetMatcher() {
  static const LiteralSet matcher(ToSjis(kFleetLiteralsUtf8));
  return matcher;
}
// A System line is searched for what its step asks about: between battles the start
// messages, during one the results and the in-battle messages (the not-counted notices
// always). Each matcher holds every System literal at its index, the ones it does not
// look for left empty (an empty member never matches).
struct SystemMatchers {
  LiteralSet Between;
  LiteralSet During;
};

const SystemMatchers& SystemLineMatchers() {
  static const SystemMatchers matchers = [] {
    std::vector<std::string> all = ToSjis(kSystemLiteralsUtf8);
    const std::vector<std::string>& rules = EventRuleLiterals();
    all.insert(all.end(), rules.begin(), rules.end());
    auto only = [&all](auto wanted) {
      std::vector<std::string> some = all;
      for (int k = 0; k < kSystemLiteralCount; ++k) {
        if (!wanted(k)) some[static_cast<std::size_t>(k)].clear();
      }
      return some;
    };
    auto notCounted = [](int k) { return k == kNotCountedGap || k == kNotCountedRepeat; };
    auto start = [](int k) { return k >= kStartAssault && k <= kStartCamp; };
    SystemMatchers out;
    out.Between.Assign(only([&](int k) { return notCounted(k) || start(k); }));
    out.During.Assign(only([&](int k) { return notCounted(k) || k >= kResultDefeat; }));
    return out;
  }();
  return matchers;
}

// Phase notices of the large naval battle event set the class of the battles that follow.
void EventPhaseStep(App& app, std::string_view text) {
  std::array<std::size_t, kPhaseCount> found;
  PhaseMatcher().FindFirst(text, found.data());
  if (found[kPhaseNotice] == 0) return;
  std::int32_t& cls = app.State.CurrentClass;
  if (found[kPhaseOpening] != 0) {
    cls = (cls & ~0xFFFF) | 0x0000;
  } else if (found[kPhaseMiddle] != 0) {
    cls = (cls & ~0xFFFF) | 0x0001;
  } else if (found[kPhaseFinal] != 0) {
    cls = (cls & ~0xFFFF) | 0x0002;
  } else if (found[kPhaseEnd] != 0) {
    cls = (cls & ~0xFF00) | 0x0100;
  }
}

// Fleet notices tell who leads the fleet the owner sails in.
void FleetStep(App& app, std::string_view text) {
  std::array<std::size_t, kFleetCount> found;
  FleetMatcher().FindFirst(text, found.data());
  if (const std::size_t p = found[kFleetJoined]) {
    const std::string_view fleet = text.substr(0, p - 1);
    // "提督・" + the admiral's name; the six bytes are that title.
    if (ContainsBytes(fleet, SJ("提督・"))) {
      app.State.CurrentAdmiral = InternName(app, FromByte(fleet, 7));
    }
  } else if (const std::size_t q = found[kFleetNewAdmiral]) {
    app.State.CurrentAdmiral = InternName(app, text.substr(0, q - 1));
  } else if (found[kFleetDisbanded] != 0) {
    app.State.CurrentAdmiral = 0;
  }
}

void StartTest(App& app, std::string_view text, int line, const SystemFound& found) {
  std::int32_t kind = 0;
  std::size_t p = 0;
  if ((p = found[kStartAssault])) {
    kind = kAssault;
  } else if ((p = found[kStartEngagement])) {
    kind = kEngagement;
  } else if ((p = found[kStartReinforcement])) {
    kind = kReinforcement;
  } else if ((p = found[kStartCamp])) {
    kind = kCampBattle;
  } else {
    return;
  }
  // The NPC list is matched against the whole message, fixed wording included.
  if (kind != kCampBattle && !app.Lists.PassesNpcFilter(text, app.NpcCheck)) return;
  if (app.BattleCount() >= kMaxBattles) {
    if (!app.State.BattleTableFullReported) {
      app.State.BattleTableFullReported = true;
      app.AppendError(ErrorCodeLine(4, static_cast<long long>(line) + 1));
    }
    return;
  }

  AnalysisState& state = app.State;
  const std::string_view named = text.substr(0, p - 1);  // the opponent, or the ally reinforced
  if (kind == kAssault || kind == kEngagement) {
    state.CurrentOpponent = InternName(app, named);
    state.OwnShipsDown = state.EnemyShipsDown = 0;
  } else if (kind == kReinforcement) {
    state.OwnShipsDown = state.EnemyShipsDown = 0;
  } else {
    // Camp battles have no size class; the ships-down counters are not reset for them.
    state.CurrentClass = 0x303;
  }
  state.BattleInProgress |= kind;

  const int n = app.BattleCount();
  if (kind == kAssault || kind == kEngagement) {
    if (NameBattleStats* s = StatsIn(app, InternName(app, named), n)) {
      s->Present = 1;
      s->Side |= 2;
    }
  } else if (kind == kReinforcement) {
    if (NameBattleStats* s = StatsIn(app, InternName(app, named), n)) {
      s->Present = 1;
      s->Side |= 1;
    }
  }

  // The in-progress label reads nothing but the battle number, so it is made before the
  // record joins the list (while the new index still equals the battle count).
  std::string label = BattleLabel(app, n);

  BattleRecord record;
  record.FirstLine = line;
  record.Kind = kind;
  if (kind == kCampBattle) {
    record.Admiral = InternName(app, SJ("味方陣営"));
    record.OwnPoints = record.EnemyPoints = 0;
  } else {
    record.Admiral = kind == kReinforcement ? InternName(app, named) : state.CurrentAdmiral;
    AddToSide(record, record.Admiral, 0);
  }
  if (NameBattleStats* owner = StatsIn(app, 0, n)) {
    owner->Present = 1;
    owner->Side = 1;
  }
  // Row i shows battle i. When the rows were emptied while the battles stayed (the NPC
  // switch), the list is filled again before the new battle's row joins it.
  if (app.BattleList.Count() != n) {
    app.BattleList.Clear();
    for (int i = 0; i < n; ++i) app.BattleList.Append(BattleLabel(app, i));
  }
  app.Battles.push_back(record);
  app.BattleList.Append(std::move(label));
}

void SetCampNames(App& app) {
  app.State.CurrentAdmiral = InternName(app, SJ("味方陣営"));
  app.State.CurrentOpponent = InternName(app, SJ("敵陣営"));
}

// Credits whoever took out `leader` in battle b with the decisive blow.
void CreditDecisive(App& app, int leader, int b) {
  const NameBattleStats* s = StatsIn(app, leader, b);
  if (s == nullptr || s->TakenBy == -1) return;
  if (NameBattleStats* taker = StatsIn(app, s->TakenBy, b)) {
    WrapAdd(taker->BattleCounts[kDecisive], 1);
  }
}

// True when the line is a result message; the battle is then no longer in progress.
bool ResultTest(App& app, std::string_view text, const SystemFound& found) {
  const int b = app.BattleCount() - 1;
  BattleRecord& record = app.Battles[static_cast<std::size_t>(b)];
  AnalysisState& state = app.State;
  const bool camp = record.Kind == kCampBattle;
  if (const std::size_t p = found[kResultDefeat]) {
    record.Result = kDefeat;
    if (camp) {
      SetCampNames(app);
    } else {
      state.CurrentOpponent = InternName(app, text.substr(0, p - 1));
      CreditDecisive(app, state.CurrentAdmiral, b);
    }
  } else if (const std::size_t q = found[kResultVictory]) {
    record.Result = kVictory;
    if (camp) {
      SetCampNames(app);
    } else {
      state.CurrentOpponent = InternName(app, text.substr(0, q - 1));
      CreditDecisive(app, state.CurrentOpponent, b);
    }
  } else if (found[kResultDraw] != 0) {
    record.Result = kDraw;
    SetCampNames(app);
  } else if (const std::size_t r = found[kResultEscaped]) {
    record.Result = kEscaped;
    state.CurrentOpponent = InternName(app, text.substr(0, r - 1));
  } else if (found[kResultRetreat] != 0 || found[kResultAllLeft] != 0) {
    record.Result = kWithdrawn;
  } else {
    return false;
  }
  state.BattleInProgress &= ~0xFF;
  return true;
}

std::int32_t Wrapped(std::int32_t a, std::int32_t b) {
  WrapAdd(a, b);
  return a;
}

void EndBattle(App& app) {
  const int b = app.BattleCount() - 1;
  BattleRecord& record = app.Battles[static_cast<std::size_t>(b)];
  AnalysisState& state = app.State;

  record.TallyState = 1;
  record.ClassWord = state.CurrentClass;
  // After a camp battle the type falls back to mock battle; the size stays "none" until an
  // event phase notice says otherwise.
  if (((state.CurrentClass >> 8) & 0xFF) == 3) {
    state.CurrentClass = (state.CurrentClass & ~0xFF00) | 0x100;
  }
  if (state.BattleInProgress & kNotCountedFlag) {
    record.TallyState = 2;
    state.BattleInProgress = 0;
  }
  record.Opponent = state.CurrentOpponent;
  AddToSide(record, state.CurrentOpponent, 1);
  if (b < app.BattleList.Count()) app.BattleList.Replace(b, BattleLabel(app, b));
  if (app.OnBattleEnded) app.OnBattleEnded(b);

  // Everyone who took part and came through gets the ships down so far as Tenacity.
  const std::int32_t own = state.OwnShipsDown;
  const std::int32_t enemy = state.EnemyShipsDown;
  const std::int32_t both = Wrapped(own, enemy);
  const std::int32_t neutral = Wrapped(both / 2, both / 4);
  // Every name's stats of this battle lie in a different block of memory. Gathering the
  // ones present without a branch lets those reads overlap instead of waiting one by one.
  if (b >= kMaxBattles) return;
  std::array<NameBattleStats*, 256> present;
  for (int chunk = 0; chunk < app.Names.Count(); chunk += static_cast<int>(present.size())) {
    const int end = std::min(app.Names.Count(), chunk + static_cast<int>(present.size()));
    std::size_t presentCount = 0;
    for (int n = chunk; n < end; ++n) {
      NameBattleStats* s = &app.Names[n].Stats[static_cast<std::size_t>(b)];
      present[presentCount] = s;
      presentCount += s->Present == 1 ? 1 : 0;
    }
    for (std::size_t i = 0; i < presentCount; ++i) {
      NameBattleStats* s = present[i];
      if (s->BattleCounts[kSinksTaken] != 0 || s->BattleCounts[kCapturesTaken] != 0) continue;
      std::int32_t& tenacity = s->ExtraCounts[kTenacity];
      if (s->Side == 1) {
        const bool bonus = record.Result == kVictory || record.Result == kWithdrawn;
        tenacity = bonus ? Wrapped(own, enemy / 2) : own;
      } else if (s->Side == 2) {
        const bool bonus = record.Result == kDefeat || record.Result == kEscaped;
        tenacity = bonus ? Wrapped(enemy, own / 2) : enemy;
      } else {
        tenacity = neutral;
      }
    }
  }
}

void SystemStep(App& app, const SystemMatchers& matchers, std::string_view text, int line) {
  AnalysisState& state = app.State;
  const bool between = (state.BattleInProgress & 0xFF) == 0 || app.Battles.empty();
  SystemFound found;
  const std::uint64_t present =
      (between ? matchers.Between : matchers.During).FindFirst(text, found.data());
  // The game's notice that this fight does not count may come before the battle starts;
  // it then waits for the next battle.
  if (found[kNotCountedGap] != 0 || found[kNotCountedRepeat] != 0) {
    state.BattleInProgress |= kNotCountedFlag;
  }
  if (between) {
    StartTest(app, text, line, found);
    return;
  }
  if (ResultTest(app, text, found)) {
    EndBattle(app);
    return;
  }
  // The first rule in the rules' order that occurs anywhere in the line decides.
  if (const std::uint64_t rules = present >> kFirstRule) {
    const int rule = std::countr_zero(rules);
    RecogniseEventRule(app, text, line, rule, found[kFirstRule + rule]);
  }
}

// The tags whose lines the analysis reads: System, fleet, notices, skills and items.
constexpr std::array<bool, 256> kAnalysedTags = [] {
  std::array<bool, 256> tags{};
  for (const char tag : {'0', '1', '8', 's', 'i'}) tags[static_cast<unsigned char>(tag)] = true;
  return tags;
}();

std::size_t IsAnalysed(std::string_view line) {
  if (line.size() < 2) return 0;
  return static_cast<std::size_t>(line[0] == '~') &
         static_cast<std::size_t>(kAnalysedTags[static_cast<unsigned char>(line[1])]);
}

// One line with an analysed tag.
void AnalyseLine(App& app, const SystemMatchers& systemMatchers, std::size_t i) {
  const int index = static_cast<int>(i);
  app.CurrentLine = index;
  const std::string_view line = app.Lines[i];
  const std::string_view text = line.substr(2);
  switch (line[1]) {
    case '0':
      SystemStep(app, systemMatchers, text, index);
      break;
    case '1':
      if (app.State.BattleInProgress == 0) FleetStep(app, text);
      break;
    case '8':
      EventPhaseStep(app, text);
      break;
    default:  // "~s" and "~i"
      if ((app.State.BattleInProgress & 0xFF) != 0) RecogniseSkillItemPrepared(app, line, index);
      break;
  }
}

std::string ProgressText(std::int64_t percent) {
  return SJ("解析中:") + std::to_string(percent) + "%";
}

}  // namespace

void AnalyseLines(App& app, int start) {
  const std::size_t count = app.Lines.size();
  const std::size_t first = start < 0 ? 0 : static_cast<std::size_t>(start);
  // The lists cannot change during the run: the skill and item matchers are checked once.
  PrepareSkillItemMatchers(app);
  const SystemMatchers& systemMatchers = SystemLineMatchers();
  // The status is set every 64 lines, but its text changes only with the percentage.
  std::int64_t shownPercent = -1;
  std::string progress;
  // Blocks of 64 lines (at multiples of 64, where the status is set): the lines of the
  // tags the analysis reads are picked out first, so the passed-over lines (about half)
  // cost no decision each.
  std::array<std::size_t, 64> picked;
  for (std::size_t block = first & ~std::size_t{63}; block < count; block += 64) {
    const std::size_t from = std::max(block, first);
    const std::size_t to = std::min(block + 64, count);
    if (from == block) {
      app.CurrentLine = static_cast<int>(block);
      const std::int64_t percent =
          static_cast<std::int64_t>(block) * 100 / static_cast<std::int64_t>(count);
      if (percent != shownPercent) {
        shownPercent = percent;
        progress = ProgressText(percent);
      }
      app.SetStatus(progress);
    }
    std::size_t pickedCount = 0;
    for (std::size_t i = from; i < to; ++i) {
      picked[pickedCount] = i;
      pickedCount += IsAnalysed(app.Lines[i]);
    }
    for (std::size_t k = 0; k < pickedCount; ++k) AnalyseLine(app, systemMatchers, picked[k]);
  }
  if (first < count) app.CurrentLine = static_cast<int>(count - 1);
  app.SetStatus(SJ("解析中:100%"));
}

}  // namespace mizuto
