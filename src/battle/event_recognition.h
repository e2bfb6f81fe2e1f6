// Recognises the battle messages inside a battle and moves the counters of the name table.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mizuto {

struct App;

// One in-battle System line's text (tag removed) and its LogLines index.
void RecogniseEvent(App& app, std::string_view text, int lineIndex);

// The literals of the in-battle messages in the order they are tried: the first of them
// (in this order) that occurs anywhere in a line decides what the line means.
inline constexpr int kEventRuleCount = 31;
const std::vector<std::string>& EventRuleLiterals();

// RecogniseEvent for a caller that has searched the line already: `rule` indexes
// EventRuleLiterals() and is the first of them occurring in `text`, `position` is the
// first occurrence of that literal (1-based).
void RecogniseEventRule(App& app, std::string_view text, int lineIndex, int rule,
                        std::size_t position);

// One in-battle line with tag "~s" or "~i" (the whole stored line, tag included), and its
// LogLines index (for error reports).
void RecogniseSkillItem(App& app, std::string_view line, int lineIndex);

// Rebuilds app.SkillMatcher and app.ItemMatcher when the skill or item list changed since
// they were built (a comparison of the lists otherwise).
void PrepareSkillItemMatchers(App& app);

// RecogniseSkillItem on matchers that PrepareSkillItemMatchers has brought up to date since
// the lists last changed: the analysis prepares them once per run, not once per line.
void RecogniseSkillItemPrepared(App& app, std::string_view line, int lineIndex);

// Bytes before the first "が" when there is exactly one "が" from there on; -1 when there
// is none or a second one, 0 when the text begins with it.
long SplitAtGa(std::string_view text);

// Splits around the first known name found in the text; false when none occurs.
bool SplitByKnownName(App& app, std::string_view text, int* actor, int* target);

// first := name before m1; second := name before m2 in what follows m1.
std::pair<int, int> SplitByMarkers(App& app, std::string_view text, std::string_view m1,
                                   std::string_view m2);

}  // namespace mizuto
