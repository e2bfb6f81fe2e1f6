// One battle as the game reports it: the start message, the exchange of fire with its
// sinks, captures, defeats and damage, skills, items and talk, and the result message.
#include <algorithm>

#include "generator.h"

namespace mizuto::loggen {

namespace {

constexpr std::string_view kNotCounted[2] = {
    "戦力差が大きすぎるため、この戦闘は戦果に加算されません",
    "すでに何度も対戦した相手なので戦果には加算されません"};
constexpr std::string_view kAreas[3] = {"が自海域で", "が中立海域で", "が敵性海域で"};
constexpr std::string_view kWasted[4] = {"今は修理する必要はありません", "治療すべき船員がいません",
                                         "救助すべき船員がいません",
                                         "今使っても効果がありません。使用を中止しました"};

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
    f.Opponent = "敵陣営";
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
  Sys(victim == 0 ? std::string("船が航行不能になりました") : Name(victim) + "の船が航行不能になりました");
}

void Generator::CampPoints(Fight& f, bool own, int points) {
  if (own) {
    f.OwnPoints += points;
    Sys(std::to_string(points) + "ポイントを獲得しました！");
  } else {
    f.EnemyPoints += points;
    Sys("敵陣営が" + std::to_string(points) + "ポイントを獲得しました！");
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
      Sys(byOwner ? "敵船" + x + "を撃沈しました！" : y + "が" + x + "を撃沈しました！");
      OutOfAction(victim);
      break;
    case 1:
      Sys(byOwner ? "敵船" + x + "を拿捕しました！" : y + "が" + x + "を拿捕しました！");
      break;
    case 2:
      Sys(byOwner ? x + "を撃破しました！！"
                  : y + std::string(kAreas[rng_.Below(3)]) + x + "を撃破しました！！");
      break;
    case 3:
      Sys("敵船" + x + "が機雷により撃沈しました！");
      OutOfAction(victim);
      break;
    case 4:  // one enemy hits another
      // This message always names both ships as "敵船"; the analysis drops the leading
      // "敵船" whenever the text holds one, so the shape without it is not the game's.
      if (rng_.Percent(60)) {
        Sys("敵船" + Name(other) + "が敵船" + x + "を沈没させたようです！");
      } else {
        Sys(Name(other) + "の誤射により、" + x + "の船が沈没しました！");
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
        Sys("敵船" + y + "の攻撃により、撃沈されました！");
        OutOfAction(0);
        break;
      case 1: Sys("敵船" + y + "に拿捕されました！"); break;
      case 2: Sys(y + "に撃破されました！！"); break;
      case 3:
        Sys("機雷により船が沈没しました！");
        OutOfAction(0);
        break;
      case 4:
        Sys(Name(friendly) + "の砲撃により、船が沈没してしまいました");
        OutOfAction(0);
        break;
      default: OutOfAction(0); break;
    }
  } else {
    switch (form) {
      case 0:
        Sys(y + "の攻撃により、" + x + "の船が撃沈されました！");
        OutOfAction(victim);
        break;
      case 1: Sys(y + "により、" + x + "が拿捕されました！"); break;
      case 2: Sys(x + std::string(kAreas[rng_.Below(3)]) + y + "に撃破されました！！"); break;
      case 3:
        Sys(x + "の船が機雷により撃沈しました！");
        OutOfAction(victim);
        break;
      case 4:
        Sys(Name(friendly) + "の誤射により、" + x + "の船が沈没しました！");
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
    case 0: Sys("の帆を直しました"); break;
    case 1: Sys("の舵を直しました"); break;
    case 2: Sys("に撃破されました！！"); break;
    case 3: Sys("が船員に豪華な料理を振る舞いました"); break;
    case 4: Sys("を撃沈しました！"); break;
    case 5: Sys("の攻撃により、" + e + "が拿捕されました！"); break;
    default: {
      const std::string whole = std::string("<FONT color=\"#") + kSystemColour + "\">" + e + "の攻撃により、被害甚大！";
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
    case 0: Sys(e + "に大打撃を与えました！"); break;
    case 1: Sys(e + "の攻撃により、被害甚大！"); break;
    case 2: Sys(e + (rng_.Percent(50) ? "のメインマスト" : "のサブマスト") + "の帆を損傷させました！"); break;
    case 3:
      Sys(rng_.Percent(80) ? e + "の攻撃により帆が損傷しました！" : std::string("突風にあおられ帆が損傷しました"));
      break;
    case 4:
      if (allyId >= 0 && rng_.Percent(50)) Sys(a + "の帆を直しました");
      else if (HasItem("予備帆") && rng_.Percent(40)) Sys("予備帆を使いました");
      else Sys("帆を直しました");
      break;
    case 5: Sys(e + "の船に浸水を起こさせました！"); break;
    case 6:
      Sys(rng_.Percent(60) ? e + "の攻撃により浸水が起こりました！" : std::string("船底に穴が開き、浸水が始まりました！"));
      break;
    case 7:
      Sys(HasItem("手桶") && rng_.Percent(50) ? "手桶を使いました" : "船の浸水が止まりました");
      break;
    case 8: Sys(e + "の船に大揺れを起こしました！"); break;
    case 9: Sys(e + "の攻撃により船が大きく揺れています！"); break;
    case 10:
      switch (rng_.Below(4)) {
        case 0:
          if (allyId >= 0) {
            Sys(a + "の舵を直しました");
            break;
          }
          [[fallthrough]];
        case 1: Sys(e + "の舵を損傷させました"); break;
        case 2: Sys(e + "の攻撃により舵が損傷しました！"); break;
        default: Sys(HasItem("予備舵") ? std::string("予備舵を使いました") : e + "の舵を損傷させました"); break;
      }
      break;
    case 11:
      if (rng_.Percent(60)) Sys((allyId >= 0 ? a : Name(0)) + "の援軍要請に応じ、援軍が駆けつけてくれました！");
      else Sys("敵の援軍が到着しました！");
      break;
    case 12: Sys((allyId >= 0 && rng_.Percent(60) ? a : Name(0)) + "が船員に豪華な料理を振る舞いました"); break;
    case 13:
      switch (rng_.Below(4)) {
        case 0: Sys(e + "の船員を混乱させました！"); break;
        case 1: Sys(e + "の攻撃により船員に混乱が生じました！"); break;
        case 2: Sys("統率スキルを用いて船員の混乱を鎮めました"); break;
        default: Sys("沈静の旗の効果で船員の混乱が収まりました"); break;
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
            Sys(a + "が戦闘から撤退しました");
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
    case kVictory: Sys(f.Opponent + "に勝利しました！"); break;
    case kDefeat: Sys(f.Opponent + "に敗北しました…"); break;
    case kDraw: Sys(f.Opponent + "と引き分けました"); break;
    case kEscaped: Sys(f.Opponent + "を取り逃がしました"); break;
    default: Sys(p.AllShipsLeft ? "全船が戦場を離れました" : "戦闘から撤退します"); break;
  }
  if (rng_.Percent(50)) Sys("戦闘経験を" + std::to_string(rng_.Between(10, 900)) + "獲得しました");
}

void Generator::WriteBattle(const BattlePlan& plan, std::uint64_t fillerBytes) {
  Fight f = SetUpFight(plan);
  if (plan.NotCounted == 1) Sys(kNotCounted[plan.NotCountedText]);
  switch (plan.Kind) {
    case kAssault: Sys(f.Opponent + "の強襲です！"); break;
    case kEngagement: Sys(f.Opponent + "と交戦に入ります！"); break;
    case kReinforcement: Sys(Name(f.Own[0]) + "の援軍として戦闘に参加します！"); break;
    default: Sys("味方陣営より指令：ただちに戦闘海域に向かい、敵船を撃破せよ！！"); break;
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
    if (s == kNotCountedStep) Sys(kNotCounted[plan.NotCountedText]);
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
