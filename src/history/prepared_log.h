// A log's analysis as the history writes it: the battles, and each battle's players with
// their figures and uses, copied out of the analysis. The writing needs nothing else, so it
// may go on while the analysis changes (the window's next tick) or on another thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "battle/reference_lists.h"
#include "battle/tables.h"
#include "history/packed_figures.h"

namespace mizuto {

struct AnalysedLog;

struct PreparedPlayer {
  int Name = -1;     // name index (PreparedLog::Names)
  int TakenBy = -1;  // name index, -1: nobody
  PlayerFigures Figures;
  std::int64_t WastedRepairs = 0, WastedCare = 0, WastedOther = 0;
  struct Use {
    bool Item = false;
    std::uint32_t Index = 0;  // in the skill or item list
    std::int64_t Count = 0;
  };
  std::vector<Use> Uses;  // only those the lists name
};

struct PreparedBattle {
  int Number = 0;  // in the log, from 1
  // As the analysis made it, with the analysis' own count mark (not what active mode made
  // of it): the player's corrections go over it when it is written.
  BattleRecord Record;
  bool Ended = false;
  std::int32_t OwnDown = 0, EnemyDown = 0;
  std::int64_t WastedRepairs = 0, WastedCare = 0, WastedOther = 0;  // the owner's
  std::vector<PreparedPlayer> Players;  // in name order
};

struct PreparedLog {
  // By name index; only the names a battle refers to (Referenced) are copied. A name the
  // analysis entered twice is referred to by its first entry only, and each battle has one
  // player of it, the entries' figures added up.
  std::vector<std::string> Names;
  std::vector<char> Referenced;
  std::vector<std::string> SkillNames, ItemNames;
  std::vector<PreparedBattle> Battles;
  // What shaped the analysis (AnalysisShaping); empty when no analysis comes along (a log
  // known to the byte is only placed).
  std::string Shaping;

  const std::string* NameOf(int n) const {
    return n >= 0 && static_cast<std::size_t>(n) < Referenced.size() && Referenced[static_cast<std::size_t>(n)]
               ? &Names[static_cast<std::size_t>(n)]
               : nullptr;
  }
};

// What makes an analysis of the same bytes come out otherwise: the owner's name, the NPC
// switch and the content of every list the analysis reads, as a short digest. A log stored
// under another shaping is analysed again when it is loaded or imported.
std::string AnalysisShaping(const ReferenceLists& lists, std::string_view userName, bool npcCheck);

// Battles [from, to) of `log` (to clipped to its battles), each player found name by name
// along the battles, where a name's figures lie side by side.
PreparedLog PrepareLog(const AnalysedLog& log, int from, int to);

}  // namespace mizuto
