// One battle as the game reports it: the start message, the exchange of fire with its
// sinks, captures, defeats and damage, skills, items and talk, and the result message.
#include <algorithm>

#include "generator.h"
#include "messages.h"

namespace mizuto::loggen {

namespace {

constexpr BattleMessage kNotCounted[2] = {kNotCountedGap, kNotCountedRepeat};
constexpr NameMarker kAreas[3] = {kMarkOwnArea, kMarkNeutralArea, kMarkEnemyArea};
// The game says "今は" before the repair's notice.
const std::string kWasted[4] = {"今は" + Said(kWastedRepair), Said(kWastedTreatment), Said(kWastedRescue),
                                Said(kWastedItem)};

constexpr int kNotCountedStep = -2;

}  // namespace

bool Generator::IsOut(const Fight& f, int id) const {
  return std::find(f.Out.begin(), f.Out.end(), id) != f.Out.end();
}

bool Generator::OnOwnSide(const Fight& f, int id) const {
  return std::find(f.Own.begin(), f.Own.end(), id) != f.Own.end();
}

int Generator::PickAlive(const Fight& f, const std::vector<int>& side, bool ownerToo, int except) {
  std::vector<int> alive;
  for (int id : side)
    if (!IsOut(f, id) && (ownerToo || id != 0) && id != except) alive.push_back(id);
  return alive.empty() ? -1 : rng_.Pick(alive);
}

Generator::Fight Generator::SetUpFight(const BattlePlan& plan) {
  Fight f;
  f.Plan = &plan;
  f.Own = OwnFleet();
  if (plan.Npc) {
    std::vector<int> ships = npcShips_;
    rng_.Shuffle(ships);
    f.Enemy.assign(ships.begin(), ships.begin() + rng_.Between(2, 4));
    f.Opponent = cast_.NpcFleets[static_cast<std::size_t>(rng_.Below(static_cast<int>(cast_.NpcFleets.size())))];
    return f;
  }
  if (plan.Kind == kCampBattle) {
    std::vector<int> others;
    for (int i = 1; i <= playerCount_; ++i)
      if (!OnOwnSide(f, i)) others.push_back(i);
    rng_.Shuffle(others);
    std::size_t at = 0;
    for (int n = rng_.Between(3, 7); n > 0 && at < others.size(); --n) f.Own.push_back(others[at++]);
    for (int n = rng_.Between(4, 9); n > 0 && at < others.size(); --n) f.Enemy.push_back(others[at++]);
    f.Own.push_back(rng_.Pick(ownCampShips_));
    std::vector<int> ships = enemyCampShips_;
    rng_.Shuffle(ships);
    f.Enemy.insert(f.Enemy.end(), ships.begin(), ships.begin() + rng_.Between(1, 2));
    f.Opponent = kEnemyCampName;
    return f;
  }
  const int enemyFleet = NextEnemyFleet(-1);
  f.Enemy = fleets_[static_cast<std::size_t>(enemyFleet)];
  f.Opponent = Name(f.Enemy[0]);
  if (plan.Kind == kReinforcement) {
    const int allyFleet = NextEnemyFleet(enemyFleet);
    if (allyFleet >= 0) {
      std::vector<int> own = fleets_[static_cast<std::size_t>(allyFleet)];
      own.insert(own.end(), f.Own.begin(), f.Own.end());
      f.Own = own;
    }
  }
  return f;
}

void Generator::OutOfAction(int victim) {
  const std::string disabled = Said(kOutOfAction) + "になりました";
  Sys(victim == 0 ? disabled : Name(victim) + "の" + disabled);
}

void Generator::CampPoints(Fight& f, bool own, int points) {
  if (own) {
    f.OwnPoints += points;
    Sys(std::to_string(points) + Said(kPoints));
  } else {
    f.EnemyPoints += points;
    Sys(Said(kMarkEnemyCampPoints) + std::to_string(points) + Said(kPoints));
  }
}

void Generator::TakeOut(Fight& f, int victim, bool decisive) {
  if (IsOut(f, victim)) return;
  if (OnOwnSide(f, victim)) {
    TakeOutOwn(f, victim, PickAlive(f, f.Enemy, true), decisive);
  } else {
    // The owner fires a good share of the shots that count.
    int attacker = !IsOut(f, 0) && OnOwnSide(f, 0) && rng_.Percent(40) ? 0 : PickAlive(f, f.Own, false);
    if (attacker < 0) attacker = IsOut(f, 0) ? -1 : 0;
    if (attacker < 0) attacker = PickAlive(f, f.Own, true);
    TakeOutEnemy(f, victim, attacker, decisive);
  }
  if (f.Plan->Kind == kCampBattle) CampPoints(f, !OnOwnSide(f, victim), rng_.Between(1, 5));
}

// Shapes: 0 sunk, 1 captured, 2 defeated, 3 mine, 4 hit by its own side, 5 simply out of
// action. `allowed` is a bit set of the shapes that fit the moment.
int Generator::ChooseForm(int category, std::initializer_list<int> weights, unsigned allowed) {
  unsigned& used = formsUsed_[category];
  for (int form = 0; form < 6; ++form) {
    if ((allowed >> form & 1u) && !(used >> form & 1u)) {
      used |= 1u << form;
      return form;
    }
  }
  for (;;) {
    const int form = rng_.Weighted(weights);
    if (allowed >> form & 1u) return form;
  }
}

void Generator::TakeOutEnemy(Fight& f, int victim, int attacker, bool decisive) {
  const std::string& x = Name(victim);
  const bool byOwner = attacker == 0;
  const std::string y = attacker >= 0 ? Name(attacker) : std::string();
  const int other = PickAlive(f, f.Enemy, true, victim);
  // Only a sink, capture or defeat names who took the ship out, which a decisive loss needs.
  unsigned allowed = decisive ? 0x07u : 0x3Fu;
  if (attacker < 0) allowed &= 0x38u;
  if (other < 0) allowed &= ~0x10u;
  if (allowed == 0) allowed = 0x20u;
  const int form = ChooseForm(byOwner ? 0 : 1, {45, 18, 12, 8, 9, 8}, allowed);
  switch (form) {
    case 0:
      Sys(byOwner ? Said(kMarkEnemyShip) + x + Said(kSink) : y + Said(kMarkGa) + x + Said(kSink));
      OutOfAction(victim);
      break;
    case 1:
      Sys(byOwner ? Said(kMarkEnemyShip) + x + Said(kCapture) : y + Said(kMarkGa) + x + Said(kCapture));
      break;
    case 2:
      Sys(byOwner ? x + Said(kDefeated) : y + Said(kAreas[rng_.Below(3)]) + x + Said(kDefeated));
      break;
    case 3:
      Sys(Said(kMarkEnemyShip) + x + Said(kMineSink));
      OutOfAction(victim);
      break;
    case 4:  // one enemy hits another
      // This message always names both ships as "敵船"; the analysis drops the leading
      // "敵船" whenever the text holds one, so the shape without it is not the game's.
      if (rng_.Percent(60)) {
        Sys(Said(kMarkEnemyShip) + Name(other) + Said(kMarkEnemySinksEnemy) + x + Said(kEnemySankEnemy));
      } else {
        Sys(Name(other) + Said(kFriendlyFire) + x + Said(kMarkShipOfName) + "沈没しました！");
      }
      OutOfAction(victim);
      break;
    default:
      OutOfAction(victim);
      break;
  }
  f.Out.push_back(victim);
}

void Generator::TakeOutOwn(Fight& f, int victim, int attacker, bool decisive) {
  const std::string& x = Name(victim);
  const std::string y = Name(attacker);
  const int friendly = PickAlive(f, f.Own, false, victim);
  // A lost leader may also go down to a mine or a friend's shot: the game has no say in how.
  unsigned allowed = decisive ? 0x1Fu : 0x3Fu;
  if (friendly < 0) allowed &= ~0x10u;
  const int form = ChooseForm(victim == 0 ? 2 : 3, {45, 15, 12, 8, 12, 8}, allowed);
  if (victim == 0) {
    switch (form) {
      case 0:
        Sys(Said(kMarkEnemyShip) + y + Said(kMarkAttackedBy) + Said(kSunkBy));
        OutOfAction(0);
        break;
      case 1: Sys(Said(kMarkEnemyShip) + y + Said(kMarkCapturedByName) + "されました！"); break;
      case 2: Sys(y + Said(kDefeatedBy)); break;
      case 3:
        Sys(Said(kMineSelf));
        OutOfAction(0);
        break;
      case 4:
        Sys(Name(friendly) + Shown("の砲撃により、船が沈没してしまいました"));
        OutOfAction(0);
        break;
      default: OutOfAction(0); break;
    }
  } else {
    switch (form) {
      case 0:
        Sys(y + Said(kMarkAttackedBy) + x + Said(kMarkShipOfName) + Said(kSunkBy));
        OutOfAction(victim);
        break;
      case 1: Sys(y + Said(kMarkThrough) + x + Said(kMarkCapturedName) + "されました！"); break;
      case 2: Sys(x + Said(kAreas[rng_.Below(3)]) + y + Said(kDefeatedBy)); break;
      case 3:
        Sys(x + Said(kMarkShipOf) + Said(kMineSink));
        OutOfAction(victim);
        break;
      case 4:
        Sys(Name(friendly) + Said(kFriendlyFire) + x + Said(kMarkShipOfName) + "沈没しました！");
        OutOfAction(victim);
        break;
      default: OutOfAction(victim); break;
    }
  }
  f.Out.push_back(victim);
}

// A battle line as a damaged log holds it: a name the game left out (the analysis enters
// an empty name, again and again), a line whose parts cannot be told apart, or a line cut
// off before its end (the next line starts after it on the same line or the next).
void Generator::BrokenLine(const Fight& f) {
  const int enemyId = PickAlive(f, f.Enemy, true);
  const std::string e = enemyId >= 0 ? Name(enemyId) : f.Opponent;
  switch (rng_.Below(8)) {
    case 0: Sys(Said(kSailRepaired)); break;
    case 1: Sys(Said(kRudderRepaired)); break;
    case 2: Sys(Said(kDefeatedBy)); break;
    case 3: Sys(Said(kMeal)); break;
    case 4: Sys(Said(kSink)); break;
    case 5: Sys(Said(kMarkAttackedBy) + e + Said(kMarkCapturedName) + "されました！"); break;
    default: {
      const std::string whole = std::string("<FONT color=\"#") + kSystemColour + "\">" + e + Said(kCriticalTaken) + "！";
      const std::string cut = whole.substr(0, static_cast<std::size_t>(rng_.Between(1, static_cast<int>(whole.size()) - 1)));
      out_.Raw(rng_.Percent(50) ? cut + "\r\n" : cut);
      break;
    }
  }
}

// One line of the exchange of fire that takes nobody out.
void Generator::Skirmish(Fight& f) {
  if (options_.Malformed > 0 && rng_.Percent(options_.Malformed)) {
    BrokenLine(f);
    return;
  }
  if (IsOut(f, 0) || !OnOwnSide(f, 0)) {
    if (rng_.Percent(60)) ChatLine(true);
    else {
      const int who = PickAlive(f, rng_.Percent(50) ? f.Own : f.Enemy, false);
      if (IsPlayer(who)) SkillLine(who);
      else ChatLine(true);
    }
    return;
  }
  const int enemyId = PickAlive(f, f.Enemy, true);
  const int allyId = PickAlive(f, f.Own, false);
  const std::string e = enemyId >= 0 ? Name(enemyId) : f.Opponent;
  const std::string a = allyId >= 0 ? Name(allyId) : std::string();
  switch (rng_.Weighted({8, 6, 4, 4, 4, 3, 3, 2, 3, 2, 4, 2, 2, 4, 3, 8, 6, 12, 3})) {
    case 0: Sys(e + Said(kCriticalDealt) + "を与えました！"); break;
    case 1: Sys(e + Said(kCriticalTaken) + "！"); break;
    case 2:
      Sys(e + Said(rng_.Percent(50) ? kMarkMainMast : kMarkSubMast) + "の" + Said(kSailDamaged) + "させました！");
      break;
    case 3:
      Sys(rng_.Percent(80) ? e + Said(kMarkAttackOn) + "より" + Said(kSailDamagedBy) + "しました！"
                           : "突風にあおられ" + Said(kSailDamagedBy) + "しました");
      break;
    case 4:
      if (allyId >= 0 && rng_.Percent(50)) Sys(a + Said(kSailRepaired));
      else if (HasItem("予備帆") && rng_.Percent(40)) Sys(Shown("予備帆を使いました"));
      else Sys(Shown("帆を直しました"));
      break;
    case 5: Sys(e + Said(kFloodDealt)); break;
    case 6:
      Sys(rng_.Percent(60) ? e + Said(kFloodTaken) : Shown("船底に穴が開き、") + std::string("浸水が始まりました！"));
      break;
    case 7:
      Sys(HasItem("手桶") && rng_.Percent(50) ? Shown("手桶を使いました") : Shown("船の浸水が止まりました"));
      break;
    case 8: Sys(e + Said(kRockDealt)); break;
    case 9: Sys(e + Said(kRockTaken)); break;
    case 10:
      switch (rng_.Below(4)) {
        case 0:
          if (allyId >= 0) {
            Sys(a + Said(kRudderRepaired));
            break;
          }
          [[fallthrough]];
        case 1: Sys(e + Said(kRudderDamaged)); break;
        case 2: Sys(e + Said(kMarkAttackOn) + "より" + Shown("舵が") + "損傷しました！"); break;
        default: Sys(HasItem("予備舵") ? std::string(Shown("予備舵を使いました")) : e + Said(kRudderDamaged)); break;
      }
      break;
    case 11:
      if (rng_.Percent(60)) Sys((allyId >= 0 ? a : Name(0)) + Said(kReinforcements));
      else Sys(Shown("敵の援軍が") + std::string("到着しました！"));
      break;
    case 12: Sys((allyId >= 0 && rng_.Percent(60) ? a : Name(0)) + Said(kMeal)); break;
    case 13:
      switch (rng_.Below(4)) {
        case 0: Sys(e + Said(kConfusionDealt) + "させました！"); break;
        case 1: Sys(e + Said(kConfusionTaken) + "が生じました！"); break;
        case 2: Sys(Shown("統率スキルを") + std::string("用いて船員の混乱を鎮めました")); break;
        default: Sys(Shown("沈静の旗") + std::string("の効果で船員の混乱が収まりました")); break;
      }
      break;
    case 14: Sys(kWasted[rng_.Below(4)]); break;
    case 15:
    case 16: {
      int who = 0;
      if (rng_.Percent(65)) {
        const int w = PickAlive(f, rng_.Percent(60) ? f.Own : f.Enemy, false);
        if (IsPlayer(w)) who = w;
      }
      if (lists_.Skills.empty() || (!lists_.Items.empty() && rng_.Percent(45))) ItemLine(who, true);
      else SkillLine(who);
      break;
    }
    case 17: ChatLine(true); break;
    default:
      switch (rng_.Below(3)) {
        case 0: NoticeChatter(); break;
        case 1: IgnoredLine(); break;
        default:
          // An ally leaves the fight early; the leader stays to the end.
          if (allyId >= 0 && allyId != f.Own[0] && IsPlayer(allyId)) {
            Sys(a + Said(kMarkGa) + Shown("戦闘から撤退しました"));
            f.Out.push_back(allyId);
          } else {
            ChatLine(true);
          }
          break;
      }
      break;
  }
}

void Generator::EndFight(Fight& f) {
  const BattlePlan& p = *f.Plan;
  if (p.Kind == kCampBattle) {
    // The points follow the result: the winning camp ends ahead.
    const int lead = rng_.Between(1, 6);
    if (p.Result == kVictory && f.OwnPoints <= f.EnemyPoints) CampPoints(f, true, f.EnemyPoints - f.OwnPoints + lead);
    if (p.Result == kDefeat && f.EnemyPoints <= f.OwnPoints) CampPoints(f, false, f.OwnPoints - f.EnemyPoints + lead);
    if (p.Result == kDraw && f.OwnPoints != f.EnemyPoints)
      CampPoints(f, f.OwnPoints < f.EnemyPoints, std::max(f.OwnPoints, f.EnemyPoints) - std::min(f.OwnPoints, f.EnemyPoints));
  }
  switch (p.Result) {
    case kVictory: Sys(f.Opponent + Said(kResultVictory)); break;
    case kDefeat: Sys(f.Opponent + Said(kResultDefeat)); break;
    case kDraw: Sys(f.Opponent + Said(kResultDraw)); break;
    case kEscaped: Sys(f.Opponent + Said(kResultEscaped)); break;
    default: Sys(Said(p.AllShipsLeft ? kResultAllLeft : kResultRetreat)); break;
  }
  if (rng_.Percent(50)) Sys("戦闘経験を" + std::to_string(rng_.Between(10, 900)) + "獲得しました");
}

void Generator::WriteBattle(const BattlePlan& plan, std::uint64_t fillerBytes) {
  Fight f = SetUpFight(plan);
  if (plan.NotCounted == 1) Sys(Said(kNotCounted[plan.NotCountedText]));
  switch (plan.Kind) {
    case kAssault: Sys(f.Opponent + Said(kStartAssault)); break;
    case kEngagement: Sys(f.Opponent + Said(kStartEngagement)); break;
    case kReinforcement: Sys(Name(f.Own[0]) + Said(kStartReinforcement)); break;
    default: Sys(kOwnCampName + std::string("より指令：") + Said(kStartCamp)); break;
  }
  const std::uint64_t fillerEnd = out_.Bytes() + fillerBytes;

  // Who goes down: the leaders stay in until the end, where the result may take one out.
  const bool camp = plan.Kind == kCampBattle;
  std::vector<int> schedule;
  auto losses = [&](const std::vector<int>& side, int percent) {
    for (std::size_t i = 1; i < side.size(); ++i)
      if (rng_.Percent(percent)) schedule.push_back(side[i]);
  };
  losses(f.Enemy, plan.Result == kVictory ? 65 : camp ? 45 : 30);
  losses(f.Own, plan.Result == kDefeat ? 55 : camp ? 40 : 20);
  const int steps = camp ? rng_.Between(20, 36) : rng_.Between(9, 22);
  for (int i = 0; i < steps; ++i) schedule.push_back(-1);
  if (plan.NotCounted == 2) schedule.push_back(kNotCountedStep);
  rng_.Shuffle(schedule);
  for (int s : schedule) {
    if (s == kNotCountedStep) Sys(Said(kNotCounted[plan.NotCountedText]));
    else if (s < 0) Skirmish(f);
    else TakeOut(f, s, false);
  }
  while (out_.Bytes() < fillerEnd) Skirmish(f);

  const int open = plan.Open ? 1 : 0;
  if (!plan.Open) {
    if (!camp && plan.Result == kVictory) TakeOut(f, f.Enemy[0], true);
    if (!camp && plan.Result == kDefeat) TakeOut(f, f.Own[0], true);
    EndFight(f);
  }
  manifest_.push_back(std::to_string(plan.Kind) + " " + std::to_string(plan.Result) + " " +
                      std::to_string(plan.NotCounted != 0 ? 2 : 1) + " " + std::to_string(plan.Npc ? 1 : 0) +
                      " " + std::to_string(f.OwnPoints) + " " + std::to_string(f.EnemyPoints) + " " +
                      std::to_string(open));
}

}  // namespace mizuto::loggen
