#include "app/result_views.h"
#include "curate/battle_list_commands.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "app/app.h"
#include "app/dialogs.h"
#include "battle/battle_label.h"
#include "tally/tallies.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

// Applies `change` to every selected battle, relabels its row and selects it again (a new
// row text drops the selection), then recomputes every total.
template <class Change>
void ChangeSelectedBattles(App& app, Change change) {
  BattleListView& list = app.BattleList;
  if (!list.AnySelected()) return;
  // Re-selecting a row moves the focus to it; the focus must stay on the row the user left
  // it on, since "NPCリストへ登録" acts on that row.
  const int focus = list.FocusRow;
  const int rows = std::min(list.Count(), app.BattleCount());
  for (int i = 0; i < rows; ++i) {
    if (!list.IsSelected(i)) continue;
    change(app.Battles[static_cast<std::size_t>(i)]);
    list.Replace(i, BattleLabel(app, i));
    list.Select(i);
  }
  list.FocusRow = focus;
  RefreshTallies(app);
}

}  // namespace

void SetTallyBit(App& app, bool set) {
  // Only the counted bit changes; the game's own not-counted mark (bit 1) stays.
  ChangeSelectedBattles(app, [set](BattleRecord& r) {
    r.TallyState = set ? (r.TallyState | 1) : (r.TallyState & ~1);
  });
}

void SetClassByte(App& app, int byteIndex, int value) {
  if (byteIndex < 0 || byteIndex > 3) return;
  const int shift = byteIndex * 8;
  const std::uint32_t mask = 0xFFu << shift;
  const std::uint32_t bits = (static_cast<std::uint32_t>(value) & 0xFFu) << shift;
  ChangeSelectedBattles(app, [mask, bits](BattleRecord& r) {
    r.ClassWord = static_cast<std::int32_t>((static_cast<std::uint32_t>(r.ClassWord) & ~mask) | bits);
  });
}

bool AddNPCExecute(App& app, Dialogs& dialogs, std::string* error) {
  const int row = app.BattleList.FocusRow;
  if (row < 0 || row >= app.BattleCount()) return true;
  const BattleRecord& battle = app.Battles[static_cast<std::size_t>(row)];
  // A battle that ended without an opponent has nobody to register.
  if (!app.Names.Valid(battle.Opponent)) return true;
  std::string name = app.Names[battle.Opponent].Name;
  const std::string& caption = SJ("NPC艦隊の登録");

  for (const std::string& entry : app.Lists.NpcNames) {
    if (FindChar(name, entry) != 0) {
      if (dialogs.Message) dialogs.Message(SJ("既に登録されています。"), caption);
      return true;
    }
  }
  // A name whose only "A" is its final character is registered without it. The search is
  // by character: the second byte of a double-byte character such as "ア" (0x83 0x41) is
  // not an "A", and removing it would leave half a character behind.
  if (!name.empty() && FindChar(name, "A") == name.size()) name.pop_back();

  if (!dialogs.AskYesNo || !dialogs.AskYesNo(name + SJ("を登録しますか？"), caption)) return true;
  return app.Lists.AppendNpc(app.ProgramDir, std::move(name), error);
}

void PopupMenu3Popup(App& app) {
  const int selected = app.BattleList.SelectedCount();
  Actions& a = app.Acts;
  for (ActionState* action :
       {&a.AddTotalList, &a.PrBatLog, &a.DelTotalList, &a.ShipTypeS, &a.ShipTypeM, &a.ShipTypeB,
        &a.BattleTypeK, &a.BattleTypeM, &a.BattleTypeR, &a.ToPC, &a.ToNPC}) {
    action->Enabled = selected > 0;
  }
  a.AddNPC.Enabled = selected == 1;
}

}  // namespace mizuto
