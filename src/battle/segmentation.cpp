#include "battle/segmentation.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "battle/analysis.h"
#include "battle/event_recognition.h"
#include "ingest/game_messages.h"
#include "text/codec.h"
#include "text/literal_set.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

NameBattleStats* StatsIn(AnalysisRun& run, int name, int battle) { return run.Names.Stats(name, battle); }

// Each kind of line is searched once for every literal its steps ask about; the steps then
// read the first position of each literal (0: absent) from that one pass.
template <std::size_t N>
std::vector<std::string> ToSjis(const std::array<MessageText, N>& messages) {
  std::vector<std::string> out;
  for (const MessageText& m : messages) out.push_back(Utf8ToSjis(m.Text));
  return out;
}

// The System line literals: the battle messages, then the in-battle message rules (from
// kFirstRule on).
constexpr int kFirstRule = kBattleMessageCount;
constexpr int kSystemLiteralCount = kFirstRule + kRuleCount;
// The deciding rule is read from the bits of the literals found.
static_assert(kSystemLiteralCount <= 64);
using SystemFound = std::array<std::size_t, kSystemLiteralCount>;

const LiteralSet& PhaseMatcher() {
  static const LiteralSet matcher(ToSjis(kPhaseMessages));
  return matcher;
}
const LiteralSet& FleetMatcher() {
  static const LiteralSet matcher(ToSjis(kFleetMessages));
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
    std::vector<std::string> all = ToSjis(kBattleMessages);
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
void EventPhaseStep(AnalysisRun& run, std::string_view text) {
  std::array<std::size_t, kPhaseCount> found;
  PhaseMatcher().FindFirst(text, found.data());
  if (found[kPhaseNotice] == 0) return;
  // The event's opening, middle and final phases are fought in small, medium and large
  // ships; after its end the battles are mock battles again, of the last size.
  BattleClass& current = run.State.CurrentClass;
  if (found[kPhaseOpening] != 0) {
    current.Size = ShipSize::Small;
    current.Type = BattleType::Naval;
  } else if (found[kPhaseMiddle] != 0) {
    current.Size = ShipSize::Medium;
    current.Type = BattleType::Naval;
  } else if (found[kPhaseFinal] != 0) {
    current.Size = ShipSize::Large;
    current.Type = BattleType::Naval;
  } else if (found[kPhaseEnd] != 0) {
    current.Type = BattleType::Mock;
  }
}

// Fleet notices tell who leads the fleet the owner sails in.
void FleetStep(AnalysisRun& run, std::string_view text) {
  std::array<std::size_t, kFleetCount> found;
  FleetMatcher().FindFirst(text, found.data());
  if (const std::size_t p = found[kFleetJoined]) {
    const std::string_view fleet = text.substr(0, p - 1);
    // The title + the admiral's name.
    const std::string& title = SJ(kAdmiralTitle.Text);
    if (ContainsBytes(fleet, title)) {
      run.State.CurrentAdmiral = InternName(run, FromByte(fleet, static_cast<long long>(title.size()) + 1));
    }
  } else if (const std::size_t q = found[kFleetNewAdmiral]) {
    run.State.CurrentAdmiral = InternName(run, text.substr(0, q - 1));
  } else if (found[kFleetDisbanded] != 0) {
    run.State.CurrentAdmiral = 0;
  }
}

// The battle a start message opens, by message.
constexpr std::array<BattleKind, kLastStartMessage - kFirstStartMessage + 1> kStartedKind = {
    BattleKind::Assault, BattleKind::Engagement, BattleKind::Reinforcement, BattleKind::Camp};

// Whether a start message may open a battle: a fleet in the NPC list (the list is matched
// against the whole message, fixed wording included) or a full battle table refuses it.
bool MayOpenBattle(AnalysisRun& run, std::string_view text, int line, BattleKind kind) {
  if (kind != BattleKind::Camp && !run.Lists.PassesNpcFilter(text, run.NpcCheck)) return false;
  if (run.BattleCount() < kMaxBattles) return true;
  if (!run.State.BattleTableFullReported) {
    run.State.BattleTableFullReported = true;
    run.Events.Error(ErrorCodeLine(4, static_cast<long long>(line) + 1));
  }
  return false;
}

// Opens a battle at start message `message`, found at `p` (1-based) in the text.
void StartBattle(AnalysisRun& run, std::string_view text, int line, int message, std::size_t p) {
  const BattleKind kind = kStartedKind[static_cast<std::size_t>(message - kFirstStartMessage)];
  if (!MayOpenBattle(run, text, line, kind)) return;

  AnalysisState& state = run.State;
  const std::string_view named = text.substr(0, p - 1);  // the opponent, or the ally reinforced
  if (kind == BattleKind::Assault || kind == BattleKind::Engagement) {
    state.CurrentOpponent = InternName(run, named);
    state.OwnShipsDown = state.EnemyShipsDown = 0;
  } else if (kind == BattleKind::Reinforcement) {
    state.OwnShipsDown = state.EnemyShipsDown = 0;
  } else {
    // Camp battles have no size class; the ships-down counters are not reset for them.
    state.CurrentClass = kCampBattleClass;
  }
  state.BattleInProgress = kind;

  const int n = run.BattleCount();
  if (kind != BattleKind::Camp) {
    if (NameBattleStats* s = StatsIn(run, InternName(run, named), n)) {
      s->Present = 1;
      s->AddSide(kind == BattleKind::Reinforcement ? Side::Own : Side::Enemy);
    }
  }

  BattleRecord record;
  record.FirstLine = line;
  record.Kind = kind;
  if (kind == BattleKind::Camp) {
    record.Admiral = InternName(run, SJ(kOwnCampName));
    record.OwnPoints = record.EnemyPoints = 0;
  } else {
    record.Admiral = kind == BattleKind::Reinforcement ? InternName(run, named) : state.CurrentAdmiral;
    AddToSide(record, record.Admiral, Side::Own);
  }
  if (NameBattleStats* owner = StatsIn(run, 0, n)) {
    owner->Present = 1;
    owner->SetOnlySide(Side::Own);
  }
  run.Battles.push_back(record);
  run.Events.BattleOpened(n);
}

void SetCampNames(AnalysisRun& run) {
  run.State.CurrentAdmiral = InternName(run, SJ(kOwnCampName));
  run.State.CurrentOpponent = InternName(run, SJ(kEnemyCampName));
}

// Credits whoever took out `leader` in battle b with the decisive blow.
void CreditDecisive(AnalysisRun& run, int leader, int b) {
  const NameBattleStats* s = StatsIn(run, leader, b);
  if (s == nullptr || s->TakenBy == -1) return;
  if (NameBattleStats* taker = StatsIn(run, s->TakenBy, b)) {
    WrapAdd(taker->BattleCounts[kDecisive], 1);
  }
}

// Result message `message`, found at `p` (1-based) in the text, ends the battle in
// progress; it is then no longer in progress.
void SetResult(AnalysisRun& run, std::string_view text, int message, std::size_t p) {
  const int b = run.BattleCount() - 1;
  BattleRecord& record = run.Battles[static_cast<std::size_t>(b)];
  AnalysisState& state = run.State;
  const bool camp = record.Kind == BattleKind::Camp;
  switch (message) {
    case kResultDefeat:
    case kResultVictory:
      record.Result = message == kResultDefeat ? BattleResult::Defeat : BattleResult::Victory;
      if (camp) {
        SetCampNames(run);
      } else {
        state.CurrentOpponent = InternName(run, text.substr(0, p - 1));
        // The decisive blow is the one that took out the losing side's leader.
        CreditDecisive(run, message == kResultDefeat ? state.CurrentAdmiral : state.CurrentOpponent, b);
      }
      break;
    case kResultDraw:
      record.Result = BattleResult::Draw;
      SetCampNames(run);
      break;
    case kResultEscaped:
      record.Result = BattleResult::Escaped;
      state.CurrentOpponent = InternName(run, text.substr(0, p - 1));
      break;
    default:  // the owner retreated, or every ship left
      record.Result = BattleResult::Withdrawn;
      break;
  }
  state.BattleInProgress.reset();
}

std::int32_t Wrapped(std::int32_t a, std::int32_t b) {
  WrapAdd(a, b);
  return a;
}

void EndBattle(AnalysisRun& run) {
  const int b = run.BattleCount() - 1;
  BattleRecord& record = run.Battles[static_cast<std::size_t>(b)];
  AnalysisState& state = run.State;

  record.Tally = TallyState{};
  record.Class = state.CurrentClass;
  // After a camp battle the type falls back to mock battle; the size stays "none" until an
  // event phase notice says otherwise.
  if (state.CurrentClass.Type == BattleType::Camp) state.CurrentClass.Type = BattleType::Mock;
  if (state.NotCountedNotice) {
    // The game's notice stands for the battle; the player's count mark goes with it.
    record.Tally = TallyState{.CountMark = false, .GameSaysNotCounted = true};
    state.NotCountedNotice = false;
  }
  record.Opponent = state.CurrentOpponent;
  AddToSide(record, state.CurrentOpponent, Side::Enemy);
  run.Events.BattleEnded(b);

  // Everyone who took part and came through gets the ships down so far as Tenacity.
  const std::int32_t own = state.OwnShipsDown;
  const std::int32_t enemy = state.EnemyShipsDown;
  const std::int32_t both = Wrapped(own, enemy);
  const std::int32_t neutral = Wrapped(both / 2, both / 4);
  // Every name's stats of this battle lie in a different block of memory. Gathering the
  // ones present without a branch lets those reads overlap instead of waiting one by one.
  if (b >= kMaxBattles) return;
  std::array<NameBattleStats*, 256> present;
  for (int chunk = 0; chunk < run.Names.Count(); chunk += static_cast<int>(present.size())) {
    const int end = std::min(run.Names.Count(), chunk + static_cast<int>(present.size()));
    std::size_t presentCount = 0;
    for (int n = chunk; n < end; ++n) {
      NameBattleStats* s = &run.Names[n].Stats[static_cast<std::size_t>(b)];
      present[presentCount] = s;
      presentCount += s->Present == 1 ? 1 : 0;
    }
    for (std::size_t i = 0; i < presentCount; ++i) {
      NameBattleStats* s = present[i];
      if (s->BattleCounts[kSinksTaken] != 0 || s->BattleCounts[kCapturesTaken] != 0) continue;
      std::int32_t& tenacity = s->ExtraCounts[kTenacity];
      if (s->OnlyOn(Side::Own)) {
        const bool bonus = record.Result == BattleResult::Victory || record.Result == BattleResult::Withdrawn;
        tenacity = bonus ? Wrapped(own, enemy / 2) : own;
      } else if (s->OnlyOn(Side::Enemy)) {
        const bool bonus = record.Result == BattleResult::Defeat || record.Result == BattleResult::Escaped;
        tenacity = bonus ? Wrapped(enemy, own / 2) : enemy;
      } else {
        tenacity = neutral;
      }
    }
  }
}

// The lowest message of [first, last] whose bit is set in `present`, or -1.
int FirstFound(std::uint64_t present, int first, int last) {
  const std::uint64_t upTo = last >= 63 ? ~std::uint64_t{0} : (std::uint64_t{2} << last) - 1;
  const std::uint64_t hits = present & upTo & ~((std::uint64_t{1} << first) - 1);
  return hits == 0 ? -1 : std::countr_zero(hits);
}

// What the literals found in a System line (their bits in `present`) make of it.
SystemLineMeaning Decide(std::uint64_t present, bool betweenBattles) {
  SystemLineMeaning meaning;
  meaning.NotCounted = FirstFound(present, kNotCountedGap, kNotCountedRepeat) >= 0;
  if (betweenBattles) {
    meaning.Message = FirstFound(present, kFirstStartMessage, kLastStartMessage);
    return meaning;
  }
  meaning.Message = FirstFound(present, kFirstResultMessage, kLastResultMessage);
  // Without a result, the first rule in the rules' order that occurs anywhere in the line
  // decides.
  if (meaning.Message < 0) {
    const int literal = FirstFound(present, kFirstRule, kSystemLiteralCount - 1);
    if (literal >= 0) meaning.Rule = literal - kFirstRule;
  }
  return meaning;
}

void SystemStep(AnalysisRun& run, const SystemMatchers& matchers, std::string_view text, int line) {
  AnalysisState& state = run.State;
  const bool between = !state.BattleInProgress || run.Battles.empty();
  SystemFound found;
  const std::uint64_t present =
      (between ? matchers.Between : matchers.During).FindFirst(text, found.data());
  const SystemLineMeaning meaning = Decide(present, between);
  // The game's notice that this fight does not count may come before the battle starts;
  // it then waits for the next battle.
  if (meaning.NotCounted) state.NotCountedNotice = true;
  if (between) {
    if (meaning.Message >= 0) StartBattle(run, text, line, meaning.Message, found[meaning.Message]);
  } else if (meaning.Message >= 0) {
    SetResult(run, text, meaning.Message, found[meaning.Message]);
    EndBattle(run);
  } else if (meaning.Rule >= 0) {
    RecogniseEventRule(run, text, line, meaning.Rule, found[kFirstRule + meaning.Rule]);
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
void AnalyseLine(AnalysisRun& run, const SystemMatchers& systemMatchers, std::string_view line, int index) {
  run.CurrentLine = index;
  const std::string_view text = line.substr(2);
  switch (line[1]) {
    case '0':
      SystemStep(run, systemMatchers, text, index);
      break;
    case '1':
      if (!run.State.BattleInProgress && !run.State.NotCountedNotice) FleetStep(run, text);
      break;
    case '8':
      EventPhaseStep(run, text);
      break;
    default:  // "~s" and "~i"
      if (run.State.BattleInProgress) RecogniseSkillItem(run, line, index);
      break;
  }
}

// The indices in [from, to) of the lines whose tags the analysis reads, into `picked`;
// returns how many. Branch-free, so the passed-over lines (about half) cost no decision
// each.
std::size_t PickAnalysedLines(const LogLines& lines, std::size_t from, std::size_t to,
                              std::array<std::size_t, 64>& picked) {
  std::size_t count = 0;
  for (std::size_t i = from; i < to; ++i) {
    picked[count] = i;
    count += IsAnalysed(lines[i]);
  }
  return count;
}

}  // namespace

SystemLineMeaning ReadSystemLine(std::string_view text, bool betweenBattles) {
  const SystemMatchers& matchers = SystemLineMatchers();
  SystemFound found;
  return Decide((betweenBattles ? matchers.Between : matchers.During).FindFirst(text, found.data()),
                betweenBattles);
}

void AnalyseLines(Analysis& analysis, const LogLines& lines, int start, const AnalysisInputs& inputs,
                  AnalysisEvents& events) {
  AnalysisRun run(analysis, inputs, events);
  const std::size_t count = lines.size();
  const std::size_t first = start < 0 ? 0 : static_cast<std::size_t>(start);
  // The lists cannot change during the run: the skill and item matchers are checked once.
  inputs.Lists.PrepareMatchers();
  const SystemMatchers& systemMatchers = SystemLineMatchers();
  int shownPercent = -1;
  // Blocks of 64 lines, progress told at each block start.
  std::array<std::size_t, 64> picked;
  for (std::size_t block = first & ~std::size_t{63}; block < count; block += 64) {
    const std::size_t from = std::max(block, first);
    const std::size_t to = std::min(block + 64, count);
    if (from == block) {
      run.CurrentLine = static_cast<int>(block);
      const int percent = static_cast<int>(static_cast<std::int64_t>(block) * 100 / static_cast<std::int64_t>(count));
      if (percent != shownPercent) {
        shownPercent = percent;
        events.Progress(percent);
      }
    }
    const std::size_t pickedCount = PickAnalysedLines(lines, from, to, picked);
    for (std::size_t k = 0; k < pickedCount; ++k) {
      AnalyseLine(run, systemMatchers, lines[picked[k]], static_cast<int>(picked[k]));
    }
  }
  events.Progress(100);
}

}  // namespace mizuto
