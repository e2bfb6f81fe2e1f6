#include "battle/analysis.h"

#include <cstdio>

#include "text/sjis.h"

namespace mizuto {

std::string ErrorCodeLine(int code, long long lineNumber) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "@@@@@@@ Error Code %03d @@@@@@@ Line:%lld", code,
                lineNumber);
  return buffer;
}

void ResetAnalysis(Analysis& analysis, const std::string& userName, int skillCount, int itemCount) {
  analysis.Names.Clear();
  analysis.Names.Add(userName, skillCount, itemCount);
  analysis.Battles.clear();
  analysis.Battles.reserve(kMaxBattles);
  analysis.State = AnalysisState{};
}

int InternName(AnalysisRun& run, std::string_view text) {
  if (!text.empty()) {
    const int found = run.Names.FindPrefixOf(text);
    if (found >= 0) return found;
  }
  std::string_view name = text;
  for (const std::string& ship : run.Lists.ShipNames) {
    if (StartsWithBytes(name, ship)) name = name.substr(0, ship.size());
  }
  if (run.Names.Count() >= kMaxNames) {
    if (!run.State.NameTableFullReported) {
      run.State.NameTableFullReported = true;
      run.Events.Error(ErrorCodeLine(5, static_cast<long long>(run.CurrentLine) + 1));
    }
    return -1;
  }
  return run.Names.Add(std::string(name), static_cast<int>(run.Lists.SkillNames.size()),
                       static_cast<int>(run.Lists.ItemNames.size()));
}

int MarkPresent(AnalysisRun& run, std::string_view text, Side side) {
  const int n = InternName(run, text);
  if (NameBattleStats* s = run.Names.Stats(n, run.BattleCount() - 1)) {
    s->Present = 1;
    s->AddSide(side);
  }
  return n;
}

void AddToSide(BattleRecord& record, std::int32_t nameIndex, Side side) {
  auto& slots = side == Side::Own ? record.OwnSide : record.EnemySide;
  for (std::int32_t& slot : slots) {
    if (slot == nameIndex) return;
    if (slot == -1) {
      slot = nameIndex;
      return;
    }
  }
}

}  // namespace mizuto
