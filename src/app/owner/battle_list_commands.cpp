#include "app/owner/battle_list_commands.h"

#include <utility>

#include "app/owner/app.h"
#include "app/parts/dialogs.h"
#include "app/owner/history_recorder.h"
#include "app/owner/result_views.h"
#include "curate/battle_corrections.h"
#include "text/codec.h"

namespace mizuto {

void SetTallyBit(App& app, bool set) {
  if (!SetTallyBit(app, app.BattleList, set)) return;
  RefreshTallies(app);
  app.History.StoreSelectedCorrections(app, BattleCorrection::OfCountMark(set));
}

void ChangeClass(App& app, const BattleCorrection& change) {
  if (!ChangeClass(app, app.BattleList, change)) return;
  RefreshTallies(app);
  app.History.StoreSelectedCorrections(app, change);
}

bool AddFocusedOpponentToNpcList(App& app, Dialogs& dialogs, std::string* error) {
  NpcCandidate candidate = NpcCandidateOf(app, app.BattleList.FocusRow, app.Lists);
  const std::string& caption = SJ("NPC艦隊の登録");
  switch (candidate.What) {
    case NpcCandidate::None:
      return true;
    case NpcCandidate::AlreadyListed:
      if (dialogs.Message) dialogs.Message(SJ("既に登録されています。"), caption);
      return true;
    case NpcCandidate::New:
      break;
  }
  if (!dialogs.AskYesNo || !dialogs.AskYesNo(candidate.Name + SJ("を登録しますか？"), caption)) return true;
  std::string name = candidate.Name;
  if (!app.Lists.AppendNpc(app.ProgramDir, std::move(candidate.Name), error)) return false;
  // The battles already read keep their class until the log is read again.
  app.SetStatus(name + SJ(" をNPCリストに登録しました（次にログを読み込んだときから反映されます）"));
  return true;
}

void PrepareBattleMenu(App& app) {
  const BattleMenuEnabling on = BattleMenuEnablingFor(app.BattleList.SelectedCount());
  Actions& a = app.Acts;
  for (ActionState* action :
       {&a.AddTotalList, &a.ShowBattleLog, &a.DelTotalList, &a.SizeSmall, &a.SizeMedium, &a.SizeLarge,
        &a.TypeNaval, &a.TypeMock, &a.TypeReal, &a.ToPC, &a.ToNPC}) {
    action->Enabled = on.Commands;
  }
  a.AddNPC.Enabled = on.AddNpc;
}

}  // namespace mizuto
