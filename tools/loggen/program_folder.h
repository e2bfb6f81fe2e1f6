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

}  // namespace mizuto::loggen
