#include "battle/battle_detail.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "ingest/game_messages.h"
#include "ingest/chat_log_reader.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

// The messages the transcript shows, in the order it tries them (the entries of
// kEventMessages that have a transcript text), converted once.
struct ShownMessage {
  std::string Literal;
  const EventMessage* Message;
  int Index;  // in kEventMessages
};

const std::vector<ShownMessage>& ShownMessages() {
  static const std::vector<ShownMessage> shown = [] {
    std::vector<ShownMessage> out;
    int index = 0;
    for (const EventMessage& m : kEventMessages) {
      if (m.Shown != nullptr) out.push_back({Utf8ToSjis(*m.Shown ? m.Shown : m.Text), &m, index});
      ++index;
    }
    return out;
  }();
  return shown;
}

// The first shown message found in the text decides; one that must open the text but is
// found further in hides the line (no later message gets a try).
const ShownMessage* FindShownMessage(std::string_view text) {
  for (const ShownMessage& m : ShownMessages()) {
    const std::size_t at = FindBytes(text, m.Literal);
    if (at == 0) continue;
    if (m.Message->ShownOpensText && at != 1) return nullptr;
    return &m;
  }
  return nullptr;
}

// The messages that close a battle. "戦闘から撤退します" is the owner leaving; the past form
// "戦闘から撤退しました" (someone else leaving) is an ordinary line.
bool IsEndMessage(std::string_view text) {
  static const std::vector<std::string> results = [] {
    std::vector<std::string> out;
    for (int k = kFirstResultMessage; k <= kLastResultMessage; ++k) {
      out.push_back(Utf8ToSjis(kBattleMessages[static_cast<std::size_t>(k)].Text));
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
  TranscriptView& out;
  BattleType battleType;
  int pendingSinks = 0;  // sinks shown whose out-of-action notice has not come yet

  void Append(std::string_view text, std::uint32_t colour, bool bold = false) {
    out.Append(DetailLine{std::string(text), colour, bold});
  }

  void AppendLineNumber(std::size_t index) {
    if (switches.Debug) Append("Line:" + DecimalText(static_cast<long long>(index) + 1), kShownWhite);
  }

  bool Open(ShownWhen when) {
    switch (when) {
      case ShownWhen::Always: return true;
      case ShownWhen::Cri: return switches.Cri;
      case ShownWhen::Water: return switches.Water;
      case ShownWhen::Sail: return switches.Sail;
      case ShownWhen::Rudder: return switches.Rudder;
      case ShownWhen::Confuse: return switches.Confuse;
      case ShownWhen::OutOfAction:
        // The notice that follows a sink already shown is swallowed; camp battles never
        // show the notice at all.
        if (pendingSinks > 0) {
          --pendingSinks;
          return false;
        }
        return battleType != BattleType::Camp;
    }
    return false;
  }

  static bool IsBold(Weight weight, std::string_view text) {
    switch (weight) {
      case Weight::Never: return false;
      case Weight::Always: return true;
      case Weight::EnemyShip: return ContainsBytes(text, SJ(MarkerTextOf(kMarkEnemyShip)));
      case Weight::NotArea: return !ContainsBytes(text, SJ(MarkerTextOf(kMarkArea)));
      case Weight::BeginsShipDisabled: return StartsWithBytes(text, SJ(EventRuleText(kOutOfAction)));
    }
    return false;
  }

  void ShowSystemText(std::string_view text) {
    const ShownMessage* shown = FindShownMessage(text);
    if (shown == nullptr) return;
    const EventMessage& m = *shown->Message;
    if (m.CountsSink) ++pendingSinks;
    if (Open(m.When)) Append(text, m.Colour, IsBold(m.Bold, text));
  }
};

}  // namespace

int ShownEventMessage(std::string_view systemText) {
  const ShownMessage* shown = FindShownMessage(systemText);
  return shown == nullptr ? -1 : shown->Index;
}

void RenderBattleDetail(const LogLines& lines, const BattleRecord& record, int battle,
                        const DetailSwitches& switches, TranscriptView& out) {
  Renderer r{switches, out, record.Class.Type};

  char header[64];
  std::snprintf(header, sizeof header, "-------- %d", battle + 1);
  r.Append(std::string(header) + SJ("戦目 --------"), kShownWhite);
  if (record.FirstLine < 0 || static_cast<std::size_t>(record.FirstLine) >= lines.size()) return;
  const std::size_t first = static_cast<std::size_t>(record.FirstLine);
  r.AppendLineNumber(first);
  r.Append(FromByte(lines[first], 3), kShownFrame);

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
    r.Append(FromByte(lines[i], 3), kShownFrame);
    r.AppendLineNumber(i);
  }
}

}  // namespace mizuto
