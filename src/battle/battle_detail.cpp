#include "battle/battle_detail.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "battle/game_messages.h"
#include "ingest/chat_log_reader.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kFrame = 0x80AAFF;  // start, end, reinforcements, withdrawals
constexpr std::uint32_t kOwnBlue = 0x4040FF;
constexpr std::uint32_t kLostRed = 0xFF4040;
constexpr std::uint32_t kCapturedMaroon = 0x800000;
constexpr std::uint32_t kCapturingTeal = 0x008080;
constexpr std::uint32_t kMine = 0x800080;
constexpr std::uint32_t kCollateral = 0x808000;
constexpr std::uint32_t kCritical = 0xFF8040;
constexpr std::uint32_t kDamage = 0x008000;

constexpr int kCampBattleType = 3;

// What decides whether a matched line is printed.
enum class Gate {
  Always,
  Cri,
  Water,
  Sail,
  Rudder,
  Confuse,
  OutOfAction,  // the follow-up notice of a ship put out of action
};

// What decides whether a printed line is bold.
enum class Bold { Never, Always, EnemyShip, NotArea, BeginsShipDisabled };

struct DisplayRule {
  const std::string* Literal;
  bool Begins;  // the literal must open the text; found elsewhere it hides the line
  Gate When;
  std::uint32_t Colour;
  Bold Weight;
  bool CountsSink;  // a sink whose out-of-action notice will follow
};

// Tried in order, the first literal found decides; the order matters where texts overlap
// (a capture message also mentions the ship, a mine sink also says "撃沈しました！").
const std::vector<DisplayRule>& DisplayRules() {
  static const std::vector<DisplayRule> rules = {
      {&SJ("拿捕され"), false, Gate::Always, kCapturedMaroon, Bold::EnemyShip, false},
      {&SJ("を拿捕しました！"), false, Gate::Always, kCapturingTeal, Bold::EnemyShip, false},
      {&SJ("機雷により撃沈しました！"), false, Gate::Always, kMine, Bold::Never, true},
      {&SJ("機雷により船が沈没しました！"), false, Gate::Always, kMine, Bold::Always, true},
      {&SJ("を撃沈しました！"), false, Gate::Always, kOwnBlue, Bold::EnemyShip, true},
      {&SJ("撃沈されました！"), false, Gate::Always, kLostRed, Bold::EnemyShip, true},
      {&SJ("の誤射により、"), false, Gate::Always, kCollateral, Bold::Never, true},
      {&SJ("を沈没させたようです！"), false, Gate::Always, kCollateral, Bold::Never, true},
      {&SJ("の砲撃により、船が沈没してしまいました"), false, Gate::Always, kCollateral,
       Bold::Always, true},
      {&SJ("被害甚大"), false, Gate::Cri, kCritical, Bold::Never, false},
      {&SJ("に大打撃"), false, Gate::Cri, kCritical, Bold::Never, false},
      {&SJ("航行不能に"), false, Gate::OutOfAction, kLostRed, Bold::BeginsShipDisabled, false},
      {&SJ("を撃破"), false, Gate::Always, kOwnBlue, Bold::NotArea, false},
      {&SJ("に撃破"), false, Gate::Always, kLostRed, Bold::NotArea, false},
      {&SJ("統率スキルを"), true, Gate::Confuse, kDamage, Bold::Never, false},
      {&SJ("手桶を使いました"), true, Gate::Water, kDamage, Bold::Never, false},
      {&SJ("予備舵を使いました"), true, Gate::Rudder, kDamage, Bold::Never, false},
      {&SJ("予備帆を使いました"), true, Gate::Sail, kDamage, Bold::Never, false},
      {&SJ("沈静の旗"), true, Gate::Confuse, kDamage, Bold::Never, false},
      {&SJ("帆が"), false, Gate::Sail, kDamage, Bold::Never, false},
      {&SJ("帆を直しました"), false, Gate::Sail, kDamage, Bold::Never, false},
      {&SJ("舵が"), false, Gate::Rudder, kDamage, Bold::Never, false},
      {&SJ("混乱が"), false, Gate::Confuse, kDamage, Bold::Never, false},
      {&SJ("の攻撃により浸水が起こりました！"), false, Gate::Water, kDamage, Bold::Never, false},
      {&SJ("船の浸水が止まりました"), true, Gate::Water, kDamage, Bold::Never, false},
      {&SJ("船底に穴が開き、"), true, Gate::Water, kDamage, Bold::Never, false},
      {&SJ("敵の援軍が"), false, Gate::Always, kFrame, Bold::Never, false},
      {&SJ("戦闘から撤退しました"), false, Gate::Always, kFrame, Bold::Never, false},
  };
  return rules;
}

// The messages that close a battle. "戦闘から撤退します" is the owner leaving; the past form
// "戦闘から撤退しました" (someone else leaving) is an ordinary line.
bool IsEndMessage(std::string_view text) {
  static const std::vector<std::string> results = [] {
    std::vector<std::string> out;
    for (int k = kFirstResultMessage; k <= kLastResultMessage; ++k) {
      out.push_back(Utf8ToSjis(kBattleMessages[static_cast<std::size_t>(k)]));
    }
    return out;
  }();
  for (const std::string& result : results) {
    if (ContainsBytes(text, result)) return true;
  }
  return false;
}

struct Renderer {
  const DetailSwitches& switches;
  std::vector<DetailLine>& out;
  int battleType;
  int pendingSinks = 0;  // sinks shown whose out-of-action notice has not come yet

  void Append(std::string_view text, std::uint32_t colour, bool bold = false) {
    out.push_back(DetailLine{std::string(text), colour, bold});
  }

  void AppendLineNumber(std::size_t index) {
    if (switches.Debug) Append("Line:" + DecimalText(static_cast<long long>(index) + 1), kWhite);
  }

  bool Open(Gate gate) {
    switch (gate) {
      case Gate::Always: return true;
      case Gate::Cri: return switches.Cri;
      case Gate::Water: return switches.Water;
      case Gate::Sail: return switches.Sail;
      case Gate::Rudder: return switches.Rudder;
      case Gate::Confuse: return switches.Confuse;
      case Gate::OutOfAction:
        // The notice that follows a sink already shown is swallowed; camp battles never
        // show the notice at all.
        if (pendingSinks > 0) {
          --pendingSinks;
          return false;
        }
        return battleType != kCampBattleType;
    }
    return false;
  }

  static bool IsBold(Bold weight, std::string_view text) {
    switch (weight) {
      case Bold::Never: return false;
      case Bold::Always: return true;
      case Bold::EnemyShip: return ContainsBytes(text, SJ("敵船"));
      case Bold::NotArea: return !ContainsBytes(text, SJ("海域"));
      case Bold::BeginsShipDisabled: return StartsWithBytes(text, SJ("船が航行不能"));
    }
    return false;
  }

  void ShowSystemText(std::string_view text) {
    for (const DisplayRule& rule : DisplayRules()) {
      const std::size_t at = FindBytes(text, *rule.Literal);
      if (at == 0) continue;
      if (rule.Begins && at != 1) return;
      if (rule.CountsSink) ++pendingSinks;
      if (Open(rule.When)) Append(text, rule.Colour, IsBold(rule.Weight, text));
      return;
    }
  }
};

}  // namespace

void RenderBattleDetail(const LogLines& lines, const BattleRecord& record, int battle,
                        const DetailSwitches& switches, std::vector<DetailLine>& out) {
  Renderer r{switches, out, record.BattleType()};

  char header[64];
  std::snprintf(header, sizeof header, "-------- %d", battle + 1);
  r.Append(std::string(header) + SJ("戦目 --------"), kWhite);
  if (record.FirstLine < 0 || static_cast<std::size_t>(record.FirstLine) >= lines.size()) return;
  const std::size_t first = static_cast<std::size_t>(record.FirstLine);
  r.AppendLineNumber(first);
  r.Append(FromByte(lines[first], 3), kFrame);

  std::size_t i = first + 1;
  for (; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (line.size() < 2 || line[0] != '~') continue;
    const char channel = line[1];
    if (channel == '0') {
      const std::string_view text = line.substr(2);
      if (IsEndMessage(text)) break;
      r.ShowSystemText(text);
      continue;
    }
    // The tag is looked for at the head of the line only: '~' is also the second byte of
    // some double-byte characters (ミ is 83 7E), and players type "3~5" in chat, so a tag
    // found further in would file a line under the wrong channel.
    if (channel >= '1' && channel <= '7' && switches.Chat[channel - '0']) {
      const int k = channel - '0';
      r.Append(ChatLineText(line, line.substr(0, 2)), ChannelDisplayColour(k));
    }
  }
  if (i < lines.size()) {
    r.Append(FromByte(lines[i], 3), kFrame);
    r.AppendLineNumber(i);
  }
}

}  // namespace mizuto
