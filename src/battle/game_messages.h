// The game's battle messages that the analysis and the transcript look for, each written
// once, in UTF-8 (converted to Shift-JIS where they are used). Every list is in the order
// its readers try it.
#pragma once

#include <array>

namespace mizuto {

// Notices of the large naval battle event (channel "~8"): the phase sets the class of the
// battles that follow.
enum PhaseMessage { kPhaseNotice, kPhaseOpening, kPhaseMiddle, kPhaseFinal, kPhaseEnd, kPhaseCount };
inline constexpr std::array<const char*, kPhaseCount> kPhaseMessages = {
    "『大海戦』の", "開戦しました！", "中盤戦を開始します", "終盤戦を開始します",
    "海戦を終了いたします"};

// Fleet notices (channel "~1"): who leads the fleet the owner sails in.
enum FleetMessage { kFleetJoined, kFleetNewAdmiral, kFleetDisbanded, kFleetCount };
inline constexpr std::array<const char*, kFleetCount> kFleetMessages = {
    "の艦隊に参加しました", "が提督になりました", "艦隊が解散しました"};

// System messages that qualify, open and close a battle. The text before a start message
// names the opponent (or the ally reinforced); before a defeat, victory or escape, the
// opponent.
enum BattleMessage {
  kNotCountedGap,     // the forces are too unequal
  kNotCountedRepeat,  // the same opponent too often
  kStartAssault,
  kStartEngagement,
  kStartReinforcement,
  kStartCamp,
  kResultDefeat,
  kResultVictory,
  kResultDraw,
  kResultEscaped,
  kResultRetreat,  // the owner leaves the battle
  kResultAllLeft,
  kBattleMessageCount
};
inline constexpr std::array<const char*, kBattleMessageCount> kBattleMessages = {
    "戦力差が大きすぎるため、この戦闘は戦果に加算されません",
    "すでに何度も対戦した相手なので戦果には加算されません",
    "の強襲です！",
    "と交戦に入ります！",
    "の援軍として戦闘に参加します！",
    "ただちに戦闘海域に向かい、敵船を撃破せよ！！",
    "に敗北しました…",
    "に勝利しました！",
    "と引き分けました",
    "を取り逃がしました",
    "戦闘から撤退します",
    "全船が戦場を離れました",
};
inline constexpr int kFirstResultMessage = kResultDefeat;
inline constexpr int kLastResultMessage = kResultAllLeft;

// The in-battle messages in the order they are tried. The first one found in a line
// decides what the line means, even when a later one occurs too: a critical hit taken wins
// over one dealt, and the harmless mine notice silences everything after it.
enum EventRule {
  kMineSink,
  kMineSelf,
  kCapture,
  kCaptured,
  kDefeatedBy,
  kDefeated,
  kPoints,
  kSink,
  kSunkBy,
  kFriendlyFire,
  kEnemySankEnemy,
  kCriticalTaken,
  kCriticalDealt,
  kOutOfAction,
  kSailDamaged,
  kSailDamagedBy,
  kSailRepaired,
  kFloodDealt,
  kFloodTaken,
  kRockDealt,
  kRockTaken,
  kRudderRepaired,
  kRudderDamaged,
  kReinforcements,
  kMeal,
  kConfusionDealt,
  kConfusionTaken,
  kWastedRepair,
  kWastedTreatment,
  kWastedRescue,
  kWastedItem,
  kRuleCount
};
inline constexpr std::array<const char*, kRuleCount> kEventRuleMessages = {
    "が機雷により撃沈しました！",
    "機雷により船が沈没しました！",
    "を拿捕しました！",
    "拿捕され",
    "に撃破されました！！",
    "を撃破しました！！",
    "ポイントを獲得しました！",
    "を撃沈しました！",
    "撃沈されました！",
    "の誤射により、",
    "を沈没させたようです！",
    "の攻撃により、被害甚大",
    "に大打撃",
    "船が航行不能",
    "帆を損傷",
    "帆が損傷",
    "の帆を直しました",
    "の船に浸水を起こさせました！",
    "の攻撃により浸水が起こりました！",
    "の船に大揺れを起こしました！",
    "の攻撃により船が大きく揺れています！",
    "の舵を直しました",
    "の舵を損傷させました",
    "の援軍要請に応じ、援軍が駆けつけてくれました！",
    "が船員に豪華な料理を振る舞いました",
    "の船員を混乱",
    "の攻撃により船員に混乱",
    "修理する必要はありません",
    "治療すべき船員がいません",
    "救助すべき船員がいません",
    "今使っても効果がありません。使用を中止しました",
};

}  // namespace mizuto
