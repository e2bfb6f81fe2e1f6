#include "history/prepared_log.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "battle/battle_label.h"
#include "history/history_store.h"
#include "history/log_identity.h"

namespace mizuto {
namespace {

// Whether a name's figures in a battle hold anything at all.
bool AnyFigure(const NameBattleStats& s) {
  if (!s.Sides.Empty() || !s.OwnerRelations.Empty() || s.Present != 0 || static_cast<std::int32_t>(s.TakenBy) != -1) return true;
  for (std::int32_t v : s.BattleCounts) {
    if (v != 0) return true;
  }
  for (std::int32_t v : s.ExtraCounts) {
    if (v != 0) return true;
  }
  return false;
}

PreparedBattle PrepareBattle(const AnalysedLog& log, int b) {
  const Analysis& analysis = log.Tables;
  PreparedBattle battle;
  battle.Number = b + 1;
  battle.Record = analysis.Battles[static_cast<std::size_t>(b)];
  battle.Record.Tally.CountMark = !battle.Record.Tally.GameSaysNotCounted;
  const auto at = static_cast<std::size_t>(b);
  battle.Ended = at < log.Ends.size() && log.Ends[at].Ended;
  if (battle.Ended) {
    battle.OwnDown = log.Ends[at].OwnDown;
    battle.EnemyDown = log.Ends[at].EnemyDown;
  } else if (!BattleEnded(analysis, b)) {
    battle.OwnDown = analysis.State.OwnShipsDown;
    battle.EnemyDown = analysis.State.EnemyShipsDown;
  }
  if (const NameBattleStats* owner = analysis.Names.Stats(0, b)) {
    battle.WastedRepairs = owner->ExtraCounts[kWastedRepairs];
    battle.WastedCare = owner->ExtraCounts[kWastedCare];
    battle.WastedOther = owner->ExtraCounts[kWastedOther];
  }
  return battle;
}

PreparedPlayer PreparePlayer(int n, const NameBattleStats& st) {
  PreparedPlayer p;
  p.Name = n;
  p.TakenBy = st.TakenBy;
  PlayerFigures& f = p.Figures;
  f.Sides = st.Sides.ToStored();
  f.Relations = st.OwnerRelations.ToStored();
  f.Present = st.Present;
  f.Sinks = st.BattleCounts[kSinksDealt];
  f.Sunk = st.BattleCounts[kSinksTaken];
  f.Captures = st.BattleCounts[kCapturesDealt];
  f.Captured = st.BattleCounts[kCapturesTaken];
  f.Decisive = st.BattleCounts[kDecisive];
  f.Tenacity = st.ExtraCounts[kTenacity];
  f.Meals = st.ExtraCounts[kFleetMeals];
  p.WastedRepairs = st.ExtraCounts[kWastedRepairs];
  p.WastedCare = st.ExtraCounts[kWastedCare];
  p.WastedOther = st.ExtraCounts[kWastedOther];
  return p;
}

// Each part with its length before it, so that no two different settings run together into
// the same bytes.
void AddPart(std::string& out, std::string_view part) {
  out += std::to_string(part.size());
  out += ':';
  out += part;
}

template <class List>
void AddList(std::string& out, char tag, const List& list) {
  out += tag;
  AddPart(out, std::to_string(list.size()));
  for (std::string_view entry : list) AddPart(out, entry);
}

// For each name index, the lowest index with the same name: the history keeps one row per
// name and battle, so entries of one name (an empty name read twice) are summed into one.
std::vector<int> FirstOfSameName(const NameTable& names) {
  std::vector<int> first(static_cast<std::size_t>(names.Count()));
  std::unordered_map<std::string_view, int> seen;
  for (int n = 0; n < names.Count(); ++n) {
    first[static_cast<std::size_t>(n)] = seen.try_emplace(names[n].Name, n).first->second;
  }
  return first;
}

void AddPlayer(PreparedPlayer& into, PreparedPlayer&& from) {
  PlayerFigures& f = into.Figures;
  const PlayerFigures& g = from.Figures;
  f.Sides |= g.Sides;
  f.Relations |= g.Relations;
  for (auto field : {&PlayerFigures::Present, &PlayerFigures::Sinks, &PlayerFigures::Decisive, &PlayerFigures::Sunk,
                     &PlayerFigures::Captures, &PlayerFigures::Captured, &PlayerFigures::Tenacity,
                     &PlayerFigures::Meals}) {
    f.*field += g.*field;
  }
  into.WastedRepairs += from.WastedRepairs;
  into.WastedCare += from.WastedCare;
  into.WastedOther += from.WastedOther;
  if (into.TakenBy < 0) into.TakenBy = from.TakenBy;
  // The writer packs the uses, summing those of one name.
  into.Uses.insert(into.Uses.end(), from.Uses.begin(), from.Uses.end());
}

}  // namespace

std::string AnalysisShaping(const ReferenceLists& lists, std::string_view userName, bool npcCheck) {
  // The first character names the digest's version: a later Mizuto that reads more
  // settings makes every log's digest differ, and so analyses them again.
  std::string all = "1";
  AddPart(all, userName);
  all += npcCheck ? 'N' : 'n';
  AddList(all, 'P', lists.NpcNames);
  AddList(all, 'S', lists.SkillNames);
  AddList(all, 'I', lists.ItemNames);
  AddList(all, 'K', lists.ItemKinds);
  AddList(all, 'H', lists.ShipNames);
  const LogHash hash = HashBytes(all);
  return std::string(reinterpret_cast<const char*>(hash.data()), hash.size());
}

PreparedLog PrepareLog(const AnalysedLog& log, int from, int to) {
  const Analysis& analysis = log.Tables;
  const NameTable& names = analysis.Names;
  to = std::min({to, analysis.BattleCount(), kMaxBattles});
  from = std::max(from, 0);
  PreparedLog prepared;
  prepared.SkillNames = log.SkillNames;
  prepared.ItemNames = log.ItemNames;
  prepared.Names.resize(static_cast<std::size_t>(names.Count()));
  prepared.Referenced.assign(static_cast<std::size_t>(names.Count()), 0);
  // A name is referred to by the first index of its text, whichever entry the analysis
  // used: the writer finds or adds one id per referred index.
  const std::vector<int> firstOfName = FirstOfSameName(names);
  auto refer = [&](std::int32_t& n) {
    if (!names.Valid(n)) return;
    n = firstOfName[static_cast<std::size_t>(n)];
    if (prepared.Referenced[static_cast<std::size_t>(n)]) return;
    prepared.Referenced[static_cast<std::size_t>(n)] = 1;
    prepared.Names[static_cast<std::size_t>(n)] = names[n].Name;
  };
  for (int b = from; b < to; ++b) {
    PreparedBattle& battle = prepared.Battles.emplace_back(PrepareBattle(log, b));
    refer(battle.Record.Admiral);
    refer(battle.Record.Opponent);
  }
  // Name by name along the battles: each name's figures and its uses (kept in battle order)
  // are read front to back.
  for (int n = 0; n < names.Count(); ++n) {
    const NameRecord& record = names[n];
    std::size_t u = 0;
    for (int b = from; b < to; ++b) {
      while (u < record.Uses.size() && record.Uses[u].Battle < b) ++u;
      std::vector<PreparedPlayer::Use> uses;
      for (; u < record.Uses.size() && record.Uses[u].Battle == b; ++u) {
        const UseCount& use = record.Uses[u];
        const std::size_t listSize = use.Item ? log.ItemNames.size() : log.SkillNames.size();
        const int made = use.Item ? record.ItemCount : record.SkillCount;
        if (use.Index >= listSize || static_cast<int>(use.Index) >= made || use.Count == 0) continue;
        uses.push_back(PreparedPlayer::Use{use.Item, use.Index, use.Count});
      }
      const NameBattleStats& st = *names.Stats(n, b);
      if (uses.empty() && !AnyFigure(st)) continue;
      std::vector<PreparedPlayer>& players = prepared.Battles[static_cast<std::size_t>(b - from)].Players;
      PreparedPlayer player = PreparePlayer(n, st);
      player.Uses = std::move(uses);
      refer(player.Name);
      refer(player.TakenBy);
      auto sameName = [&](const PreparedPlayer& p) { return p.Name == player.Name; };
      const auto same = player.Name == n ? players.end() : std::find_if(players.begin(), players.end(), sameName);
      if (same != players.end()) {
        AddPlayer(*same, std::move(player));
      } else {
        players.push_back(std::move(player));
      }
    }
  }
  return prepared;
}

}  // namespace mizuto
