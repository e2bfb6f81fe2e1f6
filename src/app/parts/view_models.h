// Plain models of the controls the program fills. The window only draws them; the headless
// report prints them. The models of the result views are defined by the modules that fill
// them; the actions' states are the program's own.
#pragma once

#include <string>

#include "battle/battle_detail.h"
#include "tally/battle_list_view.h"
#include "tally/tally_views.h"

namespace mizuto {

struct ActionState {
  explicit ActionState(bool enabled = true, bool checked = false) : Enabled(enabled), Checked(checked) {}
  bool Enabled = true;
  bool Checked = false;
  std::string WhyDisabled;  // Shift-JIS; what a disabled command's tooltip says, if anything
};

// The main window's actions: enabled and checked states. The checked state of a view
// switch is the program's only record of that setting.
struct Actions {
  ActionState LoadLog, ReloadLog{false}, LoadNewLog, SaveCsv{false}, Setting, Exit;
  ActionState ImportLogFolder, ReanalyseHistory, ForgetLoadedLog{false};
  ActionState CriticalView{true, true}, WaterView, SailView, RudderView, ConfuseView, DebugView;
  ActionState SayView, PartyView, CompanyView, Room1View, Room2View, Room3View, TellView;
  ActionState BattleLogView{true, true}, ErrorLogView{true, true};
  ActionState AvgHitDown, AvgSkillItem, ActiveMode;
  ActionState PlayerHide{false}, PlayerAll{false};
  ActionState ShowBattleLog, AddTotalList, DelTotalList, SizeSmall, SizeMedium, SizeLarge;
  ActionState TypeNaval, TypeMock, TypeReal, ToPC, ToNPC, AddNPC;
  ActionState Version, VerCheck, HomePage;
};

}  // namespace mizuto
