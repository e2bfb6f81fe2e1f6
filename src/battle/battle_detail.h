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

// The transcript pane's lines. Every change counts a revision, so a window that drew at
// this revision last knows it has nothing to draw again.
class TranscriptView {
 public:
  void Clear() {
    lines_.clear();
    ++revision_;
  }
  void Append(DetailLine line) {
    lines_.push_back(std::move(line));
    ++revision_;
  }

  const std::vector<DetailLine>& Lines() const { return lines_; }
  std::uint64_t Revision() const { return revision_; }
  std::size_t size() const { return lines_.size(); }
  bool empty() const { return lines_.empty(); }
  const DetailLine& operator[](std::size_t i) const { return lines_[i]; }
  const DetailLine& at(std::size_t i) const { return lines_.at(i); }
  const DetailLine& back() const { return lines_.back(); }
  auto begin() const { return lines_.begin(); }
  auto end() const { return lines_.end(); }

 private:
  std::vector<DetailLine> lines_;
  std::uint64_t revision_ = 0;
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
                        const DetailSwitches& switches, TranscriptView& out);

}  // namespace mizuto
