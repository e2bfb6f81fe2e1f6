// Builds analysed battles straight into the tables, without a log: the tests of the views
// built on the tables state only what they need (who was there, who took whom out).
#pragma once

#include <string_view>

#include "app/owner/app.h"
#include "battle/battle_label.h"
#include "support/test_support.h"

namespace mizuto::test {

class BattleBuilder {
 public:
  explicit BattleBuilder(App& app) : app_(app), writer_(app) {}

  // Appends a finished battle, its row in the battle list and the owner's presence on the
  // own side; returns its index.
  int Battle(BattleResult result = BattleResult::Victory, TallyState tally = kCounted) {
    BattleRecord record;
    record.Kind = BattleKind::Engagement;
    record.Result = result;
    record.Tally = tally;
    app_.Battles.push_back(record);
    const int b = app_.BattleCount() - 1;
    Present(0, b, Side::Own);
    app_.BattleList.Append(BattleLabel(app_, b));
    return b;
  }

  // The index of a name given in UTF-8.
  int Name(std::string_view utf8) { return InternName(writer_.Run, S(utf8)); }

  NameBattleStats& At(int n, int b) { return *app_.Names.Stats(n, b); }

  void Present(int n, int b, Side side) {
    NameBattleStats& s = At(n, b);
    s.Present = 1;
    s.AddSide(side);
  }
  // Present with the set of sides as given (none or both too: the icons tell them).
  void PresentOnSides(int n, int b, SideSet sides) {
    NameBattleStats& s = At(n, b);
    s.Present = 1;
    s.Sides |= sides;
  }

  // `taker` sinks (or captures) `victim` in battle b, with the counters and relation bits
  // the event recognition would set.
  void Takes(int taker, int victim, int b, bool capture = false) {
    NameBattleStats& t = At(taker, b);
    NameBattleStats& v = At(victim, b);
    ++t.BattleCounts[capture ? kCapturesDealt : kSinksDealt];
    ++v.BattleCounts[capture ? kCapturesTaken : kSinksTaken];
    v.TakenBy = taker;
    if (taker == 0) v.AddRelation(OwnerRelation::TakenOutByOwner);
    if (victim == 0) t.AddRelation(OwnerRelation::TookOwnerOut);
  }

 private:
  App& app_;
  TableWriter writer_;
};

}  // namespace mizuto::test
