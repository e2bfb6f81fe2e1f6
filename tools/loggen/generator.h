// Writes one whole chat log: a timeline of battles with the talk, the fleet changes and the
// announcements between them, following a world of fleets that the log owner joins, leads
// and leaves.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cast.h"
#include "log_writer.h"
#include "options.h"
#include "rng.h"

namespace mizuto::loggen {

// Battle results, numbered as the analysis numbers them.
enum ResultCode { kDefeat = 0, kVictory = 1, kEscaped = 2, kWithdrawn = 3, kDraw = 4 };
// Battle kinds, numbered likewise.
enum KindCode { kAssault = 1, kEngagement = 2, kReinforcement = 3, kCampBattle = 4 };

struct BattlePlan {
  int Kind = kAssault;
  int Result = kVictory;
  bool AllShipsLeft = false;  // a withdrawal announced as "全船が戦場を離れました"
  int NotCounted = 0;         // 0 counted; 1 announced just before the start; 2 during it
  int NotCountedText = 0;     // which of the game's two notices
  bool Npc = false;           // against an NPC fleet: recorded only with the NPC check on
  int PhaseBefore = 0;        // event-phase notice before the battle: 1 opening, 2 middle, 3 final
  bool EventEndsAfter = false;
  bool Open = false;          // the log ends inside this battle
};

class Generator {
 public:
  Generator(const Options& options, const Lists& lists, const Cast& cast, LogWriter& out);
  void Run();
  // One line per battle written, in log order: kind, result, tally state, npc, camp points,
  // open (see WriteManifest in main).
  const std::vector<std::string>& Manifest() const { return manifest_; }

 private:
  // A battle being written (battle.cpp).
  struct Fight {
    const BattlePlan* Plan = nullptr;
    std::vector<int> Own, Enemy;  // person ids; [0] leads each side
    std::vector<int> Out;         // ids no longer in the fight
    std::string Opponent;         // the enemy as the start and result messages name it
    int OwnPoints = 0, EnemyPoints = 0;
  };

  // --- the timeline (generator.cpp) ---
  std::vector<BattlePlan> MakePlan();
  void Interlude(bool fleetNewsLikely);
  void FleetNews();
  void PhaseNotice(int phase);
  void PadWithChat(std::uint64_t target);
  void PadExactly(std::uint64_t target);

  // --- talk and small lines (chatter.cpp) ---
  void ChatLine(bool inBattle);
  void SystemChatter();
  void NoticeChatter();
  void IgnoredLine();
  void SkillLine(int person);
  void ItemLine(int person, bool inBattle);
  int Speaker();

  // --- battles (battle.cpp) ---
  void WriteBattle(const BattlePlan& plan, std::uint64_t fillerBytes);
  Fight SetUpFight(const BattlePlan& plan);
  void Skirmish(Fight& f);
  void BrokenLine(const Fight& f);
  void TakeOut(Fight& f, int victim, bool decisive);
  void TakeOutEnemy(Fight& f, int victim, int attacker, bool decisive);
  void TakeOutOwn(Fight& f, int victim, int attacker, bool decisive);
  void OutOfAction(int victim);
  int ChooseForm(int category, std::initializer_list<int> weights, unsigned allowed);
  void CampPoints(Fight& f, bool own, int points);
  void EndFight(Fight& f);
  int PickAlive(const Fight& f, const std::vector<int>& side, bool ownerToo, int except = -1);
  bool IsOut(const Fight& f, int id) const;
  bool OnOwnSide(const Fight& f, int id) const;

  // --- people ---
  const std::string& Name(int id) const { return names_[static_cast<std::size_t>(id)]; }
  bool IsPlayer(int id) const { return id >= 0 && id <= playerCount_; }  // the owner too
  std::vector<int> OwnFleet() const;
  int NextEnemyFleet(int alsoExcept);
  bool HasItem(std::string_view name) const;

  void Sys(std::string_view text) { out_.Font(kSystemColour, text); }

  const Options& options_;
  const Lists& lists_;
  const Cast& cast_;
  LogWriter& out_;
  Rng rng_;

  std::vector<std::string> names_;  // 0 the owner, 1..playerCount_ players, then ships
  int playerCount_ = 0;
  std::vector<int> ownCampShips_, enemyCampShips_, npcShips_;
  std::vector<std::vector<int>> fleets_;  // players grouped in fleets, [0] the admiral
  int ownerFleet_ = -1;                   // the fleet the owner sails in, -1 alone
  std::vector<int> enemyOrder_;           // fleets in the order they are met
  std::size_t enemyCursor_ = 0;
  std::vector<int> speakerOrder_;         // every player speaks in turn now and then
  std::size_t speakerCursor_ = 0;
  int eventNumber_ = 0;
  // Takedown shapes used so far, per kind of takedown (enemy by the owner, enemy by an
  // ally, the owner, an ally): each shape is written once before chance takes over.
  unsigned formsUsed_[4] = {0, 0, 0, 0};
  std::vector<std::string> manifest_;
};

}  // namespace mizuto::loggen
