// The game's wording as the generator writes it: every part of a line that the reader, the
// analysis or the transcript looks for comes from their own table, so a generated log holds
// exactly the bytes they search for. The rest of a line (the names, the wording around a
// fragment) is the generator's own.
#pragma once

#include <string>
#include <string_view>

#include "ingest/game_messages.h"

namespace mizuto::loggen {

inline std::string Said(EventRule rule) { return EventRuleText(rule); }
inline std::string Said(BattleMessage message) { return kBattleMessages[message].Text; }
inline std::string Said(NameMarker marker) { return kNameMarkers[marker].Text; }
inline std::string Said(PhaseMessage message) { return kPhaseMessages[message].Text; }
inline std::string Said(UseMessage message) { return kUseMessages[message].Text; }

// A message that only the transcript reads has no name of its own: it is written here by
// its text, which must be one of the table's (else the generator does not compile).
consteval const char* Shown(const char* text) {
  for (const EventMessage& m : kEventMessages) {
    if (m.Shown != nullptr && std::string_view(*m.Shown ? m.Shown : m.Text) == text) return text;
  }
  throw "not a message of the table";
}

}  // namespace mizuto::loggen
