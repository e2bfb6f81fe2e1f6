#include "history/prepared_log.h"

#include <algorithm>

#include "battle/battle_label.h"
#include "history/history_store.h"

namespace mizuto {
namespace {

// Whether a name's figures in a battle hold anything at all.
bool AnyFigure(const NameBattleStats& s) {
  if (s.Sides != 0 || s.OwnerRelations != 0 || s.Present != 0 || static_cast<std::int32_t>(s.TakenBy) != -1) return true;
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
  f.Sides = st.Sides;
  f.Relations = st.OwnerRelations;
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

}  // namespace

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
  auto refer = [&](int n) {
    if (!names.Valid(n) || prepared.Referenced[static_cast<std::size_t>(n)]) return;
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
      PreparedPlayer& player = prepared.Battles[static_cast<std::size_t>(b - from)].Players.emplace_back(PreparePlayer(n, st));
      player.Uses = std::move(uses);
      refer(n);
      refer(player.TakenBy);
    }
  }
  return prepared;
}

}  // namespace mizuto
