// Recognises the battle messages inside a battle and moves the counters of the name table.
#pragma once

#include <string_view>
#include <utility>

namespace mizuto {

struct App;

// One in-battle System line's text (tag removed) and its LogLines index.
void RecogniseEvent(App& app, std::string_view text, int lineIndex);

// One in-battle line with tag "~s" or "~i" (the whole stored line, tag included), and its
// LogLines index (for error reports).
void RecogniseSkillItem(App& app, std::string_view line, int lineIndex);

// Bytes before the first "が" when there is exactly one "が" from there on; -1 when there
// is none or a second one, 0 when the text begins with it.
long SplitAtGa(std::string_view text);

// Splits around the first known name found in the text; false when none occurs.
bool SplitByKnownName(App& app, std::string_view text, int* actor, int* target);

// first := name before m1; second := name before m2 in what follows m1.
std::pair<int, int> SplitByMarkers(App& app, std::string_view text, std::string_view m1,
                                   std::string_view m2);

}  // namespace mizuto
