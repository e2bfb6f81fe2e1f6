// The program folder that goes with a generated log: the four list files and Mizuto.ini,
// Shift-JIS with CR LF, as the program reads them.
#pragma once

#include <string>

#include "cast.h"
#include "options.h"

namespace mizuto::loggen {

// Writes SkillList.txt, ItemList.txt, NPCList.txt, ShipList.txt and Mizuto.ini into
// options.ProgramDir (created when missing). False with `error` set on failure.
bool WriteProgramFolder(const Options& options, const Lists& lists, std::string* error);

// Replaces the invented skill and item lists with the UTF-8 SkillList.txt and ItemList.txt
// in `dir` (as data/defaults holds them: one entry a line, "#" lines are comments, an item
// is "name,kind[,text]"), so that a log is written with the lists the program ships. The
// NPC and ship lists stay the generator's, as its fleets and ships are named after them.
// False with `error` set when a file cannot be read or holds no entry.
bool ReadSkillAndItemLists(const std::string& dir, Lists* lists, std::string* error);

}  // namespace mizuto::loggen
