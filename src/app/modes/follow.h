// Following a log without the window: the window's active mode, tick for tick, with each
// battle printed as it ends and the sink counter kept in a file for a streaming overlay.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/modes/command_line.h"
#include "battle/tables.h"

namespace mizuto {

struct App;

// --follow's options: --interval, --counter-file, --json, --no-history.
using FollowOptions = CommandLine;

// Starts as the window does with active mode on, then ticks until a stop is requested.
// Returns the exit status: 0 after a stop, 1 when the log cannot be opened at the start.
int RunFollow(const FollowOptions& options, std::ostream& out, std::ostream& err);

// One ended battle as a JSON object on one line (no line end). `ownDown`/`enemyDown` are the
// sink counter's figures when the battle ended.
std::string EndedBattleJson(const App& app, int battle, std::int32_t ownDown,
                            std::int32_t enemyDown);

// What a JSON line says of one battle (names and label in Shift-JIS).
struct BattleJsonFacts {
  int Number = 0;  // from 1
  BattleKind Kind = BattleKind::Assault;
  BattleClass Class;
  std::optional<std::string> Admiral;   // none: null
  std::optional<std::string> Opponent;  // none: null
  BattleResult Result = BattleResult::Defeat;
  std::int32_t OwnDown = 0, EnemyDown = 0;
  bool Counted = false;
  std::string Label;
  bool Ended = true;  // false: in progress, Result means nothing yet
};
// The battle's JSON object without its closing brace, so a caller may add keys.
std::string BattleJsonFields(const BattleJsonFacts& facts);

// `utf8` as a JSON string, quotes included; a byte that begins no well-formed UTF-8
// sequence (a file name may hold any) becomes U+FFFD.
std::string JsonString(std::string_view utf8);

}  // namespace mizuto
