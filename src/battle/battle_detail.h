// The coloured transcript of a battle in the detail pane.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "battle/tables.h"
#include "ingest/log_lines.h"

namespace mizuto {

// One line of the detail pane: text (Shift-JIS), colour 0xRRGGBB, bold or not.
struct DetailLine {
  std::string Text;
  std::uint32_t Colour = 0xFFFFFF;
  bool Bold = false;
  bool operator==(const DetailLine&) const = default;
};

// What the transcript shows besides the battle's frame and its sinks.
struct DetailSwitches {
  bool Cri = true, Water = false, Sail = false, Rudder = false, Confuse = false;
  bool Debug = false;  // the line number of the first and the last line
  // The chat channels "~1".."~7" (party, say, the three rooms, company, tells); index 0
  // is unused.
  bool Chat[8] = {};
};

// The entry of kEventMessages by which the transcript shows an in-battle System line's text
// (tag removed), or -1 when it leaves the line out.
int ShownEventMessage(std::string_view systemText);

// Appends the transcript of battle `battle` (index), whose record is `record`, to `out`.
void RenderBattleDetail(const LogLines& lines, const BattleRecord& record, int battle,
                        const DetailSwitches& switches, std::vector<DetailLine>& out);

}  // namespace mizuto
