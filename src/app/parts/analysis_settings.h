// The settings that shape an analysis, apart from the window that holds them: a load of the
// window takes them as they are, and an import of a log the window does not show takes a
// copy of them (no window, no view model).
#pragma once

#include <string>
#include <vector>

#include "battle/reference_lists.h"
#include "platform/utf8_path.h"

namespace mizuto {

struct AnalysisSettings {
  std::string ProgramDir;  // ends in a separator (or is empty: the working folder)
  std::string UserName = "YOU";  // Shift-JIS; "YOU" until the settings say otherwise
  Utf8Path LogDir;  // Shift-JIS only in the settings file, which converts it both ways
  bool NpcCheck = false;  // "NPCとの戦闘を含める"
  ReferenceLists Lists;
  std::vector<char> SkillChecked;  // skillChecks, parallel to Lists.SkillNames
  std::vector<char> ItemChecked;   // itemChecks, parallel to Lists.ItemNames
};

}  // namespace mizuto
