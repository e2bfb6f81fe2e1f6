#include "app/app.h"

#include <cstdio>

#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {

App::App() : UserName("YOU"), SinkCounterText(Utf8ToSjis("味方 0 - 0 敵")) {
  Caption = ProgramTitle();
}

std::string App::ProgramTitle() const { return kProgramTitleUtf8; }

std::string ErrorCodeLine(int code, long long lineNumber) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "@@@@@@@ Error Code %03d @@@@@@@ Line:%lld", code,
                lineNumber);
  return buffer;
}

void ResetAnalysis(App& app) {
  app.Names.Clear();
  app.Names.Add(app.UserName, static_cast<int>(app.Lists.SkillNames.size()),
                static_cast<int>(app.Lists.ItemNames.size()));
  app.Battles.clear();
  app.Battles.reserve(kMaxBattles);
  app.State.BattleInProgress = 0;
  app.State.OwnShipsDown = 0;
  app.State.EnemyShipsDown = 0;
  app.Acts.PlayerHide.Enabled = false;
  app.Acts.PlayerAll.Enabled = false;
  app.State.CurrentClass = 0x102;
  app.State.CurrentAdmiral = 0;
  app.State.CurrentOpponent = -1;
  app.State.BattleTableFullReported = false;
  app.State.NameTableFullReported = false;
}

int InternName(App& app, std::string_view text) {
  if (!text.empty()) {
    const int found = app.Names.FindPrefixOf(text);
    if (found >= 0) return found;
  }
  std::string_view name = text;
  for (const std::string& ship : app.Lists.ShipNames) {
    if (StartsWithBytes(name, ship)) name = name.substr(0, ship.size());
  }
  if (app.Names.Count() >= kMaxNames) {
    if (!app.State.NameTableFullReported) {
      app.State.NameTableFullReported = true;
      app.AppendError(ErrorCodeLine(5, static_cast<long long>(app.CurrentLine) + 1));
    }
    return -1;
  }
  return app.Names.Add(std::string(name), static_cast<int>(app.Lists.SkillNames.size()),
                       static_cast<int>(app.Lists.ItemNames.size()));
}

int MarkPresent(App& app, std::string_view text, std::int32_t sideBit) {
  const int n = InternName(app, text);
  if (NameBattleStats* s = app.Names.Stats(n, app.BattleCount() - 1)) {
    s->Present = 1;
    s->Side |= sideBit;
  }
  return n;
}

void AddToSide(BattleRecord& record, std::int32_t nameIndex, int side) {
  auto& slots = side == 0 ? record.OwnSide : record.EnemySide;
  for (std::int32_t& slot : slots) {
    if (slot == nameIndex) return;
    if (slot == -1) {
      slot = nameIndex;
      return;
    }
  }
}

}  // namespace mizuto
