// The game's messages that the reader, the analysis and the transcript look for (and the
// log generator writes), each written once, in UTF-8 (converted to Shift-JIS where they are
// used), each with a line of the game that carries it. They live beside the reader, the
// lowest layer that looks for one. Every list is in the order its readers try it; the tests feed every sample
// line through the analysis and the transcript and check it reaches its own entry, so a
// message added where an earlier one shadows it is caught.
#pragma once

#include <array>
#include <cstdint>

namespace mizuto {

// A message and a line of the game that carries it (kWholeLine: the message is the whole
// line).
struct MessageText {
  const char* Text;
  const char* Sample;
};
inline constexpr const char* kWholeLine = nullptr;
constexpr const char* SampleLine(const MessageText& m) { return m.Sample ? m.Sample : m.Text; }

// Notices of the large naval battle event (channel "~8"): the phase sets the class of the
// battles that follow.
enum PhaseMessage { kPhaseNotice, kPhaseOpening, kPhaseMiddle, kPhaseFinal, kPhaseEnd, kPhaseCount };
// Every phase message needs the notice's text in the same line.
inline constexpr std::array<MessageText, kPhaseCount> kPhaseMessages = {{
    {"『大海戦』の", "『大海戦』の参加受付を開始しました"},
    {"開戦しました！", "『大海戦』の開戦しました！"},
    {"中盤戦を開始します", "『大海戦』の中盤戦を開始します"},
    {"終盤戦を開始します", "『大海戦』の終盤戦を開始します"},
    {"海戦を終了いたします", "『大海戦』の海戦を終了いたします"},
}};

// Fleet notices (channel "~1"): who leads the fleet the owner sails in.
enum FleetMessage { kFleetJoined, kFleetNewAdmiral, kFleetDisbanded, kFleetCount };
inline constexpr std::array<MessageText, kFleetCount> kFleetMessages = {{
    {"の艦隊に参加しました", "提督・Bossの艦隊に参加しました"},
    {"が提督になりました", "Chiefが提督になりました"},
    {"艦隊が解散しました", kWholeLine},
}};

// The title before an admiral's name in the fleet notices ("提督・" + the name).
inline constexpr MessageText kAdmiralTitle = {"提督・", "提督・Bossの艦隊に参加しました"};

// The names the analysis gives the two camps of a camp battle, which names no fleet.
inline constexpr const char* kOwnCampName = "味方陣営";
inline constexpr const char* kEnemyCampName = "敵陣営";

// Skill and item uses on channel "~0", which the reader tags for the analysis ("~s", "~i").
// The skill phrase is tried first: a line holding both is a skill line.
enum UseMessage { kUseSkill, kUseItem, kUseCount };
inline constexpr std::array<MessageText, kUseCount> kUseMessages = {{
    {"スキルを発動しました", "花子が砲撃の心得スキルを発動しました"},
    {"を使いました", "花子が予備帆を使いました"},
}};

// System messages that qualify, open and close a battle, each kind tried in this order.
// The text before a start message names the opponent (or the ally reinforced); before a
// defeat, victory or escape, the opponent.
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
inline constexpr int kFirstStartMessage = kStartAssault;
inline constexpr int kLastStartMessage = kStartCamp;
inline constexpr int kFirstResultMessage = kResultDefeat;
inline constexpr int kLastResultMessage = kResultAllLeft;
inline constexpr std::array<MessageText, kBattleMessageCount> kBattleMessages = {{
    {"戦力差が大きすぎるため、この戦闘は戦果に加算されません", kWholeLine},
    {"すでに何度も対戦した相手なので戦果には加算されません", kWholeLine},
    {"の強襲です！", "海賊団の強襲です！"},
    {"と交戦に入ります！", "提督・太郎の艦隊と交戦に入ります！"},
    {"の援軍として戦闘に参加します！", "花子の援軍として戦闘に参加します！"},
    {"ただちに戦闘海域に向かい、敵船を撃破せよ！！", kWholeLine},
    {"に敗北しました…", "海賊団に敗北しました…"},
    {"に勝利しました！", "海賊団に勝利しました！"},
    {"と引き分けました", "敵陣営と引き分けました"},
    {"を取り逃がしました", "海賊団を取り逃がしました"},
    {"戦闘から撤退します", kWholeLine},
    {"全船が戦場を離れました", kWholeLine},
}};

// The rules of the in-battle messages, in the order the analysis tries them. The first one
// found in a line decides what the line means, even when a later one occurs too: a
// critical hit taken wins over one dealt, and the harmless mine notice silences everything
// after it.
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
  kRuleCount,
  kNoRule = kRuleCount  // a message only the transcript shows
};

// The transcript's colours, 0xRRGGBB.
inline constexpr std::uint32_t kShownWhite = 0xFFFFFF;
inline constexpr std::uint32_t kShownFrame = 0x80AAFF;  // start, end, reinforcements, withdrawals
inline constexpr std::uint32_t kShownOwnBlue = 0x4040FF;
inline constexpr std::uint32_t kShownLostRed = 0xFF4040;
inline constexpr std::uint32_t kShownCapturedMaroon = 0x800000;
inline constexpr std::uint32_t kShownCapturingTeal = 0x008080;
inline constexpr std::uint32_t kShownMine = 0x800080;
inline constexpr std::uint32_t kShownCollateral = 0x808000;
inline constexpr std::uint32_t kShownCritical = 0xFF8040;
inline constexpr std::uint32_t kShownDamage = 0x008000;

// What decides whether the transcript prints a line it recognised.
enum class ShownWhen {
  Always,
  Cri,
  Water,
  Sail,
  Rudder,
  Confuse,
  OutOfAction,  // the follow-up notice of a ship put out of action
};

// What decides whether a printed line is bold.
// BeginsShipDisabled: bold when the line opens with the out-of-action message (the owner's own ship).
enum class Weight { Never, Always, EnemyShip, NotArea, BeginsShipDisabled };

// One in-battle message. `Text` is what the analysis looks for (nullptr: the analysis
// ignores the message). `Shown` is what the transcript looks for: the same text (empty,
// kSameText), a part of the message that also covers its other wordings (the game's "帆が…"
// notices all say the same), or nullptr when the transcript leaves the message out.
struct EventMessage {
  EventRule Rule;
  const char* Text;
  const char* Shown;
  bool ShownOpensText;  // the transcript's text must open the line; found elsewhere it hides it
  ShownWhen When;
  std::uint32_t Colour;
  Weight Bold;
  bool CountsSink;  // a sink whose out-of-action notice will follow
  const char* Sample;  // kWholeLine: the message (the analysis' text, else the transcript's)
};
constexpr const char* SampleLine(const EventMessage& m) {
  return m.Sample ? m.Sample : m.Text ? m.Text : m.Shown;
}
inline constexpr const char* kSameText = "";

// In the order the transcript tries them (the analysis tries them in EventRule's order).
// The transcript's order matters where texts overlap: a capture message also mentions the
// ship, a mine sink also says "撃沈しました！".
inline constexpr EventMessage kEventMessages[] = {
    // clang-format off
    {kCaptured, "拿捕され", kSameText, false, ShownWhen::Always, kShownCapturedMaroon, Weight::EnemyShip, false,
     "敵船ゴンザに拿捕されました！"},
    {kCapture, "を拿捕しました！", kSameText, false, ShownWhen::Always, kShownCapturingTeal, Weight::EnemyShip, false,
     "敵船ベッポを拿捕しました！"},
    {kMineSink, "が機雷により撃沈しました！", "機雷により撃沈しました！", false, ShownWhen::Always, kShownMine,
     Weight::Never, true, "太郎の船が機雷により撃沈しました！"},
    {kMineSelf, "機雷により船が沈没しました！", kSameText, false, ShownWhen::Always, kShownMine, Weight::Always,
     true, kWholeLine},
    {kSink, "を撃沈しました！", kSameText, false, ShownWhen::Always, kShownOwnBlue, Weight::EnemyShip, true,
     "敵船ゴンザを撃沈しました！"},
    {kSunkBy, "撃沈されました！", kSameText, false, ShownWhen::Always, kShownLostRed, Weight::EnemyShip, true,
     "ゴンザの攻撃により、太郎の船が撃沈されました！"},
    {kFriendlyFire, "の誤射により、", kSameText, false, ShownWhen::Always, kShownCollateral, Weight::Never, true,
     "花子の誤射により、太郎の船が損傷しました"},
    {kEnemySankEnemy, "を沈没させたようです！", kSameText, false, ShownWhen::Always, kShownCollateral,
     Weight::Never, true, "敵船ゴンザが敵船ベッポを沈没させたようです！"},
    {kNoRule, nullptr, "の砲撃により、船が沈没してしまいました", false, ShownWhen::Always, kShownCollateral,
     Weight::Always, true, "味方の砲撃により、船が沈没してしまいました"},
    {kCriticalTaken, "の攻撃により、被害甚大", "被害甚大", false, ShownWhen::Cri, kShownCritical, Weight::Never,
     false, "ゴンザの攻撃により、被害甚大！"},
    {kCriticalDealt, "に大打撃", kSameText, false, ShownWhen::Cri, kShownCritical, Weight::Never, false,
     "ゴンザに大打撃を与えた！"},
    {kOutOfAction, "船が航行不能", "航行不能に", false, ShownWhen::OutOfAction, kShownLostRed,
     Weight::BeginsShipDisabled, false, "太郎の船が航行不能になりました"},
    {kDefeated, "を撃破しました！！", "を撃破", false, ShownWhen::Always, kShownOwnBlue, Weight::NotArea, false,
     "太郎が敵性海域でゴンザを撃破しました！！"},
    {kDefeatedBy, "に撃破されました！！", "に撃破", false, ShownWhen::Always, kShownLostRed, Weight::NotArea,
     false, "ゴンザに撃破されました！！"},
    {kNoRule, nullptr, "統率スキルを", true, ShownWhen::Confuse, kShownDamage, Weight::Never, false,
     "統率スキルを使いました"},
    {kNoRule, nullptr, "手桶を使いました", true, ShownWhen::Water, kShownDamage, Weight::Never, false,
     kWholeLine},
    {kNoRule, nullptr, "予備舵を使いました", true, ShownWhen::Rudder, kShownDamage, Weight::Never, false,
     kWholeLine},
    {kNoRule, nullptr, "予備帆を使いました", true, ShownWhen::Sail, kShownDamage, Weight::Never, false,
     kWholeLine},
    {kNoRule, nullptr, "沈静の旗", true, ShownWhen::Confuse, kShownDamage, Weight::Never, false,
     "沈静の旗を掲げました"},
    {kSailDamagedBy, "帆が損傷", "帆が", false, ShownWhen::Sail, kShownDamage, Weight::Never, false,
     "ゴンザの攻撃により帆が損傷しました"},
    {kSailRepaired, "の帆を直しました", "帆を直しました", false, ShownWhen::Sail, kShownDamage, Weight::Never,
     false, "花子の帆を直しました"},
    {kNoRule, nullptr, "舵が", false, ShownWhen::Rudder, kShownDamage, Weight::Never, false, "舵が壊れました"},
    {kConfusionTaken, "の攻撃により船員に混乱", "混乱が", false, ShownWhen::Confuse, kShownDamage,
     Weight::Never, false, "ゴンザの攻撃により船員に混乱が起きました"},
    {kFloodTaken, "の攻撃により浸水が起こりました！", kSameText, false, ShownWhen::Water, kShownDamage,
     Weight::Never, false, "ゴンザの攻撃により浸水が起こりました！"},
    {kNoRule, nullptr, "船の浸水が止まりました", true, ShownWhen::Water, kShownDamage, Weight::Never, false,
     kWholeLine},
    {kNoRule, nullptr, "船底に穴が開き、", true, ShownWhen::Water, kShownDamage, Weight::Never, false,
     "船底に穴が開き、浸水しました"},
    {kNoRule, nullptr, "敵の援軍が", false, ShownWhen::Always, kShownFrame, Weight::Never, false,
     "敵の援軍が到着しました"},
    {kNoRule, nullptr, "戦闘から撤退しました", false, ShownWhen::Always, kShownFrame, Weight::Never, false,
     "花子が戦闘から撤退しました"},
    // The transcript leaves these out.
    {kPoints, "ポイントを獲得しました！", nullptr, false, ShownWhen::Always, 0, Weight::Never, false,
     "12ポイントを獲得しました！"},
    {kSailDamaged, "帆を損傷", nullptr, false, ShownWhen::Always, 0, Weight::Never, false,
     "ゴンザのメインマストの帆を損傷"},
    {kFloodDealt, "の船に浸水を起こさせました！", nullptr, false, ShownWhen::Always, 0, Weight::Never, false,
     "ゴンザの船に浸水を起こさせました！"},
    {kRockDealt, "の船に大揺れを起こしました！", nullptr, false, ShownWhen::Always, 0, Weight::Never, false,
     "ゴンザの船に大揺れを起こしました！"},
    {kRockTaken, "の攻撃により船が大きく揺れています！", nullptr, false, ShownWhen::Always, 0, Weight::Never,
     false, "ゴンザの攻撃により船が大きく揺れています！"},
    {kRudderRepaired, "の舵を直しました", nullptr, false, ShownWhen::Always, 0, Weight::Never, false,
     "花子の舵を直しました"},
    {kRudderDamaged, "の舵を損傷させました", nullptr, false, ShownWhen::Always, 0, Weight::Never, false,
     "ゴンザの舵を損傷させました"},
    {kReinforcements, "の援軍要請に応じ、援軍が駆けつけてくれました！", nullptr, false, ShownWhen::Always, 0,
     Weight::Never, false, "花子の援軍要請に応じ、援軍が駆けつけてくれました！"},
    {kMeal, "が船員に豪華な料理を振る舞いました", nullptr, false, ShownWhen::Always, 0, Weight::Never, false,
     "花子が船員に豪華な料理を振る舞いました"},
    {kConfusionDealt, "の船員を混乱", nullptr, false, ShownWhen::Always, 0, Weight::Never, false,
     "ゴンザの船員を混乱させました"},
    {kWastedRepair, "修理する必要はありません", nullptr, false, ShownWhen::Always, 0, Weight::Never, false,
     kWholeLine},
    {kWastedTreatment, "治療すべき船員がいません", nullptr, false, ShownWhen::Always, 0, Weight::Never, false,
     kWholeLine},
    {kWastedRescue, "救助すべき船員がいません", nullptr, false, ShownWhen::Always, 0, Weight::Never, false,
     kWholeLine},
    {kWastedItem, "今使っても効果がありません。使用を中止しました", nullptr, false, ShownWhen::Always, 0,
     Weight::Never, false, kWholeLine},
    // clang-format on
};

// The fixed words around the names in the in-battle messages: where the analysis cuts a
// line into the names it holds, and what tells the transcript an enemy's ship or a defeat
// between two other ships. Each with a line that carries it and the rule that line is read
// under (the rule whose handler cuts there).
enum NameMarker {
  kMarkEnemyShip,          // the name after it is an enemy's ship
  kMarkOwnArea,            // a defeat between two other ships, in the area it happened
  kMarkNeutralArea,
  kMarkEnemyArea,
  kMarkArea,               // any of the three
  kMarkCapturedByName,     // an enemy captured the owner: the name ends here
  kMarkThrough,            // a capture between two others: the taker's name ends here
  kMarkCapturedName,       // ... and the ship captured ends here
  kMarkDefeatedByName,     // a defeat between two others: the winner's name ends here
  kMarkDefeatedName,       // ... or the loser's
  kMarkEnemyCampPoints,    // the enemy camp's points
  kMarkAttackedBy,         // a sink of an own ship: the attacker's name ends here
  kMarkShipOfName,         // ... and the ship sunk ends here
  kMarkShipOf,             // a mine sink of an own ship
  kMarkEnemySinksEnemy,    // one enemy sank another: the first name ends here
  kMarkSankName,           // ... and the second here
  kMarkSubMast,            // a sail damaged: the enemy's name ends at the mast
  kMarkMainMast,
  kMarkAttackOn,           // the own sail damaged by an attack: the attacker's name ends here
  kMarkGa,                 // between two names: the first one ends here
  kNameMarkerCount
};
struct MarkerText {
  const char* Text;
  EventRule Rule;
  const char* Sample;
};
inline constexpr std::array<MarkerText, kNameMarkerCount> kNameMarkers = {{
    // clang-format off
    {"敵船", kCapture, "敵船ベッポを拿捕しました！"},
    {"が自海域で", kDefeated, "太郎が自海域でゴンザを撃破しました！！"},
    {"が中立海域で", kDefeatedBy, "太郎が中立海域でゴンザに撃破されました！！"},
    {"が敵性海域で", kDefeated, "太郎が敵性海域でゴンザを撃破しました！！"},
    {"海域", kDefeatedBy, "花子が自海域でベッポに撃破されました！！"},
    {"に拿捕", kCaptured, "敵船ゴンザに拿捕されました！"},
    {"により、", kCaptured, "ゴンザにより、太郎が拿捕されました！"},
    {"が拿捕", kCaptured, "ベッポにより、花子が拿捕されました！"},
    {"に撃破", kDefeatedBy, "花子が敵性海域でゴンザに撃破されました！！"},
    {"を撃破", kDefeated, "花子が中立海域でベッポを撃破しました！！"},
    {"敵陣営が", kPoints, "敵陣営が12ポイントを獲得しました！"},
    {"の攻撃により、", kSunkBy, "敵船ゴンザの攻撃により、撃沈されました！"},
    {"の船が", kSunkBy, "ゴンザの攻撃により、太郎の船が撃沈されました！"},
    {"の船", kMineSink, "太郎の船が機雷により撃沈しました！"},
    {"が敵船", kEnemySankEnemy, "敵船ゴンザが敵船ベッポを沈没させたようです！"},
    {"を沈没", kEnemySankEnemy, "敵船ベッポが敵船ゴンザを沈没させたようです！"},
    {"のサブマスト", kSailDamaged, "ゴンザのサブマストの帆を損傷させました！"},
    {"のメインマスト", kSailDamaged, "ベッポのメインマストの帆を損傷させました！"},
    {"の攻撃に", kSailDamagedBy, "ゴンザの攻撃により帆が損傷しました！"},
    {"が", kSink, "太郎が花子を撃沈しました！"},
    // clang-format on
}};
constexpr const char* MarkerTextOf(NameMarker marker) { return kNameMarkers[marker].Text; }

// The text the analysis looks for under `rule`.
constexpr const char* EventRuleText(EventRule rule) {
  for (const EventMessage& m : kEventMessages) {
    if (m.Rule == rule) return m.Text;
  }
  return nullptr;
}

}  // namespace mizuto
